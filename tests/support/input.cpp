#include "input.h"

#include "ui/form.h"

#include <QApplication>
#include <QTimer>
#include <QtTest>

void later(std::function<void()> step) {
    QTimer::singleShot(0, qApp, std::move(step));
}

void typeText(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        // Letters, digits and signs of ASCII carry their key as well, as from a real keyboard.
        const auto key = c.unicode() < 0x80 ? Qt::Key(c.toUpper().unicode()) : Qt::Key_unknown;
        QTest::sendKeyEvent(QTest::Click, widget, key, QString(c), Qt::NoModifier);
    }
}

void typeText(const QString& text) {
    for (const QChar c : text) {
        QWidget* focused = QApplication::focusWidget();
        QVERIFY2(focused, "no widget holds the focus");
        typeText(focused, QString(c));
    }
}

void press(int key, Qt::KeyboardModifiers modifiers) {
    QWidget* focused = QApplication::focusWidget();
    QVERIFY2(focused, "no widget holds the focus");
    QTest::keyClick(focused, Qt::Key(key), modifiers);
}

QWidget* nextTabStop(QWidget* widget) {
    QWidget* next = widget->nextInFocusChain();
    while (next != widget && !(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
    return next;
}

Form* shownModally(const QList<Form*>& windows, const std::function<void()>& open,
                   const std::function<void()>& inside) {
    Form* shown = nullptr;
    bool looked = false;
    QObject call; // a look still pending when this call returns is dropped with it
    QTimer::singleShot(0, &call, [&] {
        looked = true;
        for (Form* window : windows) {
            if (window->isVisible() && window->isModal()) {
                shown = window;
                if (inside)
                    inside();
                if (window->isVisible())
                    window->close();
                return;
            }
        }
    });
    open();
    if (!looked)
        QCoreApplication::processEvents(); // nothing was shown: the look runs now
    return shown;
}

void whileModal(Form* window, const std::function<void()>& open, const std::function<void()>& inside) {
    const Form* shown = shownModally({window}, open, inside);
    QVERIFY2(shown == window, qPrintable(window->objectName() + QStringLiteral(" was not shown modally")));
    QVERIFY(!window->isVisible());
}
