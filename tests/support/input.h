#pragma once

#include <QList>
#include <QString>
#include <Qt>

#include <functional>

class Form;
class QWidget;

// Runs `step` at the next turn of whichever event loop runs then (a modal showing's own loop included).
void later(std::function<void()> step);

// Types text of any script as a keyboard does, one key press and release per character (QTest::keyClicks
// takes ASCII only): into `widget`, or into whichever widget holds the focus at each character.
void typeText(QWidget* widget, const QString& text);
void typeText(const QString& text);

// Presses and releases a key in whichever widget holds the focus.
void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// The control that Tab moves to from `widget`: the next in the focus chain that takes focus by Tab.
QWidget* nextTabStop(QWidget* widget);

// Runs `open` and tells which of `windows` it showed modally (nullptr for none). `inside` runs while that
// window is shown; the window is closed afterwards unless `inside` closed it.
Form* shownModally(const QList<Form*>& windows, const std::function<void()>& open,
                   const std::function<void()>& inside = {});

// The same for one window that `open` must show modally: the test fails when it does not, or when the window
// is still open afterwards.
void whileModal(Form* window, const std::function<void()>& open, const std::function<void()>& inside = {});
