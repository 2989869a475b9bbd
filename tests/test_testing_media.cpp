// The test window with a question's picture and sound: a test of three questions (text only, a picture, a
// sound that may be played twice), the plays limit, the clip stopped where the walk leaves it, and a computer
// without a sound device.
#include "data/datamodule.h"
#include "data/engine/attemptstables.h"
#include "data/engine/questionmedia.h"
#include "data/engine/table.h"
#include "testing/form3.h"
#include "testing/questionmediapanel.h"
#include "tests/support/controls.h"
#include "tests/support/fakedevice.h"
#include "tests/support/instances.h"
#include "tests/support/mediasamples.h"
#include "tests/support/testbackend.h"
#include "tests/support/testmain.h"
#include "ui/clipplayer.h"
#include "ui/guard.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {

QString hex(const QByteArray& bytes) {
    return QStringLiteral("x'%1'").arg(QString::fromLatin1(bytes.toHex()));
}

// Topic 1 walks questions 1 (text only), 2 (a picture) and 4 (a sound of `plays` plays, from 1.5 s).
QString rowsSql(const QString& plays) {
    return TestDatabase::smallRowsSql() + questionmedia::fileDdl() +
           QStringLiteral(
               ";INSERT INTO \"Вопрос\" VALUES (4, 'Что звучит?', 1);"
               "INSERT INTO \"Ответы\" VALUES (9, 'Менуэт', 4, 1), (10, 'Вальс', 4, 0);"
               "INSERT INTO \"МедиаВопроса\" (\"id_вопроса\", \"картинка\", \"тип_картинки\") "
               "VALUES (2, %1, 'png');"
               "INSERT INTO \"МедиаВопроса\" (\"id_вопроса\", \"звук\", \"тип_звука\", \"начало\", "
               "\"прослушиваний\") VALUES (4, %2, 'wav', 1.5, %3);")
               .arg(hex(mediasamples::picture("PNG", {400, 200})), hex(mediasamples::wave()), plays);
}

// A test of topic 1 the program left running, walking questions 1, 2 and 4, its first `answered` answered.
QString runningTest(int answered) {
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    QString log =
        attemptstables::definition().fileDdl.join(u';') +
        QStringLiteral(";INSERT INTO \"попытки\" VALUES (7, 1, 1, 1, '%1', 500, 0, NULL);"
                       "INSERT INTO \"вопросы_попытки\" VALUES (7, 1, 1, ''), (7, 2, 2, ''), (7, 3, 4, '');"
                       "INSERT INTO \"ответы_попытки\" VALUES (7, 1, 1, '5', 1, '%1')")
            .arg(now);
    if (answered > 1)
        log += QStringLiteral(", (7, 2, 4, 'Диез', 1, '%1')").arg(now);
    return log;
}

// The test window on topic 1 with a scripted device behind its clips, shown and started.
struct TestWindow {
    explicit TestWindow(const QString& plays = QStringLiteral("2"), const QString& more = {})
        : instance(rowsSql(plays) + more) {
        ClipPlayer::setDeviceMakerForTesting([this] { return device = new FakeDevice; });
        DataModule11->tema->first();
        Form3->show();
        Form3->Button1->click();
    }
    ~TestWindow() {
        Form3->hide();
        ClipPlayer::setDeviceMakerForTesting({});
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    QuestionMediaPanel* panel() const { return Form3->MediaPanel1; }
    void next(const QString& answer) const {
        chooseAnswer(answer);
        Form3->Button2->click();
    }
    // On the third question, the one with the sound.
    void toSound() const {
        next(QStringLiteral("5"));
        next(QStringLiteral("Диез"));
    }

    DataModuleInstance instance;
    WindowInstance<TForm3> window{Form3};
    FakeDevice* device = nullptr;
};

} // namespace

class TestingMediaTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SKIP_WITHOUT_SERVER(); }

    // Text only, then a picture scaled into its place, then a play button with the plays left.
    void threeQuestions() {
        TestWindow test;
        QVERIFY(!test.panel()->isVisible());
        test.next(QStringLiteral("5"));
        QVERIFY(test.panel()->isVisible());
        QVERIFY(test.panel()->Picture->isVisible());
        QVERIFY(!test.panel()->PlayButton->isVisible());
        const QSize shown = test.panel()->Picture->pixmap().size();
        QCOMPARE(shown.height(), test.panel()->Picture->height());
        QCOMPARE(shown.width(), shown.height() * 2);
        test.next(QStringLiteral("Диез"));
        QVERIFY(!test.panel()->Picture->isVisible());
        QVERIFY(test.panel()->PlayButton->isVisible());
        QCOMPARE(test.panel()->PlayButton->text(), QStringLiteral("Прослушать"));
        QCOMPARE(test.panel()->PlaysLabel->text(), QStringLiteral("Осталось прослушиваний: 2"));
        // The clip is opened while the pupil reads the question, not while the question is drawn.
        QVERIFY(!test.device);
        QTRY_VERIFY(test.device);
        QCOMPARE(test.device->calls.size(), 1);
        QVERIFY(test.device->calls.first().endsWith(QLatin1String(".wav")));
        test.panel()->PlayButton->click();
        QCOMPARE(test.device->calls.mid(1), (QStringList{"seek 1500", "play"}));
        test.device->playTo(2500);
        QTest::qWait(150);
        QCOMPARE(test.panel()->PositionLabel->text(), QStringLiteral("0:01 / 0:03"));
        QCOMPARE(test.panel()->PlaysLabel->text(), QStringLiteral("Осталось прослушиваний: 1"));
        test.next(QStringLiteral("Менуэт"));
        QCOMPARE(Form3->Label1->text(), QStringLiteral("Тест закончен, Набранные баллы : 3"));
        QCOMPARE(test.instance.dialogs.failures(), QStringList());
    }

    // A test taken up again after the program died goes on at the question with the picture, which shows at
    // once.
    void takenUpAgainAtThePicture() {
        SKIP_ON_SERVER("the lab server keeps the log through its own functions (test_lab)");
        TestWindow test(QStringLiteral("2"), runningTest(1));
        QCOMPARE(Form3->GroupBox1->title(), QStringLiteral("Вопрос 2 из 3"));
        QVERIFY(test.panel()->isVisible());
        QVERIFY(test.panel()->Picture->isVisible());
    }

    // Taken up again at the sound, the clip has the plays left that the log kept (a log made before plays
    // were kept has none), and the next play is kept at once.
    void playsHoldWhenTakenUpAgain_data() {
        QTest::addColumn<QString>("played"); // the log's plays, or nothing
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("kept"); // the log's plays after one more
        QTest::newRow("a log without plays") << QString() << "Осталось прослушиваний: 2"
                                             << "1";
        QTest::newRow("played once before")
            << attemptstables::playsDefinition().fileDdl.join(u';') +
                   QStringLiteral(";INSERT INTO \"прослушивания\" VALUES (7, 4, 1)")
            << "Осталось прослушиваний: 1"
            << "2";
    }
    void playsHoldWhenTakenUpAgain() {
        SKIP_ON_SERVER("the lab server keeps the log through its own functions (test_lab)");
        QFETCH(QString, played);
        QFETCH(QString, left);
        QFETCH(QString, kept);
        TestWindow test(QStringLiteral("2"), runningTest(2) + u';' + played);
        QCOMPARE(Form3->GroupBox1->title(), QStringLiteral("Вопрос 3 из 3"));
        QCOMPARE(test.panel()->PlaysLabel->text(), left);
        QTRY_VERIFY(test.device);
        test.panel()->PlayButton->click();
        QCOMPARE(test.device->calls.count(QStringLiteral("play")), 1);
        QCOMPARE(test.instance.db.scalar(QStringLiteral("SELECT \"раз\" FROM \"прослушивания\" WHERE "
                                                        "\"id_попытки\" = 7 AND \"id_вопроса\" = 4")),
                 kept);
        QCOMPARE(test.instance.dialogs.failures(), QStringList());
    }

    // A clip plays as often as the teacher allowed, each play to its end; then the button stays disabled.
    void playsLimit_data() {
        QTest::addColumn<QString>("plays");
        QTest::addColumn<int>("played");
        QTest::addColumn<QString>("left"); // what the panel says after four presses
        QTest::newRow("once") << "1" << 1 << "Осталось прослушиваний: 0";
        QTest::newRow("twice") << "2" << 2 << "Осталось прослушиваний: 0";
        QTest::newRow("as often as he likes") << "NULL" << 4 << "";
    }
    void playsLimit() {
        QFETCH(QString, plays);
        QFETCH(int, played);
        QFETCH(QString, left);
        TestWindow test(plays);
        test.toSound();
        for (int press = 0; press < 4; ++press) {
            test.panel()->PlayButton->click();
            // Pressed again while it plays, it does nothing.
            test.panel()->PlayButton->click();
            if (test.device)
                test.device->finish();
        }
        QCOMPARE(test.device->calls.count(QStringLiteral("play")), played);
        QCOMPARE(test.panel()->PlayButton->isEnabled(), left.isEmpty());
        QCOMPARE(test.panel()->PlaysLabel->isVisible() ? test.panel()->PlaysLabel->text() : QString(), left);
    }

    // The clip stops when the walk leaves its question, at the time-out and when the window closes.
    void clipStops_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("next question") << "next";
        QTest::newRow("time-out") << "time-out";
        QTest::newRow("window closed") << "close";
    }
    void clipStops() {
        QFETCH(QString, how);
        TestWindow test;
        test.toSound();
        test.panel()->PlayButton->click();
        QCOMPARE(test.device->calls.last(), QStringLiteral("play"));
        if (how == QLatin1String("next"))
            test.next(QStringLiteral("Вальс"));
        else if (how == QLatin1String("time-out"))
            while (Form3->countdown() > 0)
                guarded([] { Form3->Timer1Timer(); });
        else
            Form3->close();
        // Paused first (the device is closed after, when another clip comes).
        const QStringList calls = test.device->calls;
        QCOMPARE(calls.value(calls.lastIndexOf(QStringLiteral("play")) + 1), QStringLiteral("pause"));
        QCOMPARE(test.panel()->PlayButton->isEnabled() && test.panel()->isEnabled(),
                 how == QLatin1String("close"));
    }

    // Without a sound device the pupil is told once and answers without the clip; no play is counted.
    void noSoundDevice() {
        TestWindow test;
        ClipPlayer::setDeviceMakerForTesting([&] {
            test.device = new FakeDevice;
            test.device->audio = false;
            return test.device;
        });
        test.toSound();
        test.panel()->PlayButton->click();
        test.panel()->PlayButton->click();
        QCOMPARE(
            test.instance.dialogs.messages(),
            QStringList{QStringLiteral("На этом компьютере нет звукового устройства: звук вопроса не слышен. "
                                       "Отвечайте без него.")});
        QCOMPARE(test.panel()->PlaysLabel->text(), QStringLiteral("Осталось прослушиваний: 2"));
        test.next(QStringLiteral("Менуэт"));
        QCOMPARE(Form3->Label1->text(), QStringLiteral("Тест закончен, Набранные баллы : 3"));
    }
};

ESUN_TEST_MAIN(TestingMediaTest)
#include "test_testing_media.moc"
