#pragma once

#include "ui/mediadevice.h"

#include <QPointer>
#include <QString>
#include <QWidget>

// The media player bar: Play and Pause buttons side by side over one multimedia device. The buttons are
// made usable from the device's state; the focus mark moves with Left and Right, Space presses the
// marked button (usable or not).
class TMediaPlayer : public QWidget {
    Q_OBJECT
public:
    enum Button { btPlay = 0, btPause = 1 };

    explicit TMediaPlayer(QWidget* parent = nullptr);

    // Puts `device` (owned from now on) behind the bar; the previous one is closed and deleted. Without one,
    // the first open puts the media module's device there.
    void setDevice(MediaDevice* device);
    // The device behind the bar; none before the first lesson unless one was put there.
    MediaDevice* device() const { return m_device; }

    QString fileName() const { return m_fileName; }
    void setFileName(const QString& fileName) { m_fileName = fileName; }
    QWidget* display() const { return m_display; }
    // Records the display; with an open device that has video the device draws into it at once.
    void setDisplay(QWidget* display);

    // Closes what is open and opens fileName(); throws Failure with the device's error text, or when the
    // media module cannot be loaded.
    void open();
    void close();
    // The button actions; both throw "No MCI device open" before a lesson is opened.
    void play();
    void pause();

    bool isOpen() const;
    int error() const { return m_error; }
    bool isButtonEnabled(Button button) const { return m_enabled[button]; }
    Button focusedButton() const { return m_focused; }
    QRect buttonRect(Button button) const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    enum class Source { Mouse, Key };
    void press(Button button, Source source);
    void setEnabledButtons(bool play, bool pause);
    void onCompleted();
    int buttonAt(const QPoint& pos) const;
    void drawGlyph(QPainter& p, Button button, const QRect& face, bool usable) const;

    QPointer<MediaDevice> m_device;
    QString m_fileName;
    QPointer<QWidget> m_display;
    int m_error = 0;
    bool m_enabled[2] = {false, false};
    Button m_focused = btPlay;
    int m_pressed = -1; // the button held down by the mouse, or -1
    bool m_pressedInside = false;
};
