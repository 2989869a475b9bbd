#pragma once

#include "app/startup.h"
#include "base/appinfo.h"
#include "signin/form1.h"
#include "tests/support/input.h"
#include "tests/support/recorder.h"
#include "tests/support/testdb.h"

#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

// The program folder is `path` while the object lives, the real one again afterwards.
class ProgramFolder {
public:
    explicit ProgramFolder(const QString& path) { appinfo::setProgramFolderForTesting(path); }
    ~ProgramFolder() { appinfo::setProgramFolderForTesting({}); }
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;
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
