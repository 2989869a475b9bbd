// A question's picture and sound: the program's own table on the file and on the server, and who may read
// and write it on the lab login.
#include "base/failure.h"
#include "data/datamodule.h"
#include "data/engine/connection.h"
#include "data/engine/questionmedia.h"
#include "data/engine/table.h"
#include "tests/support/instances.h"
#include "tests/support/lablogin.h"
#include "tests/support/testbackend.h"
#include "tests/support/testdb.h"
#include "tests/support/testmain.h"
#include "tools/server/transfer.h"

#include <QSqlQuery>
#include <QtTest>

namespace {

questionmedia::Media sample() {
    questionmedia::Media media;
    media.picture = QByteArray("\x89PNG\r\n\x1a\n\0\1\2", 11);
    media.pictureType = QStringLiteral("png");
    media.sound = QByteArray("OggS\0\x02", 6);
    media.soundType = QStringLiteral("ogg");
    media.start = 1.5;
    media.end = 7.25;
    media.plays = 2;
    media.abc = QStringLiteral("X:1\nK:C\nCDEF|");
    return media;
}

Connection& connection() {
    return *DataModule11->ADOConnection1;
}

} // namespace

class MediaTableTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SKIP_WITHOUT_SERVER(); }

    // What is stored is what is read back, the file's and the server's types kept (bytes, reals, nulls).
    void storedMediaReadsBack_data() {
        QTest::addColumn<bool>("full");
        QTest::newRow("everything") << true;
        QTest::newRow("a picture alone") << false;
    }
    void storedMediaReadsBack() {
        QFETCH(bool, full);
        DataModuleInstance instance;
        questionmedia::Media media = sample();
        if (!full) {
            media.sound.clear();
            media.soundType.clear();
            media.start.reset();
            media.end.reset();
            media.plays.reset();
            media.abc.clear();
        }
        questionmedia::store(connection(), 2, media);
        QCOMPARE(questionmedia::read(connection(), 2), media);
        QCOMPARE(questionmedia::read(connection(), 1), questionmedia::Media());
        // The file holds it as the database's own rows (on the server: carried back into the file).
        QCOMPARE(instance.db.scalar(QStringLiteral("SELECT hex(\"картинка\") FROM \"МедиаВопроса\"")),
                 QString::fromLatin1(media.picture.toHex().toUpper()));
        QCOMPARE(instance.db.scalar(QStringLiteral("SELECT typeof(\"начало\") FROM \"МедиаВопроса\"")),
                 full ? QStringLiteral("real") : QStringLiteral("null"));
    }

    // Storing replaces; storing nothing removes the row; deleting the question deletes its media.
    void mediaFollowsItsQuestion() {
        DataModuleInstance instance;
        questionmedia::store(connection(), 1, sample());
        questionmedia::Media other;
        other.picture = QByteArray("<svg/>");
        other.pictureType = QStringLiteral("svg");
        questionmedia::store(connection(), 1, other);
        QCOMPARE(questionmedia::read(connection(), 1), other);
        questionmedia::store(connection(), 2, sample());
        questionmedia::store(connection(), 1, {});
        QCOMPARE(
            instance.db.scalar(QStringLiteral("SELECT group_concat(\"id_вопроса\") FROM \"МедиаВопроса\"")),
            QStringLiteral("2"));
        Table* quest = DataModule11->quest;
        DataModule11->tema->first();
        quest->first();
        quest->next();
        QCOMPARE(quest->value(QStringLiteral("id_вопроса")).toInt(), 2);
        quest->remove();
        QCOMPARE(instance.db.scalar(QStringLiteral("SELECT count(*) FROM \"МедиаВопроса\"")),
                 QStringLiteral("0"));
    }

    // Media of a question another computer has just deleted is refused in words, and nothing is stored.
    void mediaOfAQuestionGone() {
        DataModuleInstance instance;
        try {
            questionmedia::store(connection(), 999, sample());
            QFAIL("media of a missing question was stored");
        } catch (const Failure& failure) {
            QCOMPARE(failure.text(),
                     QStringLiteral("Картинку и звук вопроса не удалось сохранить: этого вопроса "
                                    "больше нет в базе данных."));
        }
        QCOMPARE(instance.db.scalar(QStringLiteral("SELECT count(*) FROM \"МедиаВопроса\"")),
                 QStringLiteral("0"));
    }

    // A file made before the table works as before: reading finds nothing and makes nothing.
    void fileWithoutTheTable() {
        SKIP_ON_SERVER("the server's set-up makes the table");
        DataModuleInstance instance;
        QCOMPARE(questionmedia::read(connection(), 1), questionmedia::Media());
        questionmedia::store(connection(), 1, {});
        QCOMPARE(instance.db.scalar(
                     QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'МедиаВопроса'")),
                 QStringLiteral("0"));
        questionmedia::store(connection(), 1, sample());
        QCOMPARE(questionmedia::read(connection(), 1), sample());
    }

    // On the lab login everyone signed in reads the media (a pupil's test shows them); only a teacher writes
    // them. Question 1 has a sound of the file loaded by the set-up.
    void labLoginAccess_data() {
        QTest::addColumn<QString>("signIn"); // the pupil and password signed in, or nobody
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected"); // a value, or the start of the failure
        const QString pupil = QStringLiteral("1, 'nota'");
        const QString teacher = QStringLiteral("3, 'teach'");
        const QString denied = QStringLiteral("ERROR: ");
        const QString media = QStringLiteral("\"МедиаВопроса\"");
        QTest::newRow("nobody signed in")
            << QString() << QStringLiteral("SELECT count(*) FROM %1").arg(media) << QStringLiteral("0");
        QTest::newRow("the table itself")
            << pupil << QStringLiteral("SELECT count(*) FROM muzyka.%1").arg(media) << denied;
        QTest::newRow("a pupil reads")
            << pupil << QStringLiteral("SELECT \"тип_звука\" || \"прослушиваний\" FROM %1").arg(media)
            << QStringLiteral("ogg2");
        QTest::newRow("a pupil plays more")
            << pupil << QStringLiteral("UPDATE %1 SET \"прослушиваний\" = NULL").arg(media) << denied;
        QTest::newRow("a pupil removes") << pupil << QStringLiteral("DELETE FROM %1").arg(media) << denied;
        QTest::newRow("a pupil adds")
            << pupil
            << QStringLiteral("INSERT INTO %1 (\"id_вопроса\", \"тип_картинки\") VALUES (2, 'png')")
                   .arg(media)
            << denied;
        QTest::newRow("a teacher changes")
            << teacher
            << QStringLiteral("UPDATE %1 SET \"прослушиваний\" = 5; SELECT \"прослушиваний\" FROM %1")
                   .arg(media)
            << QStringLiteral("5");
        QTest::newRow("a teacher adds a picture")
            << teacher
            << QStringLiteral("INSERT INTO %1 (\"id_вопроса\", \"картинка\", \"тип_картинки\") "
                              "VALUES (2, '\\x89504e47', 'png'); "
                              "SELECT encode(\"картинка\", 'hex') FROM %1 WHERE \"id_вопроса\" = 2")
                   .arg(media)
            << QStringLiteral("89504e47");
        QTest::newRow("a teacher removes")
            << teacher << QStringLiteral("DELETE FROM %1; SELECT count(*) FROM %1").arg(media)
            << QStringLiteral("0");
    }
    void labLoginAccess() {
        QFETCH(QString, signIn);
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        if (!PrivateServer::missing().isEmpty())
            QSKIP(qPrintable(PrivateServer::missing()));
        PrivateServer& server = testbackend::server();
        const TestDatabase file(
            TestDatabase::smallRowsSql() + questionmedia::fileDdl() +
            QStringLiteral(";INSERT INTO \"МедиаВопроса\" (\"id_вопроса\", \"звук\", "
                           "\"тип_звука\", \"прослушиваний\") VALUES (1, x'4f676753', 'ogg', 2);"));
        const QString database = server.createDatabase();
        {
            QSqlDatabase db = openServer(ServerAddress::parse(server.adminUri(database)), database);
            transfer::setUp(db, database, file.path(), false);
            db.close();
        }
        QSqlDatabase::removeDatabase(database);
        server.exec(database, QStringLiteral("ALTER ROLE muzyka_lab PASSWORD 'lab-secret'"));
        LabLogin lab(server.uri(QStringLiteral("muzyka_lab"), QStringLiteral("lab-secret"), database));
        if (!signIn.isEmpty())
            QCOMPARE(lab.run(QStringLiteral("SELECT set_config('muzyka.session', session, false) IS NOT NULL "
                                            "FROM muzyka.sign_in(%1)")
                                 .arg(signIn)),
                     QStringLiteral("true"));
        const QString result = lab.run(sql);
        if (expected.startsWith(QStringLiteral("ERROR: ")))
            QVERIFY2(result.startsWith(expected), qPrintable(result));
        else
            QCOMPARE(result, expected);
        // A pupil's attempt changed nothing.
        if (signIn.startsWith(u'1'))
            QCOMPARE(
                server
                    .rows(database, QStringLiteral("SELECT count(*), sum(\"прослушиваний\") FROM muzyka.%1")
                                        .arg(QStringLiteral("\"МедиаВопроса\"")))
                    .value(0),
                (QVariantList{1, 2}));
    }
};

ESUN_TEST_MAIN(MediaTableTest)
#include "test_media.moc"
