#include "materials/browsermodule.h"
#include "materials/form2.h"
#include "materials/linklabel.h"
#include "materials/webbrowser.h"
#include "tests/support/instances.h"
#include "tests/support/sanitizers.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

// Whether a shared library whose file name contains `name` is loaded into this process.
bool libraryLoaded(const char* name) {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(name);
}

bool waitForPage(BrowserEngine* engine) {
    return QTest::qWaitFor([engine] { return engine->isLoaded(); }, 60000);
}

} // namespace

// The study pages in the real browser module.
class MaterialsBrowserTest : public QObject {
    Q_OBJECT

    QString skipReason;

private slots:
    void initTestCase() {
        // Loading the module and showing the first page is this suite's first test; nothing of the browser
        // engine may be in the process before it.
        QVERIFY(!libraryLoaded("libQt6WebEngineCore"));
        if (!QFileInfo::exists(TWebBrowser::moduleFileName()))
            skipReason =
                QStringLiteral("the browser module %1 was not built").arg(TWebBrowser::moduleFileName());
    }

    void firstPageLoadsTheModule() {
        if (!skipReason.isEmpty())
            QSKIP(qPrintable(skipReason));
        RecordingDialogs dialogs;
        const ProgramFolder programFolder(QCoreApplication::applicationDirPath());
        TForm2 window;
        window.showModeless();
        QVERIFY(!window.wb1->engine());
        QVERIFY(!libraryLoaded("libQt6WebEngineCore"));
        QTest::mouseClick(window.lbl5, Qt::LeftButton);
        QVERIFY2(dialogs.shown.isEmpty(), qPrintable(dialogs.failures().join(QLatin1Char('\n'))));
        BrowserEngine* engine = window.wb1->engine();
        QVERIFY(engine);
        QVERIFY(libraryLoaded("libQt6WebEngineCore"));
        if (geteuid() == 0)
            QCOMPARE(qgetenv("QTWEBENGINE_DISABLE_SANDBOX"), QByteArray("1"));
        if (!waitForPage(engine) || !engine->loadSucceeded()) {
            skipReason = QStringLiteral("the browser engine cannot render pages on this display (%1)")
                             .arg(QGuiApplication::platformName());
            QSKIP(qPrintable(skipReason));
        }
        QCOMPARE(engine->title(), QStringLiteral("2.2 Ключи"));
        QCOMPARE(engine->location(), QCoreApplication::applicationDirPath() + QStringLiteral("/HTML/22.htm"));
        QCOMPARE(engine->widget()->geometry(), QRect(0, 0, 834, 631));
        // A second click reloads the same page.
        QTest::mouseClick(window.lbl5, Qt::LeftButton);
        QVERIFY(!engine->isLoaded());
        QVERIFY(waitForPage(engine));
        QCOMPARE(engine->title(), QStringLiteral("2.2 Ключи"));
        // Closing and reopening keeps the page.
        window.N2->trigger();
        window.showModeless();
        QCOMPARE(window.wb1->engine(), engine);
        QCOMPARE(engine->title(), QStringLiteral("2.2 Ключи"));
    }

    void everyPageShows_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("title");
        QTest::newRow("lbl2") << "lbl2"
                              << "1. Понятие музыки";
        QTest::newRow("lbl3") << "lbl3"
                              << "2.1 Звукоряд";
        QTest::newRow("lbl5") << "lbl5"
                              << "2.2 Ключи";
        QTest::newRow("lbl6") << "lbl6"
                              << "2.3 Доли";
        QTest::newRow("lbl9") << "lbl9"
                              << "3.1 Верелинский";
        QTest::newRow("lbl10") << "lbl10"
                               << "3.2 Ларвен";
        QTest::newRow("lbl11") << "lbl11"
                               << "3.3 Гримальд";
    }
    void everyPageShows() {
        QFETCH(QString, label);
        QFETCH(QString, title);
        if (!skipReason.isEmpty())
            QSKIP(qPrintable(skipReason));
        RecordingDialogs dialogs;
        const ProgramFolder programFolder(QCoreApplication::applicationDirPath());
        TForm2 window;
        window.showModeless();
        QTest::mouseClick(window.client->findChild<LinkLabel*>(label), Qt::LeftButton);
        QVERIFY(waitForPage(window.wb1->engine()));
        QVERIFY(window.wb1->engine()->loadSucceeded());
        QCOMPARE(window.wb1->engine()->title(), title);
        QVERIFY(dialogs.shown.isEmpty());
    }

    // Opening the window loads the browser while its area stays empty; the first page then uses that view.
    void openedWindowWarmsTheBrowser() {
        if (!skipReason.isEmpty())
            QSKIP(qPrintable(skipReason));
        RecordingDialogs dialogs;
        appinfo::setProgramFolderForTesting(QCoreApplication::applicationDirPath());
        TForm2 window;
        window.showModeless();
        QTRY_VERIFY(window.wb1->isWarm());
        QVERIFY(!window.wb1->engine());
        for (QWidget* widget : QApplication::topLevelWidgets())
            QVERIFY(!widget->isVisible() || widget == &window);
        for (const QWidget* child : window.wb1->findChildren<QWidget*>())
            QVERIFY(!child->isVisible());
        QTest::mouseClick(window.lbl5, Qt::LeftButton);
        BrowserEngine* engine = window.wb1->engine();
        QVERIFY(engine);
        QCOMPARE(engine->widget()->parentWidget(), window.wb1);
        QVERIFY(engine->widget()->isVisible());
        QVERIFY(waitForPage(engine));
        QCOMPARE(engine->title(), QStringLiteral("2.2 Ключи"));
        QVERIFY(dialogs.shown.isEmpty());
        appinfo::setProgramFolderForTesting({});
    }

    void cyrillicProgramFolder() {
        if (!skipReason.isEmpty())
            QSKIP(qPrintable(skipReason));
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/Музыка для школы");
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/HTML")));
        const QDir pages(QCoreApplication::applicationDirPath() + QStringLiteral("/HTML"));
        for (const QString& name : pages.entryList(QDir::Files))
            QVERIFY(QFile::copy(pages.filePath(name), folder + QStringLiteral("/HTML/") + name));
        RecordingDialogs dialogs;
        const ProgramFolder programFolder(folder);
        TForm2 window;
        window.showModeless();
        window.lbl3Click();
        QVERIFY(waitForPage(window.wb1->engine()));
        QVERIFY(window.wb1->engine()->loadSucceeded());
        QCOMPARE(window.wb1->engine()->title(), QStringLiteral("2.1 Звукоряд"));
    }

    // A missing page shows the program's own page in the browser's area; the window reports nothing.
    void missingPageShowsTheProgramsOwnPage() {
        if (!skipReason.isEmpty())
            QSKIP(qPrintable(skipReason));
        QTemporaryDir empty;
        RecordingDialogs dialogs;
        const ProgramFolder programFolder(empty.path());
        TForm2 window;
        window.showModeless();
        window.lbl9Click();
        QVERIFY(waitForPage(window.wb1->engine()));
        QVERIFY(!window.wb1->engine()->loadSucceeded());
        QTRY_COMPARE_WITH_TIMEOUT(window.wb1->engine()->widget()->property("title").toString(),
                                  QStringLiteral("Страница не открылась"), 20000);
        QVERIFY(dialogs.shown.isEmpty());
    }
};

int main(int argc, char** argv) {
    // As in the program: the browser makes its shared drawing context itself when it is first loaded.
    QApplication app(argc, argv);
    MaterialsBrowserTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_materials_browser.moc"
