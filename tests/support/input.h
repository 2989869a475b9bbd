#pragma once

#include <QString>
#include <Qt>

#include <functional>

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
