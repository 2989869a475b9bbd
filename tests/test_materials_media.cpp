#include "materials/form13.h"
#include "materials/mediaplayer.h"
#include "tests/support/controls.h"
#include "tests/support/instances.h"
#include "tests/support/mediasamples.h"
#include "tests/support/sanitizers.h"
#include "ui/bitbtn.h"
#include "ui/clipplayer.h"
#include "ui/mediamodule.h"

#include <QCoreApplication>
#include <QFrame>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// Skips the test (saying why) when this machine has no multimedia backend able to open a lesson.
#define SKIP_WITHOUT_BACKEND(device)                                                                         \
    if (backendMissing(device))                                                                              \
    QSKIP("no multimedia backend that opens H.264/AAC in MP4 (Qt FFmpeg media plugin)")

// The video lessons played by the real multimedia backend, through the device and through the window.
class MaterialsMediaTest : public QObject {
    Q_OBJECT

    static QString lesson(const char* name) {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/Видео/") + QLatin1String(name);
    }

    using Device = std::unique_ptr<MediaDevice>;
    static Device moduleDevice() { return Device(MediaDevice::fromModule()); }
    static QWidget* videoIn(QWidget* display) {
        return display->findChild<QWidget*>(QStringLiteral("video"), Qt::FindDirectChildrenOnly);
    }

    // Whether this machine has no multimedia backend able to open a lesson (it is said why).
    static bool backendMissing(MediaDevice& device) {
        const int code = device.open(lesson("dvoichaia.mp4"));
        if (code == 0)
            return false;
        qWarning("The multimedia backend cannot open the lessons here: %s",
                 qPrintable(device.errorText(code)));
        return true;
    }

    // The lessons window in the program folder, its failures recorded.
    struct LessonsWindow {
        RecordingDialogs dialogs;
        ProgramFolder programFolder{QCoreApplication::applicationDirPath()};
        TForm13 window;
    };

    static bool waitForCompletion(QSignalSpy& spy) { return spy.size() > 0 || spy.wait(20000); }

private slots:
    void initTestCase() {
        QVERIFY2(QFileInfo::exists(lesson("dvoichaia.mp4")),
                 "the lessons are copied into the program folder");
        // The FFmpeg backend is chosen before the first player of the process, unless one was named already.
        const QByteArray named = qgetenv("QT_MEDIA_BACKEND");
        const Device device = moduleDevice();
        QCOMPARE(qgetenv("QT_MEDIA_BACKEND"), named.isEmpty() ? QByteArray("ffmpeg") : named);
        qInfo("Media backend: %s", qgetenv("QT_MEDIA_BACKEND").constData());
    }

    void lessonsAreSmallMp4Files() {
        for (const char* name : {"dvoichaia.mp4", "logoper.mp4", "modelmetod.mp4", "znakmodel.mp4"}) {
            QFile file(lesson(name));
            QVERIFY2(file.open(QIODevice::ReadOnly), name);
            QVERIFY(file.size() < 1024LL * 1024);
            QCOMPARE(file.read(12).mid(4, 4), QByteArray("ftyp"));
        }
    }

    void opensEachLesson() {
        const Device device = moduleDevice();
        SKIP_WITHOUT_BACKEND(*device);
        for (const char* name : {"dvoichaia.mp4", "logoper.mp4", "modelmetod.mp4", "znakmodel.mp4"}) {
            QCOMPARE(device->open(lesson(name)), 0);
            QVERIFY(device->isOpen());
            QVERIFY(device->canPlay());
            QVERIFY(device->hasVideo());
            QVERIFY2(device->length() > 3000 && device->length() < 10000,
                     qPrintable(QString::number(device->length())));
            QCOMPARE(device->mode(), MediaDevice::Stopped);
            QCOMPARE(device->position(), 0);
        }
        device->close();
        QVERIFY(!device->isOpen());
        QCOMPARE(device->play(), int(MediaBackend::NotOpen));
    }

    void missingAndUnplayableFiles() {
        const Device device = moduleDevice();
        SKIP_WITHOUT_BACKEND(*device);
        QTemporaryDir dir;
        int code = device->open(dir.filePath(QStringLiteral("нет такого.mp4")));
        QVERIFY(code != 0);
        QVERIFY(!device->isOpen());
        QCOMPARE(device->errorText(code), QStringLiteral("Файл «нет такого.mp4» не найден."));
        QFile junk(dir.filePath(QStringLiteral("junk.mp4")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(4096, 'x'));
        junk.close();
        code = device->open(junk.fileName());
        QVERIFY(code != 0);
        QVERIFY(!device->isOpen());
        QCOMPARE(device->errorText(code), QStringLiteral("Файл «junk.mp4» не удаётся воспроизвести: он "
                                                         "повреждён или записан в формате, которого "
                                                         "программа не знает."));
    }

    void playsToTheEndAndAgain() {
        const Device device = moduleDevice();
        SKIP_WITHOUT_BACKEND(*device);
        QFrame panel;
        panel.setFrameStyle(QFrame::Panel | QFrame::Raised);
        panel.resize(849, 457);
        panel.show();
        QCOMPARE(device->attachDisplay(&panel), 0);
        QVERIFY(videoIn(&panel));
        QCOMPARE(videoIn(&panel)->geometry(), panel.contentsRect());
        QSignalSpy completed(device.get(), &MediaDevice::completed);
        QCOMPARE(device->play(), 0);
        QTRY_COMPARE(device->mode(), MediaDevice::Playing);
        QTRY_VERIFY(device->position() > 0);
        QCOMPARE(device->pause(), 0);
        QTRY_COMPARE(device->mode(), MediaDevice::Paused);
        QCOMPARE(device->resume(), 0);
        QTRY_COMPARE(device->mode(), MediaDevice::Playing);
        QVERIFY(waitForCompletion(completed));
        QCOMPARE(completed.size(), 1);
        QCOMPARE(completed.first().first().value<MediaDevice::Notice>(), MediaDevice::Successful);
        QCOMPARE(device->mode(), MediaDevice::Stopped);
        QCOMPARE(device->position(), device->length());
        // From the beginning again.
        QCOMPARE(device->seekToStart(), 0);
        QCOMPARE(device->play(), 0);
        QTRY_COMPARE(device->mode(), MediaDevice::Playing);
        QVERIFY(device->position() < device->length());
        device->close();
        QVERIFY(!videoIn(&panel));
    }

    // The window over the real backend: two lessons in a row, the second loaded while the first plays.
    void twoLessonsInARowInTheWindow() {
        SKIP_WITHOUT_BACKEND(*moduleDevice());
        LessonsWindow lessons;
        RecordingDialogs& dialogs = lessons.dialogs;
        TForm13& window = lessons.window;
        TMediaPlayer* bar = window.MediaPlayer1;
        window.showModeless();
        // The player is made with the first lesson, not with the window.
        QVERIFY(!bar->device());
        window.BitBtn1Click();
        QVERIFY(bar->isButtonEnabled(TMediaPlayer::btPlay));
        clickButton(bar, TMediaPlayer::btPlay);
        QTRY_COMPARE(bar->device()->mode(), MediaDevice::Playing);
        QVERIFY(videoIn(window.Panel1));
        QTest::mouseClick(window.BitBtn2, Qt::LeftButton);
        QCOMPARE(bar->fileName(), lesson("logoper.mp4"));
        QCOMPARE(bar->device()->mode(), MediaDevice::Stopped);
        QVERIFY(bar->isButtonEnabled(TMediaPlayer::btPlay));
        QVERIFY(!bar->isButtonEnabled(TMediaPlayer::btPause));
        clickButton(bar, TMediaPlayer::btPlay);
        QTRY_COMPARE(bar->device()->mode(), MediaDevice::Playing);
        QTRY_VERIFY(bar->device()->position() > 0);
        // Closing the window does not stop the lesson; it plays to its end.
        window.close();
        QCOMPARE(bar->device()->mode(), MediaDevice::Playing);
        QTRY_VERIFY_WITH_TIMEOUT(bar->isButtonEnabled(TMediaPlayer::btPlay), 20000);
        QVERIFY(!bar->isButtonEnabled(TMediaPlayer::btPause));
        QCOMPARE(bar->device()->mode(), MediaDevice::Stopped);
        QVERIFY(dialogs.shown.isEmpty());
    }

    // Closing the window during a lesson and reopening it, again and again: the frames still reach Panel1
    // (the lessons' cards are purple and blue), on Play after the lesson ended and on another lesson.
    void videoShowsAfterTheWindowIsReopened() {
        SKIP_WITHOUT_BACKEND(*moduleDevice());
        LessonsWindow lessons;
        RecordingDialogs& dialogs = lessons.dialogs;
        TForm13& window = lessons.window;
        TMediaPlayer* bar = window.MediaPlayer1;
        const auto shown = [&] { return window.Panel1->grab().toImage(); };
        const auto showsCard = [&](QColor card) {
            const QColor centre = shown().pixelColor(window.Panel1->rect().center());
            return qAbs(centre.red() - card.red()) < 24 && qAbs(centre.green() - card.green()) < 24 &&
                   qAbs(centre.blue() - card.blue()) < 24;
        };
        const auto reopen = [&] {
            window.close();
            window.showModeless();
        };
        window.showModeless();
        window.BitBtn1Click();
        clickButton(bar, TMediaPlayer::btPlay);
        QTRY_VERIFY(showsCard(QColor(0x4b, 0x2c, 0x6b)));
        reopen();
        QTRY_VERIFY_WITH_TIMEOUT(bar->isButtonEnabled(TMediaPlayer::btPlay), 20000);
        reopen();
        const QImage lastFrame = shown();
        clickButton(bar, TMediaPlayer::btPlay);
        QTRY_VERIFY(shown() != lastFrame);
        QVERIFY(showsCard(QColor(0x4b, 0x2c, 0x6b)));
        reopen();
        window.BitBtn2Click();
        clickButton(bar, TMediaPlayer::btPlay);
        QTRY_VERIFY(showsCard(QColor(0x2c, 0x4b, 0x6b)));
        QVERIFY(dialogs.shown.isEmpty());
    }

    void missingLessonsFolderInTheWindow() {
        RecordingDialogs dialogs;
        QTemporaryDir folder;
        const ProgramFolder programFolder(folder.path());
        TForm13 window;
        window.showModeless();
        QTest::mouseClick(window.BitBtn3, Qt::LeftButton);
        QCOMPARE(dialogs.failures().size(), 1);
        QVERIFY(!dialogs.failures().first().isEmpty());
        QVERIFY(!window.MediaPlayer1->isOpen());
        QVERIFY(!window.MediaPlayer1->isButtonEnabled(TMediaPlayer::btPlay));
        QVERIFY(!window.MediaPlayer1->isButtonEnabled(TMediaPlayer::btPause));
        qInfo("The multimedia layer says: %s", qPrintable(dialogs.failures().first()));
    }

    // A question's clip through the same module: a WAV plays from the part's start; a file whose headers look
    // like a sound but which the decoder cannot read is refused by the check the question editor makes.
    void questionClipsThroughTheModule_data() {
        QTest::addColumn<QByteArray>("sound");
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("plays");
        QTest::newRow("a WAV clip") << mediasamples::wave(3000) << "wav" << true;
        QTest::newRow("an Ogg header alone") << mediasamples::oggVorbis() << "ogg" << false;
    }
    void questionClipsThroughTheModule() {
        QFETCH(QByteArray, sound);
        QFETCH(QString, type);
        QFETCH(bool, plays);
        ModuleFolder modules(QCoreApplication::applicationDirPath());
        ClipPlayer player;
        QCOMPARE(player.check(sound, type).isEmpty(), plays);
        if (!plays)
            return;
        player.setClip(sound, type, 1.0, std::nullopt);
        player.play();
        QVERIFY(player.isPlaying());
        QCOMPARE(player.length(), qint64(2000));
        player.stop();
        QVERIFY(!player.isPlaying());
    }
};

QTEST_MAIN(MaterialsMediaTest)
#include "test_materials_media.moc"
