#pragma once

#include "app/startup.h"
#include "base/appinfo.h"
#include "signin/form1.h"
#include "tests/support/recorder.h"
#include "tests/support/testdb.h"

#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <functional>

// Every window and the data module as start-up creates them, over a test database, with a program folder of
// the test's own that holds Connect.ini or not; all destroyed again when the object goes.
class ProgramInstances {
public:
    enum Variant { Direct, Query };

    explicit ProgramInstances(Variant variant = Direct, const QString& rowsSql = TestDatabase::smallRowsSql(),
                              bool create = true)
        : db(rowsSql) {
        appinfo::setProgramFolderForTesting(folder.path());
        if (variant == Query)
            writeConnectFile();
        if (create) {
            startup::createInstances();
            startup::createSignInWindow();
        }
    }
    ~ProgramInstances() {
        startup::destroyInstances();
        appinfo::setProgramFolderForTesting({});
    }
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
    RecordingDialogs dialogs;
};

// Runs `step` at the next turn of whichever event loop runs then (a modal showing's own loop included).
inline void later(std::function<void()> step) {
    QTimer::singleShot(0, qApp, std::move(step));
}

// Types text of any script into `widget`, one key event per character (QTest::keyClicks takes ASCII only).
inline void typeText(QWidget* widget, const QString& text) {
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// The control that Tab moves to from `widget`: the next in the focus chain that takes focus by Tab.
inline QWidget* nextTabStop(QWidget* widget) {
    QWidget* next = widget->nextInFocusChain();
    while (next != widget && !(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
    return next;
}

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
