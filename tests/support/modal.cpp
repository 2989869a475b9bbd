#include "modal.h"

#include "ui/form.h"

#include <QCoreApplication>
#include <QTimer>
#include <QtTest>

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
