// The tests' database on both backends: on the server the test's file and the server's database hold the same
// rows whichever side was written last, and the program is pointed at the one the test made.
#include "base/schema.h"
#include "data/datamodule.h"
#include "data/engine/table.h"
#include "data/passwords.h"
#include "tests/support/recorder.h"
#include "tests/support/testbackend.h"
#include "tests/support/testdb.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

namespace {

const QStringList tables = {schema::classes::name,    schema::pupils::table,  schema::topics::table,
                            schema::questions::table, schema::answers::table, schema::results::table};

QString everyRow(const QString& table) {
    return QStringLiteral("SELECT * FROM \"%1\" ORDER BY 1").arg(table);
}

// Runs SQL on a file past the test helpers, so that no server hears of it.
void writeBehindTheHelpers(const QString& path, const QString& sql) {
    sqlite3* db = nullptr;
    QVERIFY(sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK);
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
    QCOMPARE(rc, SQLITE_OK);
}

QString serverDatabase(const TestDatabase& db) {
    return testbackend::ServerCopy::of(db.path())->database();
}

// One value the server holds, as text.
QString onServer(const TestDatabase& db, const QString& sql) {
    return testbackend::server().rows(serverDatabase(db), sql).value(0).value(0).toString();
}

} // namespace

class TestDatabaseTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SKIP_WITHOUT_SERVER(); }

    // The small rows, loaded into the server and written back into the file, read as they were written.
    void rowsComeBackFromTheServer_data() {
        QTest::addColumn<QString>("table");
        for (const QString& table : tables)
            QTest::newRow(qPrintable(table)) << table;
    }
    void rowsComeBackFromTheServer() {
        QFETCH(QString, table);
        const QTemporaryDir folder;
        const QString plain = folder.filePath(QStringLiteral("plain.mdb"));
        QCOMPARE(SqlFile(plain).exec(TestDatabase::schemaSql() + TestDatabase::smallRowsSql()), QString());
        const QList<QVariantList> written = SqlFile(plain).rows(everyRow(table));
        QVERIFY(!written.isEmpty());

        const TestDatabase db(TestDatabase::smallRowsSql());
        if (testbackend::onServer()) // the file alone loses its rows: what is read comes from the server
            writeBehindTheHelpers(db.path(), QStringLiteral("DELETE FROM \"%1\";").arg(table));
        QList<QVariantList> read = SqlFile(db.path()).rows(everyRow(table));
        // The server keeps passwords as hashes of them.
        for (qsizetype i = 0; table == schema::pupils::table && testbackend::onServer() && i < read.size();
             ++i) {
            QVERIFY(passwords::matches(written[i][schema::pupils::passwordPos].toString(),
                                       read[i][schema::pupils::passwordPos].toString()));
            read[i][schema::pupils::passwordPos] = written[i][schema::pupils::passwordPos];
        }
        QCOMPARE(read, written);
    }

    // What a test writes into the file reaches the server, and the keys the server gives next continue
    // after the highest written.
    void writesReachTheServer_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("check");
        QTest::addColumn<QString>("expected");
        QTest::newRow("insert")
            << "INSERT INTO \"класс\" VALUES (40, '7В');"
            << "SELECT string_agg(\"класс\", ',' ORDER BY \"id_класса\") FROM muzyka.\"класс\""
            << "5А,5Б,6А,7В";
        QTest::newRow("update") << "UPDATE \"Ученики\" SET \"права\" = 1 WHERE \"id_ученика\" = 2;"
                                << "SELECT count(*) FROM muzyka.\"Ученики\" WHERE \"права\""
                                << "2";
        QTest::newRow("delete") << "DELETE FROM \"Ответы\" WHERE \"id_вопроса\" = 1;"
                                << "SELECT count(*) FROM muzyka.\"Ответы\""
                                << "5";
        QTest::newRow("date")
            << "UPDATE \"результаты\" SET \"Дата\" = '2027-01-31 08:05:00';"
            << "SELECT to_char(max(\"Дата\"), 'DD.MM.YYYY HH24:MI') FROM muzyka.\"результаты\""
            << "31.01.2027 08:05";
        QTest::newRow("next key")
            << "INSERT INTO \"Тема\" VALUES (70, 'Лады');"
            << "INSERT INTO muzyka.\"Тема\" (\"тема\") VALUES ('Ритм') RETURNING \"id_темы\""
            << "71";
    }
    void writesReachTheServer() {
        QFETCH(QString, sql);
        QFETCH(QString, check);
        QFETCH(QString, expected);
        if (!testbackend::onServer())
            QSKIP("about the server's copy of the file");
        const TestDatabase db(TestDatabase::smallRowsSql());
        db.exec(sql);
        QCOMPARE(onServer(db, check), expected);
    }

    // A read after the server changed sees the change; a write keeps what the server held before it.
    void theFileFollowsTheServer() {
        if (!testbackend::onServer())
            QSKIP("about the server's copy of the file");
        const TestDatabase db(TestDatabase::smallRowsSql());
        QVERIFY(testbackend::server()
                    .exec(serverDatabase(db), QStringLiteral("UPDATE muzyka.\"Тема\" SET \"тема\" = 'Ноты' "
                                                             "WHERE \"id_темы\" = 1"))
                    .isEmpty());
        QCOMPARE(db.scalar(QStringLiteral("SELECT \"тема\" FROM \"Тема\" WHERE \"id_темы\" = 1")),
                 QStringLiteral("Ноты"));
        QVERIFY(testbackend::server()
                    .exec(serverDatabase(db), QStringLiteral("DELETE FROM muzyka.\"результаты\""))
                    .isEmpty());
        db.exec(QStringLiteral("UPDATE \"Тема\" SET \"тема\" = 'Ключи и ноты' WHERE \"id_темы\" = 2;"));
        QCOMPARE(onServer(db, QStringLiteral("SELECT count(*) FROM muzyka.\"результаты\"")),
                 QStringLiteral("0"));
        QCOMPARE(
            onServer(db, QStringLiteral(
                             "SELECT string_agg(\"тема\", ',' ORDER BY \"id_темы\") FROM muzyka.\"Тема\"")),
            QStringLiteral("Ноты,Ключи и ноты,Композиторы"));
    }

    // The data module reads and writes the server's rows, not the file's.
    void theProgramWorksOnTheServer() {
        if (!testbackend::onServer())
            QSKIP("about the server's copy of the file");
        const TestDatabase db(TestDatabase::smallRowsSql());
        QVERIFY(testbackend::server()
                    .exec(serverDatabase(db), QStringLiteral("UPDATE muzyka.\"Тема\" SET \"тема\" = 'Ноты' "
                                                             "WHERE \"id_темы\" = 1"))
                    .isEmpty());
        const RecordingDialogs dialogs;
        TDataModule11 dm;
        QVERIFY(dm.tema->locate(schema::topicKey, 1));
        QCOMPARE(dm.tema->asText(1), QStringLiteral("Ноты"));
        QVERIFY(dm.tema->locate(schema::topicKey, 3));
        dm.tema->setValue(1, QStringLiteral("Великие композиторы"));
        dm.tema->post();
        QCOMPARE(onServer(db, QStringLiteral("SELECT \"тема\" FROM muzyka.\"Тема\" WHERE \"id_темы\" = 3")),
                 QStringLiteral("Великие композиторы"));
        QCOMPARE(dialogs.failures(), QStringList());
    }

    // On the server the program opens the test's database while the object lives, and the setting is as it
    // was afterwards; on the file backend a test that names a server itself keeps it.
    void theProgramIsPointedAtTheTestsDatabase() {
        qputenv("MUZYKA_SERVER", "postgresql://someone@/elsewhere");
        {
            const TestDatabase db;
            if (testbackend::onServer()) {
                QCOMPARE(qEnvironmentVariable("MUZYKA_SERVER"),
                         testbackend::ServerCopy::of(db.path())->uri());
                QCOMPARE(TestDatabase::serverUri(), qEnvironmentVariable("MUZYKA_SERVER"));
                QVERIFY(TestDatabase::serverUri().contains(serverDatabase(db)));
            } else {
                QCOMPARE(qEnvironmentVariable("MUZYKA_SERVER"),
                         QStringLiteral("postgresql://someone@/elsewhere"));
                QCOMPARE(TestDatabase::serverUri(), QString());
            }
        }
        QCOMPARE(qEnvironmentVariable("MUZYKA_SERVER"), QStringLiteral("postgresql://someone@/elsewhere"));
        qunsetenv("MUZYKA_SERVER");
    }
};

QTEST_MAIN(TestDatabaseTest)
#include "test_testdb.moc"
