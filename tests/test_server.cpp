#include "base/schema.h"
#include "data/engine/serveraddress.h"
#include "data/passwords.h"
#include "tests/support/fixtures.h"
#include "tests/support/lablogin.h"
#include "tests/support/pgserver.h"
#include "tests/support/testdb.h"
#include "tests/support/tools.h"

#include <QFile>
#include <QTemporaryDir>
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
                                                   : m_converted;
    }

    QStringList setUpArguments(const QString& database, const QString& source) const {
        QStringList args{QStringLiteral("setup"), m_server->adminUri(database)};
        if (source == QLatin1String("primer"))
            args << QStringLiteral("--from") << m_small;
        else if (source == QLatin1String("access"))
            args << QStringLiteral("--from") << m_access;
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
    }

    void setUpLoadsEveryRowAndDumpGivesThemBack() {
        QFETCH(QString, source);
        const QString database = m_server->createDatabase();
        const ToolRun setup = runTool(QStringLiteral("muzyka_server"), setUpArguments(database, source));
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
        const ToolRun dump = runTool(QStringLiteral("muzyka_server"),
                                     {QStringLiteral("dump"), m_server->adminUri(database), dumped});
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
        QCOMPARE(SqlFile(dumped, SqlFile::Checked).scalar(QStringLiteral("PRAGMA foreign_key_check")),
                 QString());
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
