#include "base/failure.h"
#include "base/schema.h"
#include "data/datamodule.h"
#include "data/engine/table.h"
#include "materials/browsermodule.h"
#include "materials/fittedpicture.h"
#include "materials/form13.h"
#include "materials/form2.h"
#include "materials/linklabel.h"
#include "materials/mediaplayer.h"
#include "materials/webbrowser.h"
#include "testing/form5.h"
#include "testing/form7.h"
#include "tests/support/controls.h"
#include "tests/support/fakedevice.h"
#include "tests/support/input.h"
#include "tests/support/instances.h"
#include "tests/support/sanitizers.h"
#include "ui/bitbtn.h"
#include "ui/mediadevice.h"

#include <QDir>
#include <QFrame>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QtTest>

namespace {

// A page view that records what it was asked to show; refuses when told to.
class FakeEngine final : public BrowserEngine {
public:
    explicit FakeEngine(QWidget* parent) : m_widget(new QWidget(parent)) {}
    ~FakeEngine() override { delete m_widget; }
    QWidget* widget() override { return m_widget; }
    QString navigate(const QString& localPath) override {
        if (!refusal.isEmpty())
            return refusal;
        visits << localPath;
        return {};
    }
    QString location() const override { return visits.isEmpty() ? QString() : visits.last(); }
    QString title() const override { return {}; }
    bool isLoaded() const override { return true; }
    bool loadSucceeded() const override { return true; }

    QStringList visits;
    QString refusal;

private:
    QPointer<QWidget> m_widget;
};

// A program folder with the four lesson files (their content does not matter to the scripted device).
void makeLessons(const QString& folder) {
    QDir(folder).mkpath(QStringLiteral("Видео"));
    for (const char* name : {"dvoichaia.mp4", "logoper.mp4", "modelmetod.mp4", "znakmodel.mp4"}) {
        QFile file(folder + QStringLiteral("/Видео/") + QLatin1String(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("lesson");
    }
}

bool usable(TMediaPlayer* bar, bool play, bool pause) {
    return bar->isButtonEnabled(TMediaPlayer::btPlay) == play &&
           bar->isButtonEnabled(TMediaPlayer::btPause) == pause;
}

} // namespace

class MaterialsTest : public QObject {
    Q_OBJECT

    FakeDevice* fakeDevice() {
        auto* device = new FakeDevice;
        Form13->MediaPlayer1->setDevice(device);
        return device;
    }

private slots:
    void cleanup() { TWebBrowser::setEngineFactoryForTesting({}); }

    // The study materials window.

    void studyWindowLayout() {
        ProgramInstances program;
        QCOMPARE(Form2->windowTitle(), QStringLiteral("Материалы для изучения"));
        QCOMPARE(Form2->pos(), QPoint(207, 105));
        QCOMPARE(Form2->minimumSize(), Form2->maximumSize());
        // The menu stands above a client area of the full size.
        QCOMPARE(Form2->client->geometry(), QRect(0, Form2->MainMenu1->height(), 1171, 631));
        QCOMPARE(Form2->size(), QSize(1171, 631 + Form2->MainMenu1->height()));
        QVERIFY(Form2->MainMenu1->geometry().bottom() < Form2->client->y());
        QCOMPARE(Form2->img1->geometry(), QRect(0, 0, 337, 631));
        QCOMPARE(Form2->wb1->geometry(), QRect(337, 0, 834, 631));
        QVERIFY(!Form2->img1->picture().isNull());
        QCOMPARE(Form2->img1->picture().size(), QSize(441, 841));
        QCOMPARE(FittedPicture::placement({441, 841}, {337, 631}), QRect(3, 0, 330, 631));
        // Never enlarged, never stretched.
        QCOMPARE(FittedPicture::placement({100, 50}, {337, 631}), QRect(118, 290, 100, 50));
        QCOMPARE(FittedPicture::placement({1000, 100}, {500, 500}), QRect(0, 225, 500, 50));
        QCOMPARE(FittedPicture::placement({}, {337, 631}), QRect());
    }

    void studyWindowLabels_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QPoint>("place");
        QTest::addColumn<int>("pixelSize");
        QTest::addColumn<bool>("link");
        QTest::newRow("lbl1") << "lbl1"
                              << "Список тем:" << QPoint(40, 96) << 24 << false;
        QTest::newRow("lbl2") << "lbl2"
                              << "1.Понятие музыки" << QPoint(40, 136) << 21 << true;
        QTest::newRow("lbl4") << "lbl4"
                              << "2. Основы нотной грамоты:" << QPoint(40, 184) << 21 << false;
        QTest::newRow("lbl3") << "lbl3"
                              << "2.1 Звукоряд" << QPoint(72, 216) << 21 << true;
        QTest::newRow("lbl5") << "lbl5"
                              << "2.2 Ключи" << QPoint(72, 248) << 21 << true;
        QTest::newRow("lbl6") << "lbl6"
                              << "2.3 Доли" << QPoint(72, 280) << 21 << true;
        QTest::newRow("lbl7") << "lbl7"
                              << "3.Великие музыканты в жанре " << QPoint(40, 328) << 21 << false;
        QTest::newRow("lbl8") << "lbl8"
                              << "\"Классика\":" << QPoint(40, 360) << 21 << false;
        QTest::newRow("lbl9") << "lbl9"
                              << "3.1 Верелинский" << QPoint(72, 392) << 21 << true;
        QTest::newRow("lbl10") << "lbl10"
                               << "3.2 Ларвен" << QPoint(72, 424) << 21 << true;
        QTest::newRow("lbl11") << "lbl11"
                               << "3.3 Гримальд" << QPoint(72, 456) << 21 << true;
    }
    void studyWindowLabels() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QPoint, place);
        QFETCH(int, pixelSize);
        QFETCH(bool, link);
        ProgramInstances program;
        auto* label = Form2->client->findChild<QLabel*>(name);
        QVERIFY(label);
        QCOMPARE(label->text(), caption);
        QCOMPARE(label->pos(), place);
        QCOMPARE(label->size(), label->sizeHint());
        QCOMPARE(label->font().family(), QStringLiteral("Liberation Serif"));
        QCOMPARE(label->font().pixelSize(), pixelSize);
        QCOMPARE(label->font().bold(), link);
        QCOMPARE(label->font().underline(), link);
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(128, 0, 128));
        QVERIFY(label->autoFillBackground());
        QCOMPARE(label->palette().color(QPalette::Window), Form2->palette().color(QPalette::Window));
        QVERIFY(!label->testAttribute(Qt::WA_SetCursor));
        QCOMPARE(qobject_cast<LinkLabel*>(label) != nullptr, link);
        // Drawn over the picture.
        QVERIFY(Form2->client->children().indexOf(label) > Form2->client->children().indexOf(Form2->img1));
    }

    void studyMenu() {
        ProgramInstances program;
        const QList<QAction*> top = Form2->MainMenu1->actions();
        QCOMPARE(top.size(), 5);
        QCOMPARE(top[0], Form2->N1->menuAction());
        QCOMPARE(top[0]->text(), QStringLiteral("Тест"));
        QCOMPARE(top[1], Form2->N4);
        QCOMPARE(top[2], Form2->N5);
        QCOMPARE(top[3], Form2->N2);
        QCOMPARE(top[4], Form2->N3);
        QCOMPARE(Form2->N4->text(), QStringLiteral("Видеоуроки"));
        QCOMPARE(Form2->N5->text(), QStringLiteral("О программе"));
        QCOMPARE(Form2->N2->text(), QStringLiteral("Выход"));
        QVERIFY(Form2->N3->text().isEmpty());
        QCOMPARE(Form2->N1->actions(), (QList<QAction*>{Form2->N11, Form2->N21}));
        QCOMPARE(Form2->N11->text(), QStringLiteral("Тестирование"));
        QCOMPARE(Form2->N21->text(), QStringLiteral("Результаты  теста"));
    }

    void browserEmptyUntilFirstLink() {
        ProgramInstances program;
        TWebBrowser::setEngineFactoryForTesting([](QWidget* parent) { return new FakeEngine(parent); });
        Form2->showModeless();
        QVERIFY(!Form2->wb1->engine());
        QTest::mouseClick(Form2->lbl5, Qt::LeftButton);
        QVERIFY(Form2->wb1->engine());
        QCOMPARE(Form2->wb1->engine()->widget()->geometry(), QRect(0, 0, 834, 631));
        QVERIFY(program.dialogs.shown.isEmpty());
    }

    void eachLinkShowsItsPage_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("page");
        QTest::newRow("lbl2") << "lbl2"
                              << "1.htm";
        QTest::newRow("lbl3") << "lbl3"
                              << "21.htm";
        QTest::newRow("lbl5") << "lbl5"
                              << "22.htm";
        QTest::newRow("lbl6") << "lbl6"
                              << "23.htm";
        QTest::newRow("lbl9") << "lbl9"
                              << "31.htm";
        QTest::newRow("lbl10") << "lbl10"
                               << "32.htm";
        QTest::newRow("lbl11") << "lbl11"
                               << "33.htm";
    }
    void eachLinkShowsItsPage() {
        QFETCH(QString, label);
        QFETCH(QString, page);
        ProgramInstances program;
        FakeEngine* engine = nullptr;
        TWebBrowser::setEngineFactoryForTesting(
            [&](QWidget* parent) { return engine = new FakeEngine(parent); });
        Form2->showModeless();
        QTest::mouseClick(Form2->client->findChild<QLabel*>(label), Qt::LeftButton);
        QVERIFY(engine);
        QCOMPARE(engine->visits, QStringList{appinfo::programFolder() + QStringLiteral("HTML/") + page});
        QVERIFY(QDir::isAbsolutePath(engine->visits.first()));
        // A second click navigates again, which reloads the page.
        QTest::mouseClick(Form2->client->findChild<QLabel*>(label), Qt::LeftButton);
        QCOMPARE(engine->visits.size(), 2);
        QCOMPARE(engine->visits[1], engine->visits[0]);
        QVERIFY(program.dialogs.shown.isEmpty());
    }

    void pageFoundWhateverTheCurrentFolder() {
        ProgramInstances program;
        FakeEngine* engine = nullptr;
        TWebBrowser::setEngineFactoryForTesting(
            [&](QWidget* parent) { return engine = new FakeEngine(parent); });
        QTemporaryDir elsewhere;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(elsewhere.path());
        Form2->lbl5Click();
        QDir::setCurrent(previous);
        QCOMPARE(engine->location(), QDir(program.folder.path()).filePath(QStringLiteral("HTML/22.htm")));
    }

    void cyrillicProgramFolder() {
        ProgramInstances program;
        FakeEngine* engine = nullptr;
        TWebBrowser::setEngineFactoryForTesting(
            [&](QWidget* parent) { return engine = new FakeEngine(parent); });
        const QString folder = program.folder.path() + QStringLiteral("/Программа Музыка");
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/HTML")));
        appinfo::setProgramFolderForTesting(folder);
        Form2->lbl11Click();
        QCOMPARE(engine->location(), folder + QStringLiteral("/HTML/33.htm"));
        QVERIFY(QFileInfo(engine->location()).absolutePath() == folder + QStringLiteral("/HTML"));
    }

    void headingsDoNothing() {
        ProgramInstances program;
        int made = 0;
        TWebBrowser::setEngineFactoryForTesting([&](QWidget* parent) {
            ++made;
            return new FakeEngine(parent);
        });
        Form2->showModeless();
        for (QLabel* heading : {Form2->lbl1, Form2->lbl4, Form2->lbl7, Form2->lbl8}) {
            QVERIFY(!qobject_cast<LinkLabel*>(heading));
            QTest::mouseClick(heading, Qt::LeftButton);
        }
        QCOMPARE(made, 0);
        QVERIFY(!Form2->wb1->engine());
        QVERIFY(Form2->isVisible());
        QVERIFY(program.dialogs.shown.isEmpty());
    }

    void pageKeptAcrossClosing() {
        ProgramInstances program;
        TWebBrowser::setEngineFactoryForTesting([](QWidget* parent) { return new FakeEngine(parent); });
        Form2->showModeless();
        QTest::mouseClick(Form2->lbl3, Qt::LeftButton);
        BrowserEngine* engine = Form2->wb1->engine();
        Form2->N2->trigger();
        QVERIFY(!Form2->isVisible());
        Form2->showModeless();
        QCOMPARE(Form2->wb1->engine(), engine);
        QCOMPARE(engine->location(), appinfo::programFolder() + QStringLiteral("HTML/21.htm"));
        QVERIFY(engine->widget()->isVisible());
        // The close box and the empty item close it the same way.
        Form2->N3->trigger();
        QVERIFY(!Form2->isVisible());
        Form2->showModeless();
        Form2->close();
        QVERIFY(!Form2->isVisible());
        Form2->showModeless();
        QCOMPARE(Form2->wb1->engine()->location(), appinfo::programFolder() + QStringLiteral("HTML/21.htm"));
    }

    void refusedNavigationIsReported() {
        ProgramInstances program;
        FakeEngine* engine = nullptr;
        TWebBrowser::setEngineFactoryForTesting(
            [&](QWidget* parent) { return engine = new FakeEngine(parent); });
        Form2->showModeless();
        QTest::mouseClick(Form2->lbl2, Qt::LeftButton);
        engine->refusal = QStringLiteral("Navigation refused");
        QTest::mouseClick(Form2->lbl6, Qt::LeftButton);
        QCOMPARE(program.dialogs.failures(), QStringList{withFullStop(QStringLiteral("Navigation refused"))});
        QCOMPARE(engine->location(), appinfo::programFolder() + QStringLiteral("HTML/1.htm"));
        QVERIFY(Form2->isVisible());
    }

    void missingBrowserModuleIsReported() {
        ProgramInstances program;
        const QTemporaryDir empty;
        const ModuleFolder modules(empty.path());
        Form2->showModeless();
        QTest::mouseClick(Form2->lbl2, Qt::LeftButton);
        const QStringList failures = program.dialogs.failures();
        QCOMPARE(failures.size(), 1);
        QVERIFY2(
            failures.constFirst().startsWith(QStringLiteral("Не удалось загрузить модуль учебных страниц: ")),
            qPrintable(failures.constFirst()));
        QVERIFY(failures.constFirst().endsWith(u'.') &&
                !failures.constFirst().endsWith(QStringLiteral("..")));
        QVERIFY(!Form2->wb1->engine());
    }

    void testingCommands() {
        ProgramInstances program;
        Form2->showModeless();
        Form2->N11->trigger();
        QVERIFY(Form7->isVisible());
        QVERIFY(Form7->isEnabled());
        Form2->N21->trigger();
        const int pupil = DataModule11->ych->value(schema::pupilKey).toInt();
        QVERIFY(Form5->isVisible());
        QVERIFY(DataModule11->rez->filtered());
        QCOMPARE(DataModule11->rez->filterText(), QStringLiteral("id_ученика ='%1'").arg(pupil));
        QVERIFY(program.dialogs.shown.isEmpty());
    }

    void videoLessonsShownModally_data() {
        QTest::addColumn<QString>("item");
        QTest::newRow("Видеоуроки") << "N4";
        QTest::newRow("О программе") << "N5";
    }
    void videoLessonsShownModally() {
        QFETCH(QString, item);
        ProgramInstances program;
        Form2->showModeless();
        bool wasModal = false;
        bool othersDisabled = false;
        whileModal(
            Form13, [&] { Form2->findChild<QAction*>(item)->trigger(); },
            [&] {
                wasModal = Form13->isVisible() && Form13->isModal();
                othersDisabled = !Form2->isEnabled();
            });
        QVERIFY(wasModal);
        QVERIFY(othersDisabled);
        QVERIFY(!Form13->isVisible());
        QVERIFY(Form2->isEnabled());
        QVERIFY(program.dialogs.shown.isEmpty());
    }

    void videoLessonsAlreadyOpenRefused() {
        ProgramInstances program;
        Form13->showModeless();
        Form2->showModeless();
        Form2->N4->trigger();
        Form2->N5->trigger();
        QCOMPARE(program.dialogs.failures(),
                 (QStringList{withFullStop(QStringLiteral("Cannot make a visible window modal")),
                              withFullStop(QStringLiteral("Cannot make a visible window modal"))}));
        QVERIFY(Form13->isVisible());
        QVERIFY(!Form13->isModal());
        QVERIFY(Form2->isEnabled());
        QVERIFY(Form13->isEnabled());
    }

    // The video lessons window.

    void lessonsWindowLayout() {
        ProgramInstances program;
        QCOMPARE(Form13->windowTitle(), QStringLiteral("Видеоуроки"));
        QCOMPARE(Form13->size(), QSize(875, 696));
        QCOMPARE(Form13->pos(), QPoint(170, 175));
        QCOMPARE(Form13->minimumSize(), Form13->maximumSize());
        const QList<QPair<TBitBtn*, int>> buttons{
            {Form13->BitBtn1, 40}, {Form13->BitBtn2, 272}, {Form13->BitBtn3, 496}, {Form13->BitBtn4, 712}};
        for (const auto& [button, left] : buttons) {
            QCOMPARE(button->geometry(), QRect(left, 40, 137, 105));
            QVERIFY(button->text().isEmpty());
            QCOMPARE(button->glyph().size(), QSize(246, 138));
            // Centred on the face and cut to it.
            QVERIFY((button->glyphRect().center() - button->rect().center()).manhattanLength() <= 2);
        }
        const QList<QPair<QLabel*, QPair<QString, QPoint>>> labels{
            {Form13->Label2, {QStringLiteral("И муза вечная со мной"), {48, 152}}},
            {Form13->Label3, {QStringLiteral("Хоровод муз"), {304, 152}}},
            {Form13->Label4, {QStringLiteral("Душа музыки"), {520, 152}}},
            {Form13->Label5, {QStringLiteral("Музыкальная музыка"), {712, 152}}}};
        for (const auto& [label, text] : labels) {
            QCOMPARE(label->text(), text.first);
            QCOMPARE(label->pos(), text.second);
            QCOMPARE(label->size(), label->sizeHint());
            QCOMPARE(label->font().family(), QStringLiteral("Liberation Sans"));
            QCOMPARE(label->font().pixelSize(), 13);
            QVERIFY(!label->font().bold());
            QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::black));
        }
        QCOMPARE(Form13->Panel1->geometry(), QRect(24, 168, 849, 457));
        QCOMPARE(Form13->Panel1->frameWidth(), 1);
        QCOMPARE(Form13->Panel1->frameShadow(), QFrame::Raised);
        QCOMPARE(Form13->Panel1->focusPolicy(), Qt::NoFocus);
        QCOMPARE(Form13->MediaPlayer1->geometry(), QRect(368, 624, 57, 57));
        QCOMPARE(Form13->MediaPlayer1->buttonRect(TMediaPlayer::btPlay), QRect(0, 0, 29, 57));
        QCOMPARE(Form13->MediaPlayer1->buttonRect(TMediaPlayer::btPause), QRect(28, 0, 29, 57));
        // Tab order: the bar, then the four picture buttons.
        QCOMPARE(Form13->MediaPlayer1->nextInFocusChain(), static_cast<QWidget*>(Form13->BitBtn1));
        QCOMPARE(Form13->BitBtn1->nextInFocusChain(), static_cast<QWidget*>(Form13->BitBtn2));
        QCOMPARE(Form13->BitBtn2->nextInFocusChain(), static_cast<QWidget*>(Form13->BitBtn3));
        QCOMPARE(Form13->BitBtn3->nextInFocusChain(), static_cast<QWidget*>(Form13->BitBtn4));
    }

    void spaceBeforeAnyLesson() {
        ProgramInstances program;
        FakeDevice* device = fakeDevice();
        Form13->showModeless();
        QVERIFY(QTest::qWaitForWindowActive(Form13));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(Form13->MediaPlayer1));
        TMediaPlayer* bar = Form13->MediaPlayer1;
        QCOMPARE(bar->focusedButton(), TMediaPlayer::btPlay);
        QVERIFY(usable(bar, false, false));
        QTest::keyClick(bar, Qt::Key_Space);
        QTest::keyClick(bar, Qt::Key_Right);
        QCOMPARE(bar->focusedButton(), TMediaPlayer::btPause);
        QTest::keyClick(bar, Qt::Key_Space);
        QCOMPARE(program.dialogs.failures(),
                 (QStringList{withFullStop(QStringLiteral("No MCI device open")),
                              withFullStop(QStringLiteral("No MCI device open"))}));
        QTest::keyClick(bar, Qt::Key_Left);
        QCOMPARE(bar->focusedButton(), TMediaPlayer::btPlay);
        // Grey buttons take no mouse press.
        clickButton(bar, TMediaPlayer::btPlay);
        clickButton(bar, TMediaPlayer::btPause);
        QCOMPARE(program.dialogs.failures().size(), 2);
        QVERIFY(device->calls.isEmpty());
    }

    void eachLessonLoads_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("file");
        QTest::newRow("BitBtn1") << "BitBtn1"
                                 << "dvoichaia.mp4";
        QTest::newRow("BitBtn2") << "BitBtn2"
                                 << "logoper.mp4";
        QTest::newRow("BitBtn3") << "BitBtn3"
                                 << "modelmetod.mp4";
        QTest::newRow("BitBtn4") << "BitBtn4"
                                 << "znakmodel.mp4";
    }
    void eachLessonLoads() {
        QFETCH(QString, button);
        QFETCH(QString, file);
        ProgramInstances program;
        makeLessons(program.folder.path());
        FakeDevice* device = fakeDevice();
        Form13->showModeless();
        QTest::mouseClick(Form13->findChild<TBitBtn*>(button), Qt::LeftButton);
        const QString path = appinfo::programFolder() + QStringLiteral("Видео/") + file;
        QCOMPARE(Form13->MediaPlayer1->fileName(), path);
        QCOMPARE(device->calls, (QStringList{QStringLiteral("open ") + path, QStringLiteral("display")}));
        QCOMPARE(device->display, static_cast<QWidget*>(Form13->Panel1));
        QCOMPARE(Form13->MediaPlayer1->display(), static_cast<QWidget*>(Form13->Panel1));
        // Loading does not start playback.
        QCOMPARE(device->mode(), MediaDevice::Stopped);
        QVERIFY(usable(Form13->MediaPlayer1, true, false));
        QVERIFY(program.dialogs.shown.isEmpty());
    }

    void playPauseResumeWithTheMouse() {
        ProgramInstances program;
        makeLessons(program.folder.path());
        FakeDevice* device = fakeDevice();
        TMediaPlayer* bar = Form13->MediaPlayer1;
        Form13->showModeless();
        Form13->BitBtn2Click();
        device->calls.clear();
        clickButton(bar, TMediaPlayer::btPlay);
        QCOMPARE(device->mode(), MediaDevice::Playing);
        QVERIFY(usable(bar, false, true));
        // Play is grey now: another press does nothing.
        clickButton(bar, TMediaPlayer::btPlay);
        QCOMPARE(device->calls, QStringList{QStringLiteral("play")});
        clickButton(bar, TMediaPlayer::btPause);
        QCOMPARE(device->mode(), MediaDevice::Paused);
        QVERIFY(usable(bar, true, true));
        QCOMPARE(bar->focusedButton(), TMediaPlayer::btPause);
        clickButton(bar, TMediaPlayer::btPause);
        QCOMPARE(device->mode(), MediaDevice::Playing);
        QVERIFY(usable(bar, true, true));
        clickButton(bar, TMediaPlayer::btPause);
        clickButton(bar, TMediaPlayer::btPlay);
        QCOMPARE(device->mode(), MediaDevice::Playing);
        QVERIFY(usable(bar, false, true));
        QCOMPARE(device->calls,
                 (QStringList{QStringLiteral("play"), QStringLiteral("pause"), QStringLiteral("resume"),
                              QStringLiteral("pause"), QStringLiteral("play")}));
        QVERIFY(program.dialogs.shown.isEmpty());
    }

    void playWithTheKeyboard() {
        ProgramInstances program;
        makeLessons(program.folder.path());
        FakeDevice* device = fakeDevice();
        TMediaPlayer* bar = Form13->MediaPlayer1;
        Form13->showModeless();
        Form13->BitBtn1Click();
        bar->setFocus();
        QTest::keyClick(bar, Qt::Key_Space);
        QCOMPARE(device->mode(), MediaDevice::Playing);
        QVERIFY(usable(bar, false, true));
        QTest::keyClick(bar, Qt::Key_Right);
        QTest::keyClick(bar, Qt::Key_Space);
        QCOMPARE(device->mode(), MediaDevice::Paused);
        // Space presses the marked button even when it is grey.
        QTest::keyClick(bar, Qt::Key_Left);
        QTest::keyClick(bar, Qt::Key_Space);
        QCOMPARE(device->mode(), MediaDevice::Playing);
        QTest::keyClick(bar, Qt::Key_Space);
        QCOMPARE(device->calls.count(QStringLiteral("play")), 3);
        QVERIFY(program.dialogs.shown.isEmpty());
    }

    void endOfPlaybackThenPlayFromTheBeginning() {
        ProgramInstances program;
        makeLessons(program.folder.path());
        FakeDevice* device = fakeDevice();
        TMediaPlayer* bar = Form13->MediaPlayer1;
        Form13->showModeless();
        Form13->BitBtn3Click();
        clickButton(bar, TMediaPlayer::btPlay);
        device->finish();
        QVERIFY(usable(bar, true, false));
        device->calls.clear();
        clickButton(bar, TMediaPlayer::btPlay);
        QCOMPARE(device->calls, (QStringList{QStringLiteral("seek"), QStringLiteral("play")}));
        QCOMPARE(device->position(), 0);
        QVERIFY(usable(bar, false, true));
        // A completion notice while still playing changes nothing.
        emit device->completed(MediaDevice::Superseded);
        QVERIFY(usable(bar, false, true));
    }

    void secondLessonWhileOnePlays() {
        ProgramInstances program;
        makeLessons(program.folder.path());
        FakeDevice* device = fakeDevice();
        TMediaPlayer* bar = Form13->MediaPlayer1;
        Form13->showModeless();
        Form13->BitBtn1Click();
        clickButton(bar, TMediaPlayer::btPlay);
        device->calls.clear();
        QTest::mouseClick(Form13->BitBtn4, Qt::LeftButton);
        const QString second = appinfo::programFolder() + QStringLiteral("Видео/znakmodel.mp4");
        // The panel is handed to the open device first, then the device is closed and the second opened.
        QCOMPARE(device->calls, (QStringList{QStringLiteral("display"), QStringLiteral("close"),
                                             QStringLiteral("open ") + second, QStringLiteral("display")}));
        QCOMPARE(device->mode(), MediaDevice::Stopped);
        QVERIFY(usable(bar, true, false));
    }

    void missingLessonsFolder() {
        ProgramInstances program;
        FakeDevice* device = fakeDevice();
        TMediaPlayer* bar = Form13->MediaPlayer1;
        Form13->showModeless();
        for (TBitBtn* button : {Form13->BitBtn1, Form13->BitBtn2, Form13->BitBtn3, Form13->BitBtn4}) {
            program.dialogs.clear();
            QTest::mouseClick(button, Qt::LeftButton);
            QCOMPARE(program.dialogs.failures(),
                     QStringList{withFullStop(QStringLiteral("The specified file cannot be found"))});
            QVERIFY(!bar->isOpen());
            QVERIFY(usable(bar, false, false));
        }
        QCOMPARE(device->calls.count(QStringLiteral("display")), 0);
    }

    void failedOpenLeavesNothingOpen() {
        ProgramInstances program;
        makeLessons(program.folder.path());
        FakeDevice* device = fakeDevice();
        TMediaPlayer* bar = Form13->MediaPlayer1;
        Form13->showModeless();
        Form13->BitBtn1Click();
        clickButton(bar, TMediaPlayer::btPlay);
        QFile::remove(appinfo::programFolder() + QStringLiteral("Видео/logoper.mp4"));
        QTest::mouseClick(Form13->BitBtn2, Qt::LeftButton);
        QCOMPARE(program.dialogs.failures(),
                 QStringList{withFullStop(QStringLiteral("The specified file cannot be found"))});
        QVERIFY(!device->isOpen());
        QVERIFY(usable(bar, false, false));
        bar->setFocus();
        QTest::keyClick(bar, Qt::Key_Space);
        QCOMPARE(program.dialogs.failures().last(), withFullStop(QStringLiteral("No MCI device open")));
        // A code the device has no text for.
        device->openCode = FakeDevice::noText;
        QTest::mouseClick(Form13->BitBtn3, Qt::LeftButton);
        QCOMPARE(program.dialogs.failures().last(), withFullStop(QStringLiteral("Unknown error code")));
    }

    void refusedActionsKeepTheButtonsAfterAMousePress() {
        ProgramInstances program;
        makeLessons(program.folder.path());
        FakeDevice* device = fakeDevice();
        TMediaPlayer* bar = Form13->MediaPlayer1;
        Form13->showModeless();
        Form13->BitBtn1Click();
        device->playError = 77;
        clickButton(bar, TMediaPlayer::btPlay);
        QCOMPARE(bar->error(), 77);
        QVERIFY(usable(bar, true, false));
        // By Space the buttons change as if it had worked; nothing is reported either way.
        bar->setFocus();
        QTest::keyClick(bar, Qt::Key_Left);
        QTest::keyClick(bar, Qt::Key_Space);
        QVERIFY(usable(bar, false, true));
        QVERIFY(program.dialogs.shown.isEmpty());
        // A refused resume falls back to playing from the current position.
        device->playError = 0;
        QTest::keyClick(bar, Qt::Key_Space);
        QCOMPARE(device->mode(), MediaDevice::Playing);
        clickButton(bar, TMediaPlayer::btPause);
        QCOMPARE(device->mode(), MediaDevice::Paused);
        device->resumeError = 5;
        device->calls.clear();
        clickButton(bar, TMediaPlayer::btPause);
        QCOMPARE(device->calls, (QStringList{QStringLiteral("resume"), QStringLiteral("play")}));
        QCOMPARE(device->mode(), MediaDevice::Playing);
    }

    void closingDoesNotStopPlayback() {
        ProgramInstances program;
        makeLessons(program.folder.path());
        FakeDevice* device = fakeDevice();
        TMediaPlayer* bar = Form13->MediaPlayer1;
        Form13->showModeless();
        Form13->BitBtn1Click();
        clickButton(bar, TMediaPlayer::btPlay);
        device->calls.clear();
        Form13->close();
        QVERIFY(!Form13->isVisible());
        QCOMPARE(device->mode(), MediaDevice::Playing);
        QVERIFY(device->calls.isEmpty());
        Form13->showModeless();
        QVERIFY(usable(bar, false, true));
    }

    void focusReturnsToTheLastControl() {
        ProgramInstances program;
        Form13->showModeless();
        QVERIFY(QTest::qWaitForWindowActive(Form13));
        Form13->BitBtn3->setFocus();
        Form13->close();
        Form13->showModeless();
        QVERIFY(QTest::qWaitForWindowActive(Form13));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(Form13->BitBtn3));
    }
};

QTEST_MAIN(MaterialsTest)
#include "test_materials.moc"
