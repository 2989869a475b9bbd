#include "base/schema.h"
#include "data/engine/attemptstables.h"
#include "data/engine/serveraddress.h"
#include "data/passwords.h"
#include "tests/support/fixtures.h"
#include "tests/support/lablogin.h"
#include "tests/support/logtables.h"
#include "tests/support/pgserver.h"
#include "tests/support/testdb.h"
#include "tests/support/tools.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

#include <memory>

namespace {

const QStringList tables = {schema::classes::name,    schema::pupils::table,  schema::topics::table,
                            schema::questions::table, schema::answers::table, schema::results::table};

QString keyOf(const QString& table) {
    static const QStringList keys = {schema::classKey,    schema::pupilKey,     schema::topicKey,
                                     schema::questionKey, schema::answers::key, schema::results::key};
    return keys[tables.indexOf(table)];
}

// A table's keys in order, one text, from a file and from the server.
QString fileKeys(const QString& path, const QString& table) {
    return SqlFile(path).scalar(
        QStringLiteral("SELECT group_concat(k) FROM (SELECT \"%1\" AS k FROM \"%2\" ORDER BY 1)")
            .arg(keyOf(table), table));
}

namespace at = attemptstables;

const QStringList logTables = {at::attempts, at::questions, at::answers, at::plays};

// The tool runs at UTC+12 (a POSIX zone, which needs no zone database), while the tests' server keeps the
// machine's zone: the log keeps the school's local time, which must not move on its way to the server and
// back.
const QString toolZone = QStringLiteral("TZ=<+12>-12");

// A moment `hours` ago as the program writes it into the log on a computer of the tool's zone.
QString hoursAgo(int hours) {
    return QDateTime::currentDateTime()
        .toTimeZone(QTimeZone(12 * 3600))
        .addSecs(-hours * 3600)
        .toString(at::timeFormat);
}

// The answer log over the few rows of TestDatabase: Иван's finished test of topic 2 (result 2), and Анна's
// test of topic 1 left running at `began`, its first question of two answered, the second one's clip played
// once, 500 seconds left.
QString loggedTests(const QString& began) {
    return logTablesSql() + attemptstables::playsDefinition().fileDdl.join(u';') +
           QStringLiteral(R"sql(;
INSERT INTO "попытки" VALUES (3, 2, 2, 2, '2026-11-03T09:00:00', 640, 1, 2), (5, 1, 1, 1, '%1', 500, 0, NULL);
INSERT INTO "вопросы_попытки" VALUES (3, 1, 3, '8,7'), (5, 1, 1, ''), (5, 2, 2, '6,4,5');
INSERT INTO "ответы_попытки" VALUES (3, 3, 7, 'Скрипичный', 1, '2026-11-03T09:04:10'), (5, 1, 1, '5', 1, '%1');
INSERT INTO "прослушивания" VALUES (5, 2, 1);
)sql")
               .arg(began);
}

// A table of the log in a file, row by row; none when the file lacks it.
QList<QVariantList> logRows(const QString& path, const QString& table) {
    const SqlFile file(path);
    if (file.number(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = '%1'").arg(table)) == 0)
        return {};
    return file.rows(QStringLiteral("SELECT * FROM \"%1\" ORDER BY 1, 2").arg(table));
}

} // namespace

// The lab server's set-up tool against a PostgreSQL server of the test's own: what it loads, what it refuses,
// the relations on the server, what it writes back, and its sentences when something is wrong.
class ServerTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<PrivateServer> m_server;
    QTemporaryDir m_dir;
    QString m_sample; // the sample rows as a database file
    QString m_small;  // a Primer.mdb of other rows
    QString m_logged; // the same with an answer log
    QString m_access; // a copy of a school's Access file
    QString m_converted;

    QString serverKeys(const QString& database, const QString& table) const {
        return m_server
            ->rows(database,
                   QStringLiteral("SELECT string_agg(\"%1\"::text, ',' ORDER BY \"%1\") FROM muzyka.\"%2\"")
                       .arg(keyOf(table), table))
            .value(0)
            .value(0)
            .toString();
    }

    QString sourceFile(const QString& source) const {
        return source == QLatin1String("sample")   ? m_sample
               : source == QLatin1String("primer") ? m_small
               : source == QLatin1String("log")    ? m_logged
                                                   : m_converted;
    }

    QStringList setUpArguments(const QString& database, const QString& source) const {
        QStringList args{QStringLiteral("setup"), m_server->adminUri(database)};
        if (source == QLatin1String("access"))
            args << QStringLiteral("--from") << m_access;
        else if (source != QLatin1String("sample"))
            args << QStringLiteral("--from") << sourceFile(source);
        return args;
    }

    QString newPath(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_server = std::make_unique<PrivateServer>();
        if (!m_server->skipReason().isEmpty())
            QSKIP(qPrintable(m_server->skipReason()));
        QVERIFY2(m_server->isRunning(), qPrintable(m_server->failure()));
        qInfo("the private server started in %lld ms", m_server->startMilliseconds());

        m_sample = newPath(QStringLiteral("sample.mdb"));
        QCOMPARE(runTool(QStringLiteral("make_sample_db"), {m_sample}).exitCode, 0);
        m_small = newPath(QStringLiteral("Primer.mdb"));
        QVERIFY(SqlFile(m_small).exec(TestDatabase::schemaSql() + TestDatabase::smallRowsSql()).isEmpty());
        m_logged = newPath(QStringLiteral("logged.mdb"));
        QVERIFY(SqlFile(m_logged)
                    .exec(TestDatabase::schemaSql() + TestDatabase::smallRowsSql() + loggedTests(hoursAgo(1)))
                    .isEmpty());
        m_access = newPath(QStringLiteral("school.mdb"));
        QVERIFY(placeFixture(QStringLiteral("access/school.mdb"), m_access));
        m_converted = newPath(QStringLiteral("school-converted.mdb"));
        QCOMPARE(runTool(QStringLiteral("mdb_import"), {m_access, m_converted}).exitCode, 0);
    }

    void setUpLoadsEveryRowAndDumpGivesThemBack_data() {
        QTest::addColumn<QString>("source");
        QTest::newRow("the sample") << QStringLiteral("sample");
        QTest::newRow("a database file of the program") << QStringLiteral("primer");
        QTest::newRow("a school's Access file") << QStringLiteral("access");
        QTest::newRow("a file with an answer log") << QStringLiteral("log");
    }

    void setUpLoadsEveryRowAndDumpGivesThemBack() {
        QFETCH(QString, source);
        const QString database = m_server->createDatabase();
        const ToolRun setup =
            runTool(QStringLiteral("muzyka_server"), setUpArguments(database, source), {toolZone});
        QVERIFY2(setup.exitCode == 0, qPrintable(setup.errors));
        QVERIFY(!setup.output.contains(m_server->adminPassword()));
        // The line for the lab computers names the lab login with its new password, which the server takes.
        const QString line = setup.output.trimmed().split(u'\n').last();
        const QRegularExpression labLine(
            QStringLiteral("^MUZYKA_SERVER='(postgresql://muzyka_lab:[A-Za-z0-9]{24}@/%1\\?host=[^']+)'$")
                .arg(database));
        const QRegularExpressionMatch match = labLine.match(line);
        QVERIFY2(match.hasMatch(), qPrintable(line));
        {
            QSqlDatabase lab = openServer(ServerAddress::parse(match.captured(1)), QStringLiteral("lab"));
            QVERIFY(lab.isOpen());
        }
        QSqlDatabase::removeDatabase(QStringLiteral("lab"));

        const QString reference = sourceFile(source);
        for (const QString& table : tables) {
            QCOMPARE(serverKeys(database, table), fileKeys(reference, table));
            // A new row continues after the highest key.
            const qint64 highest = SqlFile(reference).number(
                QStringLiteral("SELECT COALESCE(MAX(\"%1\"), 0) FROM \"%2\"").arg(keyOf(table), table));
            const QList<QVariantList> next = m_server->rows(
                database, QStringLiteral("SELECT nextval(pg_get_serial_sequence('muzyka.\"%1\"', '%2'))")
                              .arg(table, keyOf(table)));
            QCOMPARE(next.value(0).value(0).toLongLong(), highest + 1);
        }

        const QString dumped = newPath(QStringLiteral("dump-%1.mdb").arg(source));
        const ToolRun dump =
            runTool(QStringLiteral("muzyka_server"),
                    {QStringLiteral("dump"), m_server->adminUri(database), dumped}, {toolZone});
        QVERIFY2(dump.exitCode == 0, qPrintable(dump.errors));
        // Every row comes back; passwords as the server keeps them, hashes that match the file's.
        for (const QString& table : tables) {
            const QString all = QStringLiteral("SELECT * FROM \"%1\" ORDER BY 1").arg(table);
            QList<QVariantList> back = SqlFile(dumped).rows(all);
            const QList<QVariantList> original = SqlFile(reference).rows(all);
            QCOMPARE(back.size(), original.size());
            for (qsizetype i = 0; table == schema::pupils::table && i < back.size(); ++i) {
                const QVariant& password = original[i][schema::pupils::passwordPos];
                QVERIFY(back[i][schema::pupils::passwordPos].toString().startsWith(QStringLiteral("$2a$")));
                QVERIFY(
                    passwords::matches(password.toString(), back[i][schema::pupils::passwordPos].toString()));
                back[i][schema::pupils::passwordPos] = password;
            }
            QCOMPARE(back, original);
        }
        // The answer log comes back row for row, its times as the program writes them.
        for (const QString& table : logTables)
            QCOMPARE(logRows(dumped, table), logRows(reference, table));
        QCOMPARE(SqlFile(dumped, SqlFile::Checked).scalar(QStringLiteral("PRAGMA foreign_key_check")),
                 QString());
    }

    void aTestLeftRunningInTheFileGoesOnOnTheServer_data() {
        QTest::addColumn<int>("hours");       // since Анна's test began
        QTest::addColumn<QString>("started"); // what starting topic 1 on the server gives her
        QTest::addColumn<QString>("walk");    // its questions, whether answered, the seconds left, plays of 2
        QTest::addColumn<QString>("left");    // the file's test afterwards: its state, whether it has a row
        QTest::newRow("begun an hour ago: taken up again")
            << 1 << QStringLiteral("5") << QStringLiteral("1:true 2:false 500 1")
            << QStringLiteral("0 false");
        QTest::newRow("begun 25 hours ago: abandoned with its row, the new test numbered after it")
            << 25 << QStringLiteral("6") << QStringLiteral("1:false 2:false - 0") << QStringLiteral("3 true");
    }

    void aTestLeftRunningInTheFileGoesOnOnTheServer() {
        QFETCH(int, hours);
        QFETCH(QString, started);
        QFETCH(QString, walk);
        QFETCH(QString, left);
        const QString file = newPath(QStringLiteral("left-%1.mdb").arg(hours));
        QVERIFY(
            SqlFile(file)
                .exec(TestDatabase::schemaSql() + TestDatabase::smallRowsSql() + loggedTests(hoursAgo(hours)))
                .isEmpty());
        const QString database = m_server->createDatabase();
        const ToolRun setup =
            runTool(QStringLiteral("muzyka_server"),
                    {QStringLiteral("setup"), m_server->adminUri(database), QStringLiteral("--from"), file},
                    {toolZone});
        QVERIFY2(setup.exitCode == 0, qPrintable(setup.errors));

        QCOMPARE(m_server->exec(database, QStringLiteral("ALTER ROLE muzyka_lab PASSWORD 'lab-secret'")),
                 QString());
        LabLogin lab(m_server->uri(QStringLiteral("muzyka_lab"), QStringLiteral("lab-secret"), database));
        // Until its pupil takes it up, no sign-in runs it: not even the empty key of a curious psql.
        QCOMPARE(lab.run(QStringLiteral("SELECT set_config('muzyka.session', '', false); "
                                        "SELECT muzyka.finish_test(5, '2031-01-01')")),
                 QStringLiteral("ERROR: этот тест начат не на этом входе в программу."));
        QCOMPARE(
            lab.run(QStringLiteral("SELECT set_config('muzyka.session', session, false) IS NOT NULL FROM "
                                   "muzyka.sign_in(1, 'nota'); SELECT muzyka.start_test(1)")),
            started);
        QCOMPARE(
            lab.run(QStringLiteral(
                        "SELECT string_agg(question || ':' || answered, ' ' ORDER BY question) "
                        "|| ' ' || COALESCE(max(seconds_left)::text, '-') || ' ' || muzyka.clip_plays(%1, 2) "
                        "FROM muzyka.test_questions(%1)")
                        .arg(started)),
            walk);
        QCOMPARE(m_server
                     ->rows(database,
                            QStringLiteral("SELECT \"состояние\" || ' ' || (\"id_результата\" IS NOT "
                                           "NULL)::text FROM muzyka.\"попытки\" WHERE \"id_попытки\" = 5"))
                     .value(0)
                     .value(0)
                     .toString(),
                 left);
    }

    void aSecondSetUpReplacesOnlyWhenTold_data() {
        QTest::addColumn<bool>("replace");
        QTest::newRow("without --replace: refused, rows kept") << false;
        QTest::newRow("with --replace: the new rows, once") << true;
    }

    void aSecondSetUpReplacesOnlyWhenTold() {
        QFETCH(bool, replace);
        const QString database = m_server->createDatabase();
        QCOMPARE(runTool(QStringLiteral("muzyka_server"), setUpArguments(database, QStringLiteral("sample")))
                     .exitCode,
                 0);
        // A lab computer's sign-in of pupil 1 of the rows about to be replaced.
        QCOMPARE(m_server->exec(database,
                                QStringLiteral("INSERT INTO muzyka.\"сеансы\" VALUES ('key', 1, false)")),
                 QString());
        QStringList args = setUpArguments(database, QStringLiteral("primer"));
        if (replace)
            args << QStringLiteral("--replace");
        const ToolRun again = runTool(QStringLiteral("muzyka_server"), args);
        const QString expected = replace ? m_small : m_sample;
        QCOMPARE(again.exitCode, replace ? 0 : 1);
        if (!replace)
            QVERIFY2(again.errors.contains(QStringLiteral("уже содержит записи")) &&
                         again.errors.contains(QStringLiteral("--replace")),
                     qPrintable(again.errors));
        for (const QString& table : tables)
            QCOMPARE(serverKeys(database, table), fileKeys(expected, table));
        // Replaced, the sign-in would name whoever is pupil 1 now: it is gone.
        QCOMPARE(m_server->rows(database, QStringLiteral("SELECT count(*) FROM muzyka.\"сеансы\""))
                     .value(0)
                     .value(0)
                     .toInt(),
                 replace ? 0 : 1);
    }

    // A server set up by an older version (here: without the clips' plays) gets the new objects from
    // `update`; its rows and the lab computers' line stay. A database never set up is told to run setup.
    void updateBringsAnOlderServerUpToDate() {
        const QString database = m_server->createDatabase();
        const ToolRun empty = runTool(QStringLiteral("muzyka_server"),
                                      {QStringLiteral("update"), m_server->adminUri(database)});
        QCOMPARE(empty.exitCode, 1);
        QVERIFY2(
            empty.errors.contains(QStringLiteral("нет таблиц программы: сначала выполните «muzyka_server "
                                                 "setup».")),
            qPrintable(empty.errors));
        const ToolRun setup =
            runTool(QStringLiteral("muzyka_server"), setUpArguments(database, QStringLiteral("primer")));
        QCOMPARE(setup.exitCode, 0);
        const QString line = setup.output.section(QStringLiteral("MUZYKA_SERVER='"), 1).section(u'\'', 0, 0);
        QCOMPARE(m_server->exec(database, QStringLiteral("DROP FUNCTION muzyka.play_clip(integer, integer), "
                                                         "muzyka.clip_plays(integer, integer); "
                                                         "DROP TABLE muzyka.\"прослушивания\"")),
                 QString());
        const ToolRun update = runTool(QStringLiteral("muzyka_server"),
                                       {QStringLiteral("update"), m_server->adminUri(database)});
        QVERIFY2(update.exitCode == 0, qPrintable(update.errors));
        QCOMPARE(
            m_server->rows(
                database, QStringLiteral("SELECT to_regprocedure('muzyka.play_clip(integer,integer)') "
                                         "IS NOT NULL, to_regclass('muzyka.\"прослушивания\"') IS NOT NULL")),
            (QList<QVariantList>{{true, true}}));
        for (const QString& table : tables)
            QCOMPARE(serverKeys(database, table), fileKeys(m_small, table));
        LabLogin lab(line);
        QCOMPARE(lab.run(QStringLiteral("SELECT session IS NOT NULL FROM muzyka.sign_in(1, 'nota')")),
                 QStringLiteral("true"));
    }

    void relationsOnTheServerAreThoseOfTheFile_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("count"); // what the delete leaves, counted
        QTest::newRow("a question deletes its answers")
            << QStringLiteral("DELETE FROM \"Вопрос\" WHERE \"id_вопроса\" = 1")
            << QStringLiteral("SELECT COUNT(*) FROM \"Ответы\"");
        QTest::newRow("a topic with questions is refused")
            << QStringLiteral("DELETE FROM \"Тема\" WHERE \"id_темы\" = 1")
            << QStringLiteral("SELECT COUNT(*) FROM \"Тема\"");
        QTest::newRow("a class with pupils is refused")
            << QStringLiteral("DELETE FROM \"класс\" WHERE \"id_класса\" = 1")
            << QStringLiteral("SELECT COUNT(*) FROM \"класс\"");
        QTest::newRow("a pupil with results goes, the results stay")
            << QStringLiteral("DELETE FROM \"Ученики\" WHERE \"id_ученика\" = 1")
            << QStringLiteral("SELECT COUNT(*) FROM \"результаты\"");
    }

    void relationsOnTheServerAreThoseOfTheFile() {
        QFETCH(QString, statement);
        QFETCH(QString, count);
        const QString database = m_server->createDatabase();
        QCOMPARE(runTool(QStringLiteral("muzyka_server"), setUpArguments(database, QStringLiteral("primer")))
                     .exitCode,
                 0);
        QTemporaryDir copyFolder;
        const QString file = copyFolder.filePath(QStringLiteral("Primer.mdb"));
        QVERIFY(QFile::copy(m_small, file));

        const SqlFile checked(file, SqlFile::Checked);
        const bool fileRefused = !checked.exec(statement).isEmpty();
        const QString onServer =
            QString(statement).replace(QStringLiteral("FROM \""), QStringLiteral("FROM muzyka.\""));
        const bool serverRefused = !m_server->exec(database, onServer).isEmpty();
        QCOMPARE(serverRefused, fileRefused);
        QCOMPARE(m_server
                     ->rows(database, QString(count).replace(QStringLiteral("FROM \""),
                                                             QStringLiteral("FROM muzyka.\"")))
                     .value(0)
                     .value(0)
                     .toLongLong(),
                 checked.number(count));
    }

    void theOwnerHasTheObjectsAndOthersNothing_data() {
        QTest::addColumn<bool>("superuser");
        QTest::newRow("set up by a superuser") << true;
        QTest::newRow("set up by an administrator who creates roles and owns the database") << false;
    }

    void theOwnerHasTheObjectsAndOthersNothing() {
        QFETCH(bool, superuser);
        const QString database = m_server->createDatabase();
        QString uri = m_server->adminUri(database);
        if (!superuser) {
            const QString admin = QStringLiteral("admin_of_") + database;
            QCOMPARE(
                m_server->exec(database, QStringLiteral("CREATE ROLE %1 LOGIN CREATEROLE PASSWORD 'a:b@c'; "
                                                        "ALTER DATABASE %2 OWNER TO %1")
                                             .arg(admin, database)),
                QString());
            uri = m_server->uri(admin, QStringLiteral("a:b@c"), database);
        }
        const ToolRun setup = runTool(QStringLiteral("muzyka_server"), {QStringLiteral("setup"), uri});
        QVERIFY2(setup.exitCode == 0, qPrintable(setup.errors));
        // Another login of the server, given nothing by name.
        QCOMPARE(m_server->exec(database,
                                QStringLiteral("DROP ROLE IF EXISTS stranger; CREATE ROLE stranger LOGIN")),
                 QString());
        const QList<QVariantList> rights = m_server->rows(
            database,
            QStringLiteral("SELECT has_database_privilege('stranger', current_database(), 'CONNECT'), "
                           "has_schema_privilege('stranger', 'public', 'CREATE'), "
                           "has_schema_privilege('stranger', 'muzyka', 'USAGE'), "
                           "has_table_privilege('stranger', 'muzyka.\"Ответы\"', 'SELECT'), "
                           "(SELECT rolcanlogin FROM pg_roles WHERE rolname = 'muzyka_owner'), "
                           "(SELECT COUNT(*) FROM pg_tables WHERE schemaname = 'muzyka' AND "
                           "tableowner = 'muzyka_owner')"));
        // The six tables and the server's own: sign-ins, tests begun, their questions, their answers, their
        // clips' plays, the topics' test settings and the questions' media.
        QCOMPARE(rights.value(0), (QVariantList{false, false, false, false, false, 13}));
    }

    void failuresAreSentencesWithoutThePassword_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("sentence");
        QTest::addColumn<QString>("password"); // that must not show

        // The server's own folder is made in initTestCase; the rows are built here from its URIs.
        const QString database = QStringLiteral("postgres");
        const QString wrong = QStringLiteral("Wrong-Secret-7");
        QTest::newRow("a wrong password")
            << QStringList{QStringLiteral("setup"), m_server->adminUri(database, wrong)}
            << QStringLiteral("не принял пароль пользователя «muzyka_admin»") << wrong;
        QTest::newRow("a database that is not there")
            << QStringList{QStringLiteral("setup"), m_server->adminUri(QStringLiteral("nosuch"))}
            << QStringLiteral("нет базы данных «nosuch»") << m_server->adminPassword();
        QTest::newRow("a server that is not running")
            << QStringList{QStringLiteral("setup"),
                           QStringLiteral("postgresql://muzyka_admin:%1@/postgres?host=%2")
                               .arg(m_server->adminPassword(), uriEncoded(m_dir.path()))}
            << QStringLiteral("не отвечает: он не запущен или недоступен по сети")
            << m_server->adminPassword();
        QTest::newRow("a wrong URI, its password with an @")
            << QStringList{QStringLiteral("setup"), QStringLiteral("mysql://muzyka_admin:p@ss@host/db")}
            << QStringLiteral("Неверный адрес сервера «mysql://muzyka_admin@host/db»")
            << QStringLiteral("ss@");
        // Typed by hand, unencoded: the server still gets the whole password, and no part of it shows.
        for (const QString& typed : {QStringLiteral("Wr/ong@Se?cr#et"), QStringLiteral("a@b?host=c/d")})
            QTest::newRow(qPrintable(QStringLiteral("a wrong password typed as %1").arg(typed)))
                << QStringList{QStringLiteral("setup"),
                               QStringLiteral("postgresql://muzyka_admin:%1@/postgres?host=%2")
                                   .arg(typed, uriEncoded(m_server->socketFolder()))}
                << QStringLiteral("не принял пароль пользователя «muzyka_admin»") << typed.mid(1, 8);
        QTest::newRow("a port that is no number")
            << QStringList{QStringLiteral("dump"),
                           QStringLiteral("postgresql://u:%1@host:port/db").arg(wrong),
                           newPath(QStringLiteral("never.mdb"))}
            << QStringLiteral("порт «port» — не число") << wrong;
        const QString text = newPath(QStringLiteral("notes.txt"));
        QFile notes(text);
        if (notes.open(QIODevice::WriteOnly))
            notes.write("not a database at all");
        QTest::newRow("a file that is no database")
            << QStringList{QStringLiteral("setup"), m_server->adminUri(database), QStringLiteral("--from"),
                           text}
            << QStringLiteral("не база данных: ни файл программы, ни база Access")
            << m_server->adminPassword();
        QTest::newRow("a dump of a database without the tables")
            << QStringList{QStringLiteral("dump"), m_server->adminUri(database),
                           newPath(QStringLiteral("none.mdb"))}
            << QStringLiteral("нет таблиц программы: сначала выполните «muzyka_server setup»")
            << m_server->adminPassword();
        QTest::newRow("a dump into a file that is there")
            << QStringList{QStringLiteral("dump"), m_server->adminUri(database), m_sample}
            << QStringLiteral("уже есть: muzyka_server пишет только в новый файл")
            << m_server->adminPassword();
    }

    void failuresAreSentencesWithoutThePassword() {
        QFETCH(QStringList, args);
        QFETCH(QString, sentence);
        QFETCH(QString, password);
        const QByteArray sample = fileHash(m_sample);
        const ToolRun run = runTool(QStringLiteral("muzyka_server"), args);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.errors.startsWith(QStringLiteral("muzyka_server: ")) && run.errors.contains(sentence),
                 qPrintable(run.errors));
        QVERIFY2(!run.errors.contains(password) && !run.output.contains(password), qPrintable(run.errors));
        QCOMPARE(fileHash(m_sample), sample);
        QVERIFY(!QFile::exists(newPath(QStringLiteral("none.mdb"))));
    }
};

QTEST_GUILESS_MAIN(ServerTest)
#include "test_server.moc"
