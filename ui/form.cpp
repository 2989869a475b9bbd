#include "form.h"

#include "base/failure.h"
#include "builders.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>

namespace {
// A window that a modal showing disabled takes no input, and its close box is input too. (The program
// itself never closes a window that a modal showing disabled.)
class CloseBoxBlocker : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close) {
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};
} // namespace

Form::Form(const QString& objectName, const QString& caption, int left, int top, int clientWidth,
           int clientHeight, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(objectName);
    setWindowTitle(caption);
    setFixedSize(clientWidth, clientHeight);
    move(left, top);
    setFont(ui::font(QStringLiteral("MS Sans Serif"), 11));
    ui::setBackground(this, ui::windowColour());
}

void Form::setModalResult(int result) {
    m_modalResult = result;
    if (result != mrNone && m_loop)
        close();
}

void Form::showModeless() {
    show();
    raise();
    activateWindow();
}

int Form::showModal() {
    if (isVisible() || m_loop)
        throw Failure(QStringLiteral("Cannot make a visible window modal"));
    // Disable what is on screen now; windows shown later from inside this one stay usable.
    QList<QPointer<QWidget>> disabled;
    CloseBoxBlocker blocker;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w != this && w->isVisible() && w->isEnabled()) {
            w->setEnabled(false);
            w->installEventFilter(&blocker);
            disabled.append(w);
        }
    }
    m_modalResult = mrNone;
    QEventLoop loop;
    m_loop = &loop;
    showModeless();
    if (isVisible())
        loop.exec(QEventLoop::DialogExec);
    m_loop = nullptr;
    for (const QPointer<QWidget>& w : disabled)
        if (w) {
            w->removeEventFilter(&blocker);
            w->setEnabled(true);
        }
    if (m_modalResult == mrNone)
        m_modalResult = mrCancel;
    return m_modalResult;
}

void Form::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (!e->spontaneous())
        emit shown();
}

void Form::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    // Minimising hides the window only in the window system's eyes: it is not closed.
    if (e->spontaneous())
        return;
    if (m_loop)
        m_loop->quit();
    emit hidden();
}

void Form::keyPressEvent(QKeyEvent* e) {
    // Enter on a focused button clicks it, as Space does (a button outside a dialog passes Enter on).
    auto* button = qobject_cast<QPushButton*>(focusWidget());
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) &&
        !(e->modifiers() & ~Qt::KeypadModifier) && button && button->isEnabled() && button->isVisible()) {
        button->click();
        return;
    }
    // Esc does not close the program's windows; only the print preview binds it.
    e->ignore();
}
