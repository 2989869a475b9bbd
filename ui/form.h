#pragma once

#include <QString>
#include <QWidget>

class QEventLoop;

// A window of the program: fixed client size and screen place, painted in the system window colour,
// closing hides it, never destroyed while the program runs. Modal showing is ours, not Qt's (see showModal).
class Form : public QWidget {
    Q_OBJECT
public:
    enum ModalResult { mrNone = 0, mrOk = 1, mrCancel = 2 };

    Form(const QString& objectName, const QString& caption, int left, int top, int clientWidth,
         int clientHeight, QWidget* parent = nullptr);

    int modalResult() const { return m_modalResult; }
    // Setting a result other than mrNone while the window is shown modally closes it.
    void setModalResult(int result);

    // Shown modeless: made visible and brought to the front; a visible window is only brought forward.
    void showModeless();
    // Shown modally: refused with "Cannot make a visible window modal" when already visible; the other
    // visible windows are disabled (close box included) until this one closes; windows shown from inside
    // stay usable.
    int showModal();
    bool isModal() const { return m_loop != nullptr; }

signals:
    void shown();
    void hidden();

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    int m_modalResult = mrNone;
    QEventLoop* m_loop = nullptr;
};
