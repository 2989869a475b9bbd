#pragma once

#include "app/startup.h"
#include "base/appinfo.h"
#include "base/clock.h"
#include "base/programmodule.h"
#include "data/datamodule.h"
#include "signin/form1.h"
#include "tests/support/input.h"
#include "tests/support/recorder.h"
#include "tests/support/testdb.h"

#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The program folder is `path` while the object lives, the real one again afterwards.
class ProgramFolder {
public:
    explicit ProgramFolder(const QString& path) { appinfo::setProgramFolderForTesting(path); }
    ~ProgramFolder() { appinfo::setProgramFolderForTesting({}); }
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;
};

// The program's clock says `day` while the object lives, the system's day again afterwards.
class FixedToday {
public:
    explicit FixedToday(const QDate& day) { programclock::setTodayForTesting(day); }
    ~FixedToday() { programclock::setTodayForTesting({}); }
    FixedToday(const FixedToday&) = delete;
    FixedToday& operator=(const FixedToday&) = delete;
};

// The program's modules are looked for in `path` while the object lives, beside the executable again
// afterwards.
class ModuleFolder {
public:
    explicit ModuleFolder(const QString& path) { setProgramModuleFolderForTesting(path); }
    ~ModuleFolder() { setProgramModuleFolderForTesting({}); }
    ModuleFolder(const ModuleFolder&) = delete;
    ModuleFolder& operator=(const ModuleFolder&) = delete;
};

// Every window and the data module as start-up creates them, over a test database, with a program folder of
// the test's own that holds Connect.ini or not; all destroyed again when the object goes.
class ProgramInstances {
public:
    enum Variant { Direct, Query };

    explicit ProgramInstances(Variant variant = Direct, const QString& rowsSql = TestDatabase::smallRowsSql(),
                              bool create = true)
        : db(rowsSql) {
        if (variant == Query)
            writeConnectFile();
        if (create) {
            startup::createInstances();
            startup::createSignInWindow();
        }
    }
    ~ProgramInstances() { startup::destroyInstances(); }
    ProgramInstances(const ProgramInstances&) = delete;
    ProgramInstances& operator=(const ProgramInstances&) = delete;

    QString connectFilePath() const { return appinfo::programFolder() + QStringLiteral("Connect.ini"); }
    void writeConnectFile() const {
        QFile file(connectFilePath());
        if (!file.open(QIODevice::WriteOnly) || file.write("Provider=Microsoft.Jet.OLEDB.4.0\r\n") < 0)
            qFatal("cannot write Connect.ini");
    }

    TestDatabase db;
    QTemporaryDir folder;
    ProgramFolder programFolder{folder.path()};
    RecordingDialogs dialogs;
};

// The data module alone, in its global, over a test database and with the dialog recorder: for tests of the
// data-aware widgets and of windows that need no other window. All destroyed again when the object goes.
class DataModuleInstance {
public:
    explicit DataModuleInstance(const QString& rowsSql = TestDatabase::smallRowsSql()) : db(rowsSql) {
        DataModule11 = dm.get();
    }
    ~DataModuleInstance() {
        dm.reset();
        DataModule11 = nullptr;
    }
    DataModuleInstance(const DataModuleInstance&) = delete;
    DataModuleInstance& operator=(const DataModuleInstance&) = delete;

    TestDatabase db;
    RecordingDialogs dialogs;
    std::unique_ptr<TDataModule11> dm = std::make_unique<TDataModule11>();
};

// One window of the program in its global while the object lives, for a test of that window without the
// others (beside a DataModuleInstance when it shows data).
template <typename Window> class WindowInstance {
public:
    explicit WindowInstance(Window*& global) : m_global(global) { m_global = m_window.get(); }
    ~WindowInstance() { m_global = nullptr; }
    WindowInstance(const WindowInstance&) = delete;
    WindowInstance& operator=(const WindowInstance&) = delete;

    Window* operator->() const { return m_window.get(); }

private:
    Window*& m_global;
    std::unique_ptr<Window> m_window = std::make_unique<Window>();
};

// Types the way a pupil does in the sign-in window: a click in the surname box, the surname, the password.
inline void typeSignIn(const QString& surname, const QString& password) {
    QTest::mouseClick(Form1->Edit2, Qt::LeftButton);
    typeText(Form1->Edit2, surname);
    typeText(Form1->Edit1, password);
}

// Test data: a pupil's and the teacher's sign-in in the small data set.
inline void addSignInRows() {
    QTest::addColumn<QString>("surname");
    QTest::addColumn<QString>("password");
    QTest::newRow("pupil") << QStringLiteral("Петрова") << QStringLiteral("nota");
    QTest::newRow("teacher") << QStringLiteral("Ивановна") << QStringLiteral("teach");
}
