#include "admin/form9.h"
#include "app/form14.h"
#include "base/failure.h"
#include "data/access/conversion.h"
#include "data/datamodule.h"
#include "data/engine/connection.h"
#include "data/engine/table.h"
#include "signin/form1.h"
#include "tests/support/fixtures.h"
#include "tests/support/instances.h"

#include <QProcess>
#include <QPushButton>
#include <QtTest>

#include <sqlite3.h>

namespace {

// Every row of a table of a SQLite file in key order, values joined by "|", a null shown as "∅".
QStringList storedRows(const QString& path, const QString& table) {
    QStringList rows;
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
            SQLITE_OK &&
        sqlite3_prepare_v2(
            db, QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(Connection::quoted(table)).toUtf8(), -1,
            &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            QStringList values;
            for (int i = 0; i < sqlite3_column_count(statement); ++i)
                values.append(sqlite3_column_type(statement, i) == SQLITE_NULL
                                  ? QStringLiteral("∅")
                                  : QString::fromUtf8(
                                        reinterpret_cast<const char*>(sqlite3_column_text(statement, i))));
            rows.append(values.join(u'|'));
        }
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
}

QString failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Failure& failure) {
        return failure.text();
    }
    return {};
}

// The school's Access file in the test folder as the program's Primer.mdb.
struct SchoolFolder {
    explicit SchoolFolder(const QString& fixture = QStringLiteral("access/school.mdb")) {
        QFile::remove(db.path());
        placed = placeFixture(fixture, db.path());
        originalHash = fileHash(db.path());
    }
    QString kept() const { return db.folder() + QStringLiteral("/Primer.access.mdb"); }
    QString notice() const {
        return QStringLiteral(
                   "База данных '%1' была в формате Access и переведена в формат программы. Исходный "
                   "файл сохранён без изменений под именем '%2', программа работает с переведённой "
                   "базой '%1'.")
            .arg(db.path(), kept());
    }
    TestDatabase db;
    bool placed = false;
    QByteArray originalHash;
};

} // namespace

// A school's Access database: converted once at opening into the program's own format, the original kept.
class AccessTest : public QObject {
    Q_OBJECT

private slots:
    void everyTableRowAndValueIsCarriedOver() {
        SchoolFolder school;
        QVERIFY(school.placed);
        RecordingDialogs dialogs;
        TDataModule11 dm;
        QCOMPARE(dialogs.failures(), QStringList());
        QCOMPARE(dialogs.messages(), QStringList{school.notice()});
        QCOMPARE(fileHash(school.kept()), school.originalHash);
        const QString path = school.db.path();
        QCOMPARE(storedRows(path, QStringLiteral("класс")), QStringList({"1|5А", "2|5Б", "3|6А"}));
        QCOMPARE(
            storedRows(path, QStringLiteral("Ученики")),
            QStringList({"1|Ольга|Белова|Игоревна|∅|Камертон|1", "2|Артём|Фролов|Денисович|1|allegro|0",
                         "3|Дарья|Фролова|Сергеевна|1|Дарья5|0", "4|Максим|Кузнецов|Олегович|2|fa-diez|0",
                         "5|Полина|Римская-Корсакова-Прохорова|Алексеевна|3|sol|0",
                         "6|Иван|Д'Амико|Петрович|2|Tutti|0", "7|Егор|Кузнецов|Андреевич|3|кварта4|0"}));
        QCOMPARE(storedRows(path, QStringLiteral("Тема")),
                 QStringList({"1|Регистры и тембры", "2|Динамика", "3|Жанры"}));
        QCOMPARE(storedRows(path, QStringLiteral("Вопрос")),
                 QStringList({"1|Какой голос самый высокий женский?|1",
                              "2|Какой инструмент звучит ниже всех в струнном квартете?|1",
                              "3|Что такое тембр?|1", "4|Что означает forte?|2", "5|Что означает piano?|2",
                              "6|Как обозначается постепенное усиление звука?|2",
                              "7|Какой жанр относится к танцевальным?|3",
                              "8|Какой жанр исполняет хор без сопровождения?|3", "9|Что такое симфония?|3"}));
        QCOMPARE(storedRows(path, QStringLiteral("Ответы")),
                 QStringList({"1|Сопрано|1|1",
                              "2|Альт|1|0",
                              "3|Меццо-сопрано|1|0",
                              "4|Виолончель|2|1",
                              "5|Скрипка|2|0",
                              "6|Альт|2|0",
                              "7|Окраска звука|3|1",
                              "8|Высота звука|3|0",
                              "9|Громкость|3|0",
                              "10|Громко|4|1",
                              "11|Тихо|4|0",
                              "12|Тихо|5|1",
                              "13|Быстро|5|0",
                              "14|Громко|5|0",
                              "15|crescendo|6|1",
                              "16|diminuendo|6|0",
                              "17|staccato|6|0",
                              "18|Вальс|7|1",
                              "19|Ноктюрн|7|0",
                              "20|Реквием|7|0",
                              "21|a cappella|8|1",
                              "22|Концерт|8|0",
                              "23|Произведение для оркестра в нескольких частях|9|1",
                              "24|Песня для голоса|9|0",
                              "25|Танец|9|0"}));
        QCOMPARE(
            storedRows(path, QStringLiteral("результаты")),
            QStringList({"1|2026-09-15|3|5|2|1|1", "2|2026-09-15|2|3|3|1|1",
                         "3|2026-09-16 10:05:00|1|2|4|2|2", "4|2026-09-17|3|5|5|2|3",
                         "5|2026-09-18|2|3|6|3|2", "6|2026-09-20|0|2|42|3|1", "7|2026-09-21|3|5|7|1|3"}));
        // The program reads them in its own kinds.
        QVERIFY(dm.rez->locate(QStringLiteral("id_результата"), 3));
        QCOMPARE(dm.rez->value(QStringLiteral("Дата")).toDateTime(),
                 QDateTime(QDate(2026, 9, 16), QTime(10, 5)));
        QVERIFY(dm.ych->value(QStringLiteral("id_класса")).isNull());
        QCOMPARE(dm.ych->value(QStringLiteral("права")).toBool(), true);
        QVERIFY(dm.rez->locate(QStringLiteral("id_результата"), 4));
        QCOMPARE(dm.rez->displayText(1), QStringLiteral("Римская-Корсакова-Пр"));
    }

    void pupilSignsInAndTeacherGetsTheManagementWindow() {
        ProgramInstances program(ProgramInstances::Direct, {}, false);
        QFile::remove(program.db.path());
        QVERIFY(placeFixture(QStringLiteral("access/school.mdb"), program.db.path()));
        startup::createInstances();
        startup::createSignInWindow();
        QCOMPARE(program.dialogs.messages().size(), 1);
        Form1->showModeless();
        const auto signIn = [](const QString& surname, const QString& password) {
            typeSignIn(surname, password);
            Form* shown = nullptr;
            later([&] {
                for (Form* w : {static_cast<Form*>(Form14), static_cast<Form*>(Form9)})
                    if (w->isModal()) {
                        shown = w;
                        w->close();
                    }
            });
            QTest::mouseClick(Form1->Button1, Qt::LeftButton);
            return shown;
        };
        QCOMPARE(signIn(QStringLiteral("Д'Амико"), QStringLiteral("Tutti")), Form14);
        QCOMPARE(signIn(QStringLiteral("Белова"), QStringLiteral("Камертон")), Form9);
        QCOMPARE(program.dialogs.failures(), QStringList());
    }

    void newResultGetsTheNextKey() {
        SchoolFolder school;
        RecordingDialogs dialogs;
        TDataModule11 dm;
        dm.rez->append();
        dm.rez->setValue(5, QDateTime(QDate(2026, 12, 9), QTime(11, 30)));
        dm.rez->setValue(6, 2);
        dm.rez->setValue(7, 4);
        dm.rez->setValue(8, 3);
        dm.rez->setValue(9, 2);
        dm.rez->setValue(10, 1);
        dm.rez->post();
        QCOMPARE(dm.rez->value(0).toInt(), 8);
        QCOMPARE(storedRows(school.db.path(), QStringLiteral("результаты")).last(),
                 QStringLiteral("8|2026-12-09 11:30:00|2|4|3|2|1"));
    }

    void relationsDecideWhatADeleteDoes() {
        SchoolFolder school;
        RecordingDialogs dialogs;
        TDataModule11 dm;
        const QString path = school.db.path();
        // A question takes its answers with it.
        QVERIFY(dm.quest->locate(QStringLiteral("id_вопроса"), 1));
        dm.quest->remove();
        QCOMPARE(storedRows(path, QStringLiteral("Ответы")).size(), 22);
        // A topic with results is refused, also once its questions are gone.
        dm.tema->last();
        while (dm.quest->recordCount() > 0)
            dm.quest->remove();
        QCOMPARE(
            failureOf([&] { dm.tema->remove(); }),
            QStringLiteral("tema: Запись нельзя удалить: на неё ссылаются записи таблицы «результаты»."));
        QCOMPARE(storedRows(path, QStringLiteral("Тема")).size(), 3);
        // Pupils are in no relation: the pupil goes, his result stays and shows no name.
        QVERIFY(dm.ych->locate(QStringLiteral("id_ученика"), 2));
        dm.ych->remove();
        QVERIFY(dm.rez->locate(QStringLiteral("id_результата"), 1));
        QCOMPARE(dm.rez->displayText(1), QString());
        QCOMPARE(dm.rez->displayText(2), QString());
        QCOMPARE(storedRows(path, QStringLiteral("результаты")).size(), 7);
    }

    void secondStartConvertsNothing() {
        SchoolFolder school;
        RecordingDialogs dialogs;
        {
            const TDataModule11 first;
            QCOMPARE(dialogs.messages().size(), 1);
        }
        const auto state = folderState(school.db.folder());
        QCOMPARE(state.keys(), QStringList({"Primer.access.mdb", "Primer.mdb"}));
        dialogs.clear();
        TDataModule11 dm;
        QCOMPARE(dialogs.shown.size(), 0);
        QVERIFY(dm.rez->isActive());
        dm.ADOConnection1->close();
        QCOMPARE(folderState(school.db.folder()), state);
    }

    void interruptedConversionLeavesTheFolderAsItWas() {
        SchoolFolder school;
        const auto before = folderState(school.db.folder());
        int tables = 0;
        const QString text = failureOf([&] {
            accessdb::convertInPlace(school.db.path(),
                                     [&](const accessdb::TableReport&) { return ++tables < 3; });
        });
        QVERIFY2(text.contains(QStringLiteral("прерван")), qPrintable(text));
        QCOMPARE(tables, 3);
        QCOMPARE(folderState(school.db.folder()), before);
    }

    void damagedAccessFileFailsAndLeavesTheFolderAsItWas_data() {
        QTest::addColumn<int>("keptBytes");
        QTest::newRow("header only") << 512;
        QTest::newRow("first pages") << 16 * 4096;
        QTest::newRow("half") << 30 * 4096;
    }
    void damagedAccessFileFailsAndLeavesTheFolderAsItWas() {
        QFETCH(int, keptBytes);
        SchoolFolder school;
        QFile file(school.db.path());
        QVERIFY(file.resize(keptBytes));
        const auto before = folderState(school.db.folder());
        RecordingDialogs dialogs;
        TDataModule11 dm;
        const QString expected =
            QStringLiteral("ADOConnection1: '%1' — база данных Access, но прочитать её не "
                           "удалось: файл повреждён или записан в формате, который "
                           "программа не знает.")
                .arg(school.db.path());
        QCOMPARE(dialogs.failures(), QStringList(7, expected));
        QCOMPARE(dialogs.messages(), QStringList());
        QCOMPARE(folderState(school.db.folder()), before);
    }

    void otherSchemaGivesTheNotFoundReports() {
        SchoolFolder school(QStringLiteral("access/other-schema.mdb"));
        RecordingDialogs dialogs;
        QStringList reports;
        {
            const TDataModule11 dm;
            QVERIFY(dm.ADOConnection1->isConnected());
            QCOMPARE(dialogs.messages(), QStringList{school.notice()});
            reports = dialogs.failures();
        }
        QCOMPARE(storedRows(school.db.path(), QStringLiteral("DateTest")).size(), 6);
        // The same reports as for a database of the program's own format that lacks the six tables: the
        // converted one, opened again.
        dialogs.clear();
        const TDataModule11 again;
        QCOMPARE(dialogs.messages(), QStringList());
        QCOMPARE(reports, dialogs.failures());
        QVERIFY(!reports.isEmpty());
        for (const QString& report : reports)
            QVERIFY2(report.endsWith(QStringLiteral("' not found in the database.")), qPrintable(report));
    }

    void convertedFileWithoutThePasswordColumnGivesTheTwoReports() {
        SchoolFolder school;
        QCOMPARE(failureOf([&] { accessdb::convertInPlace(school.db.path()); }), QString());
        school.db.exec(QStringLiteral(R"(ALTER TABLE "Ученики" DROP COLUMN "ключ";)"));
        RecordingDialogs dialogs;
        TDataModule11 dm;
        const QString expected = QStringLiteral("ych: Field 'ключ' not found.");
        QCOMPARE(dialogs.failures(), QStringList({expected, expected}));
    }

    void connectingToAnAccessFileConvertsIt() {
        ProgramInstances program;
        Form1->showModeless();
        const QString chosen = program.db.folder() + QStringLiteral("/Школа.mdb");
        QVERIFY(placeFixture(QStringLiteral("access/school.mdb"), chosen));
        const QByteArray hash = fileHash(chosen);
        program.dialogs.setNextFileName(chosen);
        QTest::mouseClick(Form1->Button2, Qt::LeftButton);
        QCOMPARE(program.dialogs.failures(), QStringList());
        QCOMPARE(program.dialogs.messages().size(), 1);
        const QString kept = program.db.folder() + QStringLiteral("/Школа.access.mdb");
        QVERIFY(program.dialogs.messages().first().contains(kept));
        QCOMPARE(fileHash(kept), hash);
        QCOMPARE(DataModule11->ych->recordCount(), 7);
    }

    void toolTellsWhatItCarriedOverAndNeverOverwrites() {
        SchoolFolder school;
        const QString target = school.db.folder() + QStringLiteral("/новая.sqlite");
        QProcess tool;
        tool.start(QCoreApplication::applicationDirPath() + QStringLiteral("/mdb_import"),
                   {school.db.path(), target});
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(tool.readAllStandardOutput()).split(u'\n'),
                 QStringList(
                     {"Таблица «класс»: столбцов 2, строк 3.", "Таблица «Ученики»: столбцов 7, строк 7.",
                      "Таблица «Тема»: столбцов 2, строк 3.", "Таблица «Вопрос»: столбцов 3, строк 9.",
                      "Таблица «Ответы»: столбцов 4, строк 25.", "Таблица «результаты»: столбцов 7, строк 7.",
                      "Связь «Вопрос» (id_темы) → «Тема» (id_темы): удаление запрещено.",
                      "Связь «Ответы» (id_вопроса) → «Вопрос» (id_вопроса): удаление каскадом.",
                      "Связь «результаты» (id_темы) → «Тема» (id_темы): удаление запрещено.",
                      QStringLiteral("Готово: %1.").arg(target), ""}));
        QCOMPARE(storedRows(target, QStringLiteral("Ответы")).size(), 25);
        const QByteArray converted = fileHash(target);

        tool.start(QCoreApplication::applicationDirPath() + QStringLiteral("/mdb_import"),
                   {school.db.path(), target});
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), 1);
        QCOMPARE(
            QString::fromUtf8(tool.readAllStandardError()).trimmed(),
            QStringLiteral("mdb_import: Файл '%1' уже есть; переведённая база данных записывается только в "
                           "новый файл.")
                .arg(target));
        QCOMPARE(fileHash(target), converted);
        QCOMPARE(fileHash(school.db.path()), school.originalHash);
    }
};

QTEST_MAIN(AccessTest)
#include "test_access.moc"
