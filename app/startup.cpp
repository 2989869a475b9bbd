#include "startup.h"

#include "admin/form10.h"
#include "admin/form12.h"
#include "admin/form8.h"
#include "admin/form9.h"
#include "app/form14.h"
#include "base/allocator.h"
#include "data/datamodule.h"
#include "materials/form13.h"
#include "materials/form2.h"
#include "signin/form1.h"
#include "testing/form3.h"
#include "testing/form5.h"
#include "testing/form7.h"
#include "testing/resultsfilter.h"
#include "ui/dialogs.h"
#include "ui/guard.h"

#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdlib>
#include <cxxabi.h>
#include <initializer_list>
#include <memory>
#include <typeinfo>

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    allocator::keepFreedMemory();
    // The main window's closing ends the program, not the last window's: a study window may stay open.
    setQuitOnLastWindowClosed(false);
    // Qt's own dialogs (the file dialog, the print dialog) speak Russian like the rest of the program.
    auto* translator = new QTranslator(this);
    if (translator->load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(translator);
}

bool Application::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    guarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

namespace startup {

namespace {

template <typename T> void destroy(T*& instance) {
    delete instance;
    instance = nullptr;
}

// The failure's class name as the program spells it ("Failure", "std::bad_alloc").
QString kindOf(const std::exception& failure) {
    const char* mangled = typeid(failure).name();
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> name(
        abi::__cxa_demangle(mangled, nullptr, nullptr, &status), &std::free);
    return QString::fromLatin1(status == 0 && name ? name.get() : mangled);
}

QString failureText(const std::exception& failure) {
    if (const auto* f = dynamic_cast<const Failure*>(&failure))
        return f->text();
    return QString::fromUtf8(failure.what());
}

} // namespace

void createInstances() {
    Form14 = new TForm14;
    Form2 = new TForm2;
    Form3 = new TForm3;
    Form5 = new TForm5;
    Form7 = new TForm7;
    Form8 = new TForm8;
    Form9 = new TForm9;
    Form10 = new TForm10;
    DataModule11 = new TDataModule11;
    Form12 = new TForm12;
    Form13 = new TForm13;
    wireWindows();
}

void wireWindows() {
    // The windows never include each other's subsystems: what a button opens is wired here.
    Form14->showStudyMaterials = [] { Form2->showModeless(); };
    Form14->showTopicChoice = [] { Form7->showModeless(); };
    Form14->showVideoLessons = [] { Form13->showModeless(); };
    Form14->showOwnResults = [] { runResultsFilter(); };
    Form2->showTopicChoice = [] { Form7->showModeless(); };
    Form2->showOwnResults = [] { runResultsFilter(); };
}

void signOut() {
    // His test, if one is running hidden, ends with him and stores his row as at its time-out; the windows
    // opened on his behalf close, so that nobody after him can use them in his name, and none is left
    // disabled under the next pupil's main window.
    guarded([] { Form3->pupilSignedOut(); });
    for (Form* window : std::initializer_list<Form*>{Form3, Form7, Form5, Form13, Form2})
        window->close();
    guarded([] { DataModule11->signOut(); });
}

void createSignInWindow() {
    Form1 = new TForm1;
    Form1->showTeacherWindow = [] {
        Form9->showModal();
        guarded([] { DataModule11->signOut(); });
    };
    Form1->showPupilWindow = [] {
        Form14->showModal();
        signOut();
    };
}

bool signIn() {
    int result = Form::mrCancel;
    guarded([&] { result = Form1->showModal(); });
    // Whatever the sign-in left in the shared tables (the surname filter on ych) outlives the window.
    destroy(Form1);
    return result == Form::mrOk;
}

int runEventLoop() {
    // Closing the main window ends the program, whatever other windows are on screen.
    const QMetaObject::Connection ending =
        QObject::connect(Form14, &Form::hidden, qApp, &QCoreApplication::quit);
    Form14->show();
    const int code = QCoreApplication::exec();
    QObject::disconnect(ending);
    // The main window's closing signs its pupil out here too.
    signOut();
    return code;
}

void destroyInstances() {
    destroy(Form1);
    // Windows go before the data module whose data sources their widgets are bound to.
    destroy(Form13);
    destroy(Form12);
    destroy(Form10);
    destroy(Form9);
    destroy(Form8);
    destroy(Form7);
    destroy(Form5);
    destroy(Form3);
    destroy(Form2);
    destroy(Form14);
    destroy(DataModule11);
}

QString applicationErrorText(const std::exception& failure) {
    const QString module = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    return QStringLiteral("Exception %1 in module %2.\n%3")
        .arg(kindOf(failure), module, withFullStop(failureText(failure)));
}

int run(const std::function<void()>& create) {
    try {
        if (create) {
            create();
        } else {
            createInstances();
            createSignInWindow();
        }
    } catch (const std::exception& failure) {
        dialogs().applicationError(applicationErrorText(failure));
        destroyInstances();
        return 1;
    }
    // Any result but OK ends the program: the quit request ends the event loop at its first turn.
    if (!signIn())
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    runEventLoop();
    destroyInstances();
    return 0;
}

} // namespace startup

int runProgram(int argc, char** argv) {
    // No Qt::AA_ShareOpenGLContexts here: it would load the OpenGL driver before the sign-in; the study
    // pages' browser makes the shared context itself when it warms up.
    Application app(argc, argv);
    return startup::run();
}
