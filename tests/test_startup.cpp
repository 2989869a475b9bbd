#include "admin/form10.h"
#include "admin/form12.h"
#include "admin/form8.h"
#include "admin/form9.h"
#include "app/form14.h"
#include "base/failure.h"
#include "data/datamodule.h"
#include "data/engine/table.h"
#include "materials/form13.h"
#include "materials/form2.h"
#include "signin/form1.h"
#include "testing/form3.h"
#include "testing/form5.h"
#include "testing/form7.h"
#include "tests/support/instances.h"
#include "tests/support/sanitizers.h"
#include "tests/support/testbackend.h"
#include "tests/support/testmain.h"
#include "ui/bitbtn.h"

#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <initializer_list>
#include <stdexcept>

namespace {

QList<QObject*> instances() {
    return {Form14, Form2, Form3, Form5, Form7, Form8, Form9, Form10, DataModule11, Form12, Form13};
}

// Ends a run that would otherwise wait for a person, and says so.
class Watchdog {
public:
    Watchdog() {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_fired = true;
            QCoreApplication::exit(99);
            for (QWidget* w : QApplication::topLevelWidgets())
                w->hide();
        });
        m_timer.start(20000);
    }
    bool fired() const { return m_fired; }

private:
    QTimer m_timer;
    bool m_fired = false;
};

} // namespace

// The start-up sequence: what it creates, the two ways through the sign-in window, the main window's two ways
// of being shown, and the "Application Error" end of a failed creation.
class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SKIP_WITHOUT_SERVER(); }

    void createsEveryInstanceHidden() {
        ProgramInstances program(ProgramInstances::Direct, TestDatabase::smallRowsSql(), false);
        startup::createInstances();
        for (QObject* instance : instances())
            QVERIFY(instance);
        QVERIFY(!Form1);
        startup::createSignInWindow();
        QVERIFY(Form1);
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
        QVERIFY(DataModule11->ych->isActive());
        QCOMPARE(program.dialogs.shown.size(), 0);
        startup::destroyInstances();
        for (QObject* instance : instances())
            QVERIFY(!instance);
        QVERIFY(!Form1);
    }

    // The windows stand on the system window colour, a text box's background, and so do the opaque labels
    // of the sign-in and study windows and the video panel.
    void windowsStandOnTheSystemWindowColour() {
        ProgramInstances program;
        const QColor window = QApplication::palette().color(QPalette::Base);
        const QList<QWidget*> shown{Form1,       Form7,       Form3,         Form5,  Form2,
                                    Form13,      Form9,       Form8,         Form12, Form1->Label1,
                                    Form2->lbl1, Form2->lbl4, Form13->Panel1};
        for (QWidget* w : shown) {
            QVERIFY2(w->autoFillBackground(), qPrintable(w->objectName()));
            QCOMPARE(w->palette().color(QPalette::Window), window);
        }
        QCOMPARE(Form3->grab().toImage().pixelColor(2, 2), window);
        QCOMPARE(Form2->lbl1->grab().toImage().pixelColor(0, 0), window);
    }

    void closingTheSignInWindowEndsTheProgram() {
        ProgramInstances program(ProgramInstances::Direct, TestDatabase::smallRowsSql(), false);
        Watchdog watchdog;
        bool signInShown = false;
        later([&] {
            signInShown = Form1->isVisible() && Form1->isModal() && !Form14->isVisible();
            Form1->close();
        });
        QCOMPARE(startup::run(), 0);
        QVERIFY(!watchdog.fired());
        QVERIFY(signInShown);
        QVERIFY(!Form14);
        QCOMPARE(program.dialogs.shown.size(), 0);
    }

    void aMissingDatabaseIsReportedAndStartGoesOn() {
        SKIP_ON_SERVER("a missing file");
        QTemporaryDir empty;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(empty.path());
        RecordingDialogs dialogs;
        Watchdog watchdog;
        bool signInShown = false;
        later([&] {
            signInShown = Form1 && Form1->isVisible();
            Form1->close();
        });
        QCOMPARE(startup::run(), 0);
        QDir::setCurrent(previous);
        QVERIFY(signInShown);
        QVERIFY(!dialogs.failures().isEmpty());
        QCOMPARE(dialogs.texts(QStringLiteral("applicationError")), QStringList());
    }

    void applicationErrorEndsTheProgramWithCodeOne_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::newRow("failure") << 0 << "Exception Failure in module test_startup.\nНет окна.";
        QTest::newRow("full stop kept") << 1 << "Exception Failure in module test_startup.\nНет окна.";
        QTest::newRow("standard") << 2 << "Exception std::runtime_error in module test_startup.\nno window.";
    }
    void applicationErrorEndsTheProgramWithCodeOne() {
        QFETCH(int, kind);
        QFETCH(QString, text);
        ProgramInstances program(ProgramInstances::Direct, TestDatabase::smallRowsSql(), false);
        const int code = startup::run([kind] {
            startup::createInstances();
            if (kind == 0)
                throw Failure(QStringLiteral("Нет окна"));
            if (kind == 1)
                throw Failure(QStringLiteral("Нет окна."));
            throw std::runtime_error("no window");
        });
        QCOMPARE(code, 1);
        QCOMPARE(program.dialogs.texts(QStringLiteral("applicationError")), QStringList{text});
        QCOMPARE(program.dialogs.shown.size(), 1);
        for (QObject* instance : instances())
            QVERIFY(!instance);
        QVERIFY(!Form1);
    }

    void failureBeforeTheDataModuleEndsTheProgramToo() {
        ProgramInstances program(ProgramInstances::Direct, TestDatabase::smallRowsSql(), false);
        const int code = startup::run([] {
            Form14 = new TForm14;
            throw Failure(QStringLiteral("Cannot create window"));
        });
        QCOMPARE(code, 1);
        QCOMPARE(program.dialogs.texts(QStringLiteral("applicationError")),
                 QStringList{"Exception Failure in module test_startup.\nCannot create window."});
        QVERIFY(!Form14);
        QVERIFY(!DataModule11);
    }

    // Query variant: the sign-in window closes with OK and the main window runs the event loop.
    void querySignInRunsTheMainWindow_data() { addSignInRows(); }
    void querySignInRunsTheMainWindow() {
        QFETCH(QString, surname);
        QFETCH(QString, password);
        ProgramInstances program(ProgramInstances::Query, TestDatabase::smallRowsSql(), false);
        Watchdog watchdog;
        bool running = false;
        bool studyShown = false;
        later([&] {
            typeSignIn(surname, password);
            later([&] {
                // Now in the application's event loop: the sign-in window is gone for good.
                running = !Form1 && Form14->isVisible() && Form14->isEnabled() && !Form14->isModal() &&
                          !Form9->isVisible() && DataModule11->ych->asText(2) == surname;
                QTest::mouseClick(Form14->BitBtn4, Qt::LeftButton);
                studyShown = Form2->isVisible();
                Form14->close();
            });
            QTest::mouseClick(Form1->Button3, Qt::LeftButton);
        });
        QCOMPARE(startup::run(), 0);
        QVERIFY(!watchdog.fired());
        QVERIFY(running);
        QVERIFY(studyShown);
        QCOMPARE(program.dialogs.shown.size(), 0);
        QVERIFY(!Form14);
    }

    void queryRefusalsThenClosingEndTheProgram() {
        ProgramInstances program(ProgramInstances::Query, TestDatabase::smallRowsSql(), false);
        Watchdog watchdog;
        later([&] {
            typeSignIn(QStringLiteral("Петрова"), QStringLiteral("wrong"));
            QTest::mouseClick(Form1->Button3, Qt::LeftButton);
            Form1->close();
        });
        QCOMPARE(startup::run(), 0);
        QVERIFY(!watchdog.fired());
        QCOMPARE(program.dialogs.messages(), QStringList{"Неверный пароль!"});
    }

    // Direct variant: the main window is shown modally from the sign-in window; closing it signs the pupil
    // out, and what he opened closes with him, his running test stored in his name.
    void signingOutClosesThePupilsWindows() {
        ProgramInstances program(ProgramInstances::Direct, TestDatabase::smallRowsSql(), false);
        Watchdog watchdog;
        bool inside = false;
        bool afterwards = false;
        bool nextPupil = false;
        later([&] {
            typeSignIn(QStringLiteral("Соколов"), QStringLiteral("do-re-mi"));
            later([&] {
                inside = Form14->isModal() && !Form1->isEnabled();
                for (TBitBtn* b : {Form14->BitBtn4, Form14->BitBtn3, Form14->BitBtn1, Form14->BitBtn5})
                    QTest::mouseClick(b, Qt::LeftButton);
                later([] {
                    Form3->Button1->click();
                    Form3->close(); // the test goes on hidden
                });
                QTest::mouseClick(Form7->Button1, Qt::LeftButton);
                Form14->close();
            });
            QTest::mouseClick(Form1->Button1, Qt::LeftButton);
            afterwards = Form1->isVisible() && Form1->isEnabled() && !Form14->isVisible();
            for (Form* w : std::initializer_list<Form*>{Form2, Form3, Form5, Form7, Form13})
                afterwards = afterwards && !w->isVisible();
            // The next pupil finds the windows usable.
            typeSignIn(QStringLiteral("Петрова"), QStringLiteral("nota"));
            later([&] {
                QTest::mouseClick(Form14->BitBtn3, Qt::LeftButton);
                nextPupil = Form7->isVisible() && Form7->isEnabled();
                Form14->close();
            });
            QTest::mouseClick(Form1->Button1, Qt::LeftButton);
            Form1->close();
        });
        QCOMPARE(startup::run(), 0);
        QVERIFY(!watchdog.fired());
        QVERIFY(inside);
        QVERIFY(afterwards);
        QVERIFY(nextPupil);
        // One row, Соколов's (pupil 2, class 2), stored as at the time-out of his test.
        QCOMPARE(program.db.scalar(QStringLiteral("SELECT count(*) || ' ' || max(\"id_ученика\") || ' ' || "
                                                  "max(\"id_класса\") FROM \"результаты\" WHERE "
                                                  "\"id_результата\" > 4")),
                 QStringLiteral("1 2 2"));
        QCOMPARE(program.dialogs.failures(), QStringList());
    }

    // A real nested road: sign-in, main window, topic choice, test window, each taking input in turn.
    void nestedRoad() {
        ProgramInstances program(ProgramInstances::Direct, TestDatabase::smallRowsSql(), false);
        Watchdog watchdog;
        QStringList road;
        later([&] {
            QVERIFY(Form1->Edit2->isEnabled() && Form1->isEnabled());
            typeSignIn(QStringLiteral("Петрова"), QStringLiteral("nota"));
            road << QStringLiteral("sign-in");
            later([&] {
                QVERIFY(Form14->isEnabled() && !Form1->isEnabled());
                QTest::mouseClick(Form14->BitBtn3, Qt::LeftButton);
                QVERIFY(Form7->isVisible() && Form7->isEnabled());
                road << QStringLiteral("main");
                later([&] {
                    QVERIFY(Form3->isEnabled());
                    QVERIFY(!Form7->isEnabled() && !Form14->isEnabled() && !Form1->isEnabled());
                    road << QStringLiteral("test");
                    Form3->close();
                });
                // The topic choice starts the test.
                QVERIFY(Form7->isEnabled());
                road << QStringLiteral("topic");
                Form3->showModal();
                QVERIFY(Form7->isEnabled() && Form14->isEnabled() && !Form1->isEnabled());
                QTest::mouseClick(Form14->BitBtn4, Qt::LeftButton);
                QVERIFY(Form2->isVisible());
                road << QStringLiteral("main again");
                Form14->close();
            });
            QTest::mouseClick(Form1->Button1, Qt::LeftButton);
            QVERIFY(Form1->isEnabled() && !Form7->isVisible() && !Form2->isVisible());
            road << QStringLiteral("sign-in again");
            Form1->close();
        });
        QCOMPARE(startup::run(), 0);
        QVERIFY(!watchdog.fired());
        QCOMPARE(road, (QStringList{"sign-in", "main", "topic", "test", "main again", "sign-in again"}));
        QCOMPARE(program.dialogs.failures(), QStringList());
    }

    void theSignInWindowCannotBeReachedAgain() {
        ProgramInstances program(ProgramInstances::Query);
        later([] {
            typeSignIn(QStringLiteral("Петрова"), QStringLiteral("nota"));
            QTest::mouseClick(Form1->Button3, Qt::LeftButton);
        });
        QVERIFY(startup::signIn());
        QVERIFY(!Form1);
        QVERIFY(DataModule11->ych->filtered());
    }
};

ESUN_TEST_MAIN(StartupTest)

#include "test_startup.moc"
