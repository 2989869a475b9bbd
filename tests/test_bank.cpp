#include "admin/form9.h"
#include "data/bank/bank.h"
#include "data/datamodule.h"
#include "data/engine/table.h"
#include "tests/support/instances.h"
#include "tests/support/recorder.h"
#include "tests/support/testbackend.h"
#include "tests/support/testdb.h"
#include "tests/support/testmain.h"
#include "tests/support/tools.h"
#include "ui/mediafile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QtTest>

namespace {

const bank::MediaCheck check = {mediafile::pictureType, mediafile::soundType};

QString bankFile(const QString& name) {
    return QStringLiteral(ESUN_SOURCE_DIR "/tests/data/bank/") + name;
}

// Where the tool finds the test's database: its file, or the server that holds its rows.
QString databaseOf(const TestDatabase& db) {
    return testbackend::onServer() ? TestDatabase::serverUri() : db.path();
}

ToolRun questions(const QStringList& args) {
    return runTool(QStringLiteral("muzyka_questions"), args);
}

// A question's picture and sound as stored: " [type hash]" and " [type hash start–end ×plays]", the bytes by
// a short hash of theirs; empty without them.
QString mediaOf(const SqlFile& file, qint64 question) {
    if (file.scalar(QStringLiteral("SELECT name FROM sqlite_master WHERE name = 'МедиаВопроса'")).isNull())
        return {};
    const QList<QVariantList> media =
        file.rows(QStringLiteral("SELECT тип_картинки, hex(картинка), тип_звука, hex(звук), начало, конец, "
                                 "прослушиваний FROM МедиаВопроса WHERE id_вопроса = %1")
                      .arg(question));
    const auto hash = [](const QVariant& hex) {
        return QString::fromLatin1(
            QCryptographicHash::hash(QByteArray::fromHex(hex.toByteArray()), QCryptographicHash::Md5)
                .toHex()
                .left(8));
    };
    QString text;
    for (const QVariantList& m : media) {
        if (!m[0].isNull())
            text += QStringLiteral(" [%1 %2]").arg(m[0].toString(), hash(m[1]));
        if (!m[2].isNull())
            text += QStringLiteral(" [%1 %2 %3–%4 ×%5]")
                        .arg(m[2].toString(), hash(m[3]), m[4].toString(), m[5].toString(), m[6].toString());
    }
    return text;
}

// The questions of a topic as stored, one line each: "text | +correct answer | -wrong answer", in key order.
QStringList topicRows(const TestDatabase& db, const QString& topic) {
    const SqlFile file(db.path());
    const QList<QVariantList> questions = file.rows(
        QStringLiteral("SELECT q.id_вопроса, q.вопрос FROM Вопрос q JOIN Тема t ON t.id_темы = q.id_темы "
                       "WHERE t.тема = '%1' ORDER BY q.id_вопроса")
            .arg(topic));
    QStringList rows;
    for (const QVariantList& question : questions) {
        QString row = question[1].toString();
        const QList<QVariantList> answers = file.rows(
            QStringLiteral("SELECT статус, ответ FROM Ответы WHERE id_вопроса = %1 ORDER BY id_ответа")
                .arg(question[0].toLongLong()));
        for (const QVariantList& answer : answers)
            row +=
                (answer[0].toInt() ? QStringLiteral(" | +") : QStringLiteral(" | -")) + answer[1].toString();
        row += mediaOf(file, question[0].toLongLong());
        rows.append(row);
    }
    return rows;
}

qint64 count(const TestDatabase& db, const QString& table) {
    return db.scalar(QStringLiteral("SELECT count(*) FROM \"%1\"").arg(table)).toLongLong();
}

const QStringList moodleGenres = {
    QStringLiteral("Кто написал цикл «Времена года»? | -А. Вивальди | +П. И. Чайковский | -Й. Гайдн"),
    QStringLiteral("Какой знак повышает звук на полутон: ♯ или ♭? | +♯ (диез) | -♭ (бемоль) | -a < b"),
    QStringLiteral("Какой цвет на картинке? | +Красный | -Синий [png af46d2c8]"),
    QStringLiteral("Послушайте: Какая это нота? | +Ля | -До [wav 9bcc3ae0 0.01–0.04 ×2]"),
    QStringLiteral("Мажор звучит светло. | +Верно | -Неверно")};
const QStringList moodleInstruments = {
    QStringLiteral("Какой инструмент называют «королём инструментов» <клавишные>? | +Орган | -Рояль")};

const QStringList giftComposers = {
    QStringLiteral("Кто написал оперу «Волшебная флейта»? | +В. А. Моцарт"),
    QStringLiteral("Кто написал оперу «Волшебная флейта»? | -Л. ван Бетховен | +В. А. Моцарт | -Дж. Верди"),
    QStringLiteral("В записи 2 = 2 и 3 ~ 3 знаки { и } — только знаки. Что из этого верно? | +Знак = значит "
                   "«равно» | -Знак # значит «бемоль» | -Скобки { } — это ноты"),
    QStringLiteral("Бах родился в _____, в Эйзенахе. | -1750 году | +1685 году | -1810 году"),
    QStringLiteral("Какой интервал шире — «терция» или октава? | -Терция | +Октава"),
    QStringLiteral("Соната — жанр камерной музыки. | +Верно | -Неверно"),
    QStringLiteral("Вальс пишут на четыре четверти. | -Верно | +Неверно")};
const QStringList giftInstruments = {
    QStringLiteral("Какой инструмент самый большой в оркестре? | -Скрипка | +Контрабас | -Альт"),
    QStringLiteral("Что такое нотный стан? | +пять линеек | -одна линейка")};

} // namespace

// Question banks in Moodle's formats through the muzyka_questions tool and the management window: what is
// taken exactly, what is left out and listed, what refuses the whole file, and the way out and back in.
class BankTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SKIP_WITHOUT_SERVER(); }

    void importsEveryQuestionItCanTake_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("topics");
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::addColumn<QStringList>("newTopics");
        // The first GIFT row is the topic's own question: "Композиторы" is the category's topic already
        // there.
        QTest::newRow("Moodle XML") << QStringLiteral("moodle.xml")
                                    << QStringList{QStringLiteral("Жанры"), QStringLiteral("Инструменты")}
                                    << QList<QStringList>{moodleGenres, moodleInstruments}
                                    << QStringList{QStringLiteral("Жанры"), QStringLiteral("Инструменты")};
        QTest::newRow("GIFT") << QStringLiteral("gift.txt")
                              << QStringList{QStringLiteral("Композиторы"), QStringLiteral("Инструменты")}
                              << QList<QStringList>{giftComposers, giftInstruments}
                              << QStringList{QStringLiteral("Инструменты")};
    }
    void importsEveryQuestionItCanTake() {
        QFETCH(QString, file);
        QFETCH(QStringList, topics);
        QFETCH(QList<QStringList>, rows);
        QFETCH(QStringList, newTopics);
        TestDatabase db(
            TestDatabase::smallRowsSql() +
            QStringLiteral("INSERT INTO Вопрос VALUES (4, 'Кто написал оперу «Волшебная флейта»?', 3);"
                           "INSERT INTO Ответы VALUES (9, 'В. А. Моцарт', 4, 1);"));
        const ToolRun run = questions({QStringLiteral("import"), databaseOf(db), bankFile(file)});
        QCOMPARE(run.exitCode, 3); // imported, some left out
        for (qsizetype i = 0; i < topics.size(); ++i)
            QCOMPARE(topicRows(db, topics[i]), rows[i]);
        QVERIFY2(run.output.contains(
                     QStringLiteral("Новые темы: «%1».").arg(newTopics.join(QStringLiteral("», «")))),
                 qPrintable(run.output));
        QCOMPARE(count(db, QStringLiteral("Тема")), 3 + newTopics.size());
    }

    void listsWhatItLeavesOut_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("Moodle XML")
            << QStringLiteral("moodle.xml")
            << QStringList{
                   QStringLiteral("«Сочинение»: вопрос эссе (essay) программа не принимает"),
                   QStringLiteral("«Пары»: вопрос на соответствие (matching) программа не принимает"),
                   QStringLiteral(
                       "«Флажки»: вопрос с несколькими ответами (флажками) программа не принимает"),
                   QStringLiteral("«Струны»: вопрос числовой (numerical) программа не принимает"),
                   QStringLiteral("«Длинный»: в тексте вопроса 280 знаков, а программа хранит не больше 255"),
                   QStringLiteral(
                       "«Полбалла»: ответ «Анданте» оценён в 50 %, а программа знает только верный и "
                       "неверный ответ"),
                   QStringLiteral(
                       "«Без файла»: файл «скрипка.png», на который ссылается текст, не вложен в вопрос"),
                   QStringLiteral(
                       "«Гифка»: Картинка «dot.gif» записана в формате GIF, а программа показывает только "
                       "PNG, JPEG и SVG")};
        QTest::newRow("GIFT")
            << QStringLiteral("gift.txt")
            << QStringList{QStringLiteral("«Эссе»: вопрос-эссе программа не принимает"),
                           QStringLiteral("«Число»: числовой вопрос программа не принимает"),
                           QStringLiteral("«Пары»: вопрос на соответствие программа не принимает"),
                           QStringLiteral("«Кратко»: вопрос с кратким ответом программа не принимает"),
                           QStringLiteral("«Два верных»: вопрос с несколькими верными ответами программа "
                                          "не принимает"),
                           QStringLiteral("«Без конца»: нет закрывающей скобки «}» после ответов")};
    }
    void listsWhatItLeavesOut() {
        QFETCH(QString, file);
        QFETCH(QStringList, lines);
        TestDatabase db;
        const ToolRun run = questions({QStringLiteral("import"), databaseOf(db), bankFile(file)});
        QCOMPARE(run.exitCode, 3);
        const QStringList printed = run.errors.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(printed.size(), lines.size());
        for (qsizetype i = 0; i < lines.size(); ++i)
            QVERIFY2(printed[i].startsWith(QStringLiteral("Пропущен вопрос: строка ")) &&
                         printed[i].endsWith(lines[i] + u'.'),
                     qPrintable(printed[i]));
    }

    void refusesTheWholeFile_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("sentence");
        QTest::newRow("broken XML") << bankFile(QStringLiteral("broken.xml"))
                                    << QStringLiteral(
                                           "Файл «broken.xml» — испорченный XML: в строке 11 разметка "
                                           "нарушена");
        QTest::newRow("not UTF-8") << bankFile(QStringLiteral("cp1251.gift"))
                                   << QStringLiteral(
                                          "Файл «cp1251.gift» не в кодировке UTF-8 (строка 1): сохраните "
                                          "его в UTF-8; ничего не импортировано.");
        QTest::newRow("other XML") << QStringLiteral(ESUN_SOURCE_DIR "/packaging/muzyka.metainfo.xml")
                                   << QStringLiteral(
                                          "Файл «muzyka.metainfo.xml» — не вопросы Moodle XML: в нём "
                                          "разметка «component», а не «quiz»");
        QTest::newRow("missing") << QStringLiteral("/nonexistent/bank.xml")
                                 << QStringLiteral("Файла «/nonexistent/bank.xml» нет.");
    }
    void refusesTheWholeFile() {
        QFETCH(QString, file);
        QFETCH(QString, sentence);
        TestDatabase db(TestDatabase::smallRowsSql());
        const ToolRun run = questions({QStringLiteral("import"), databaseOf(db), file,
                                       QStringLiteral("--topic"), QStringLiteral("Ключи")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.errors.startsWith(QStringLiteral("muzyka_questions: ") + sentence),
                 qPrintable(run.errors));
        QCOMPARE(count(db, QStringLiteral("Вопрос")), 3);
    }

    // --topic puts every question into that topic, whatever the categories say.
    void importsIntoTheTopicNamed() {
        TestDatabase db(TestDatabase::smallRowsSql());
        const ToolRun run =
            questions({QStringLiteral("import"), databaseOf(db), bankFile(QStringLiteral("gift.txt")),
                       QStringLiteral("--topic"), QStringLiteral("ключи")});
        QCOMPARE(run.exitCode, 3);
        QCOMPARE(topicRows(db, QStringLiteral("Ключи")).size(), 9); // its own question and the eight taken
        QCOMPARE(count(db, QStringLiteral("Тема")), 3);
        QVERIFY2(run.output.startsWith(QStringLiteral("Импортировано вопросов: 8 (тема «Ключи»).")),
                 qPrintable(run.output));
    }

    void needsATopicForQuestionsWithoutCategory() {
        TestDatabase db(TestDatabase::smallRowsSql());
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("bank.gift"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("::Ноты::Сколько нот в гамме? {=7 ~5}\n");
        file.close();
        const ToolRun run = questions({QStringLiteral("import"), databaseOf(db), path});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.errors.contains(QStringLiteral("у вопроса «Ноты» (строка 1) в файле нет категории")),
                 qPrintable(run.errors));
        QCOMPARE(count(db, QStringLiteral("Вопрос")), 3);
    }

    // A database that refuses one row keeps none of the import's.
    void allOrNothing() {
        SKIP_ON_SERVER("the refusal is a trigger of the file");
        TestDatabase db(TestDatabase::smallRowsSql());
        db.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON Ответы WHEN NEW.ответ = 'Ля' "
                               "BEGIN SELECT RAISE(ABORT, 'ответ «Ля» запрещён'); END;"));
        const ToolRun run =
            questions({QStringLiteral("import"), databaseOf(db), bankFile(QStringLiteral("moodle.xml"))});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(
            run.errors.startsWith(QStringLiteral("muzyka_questions: Вопросы не импортированы, база данных не "
                                                 "изменилась: ")),
            qPrintable(run.errors));
        QCOMPARE(count(db, QStringLiteral("Тема")), 3);
        QCOMPARE(count(db, QStringLiteral("Вопрос")), 3);
        QCOMPARE(count(db, QStringLiteral("Ответы")), 8);
    }

    // A topic written out and read back in is the same questions, answers and marks.
    void roundTrip_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("topic");
        QTest::newRow("from Moodle XML") << QStringLiteral("moodle.xml") << QStringLiteral("Жанры");
        QTest::newRow("from GIFT") << QStringLiteral("gift.txt") << QStringLiteral("Композиторы");
    }
    void roundTrip() {
        QFETCH(QString, file);
        QFETCH(QString, topic);
        TestDatabase db(TestDatabase::smallRowsSql());
        QCOMPARE(questions({QStringLiteral("import"), databaseOf(db), bankFile(file)}).exitCode, 3);
        const QString out = QDir(db.folder()).filePath(QStringLiteral("topic.xml"));
        const ToolRun exported = questions({QStringLiteral("export"), databaseOf(db), topic, out});
        QCOMPARE(exported.exitCode, 0);
        QCOMPARE(exported.errors, QString());
        const ToolRun back = questions({QStringLiteral("import"), databaseOf(db), out,
                                        QStringLiteral("--topic"), QStringLiteral("Копия")});
        QCOMPARE(back.exitCode, 0);
        QCOMPARE(topicRows(db, QStringLiteral("Копия")), topicRows(db, topic));
    }

    // A question the file's rules let the teacher store but Moodle's single choice cannot hold goes out, and
    // is named as one the import will not take back.
    void exportNamesWhatWillNotComeBack() {
        TestDatabase db(TestDatabase::smallRowsSql() +
                        QStringLiteral("UPDATE Ответы SET статус = 1 WHERE id_ответа = 2;"));
        const QString out = QDir(db.folder()).filePath(QStringLiteral("topic.xml"));
        const ToolRun run =
            questions({QStringLiteral("export"), databaseOf(db), QStringLiteral("нотная ГРАМОТА"), out});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.output.trimmed(),
                 QStringLiteral("Вопросов темы «Нотная грамота» записано в «%1»: 2.").arg(out));
        QCOMPARE(run.errors.trimmed(),
                 QStringLiteral("Вопрос 1 («Сколько линеек в нотном стане?») импорт не примет: "
                                "верных ответов 2, а в вопросе программы верный ответ один."));
        QCOMPARE(bank::readFile(out, check).questions.size(), 1);
    }

    void commandLine_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("errors");
        const QString usage = QStringLiteral("Использование:");
        QTest::newRow("nothing") << QStringList{} << 2 << usage;
        QTest::newRow("unknown verb")
            << QStringList{QStringLiteral("load"), QStringLiteral("a"), QStringLiteral("b")} << 2 << usage;
        QTest::newRow("topic without name") << QStringList{QStringLiteral("import"), QStringLiteral("a"),
                                                           QStringLiteral("b"), QStringLiteral("--topic")}
                                            << 2 << usage;
        QTest::newRow("export without file")
            << QStringList{QStringLiteral("export"), QStringLiteral("a"), QStringLiteral("b")} << 2 << usage;
        QTest::newRow("no database")
            << QStringList{QStringLiteral("export"), QStringLiteral("/nonexistent/Primer.mdb"),
                           QStringLiteral("Ключи"), QStringLiteral("out.xml")}
            << 1 << QStringLiteral("muzyka_questions: файла базы данных «/nonexistent/Primer.mdb» нет.");
        QTest::newRow("no topic") << QStringList{QStringLiteral("export"), QStringLiteral("{db}"),
                                                 QStringLiteral("Гармония"), QStringLiteral("out.xml")}
                                  << 1
                                  << QStringLiteral("muzyka_questions: темы «Гармония» в базе данных нет.");
    }
    void commandLine() {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, errors);
        TestDatabase db;
        args.replaceInStrings(QStringLiteral("{db}"), databaseOf(db));
        const ToolRun run = questions(args);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.errors.startsWith(errors), qPrintable(run.errors));
    }

    // The management window takes a bank into the topic the teacher stands on, lists what it left out, and
    // the question editor shows the new questions at once.
    void windowImportsIntoCurrentTopic() {
        ProgramInstances program;
        Table* tema = DataModule11->tema;
        QVERIFY(tema->locate(QStringLiteral("тема"), QStringLiteral("Ключи")));
        program.dialogs.setNextFileName(bankFile(QStringLiteral("gift.txt")));
        Form9->SpeedButton1->click();
        QCOMPARE(program.dialogs.texts(QStringLiteral("open")),
                 QStringList{QStringLiteral("Импорт вопросов в тему «Ключи»")});
        const QStringList shown = program.dialogs.texts(QStringLiteral("details"));
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].startsWith(
                     QStringLiteral("Импортировано вопросов: 8 (тема «Ключи»).\nПропущено вопросов: 6")),
                 qPrintable(shown[0]));
        QVERIFY2(shown[0].contains(QStringLiteral("«Эссе»: вопрос-эссе программа не принимает.")),
                 qPrintable(shown[0]));
        QCOMPARE(DataModule11->quest->recordCount(), 9);
        QCOMPARE(topicRows(program.db, QStringLiteral("Ключи")).size(), 9);
    }

    void windowReportsABrokenFile() {
        ProgramInstances program;
        program.dialogs.setNextFileName(bankFile(QStringLiteral("broken.xml")));
        Form9->SpeedButton1->click();
        QCOMPARE(program.dialogs.failures().size(), 1);
        QVERIFY(
            program.dialogs.failures()[0].startsWith(QStringLiteral("Файл «broken.xml» — испорченный XML")));
        QCOMPARE(count(program.db, QStringLiteral("Вопрос")), 3);
    }

    // The current topic goes out as the file chosen (".xml" added when the name has none) and reads back the
    // same.
    void windowExportsCurrentTopic() {
        ProgramInstances program;
        QVERIFY(DataModule11->tema->locate(QStringLiteral("тема"), QStringLiteral("Нотная грамота")));
        const QString chosen = QDir(program.db.folder()).filePath(QStringLiteral("грамота"));
        program.dialogs.setNextFileName(chosen);
        Form9->SpeedButton2->click();
        QCOMPARE(program.dialogs.texts(QStringLiteral("save")),
                 QStringList{QStringLiteral("Экспорт темы «Нотная грамота»")});
        QCOMPARE(program.dialogs.messages(),
                 QStringList{
                     QStringLiteral("Вопросов темы «Нотная грамота» записано в «%1.xml»: 2.").arg(chosen)});
        const bank::Contents back = bank::readFile(chosen + QStringLiteral(".xml"), check);
        QCOMPARE(back.questions.size(), 2);
        QCOMPARE(back.questions[1].topic, QStringLiteral("Нотная грамота"));
        QCOMPARE(back.questions[1].text, QStringLiteral("Как называется знак повышения на полтона?"));
        QCOMPARE(back.questions[1].answers, (QVector<bank::Answer>{{QStringLiteral("Диез"), true},
                                                                   {QStringLiteral("Бемоль"), false},
                                                                   {QStringLiteral("Бекар"), false}}));
    }
};

ESUN_TEST_MAIN(BankTest)
#include "test_bank.moc"
