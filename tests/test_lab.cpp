// The program on the lab server: what only a server does to it. A server that cannot be reached, a connection
// the server drops, a server that goes away while a pupil's row is posted, two teachers on one row, the
// server's relations in the program's words.
#include "base/failure.h"
#include "base/schema.h"
#include "data/datamodule.h"
#include "data/engine/connection.h"
#include "data/engine/query.h"
#include "data/engine/serveraddress.h"
#include "data/engine/table.h"
#include "data/widgets/dblookupcombobox.h"
#include "testing/form3.h"
#include "testing/form7.h"
#include "tests/support/controls.h"
#include "tests/support/instances.h"
#include "tests/support/pgserver.h"
#include "tests/support/recorder.h"
#include "tests/support/testdb.h"
#include "tests/support/testmain.h"
#include "tools/server/transfer.h"
#include "ui/guard.h"

#include <QtTest>

#include <memory>

namespace {

// A failure's text; empty when the action throws none.
template <typename F> QString failureOf(F&& action) {
    try {
        action();
    } catch (const Failure& f) {
        return f.text();
    }
    return {};
}

// MUZYKA_SERVER for as long as the object lives.
class ServerSetting {
public:
    explicit ServerSetting(const QString& uri) { qputenv("MUZYKA_SERVER", uri.toUtf8()); }
    ~ServerSetting() { qunsetenv("MUZYKA_SERVER"); }
    ServerSetting(const ServerSetting&) = delete;
    ServerSetting& operator=(const ServerSetting&) = delete;
};

} // namespace

class LabTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<PrivateServer> m_server;
    QString m_database;

    // A new server database holding the test database's few rows; its superuser's URI.
    QString loadedDatabase() {
        const TestDatabase file(TestDatabase::smallRowsSql());
        m_database = m_server->createDatabase();
        {
            QSqlDatabase db = openServer(ServerAddress::parse(m_server->adminUri(m_database)), m_database);
            transfer::setUp(db, m_database, file.path(), false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_database);
        return m_server->adminUri(m_database);
    }
    qint64 serverNumber(const QString& sql) const {
        return m_server->rows(m_database, sql).value(0).value(0).toLongLong();
    }
    void cutConnections() const {
        m_server->exec(m_database, QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                                  "WHERE application_name = 'muzyka'"));
    }

private slots:
    void initTestCase() {
        m_server = std::make_unique<PrivateServer>();
        if (!m_server->skipReason().isEmpty())
            QSKIP(qPrintable(m_server->skipReason()));
        QVERIFY2(m_server->isRunning(), qPrintable(m_server->failure()));
    }

    // Whatever keeps the program from the server is one report naming the server, never its password; the
    // tables stay closed, as for a missing file.
    void unreachableServerIsToldOnce_data() {
        QTest::addColumn<QString>("uri");
        QTest::addColumn<QString>("expected");
        const QString secret = QStringLiteral("Pa55-secret");
        QTest::newRow("wrong password") << m_server->adminUri(QStringLiteral("postgres"), secret)
                                        << QStringLiteral("не принял пароль пользователя «muzyka_admin»");
        QTest::newRow("server down") << QStringLiteral("postgresql://muzyka_admin:%1@/muzyka?host=%2")
                                            .arg(secret,
                                                 uriEncoded(QDir::tempPath() + QStringLiteral("/none")))
                                     << QStringLiteral("не отвечает: он не запущен или недоступен по сети");
        QTest::newRow("no such database")
            << m_server->uri(PrivateServer::adminName(), m_server->adminPassword(), QStringLiteral("nowhere"))
            << QStringLiteral("нет базы данных «nowhere»");
        QTest::newRow("database without the tables")
            << m_server->adminUri(m_server->createDatabase())
            << QStringLiteral("нет таблиц программы: её настраивают командой muzyka_server setup");
        QTest::newRow("not a server address") << QStringLiteral("mysql://muzyka_admin:%1@host/db").arg(secret)
                                              << QStringLiteral("он должен начинаться с postgresql://");
    }
    void unreachableServerIsToldOnce() {
        QFETCH(QString, uri);
        QFETCH(QString, expected);
        const TestDatabase file(TestDatabase::smallRowsSql()); // a file beside it is not used instead
        const ServerSetting setting(uri);
        RecordingDialogs dialogs;
        TDataModule11 module(nullptr);
        QCOMPARE(dialogs.failures().size(), 1);
        const QString report = dialogs.failures().front();
        QVERIFY2(report.startsWith(QStringLiteral("ADOConnection1: ")) && report.contains(expected),
                 qPrintable(report));
        QVERIFY2(!report.contains(m_server->adminPassword()) && !report.contains(QStringLiteral("Pa55")),
                 qPrintable(report));
        for (Table* table : {module.ych, module.klass, module.tema, module.quest, module.ans, module.rez})
            QVERIFY(!table->isActive());
    }

    // A connection the server dropped (a restart, an administrator's cut) is made again by the next command,
    // and the row posted then is stored exactly once.
    void droppedConnectionIsMadeAgain() {
        const ServerSetting setting(loadedDatabase());
        RecordingDialogs dialogs;
        TDataModule11 module(nullptr);
        QVERIFY2(dialogs.shown.isEmpty(), qPrintable(dialogs.failures().join(u'\n')));
        QCOMPARE(module.rez->recordCount(), 4);
        cutConnections();
        Table* rez = module.rez;
        rez->append();
        rez->setValue(rez->fieldPos(schema::results::points), QStringLiteral("3"));
        rez->setValue(rez->fieldPos(schema::results::grade), 5);
        rez->setValue(rez->fieldPos(schema::pupilKey), 2);
        rez->post();
        QCOMPARE(
            serverNumber(QStringLiteral("SELECT count(*) FROM muzyka.\"результаты\" WHERE \"id_ученика\" = 2 "
                                        "AND \"Оценка\" = 5")),
            1);
        cutConnections();
        rez->refresh();
        QCOMPARE(rez->recordCount(), 5);
    }

    // The server goes away while a pupil's row is posted: the pupil is told in one sentence that it was not
    // stored, the row stays in the test's hands, and the next post once the server is back stores it once.
    void serverAwayWhilePosting() {
        const ServerSetting setting(loadedDatabase());
        RecordingDialogs dialogs;
        TDataModule11 module(nullptr);
        Table* rez = module.rez;
        rez->append();
        rez->setValue(rez->fieldPos(schema::results::grade), 4);
        rez->setValue(rez->fieldPos(schema::pupilKey), 1);
        m_server->stop();
        const QString failure = failureOf([&] { rez->post(); });
        QVERIFY(m_server->start());
        QVERIFY2(failure.startsWith(QStringLiteral("rez: Запись нельзя сохранить: нет связи с сервером «")),
                 qPrintable(failure));
        QVERIFY(!failure.contains(m_server->adminPassword()));
        QCOMPARE(rez->state(), Table::State::Insert);
        rez->post();
        QCOMPARE(
            serverNumber(QStringLiteral("SELECT count(*) FROM muzyka.\"результаты\" WHERE \"Оценка\" = 4")),
            1);
        QCOMPARE(rez->state(), Table::State::Browse);
    }

    // The server is away when the pupil finishes: he is told that his result is not stored, the test stays
    // open, and finishing again once the server is back stores it once.
    void finishingWhileTheServerIsAway() {
        const ServerSetting setting(loadedDatabase());
        ProgramInstances program;
        QVERIFY2(program.dialogs.shown.isEmpty(), qPrintable(program.dialogs.failures().join(u'\n')));
        QVERIFY(DataModule11->ych->locate(schema::pupilKey, 2));
        Form7->DBLookupComboBox1->setKeyValue(2);
        Form3->show();
        Form3->Button1Click();
        chooseAnswer(QStringLiteral("Скрипичный"));
        Form3->Button2Click();
        m_server->stop();
        guarded([] { Form3->Button3Click(); });
        QVERIFY(m_server->start());
        QCOMPARE(program.dialogs.failures().size(), 1);
        QVERIFY2(program.dialogs.failures().front().contains(QStringLiteral("нет связи с сервером")),
                 qPrintable(program.dialogs.failures().front()));
        QVERIFY(Form3->isVisible());
        guarded([] { Form3->Button3Click(); });
        QCOMPARE(program.dialogs.failures().size(), 1);
        QVERIFY(!Form3->isVisible());
        const auto stored =
            m_server->rows(m_database, QStringLiteral("SELECT \"Баллы\", \"Оценка\", \"id_ученика\", "
                                                      "\"id_темы\", \"id_класса\" FROM muzyka.\"результаты\" "
                                                      "WHERE \"id_результата\" > 4"));
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored.front(), (QVariantList{QStringLiteral("1"), 5, 2, 2, 2}));
    }

    // Two teachers change one row: the second is told the row changed meanwhile, and the first one's value
    // stays; a row deleted meanwhile is told the same way.
    void twoTeachersOnOneRow_data() {
        QTest::addColumn<bool>("deleteFirst");
        QTest::newRow("changed meanwhile") << false;
        QTest::newRow("deleted meanwhile") << true;
    }
    void twoTeachersOnOneRow() {
        QFETCH(bool, deleteFirst);
        const QString uri = loadedDatabase();
        Connection first(QStringLiteral("first")), second(QStringLiteral("second"));
        first.setServer(uri);
        second.setServer(uri);
        Table a(QStringLiteral("a"), &first, schema::topics::table);
        Table b(QStringLiteral("b"), &second, schema::topics::table);
        for (Table* t : {&a, &b}) {
            t->addField(makeField(schema::topicKey, FieldKind::AutoInc));
            t->addField(makeField(schema::topics::name, FieldKind::Text));
            t->open();
            QVERIFY(t->locate(schema::topicKey, 3));
        }
        if (deleteFirst) {
            m_server->exec(m_database, QStringLiteral("DELETE FROM muzyka.\"Тема\" WHERE \"id_темы\" = 3"));
        } else {
            a.setValue(1, QStringLiteral("Композиторы XIX века"));
            a.post();
        }
        b.setValue(1, QStringLiteral("Композиторы-романтики"));
        QCOMPARE(
            failureOf([&] { b.post(); }),
            QStringLiteral("b: Row cannot be located for updating. Some values may have been changed since "
                           "it was last read."));
        const auto stored = m_server->rows(m_database, QStringLiteral("SELECT \"тема\" FROM muzyka.\"Тема\" "
                                                                      "WHERE \"id_темы\" = 3"));
        QCOMPARE(stored.isEmpty(), deleteFirst);
        if (!deleteFirst)
            QCOMPARE(stored.front().front().toString(), QStringLiteral("Композиторы XIX века"));
    }

    // The server's relations speak the program's words: a topic with questions is refused, a question goes
    // with its answers.
    void relationsOnTheServer() {
        const ServerSetting setting(loadedDatabase());
        RecordingDialogs dialogs;
        TDataModule11 module(nullptr);
        QVERIFY(module.tema->locate(schema::topicKey, 1));
        QCOMPARE(failureOf([&] { module.tema->remove(); }),
                 QStringLiteral("tema: Запись нельзя удалить: на неё ссылаются записи таблицы «Вопрос»."));
        QCOMPARE(module.quest->recordCount(), 2);
        module.quest->first();
        module.quest->remove();
        QCOMPARE(
            serverNumber(QStringLiteral("SELECT count(*) FROM muzyka.\"Ответы\" WHERE \"id_вопроса\" = 1")),
            0);
        QCOMPARE(serverNumber(QStringLiteral("SELECT count(*) FROM muzyka.\"Ответы\"")), 5);
    }

    // The sign-in's query finds a surname whatever its letter case, as on the file.
    void signInQueryIgnoresLetterCase() {
        const ServerSetting setting(loadedDatabase());
        RecordingDialogs dialogs;
        TDataModule11 module(nullptr);
        Query* query = module.ADOQuery1;
        query->setSql(QStringLiteral("SELECT ключ FROM Ученики WHERE фамилия=:surname"));
        query->bindValue(QStringLiteral(":surname"), QStringLiteral("ПЕТРОВА"));
        query->open();
        QCOMPARE(query->fieldValue(schema::pupils::password).toString(), QStringLiteral("nota"));
    }
};

ESUN_TEST_MAIN(LabTest)
#include "test_lab.moc"
