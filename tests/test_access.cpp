#include "admin/form9.h"
#include "app/form14.h"
#include "base/failure.h"
#include "base/schema.h"
#include "data/access/converter.h"
#include "data/datamodule.h"
#include "data/engine/connection.h"
#include "data/engine/table.h"
#include "signin/form1.h"
#include "support/failures.h"
#include "tests/support/fixtures.h"
#include "tests/support/instances.h"
#include "tests/support/jet3file.h"

#include <QProcess>
#include <QPushButton>
#include <QStringEncoder>
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

// The sentence for an Access file that cannot be read.
QString damagedFile(const QString& path) {
    return QStringLiteral(
               "'%1' — база данных Access, но прочитать её не удалось: файл повреждён или записан в "
               "формате, который программа не знает.")
        .arg(path);
}

// Adds `change` to the row count in the header of the data page that holds `text` (a page of `pageSize`
// bytes whose count is at `countOffset`); false when no such page is found.
bool changeRowCount(const QString& path, const QByteArray& text, int pageSize, int countOffset, int change) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    QByteArray bytes = file.readAll();
    const qsizetype at = bytes.indexOf(text);
    const qsizetype page = at - at % pageSize;
    if (at < 0 || bytes[page] != 0x01) // not a data page
        return false;
    bytes[page + countOffset] = char(bytes[page + countOffset] + change);
    return file.seek(0) && file.write(bytes) == bytes.size();
}

// The pupils' data page of the school's file (Jet 4: pages of 4096 bytes, the row count at byte 12).
bool changePupilsRowCount(const QString& path, int change) {
    QStringEncoder utf16(QStringConverter::Utf16LE);
    return changeRowCount(path, utf16(QStringLiteral("Римская")), 4096, 12, change);
}

// A Jet 3 table of classes, its names and texts in Windows-1251 as a Russian Access 97 writes them.
Jet3File russianJet3(quint16 headerCodePage) {
    Jet3File file;
    file.headerCodePage = headerCodePage;
    file.table = "\xea\xeb\xe0\xf1\xf1";                                          // класс
    file.keyColumn = "id_\xea\xeb\xe0\xf1\xf1\xe0";                               // id_класса
    file.textColumn = "\xea\xeb\xe0\xf1\xf1";                                     // класс
    file.texts = {"5\xc0", "\xc1\xfb\xf1\xf2\xf0\xe0\xff \xef\xee\xf7\xf2\xe0!"}; // 5А, Быстрая почта!
    return file;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Runs mdb_import with `arguments`; its exit code, standard output and error.
struct ToolRun {
    int exitCode = -1;
    QString output, error;
};
ToolRun runTool(const QStringList& arguments) {
    QProcess tool;
    tool.start(QCoreApplication::applicationDirPath() + QStringLiteral("/mdb_import"), arguments);
    ToolRun run;
    if (!tool.waitForFinished(-1))
        return run;
    run.exitCode = tool.exitCode();
    run.output = QString::fromUtf8(tool.readAllStandardOutput());
    run.error = QString::fromUtf8(tool.readAllStandardError());
    return run;
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
        QCOMPARE(storedRows(path, schema::classes::table), QStringList({"1|5А", "2|5Б", "3|6А"}));
        QCOMPARE(
            storedRows(path, schema::pupils::table),
            QStringList({"1|Ольга|Белова|Игоревна|∅|Камертон|1", "2|Артём|Фролов|Денисович|1|allegro|0",
                         "3|Дарья|Фролова|Сергеевна|1|Дарья5|0", "4|Максим|Кузнецов|Олегович|2|fa-diez|0",
                         "5|Полина|Римская-Корсакова-Прохорова|Алексеевна|3|sol|0",
                         "6|Иван|Д'Амико|Петрович|2|Tutti|0", "7|Егор|Кузнецов|Андреевич|3|кварта4|0"}));
        QCOMPARE(storedRows(path, schema::topics::table),
                 QStringList({"1|Регистры и тембры", "2|Динамика", "3|Жанры"}));
        QCOMPARE(storedRows(path, schema::questions::table),
                 QStringList({"1|Какой голос самый высокий женский?|1",
                              "2|Какой инструмент звучит ниже всех в струнном квартете?|1",
                              "3|Что такое тембр?|1", "4|Что означает forte?|2", "5|Что означает piano?|2",
                              "6|Как обозначается постепенное усиление звука?|2",
                              "7|Какой жанр относится к танцевальным?|3",
                              "8|Какой жанр исполняет хор без сопровождения?|3", "9|Что такое симфония?|3"}));
        QCOMPARE(storedRows(path, schema::answers::table),
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
            storedRows(path, schema::results::table),
            QStringList({"1|2026-09-15|3|5|2|1|1", "2|2026-09-15|2|3|3|1|1",
                         "3|2026-09-16 10:05:00|1|2|4|2|2", "4|2026-09-17|3|5|5|2|3",
                         "5|2026-09-18|2|3|6|3|2", "6|2026-09-20|0|2|42|3|1", "7|2026-09-21|3|5|7|1|3"}));
        // The program reads them in its own kinds.
        QVERIFY(dm.rez->locate(schema::results::key, 3));
        QCOMPARE(dm.rez->value(schema::results::date).toDateTime(),
                 QDateTime(QDate(2026, 9, 16), QTime(10, 5)));
        QVERIFY(dm.ych->value(schema::classKey).isNull());
        QCOMPARE(dm.ych->value(schema::pupils::rights).toBool(), true);
        QVERIFY(dm.rez->locate(schema::results::key, 4));
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
        QCOMPARE(storedRows(school.db.path(), schema::results::table).last(),
                 QStringLiteral("8|2026-12-09 11:30:00|2|4|3|2|1"));
    }

    void relationsDecideWhatADeleteDoes() {
        SchoolFolder school;
        RecordingDialogs dialogs;
        TDataModule11 dm;
        const QString path = school.db.path();
        // A question takes its answers with it.
        QVERIFY(dm.quest->locate(schema::questionKey, 1));
        dm.quest->remove();
        QCOMPARE(storedRows(path, schema::answers::table).size(), 22);
        // A topic with results is refused, also once its questions are gone.
        dm.tema->last();
        while (dm.quest->recordCount() > 0)
            dm.quest->remove();
        QCOMPARE(
            failureText([&] { dm.tema->remove(); }),
            QStringLiteral("tema: Запись нельзя удалить: на неё ссылаются записи таблицы «результаты»."));
        QCOMPARE(storedRows(path, schema::topics::table).size(), 3);
        // Pupils are in no relation: the pupil goes, his result stays and shows no name.
        QVERIFY(dm.ych->locate(schema::pupilKey, 2));
        dm.ych->remove();
        QVERIFY(dm.rez->locate(schema::results::key, 1));
        QCOMPARE(dm.rez->displayText(1), QString());
        QCOMPARE(dm.rez->displayText(2), QString());
        QCOMPARE(storedRows(path, schema::results::table).size(), 7);
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
        const QString expected = QStringLiteral("ADOConnection1: ") + damagedFile(school.db.path());
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
        QCOMPARE(failureText([&] { accessdb::convertInPlace(school.db.path()); }), QString());
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

    // Fuzzed files that make libmdb loop or allocate without end: the converter is stopped at its bounds and
    // the start goes on as for any damaged file, with the first failure given again, not converted again.
    void damagedFilesEndWithinTheBounds_data() {
        QTest::addColumn<QString>("fixture");
        for (int i = 1; i <= 5; ++i)
            QTest::newRow(qPrintable(QStringLiteral("damaged-%1").arg(i)))
                << QStringLiteral("access/damaged/damaged-%1.mdb").arg(i);
    }
    void damagedFilesEndWithinTheBounds() {
        QFETCH(QString, fixture);
        SchoolFolder school(fixture);
        QVERIFY(school.placed);
        const auto before = folderState(school.db.folder());
        RecordingDialogs dialogs;
        const TDataModule11 dm;
        QVERIFY(!dm.ADOConnection1->isConnected());
        const QStringList failures = dialogs.failures();
        QCOMPARE(failures.size(), 7);
        QCOMPARE(failures, QStringList(7, failures.first()));
        // Which bound a file meets first depends on the machine and the build (a sanitizer's slows the
        // reading and bounds resident memory instead of address space).
        const QString damaged =
            QStringLiteral("ADOConnection1: '%1' — база данных Access, но прочитать её не "
                           "удалось: файл повреждён — ")
                .arg(school.db.path());
        const QStringList bounds{
            QStringLiteral("его чтение не закончилось за %1 секунд.").arg(accessdb::conversionBounds.seconds),
            QStringLiteral("для его чтения не хватило %1 МБ памяти.")
                .arg(accessdb::conversionBounds.megabytes),
            QStringLiteral("его чтение прервалось аварийно.")};
        QVERIFY2(failures.first().startsWith(damaged) &&
                     bounds.contains(failures.first().mid(damaged.size())),
                 qPrintable(failures.first()));
        QCOMPARE(folderState(school.db.folder()), before);
    }

    void missingConverterIsSaid() {
        SchoolFolder school;
        const QTemporaryDir empty;
        const ModuleFolder modules(empty.path());
        const auto before = folderState(school.db.folder());
        QCOMPARE(
            failureText([&] { accessdb::convertInPlace(school.db.path()); }),
            QStringLiteral("Не удалось перевести базу данных Access '%1': программа перевода '%2/mdb_import' "
                           "не запускается.")
                .arg(school.db.path(), empty.path()));
        QCOMPARE(folderState(school.db.folder()), before);
    }

    // One byte of a data page's header, its row count, changed: the rows read do not match the table's own
    // count, and the file is refused instead of converted with made-up or missing rows.
    void changedRowCountMakesTheFileDamaged_data() {
        QTest::addColumn<bool>("jet3");
        QTest::addColumn<int>("change");
        QTest::newRow("Jet 4, one row more") << false << 1;
        QTest::newRow("Jet 4, one row fewer") << false << -1;
        QTest::newRow("Jet 3, one row more") << true << 1;
    }
    void changedRowCountMakesTheFileDamaged() {
        QFETCH(bool, jet3);
        QFETCH(int, change);
        SchoolFolder school;
        const QString path = school.db.path();
        if (jet3) {
            QVERIFY(writeFile(path, russianJet3(0).bytes()));
            QVERIFY(changeRowCount(path, "5\xc0", 2048, 8, change));
        } else {
            QVERIFY(changePupilsRowCount(path, change));
        }
        const auto before = folderState(school.db.folder());
        QCOMPARE(failureText([&] { accessdb::convertInPlace(path); }), damagedFile(path));
        QCOMPARE(folderState(school.db.folder()), before);
    }

    // A key whose stored size is too small for its kind cannot be read as a number.
    void valueThatDoesNotDecodeMakesTheFileDamaged() {
        SchoolFolder school;
        Jet3File file = russianJet3(0);
        file.keySize = 2;
        QVERIFY(writeFile(school.db.path(), file.bytes()));
        QCOMPARE(failureText([&] { accessdb::convertInPlace(school.db.path()); }),
                 damagedFile(school.db.path()));
    }

    // Rows that break their table's key cannot come from a sound Access file: said so, not in SQLite's words.
    void brokenKeyIsToldAsADamagedFile() {
        SchoolFolder school;
        Jet3File file = russianJet3(0);
        file.keys = {1, 1};
        QVERIFY(writeFile(school.db.path(), file.bytes()));
        QCOMPARE(
            failureText([&] { accessdb::convertInPlace(school.db.path()); }),
            QStringLiteral("'%1' — база данных Access, которую не удалось перевести в формат программы: "
                           "значения её таблиц нарушают их ключи или уникальные индексы, чего в целой базе "
                           "Access не бывает: файл повреждён.")
                .arg(school.db.path()));
    }

    // A file that failed is not converted again in the same run unless it changed (size or time of change).
    void failedFileIsTriedAgainOnlyOnceChanged() {
        SchoolFolder school;
        const QString path = school.db.path();
        QVERIFY(changePupilsRowCount(path, 1));
        const QDateTime changed = QFileInfo(path).lastModified();
        QCOMPARE(failureText([&] { accessdb::convertInPlace(path); }), damagedFile(path));
        // Mended with the same size and time of change: the first failure is given again.
        QVERIFY(changePupilsRowCount(path, -1));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(changed, QFileDevice::FileModificationTime));
        QCOMPARE(failureText([&] { accessdb::convertInPlace(path); }), damagedFile(path));
        QVERIFY(file.setFileTime(changed.addSecs(1), QFileDevice::FileModificationTime));
        file.close();
        QCOMPARE(failureText([&] { accessdb::convertInPlace(path); }), QString());
        QCOMPARE(fileHash(school.kept()), school.originalHash);
    }

    // Access 97 keeps text in the code page of the Windows that wrote the file, and Russian files name 0 or
    // 1252 in their header as often as 1251: those are read as Windows-1251, another code page named is
    // taken, and mdb_import takes one as asked.
    void jet3TextIsReadInTheSchoolsCodePage_data() {
        QTest::addColumn<int>("headerCodePage");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("rows");
        const QStringList russian{"1|5А", "2|Быстрая почта!"};
        QTest::newRow("none named") << 0 << QStringList() << "класс" << russian;
        QTest::newRow("Western named") << 1252 << QStringList() << "класс" << russian;
        QTest::newRow("Russian named") << 1251 << QStringList() << "класс" << russian;
        QTest::newRow("Central European named")
            << 1250 << QStringList() << "ęëŕńń" << QStringList{"1|5Ŕ", "2|Áűńňđŕ˙ ďî÷ňŕ!"};
        QTest::newRow("Western asked for")
            << 0 << QStringList{"--code-page", "1252"} << "êëàññ" << QStringList{"1|5À", "2|Áûñòðàÿ ïî÷òà!"};
        QTest::newRow("Russian asked for")
            << 1250 << QStringList{"--code-page", "1251"} << "класс" << russian;
    }
    void jet3TextIsReadInTheSchoolsCodePage() {
        QFETCH(int, headerCodePage);
        QFETCH(QStringList, options);
        QFETCH(QString, table);
        QFETCH(QStringList, rows);
        const QTemporaryDir folder;
        const QString access = folder.filePath(QStringLiteral("школа97.mdb"));
        const QString target = folder.filePath(QStringLiteral("школа.sqlite"));
        QVERIFY(writeFile(access, russianJet3(quint16(headerCodePage)).bytes()));
        const ToolRun run = runTool(options + QStringList{access, target});
        QCOMPARE(run.error, QString());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(storedRows(target, table), rows);
    }

    void toolRefusesAnUnknownCodePage_data() {
        QTest::addColumn<QString>("codePage");
        QTest::newRow("not a code page") << "866";
        QTest::newRow("not a number") << "cp1251";
    }
    void toolRefusesAnUnknownCodePage() {
        QFETCH(QString, codePage);
        SchoolFolder school;
        const QString target = school.db.folder() + QStringLiteral("/новая.sqlite");
        const ToolRun run = runTool({"--code-page", codePage, school.db.path(), target});
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(
            run.error.trimmed(),
            QStringLiteral("mdb_import: кодовая страница «%1» не поддерживается; можно указать 874, 932, "
                           "936, 950, 951 или от 1250 до 1258.")
                .arg(codePage));
        QVERIFY(!QFileInfo::exists(target));
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
        QCOMPARE(storedRows(target, schema::answers::table).size(), 25);
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
