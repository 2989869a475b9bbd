#pragma once

#include <QApplication>
#include <QString>

#include <exception>
#include <functional>

// The application object. Its notify() is the last safety net: a failure that escaped a handler's own guard
// reaches the default failure report instead of unwinding through Qt's event loop.
class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

namespace startup {

// Creates the main window, the other windows and the data module into their globals, in their fixed order.
// The data module reports its own opening failures and goes on; anything else that fails is thrown.
void createInstances();
// Wires what the main window's buttons and the study materials menu open (createInstances does it).
void wireWindows();
// Creates the sign-in window (its creation handler fixes the sign-in variant) and wires what it opens.
void createSignInWindow();
// The pupil leaves: his running test is stored and the windows opened on his behalf close.
void signOut();
// Shows the sign-in window modally and destroys it afterwards; true when it ended with the OK result.
bool signIn();
// Runs the event loop with the main window shown until the program is asked to end; returns its exit code.
int runEventLoop();
// Destroys every instance that exists and clears its global.
void destroyInstances();

// The "Application Error" text for a failure while the windows were created.
QString applicationErrorText(const std::exception& failure);

// The start-up sequence after the application object exists. `create` stands in for creating the instances
// and the sign-in window (tests inject failures through it). Returns the process exit code.
int run(const std::function<void()>& create = {});

} // namespace startup

// The program's entry: the application object, then the start-up sequence.
int runProgram(int argc, char** argv);
