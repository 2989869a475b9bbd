#include "mediaplayer.h"

#include "base/failure.h"
#include "ui/mediadevice.h"
#include "ui/guard.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPolygon>
#include <qdrawutil.h>

TMediaPlayer::TMediaPlayer(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
}

void TMediaPlayer::setDevice(MediaDevice* device) {
    if (m_device) {
        m_device->close();
        delete m_device;
    }
    m_device = device;
    m_device->setParent(this);
    connect(m_device, &MediaDevice::completed, this, &TMediaPlayer::onCompleted);
    m_error = 0;
    setEnabledButtons(false, false);
}

bool TMediaPlayer::isOpen() const {
    return m_device && m_device->isOpen();
}

void TMediaPlayer::setDisplay(QWidget* display) {
    m_display = display;
    if (isOpen() && m_device->hasVideo()) {
        m_error = m_device->attachDisplay(display);
        if (m_error != 0)
            m_display = nullptr;
    }
}

void TMediaPlayer::open() {
    close();
    // The media module and its libraries are loaded with the first lesson, not with the window.
    if (!m_device)
        setDevice(MediaDevice::fromModule());
    m_error = m_device->open(m_fileName);
    if (m_error != 0) {
        const QString text = m_device->errorText(m_error);
        throw Failure(text.isEmpty() ? QStringLiteral("Unknown error code") : text);
    }
    if (m_device->hasVideo() && m_display)
        setDisplay(m_display);
    if (m_device->mode() == MediaDevice::Playing)
        setEnabledButtons(false, true);
    else
        setEnabledButtons(m_device->canPlay(), false);
}

void TMediaPlayer::close() {
    if (isOpen())
        m_device->close();
    setEnabledButtons(false, false);
}

void TMediaPlayer::play() {
    if (!isOpen())
        throw Failure(QStringLiteral("No MCI device open"));
    // Playback that is at its end starts again from the beginning.
    if (m_device->position() >= m_device->length())
        m_device->seekToStart();
    m_error = m_device->play();
}

void TMediaPlayer::pause() {
    if (!isOpen())
        throw Failure(QStringLiteral("No MCI device open"));
    switch (m_device->mode()) {
    case MediaDevice::Playing:
        m_error = m_device->pause();
        break;
    case MediaDevice::Paused:
        m_error = m_device->resume();
        if (m_error != 0)
            m_error = m_device->play();
        break;
    default:
        break;
    }
}

void TMediaPlayer::press(Button button, Source source) {
    if (button == btPlay)
        play();
    else
        pause();
    // A refused action leaves the buttons as they were after a mouse press, not after Space.
    if (source == Source::Key || (m_error == 0 && isOpen())) {
        if (button == btPlay)
            setEnabledButtons(false, true);
        else
            setEnabledButtons(true, true);
    }
}

void TMediaPlayer::onCompleted() {
    if (isOpen() && m_device->mode() == MediaDevice::Stopped)
        setEnabledButtons(true, false);
}

void TMediaPlayer::setEnabledButtons(bool play, bool pause) {
    m_enabled[btPlay] = play;
    m_enabled[btPause] = pause;
    update();
}

QRect TMediaPlayer::buttonRect(Button button) const {
    // Neighbouring buttons share one border pixel.
    const int w = (width() - 1) / 2 + 1;
    return {button * (w - 1), 0, w, height()};
}

QSize TMediaPlayer::sizeHint() const {
    return {57, 57};
}

int TMediaPlayer::buttonAt(const QPoint& pos) const {
    for (Button b : {btPlay, btPause})
        if (buttonRect(b).contains(pos))
            return b;
    return -1;
}

void TMediaPlayer::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton)
        return;
    const int b = buttonAt(e->position().toPoint());
    if (b < 0 || !m_enabled[b])
        return;
    m_pressed = b;
    m_pressedInside = true;
    m_focused = static_cast<Button>(b);
    setFocus(Qt::MouseFocusReason);
    update();
}

void TMediaPlayer::mouseMoveEvent(QMouseEvent* e) {
    if (m_pressed < 0)
        return;
    const bool inside = buttonAt(e->position().toPoint()) == m_pressed;
    if (inside != m_pressedInside) {
        m_pressedInside = inside;
        update();
    }
}

void TMediaPlayer::mouseReleaseEvent(QMouseEvent* e) {
    if (m_pressed < 0 || e->button() != Qt::LeftButton)
        return;
    const auto button = static_cast<Button>(m_pressed);
    const bool inside = buttonAt(e->position().toPoint()) == m_pressed;
    m_pressed = -1;
    update();
    if (inside)
        guarded([&] { press(button, Source::Mouse); });
}

void TMediaPlayer::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_Left:
        m_focused = btPlay;
        update();
        break;
    case Qt::Key_Right:
        m_focused = btPause;
        update();
        break;
    case Qt::Key_Space:
        guarded([&] { press(m_focused, Source::Key); });
        break;
    default:
        QWidget::keyPressEvent(e);
    }
}

void TMediaPlayer::focusInEvent(QFocusEvent* e) {
    QWidget::focusInEvent(e);
    update();
}

void TMediaPlayer::focusOutEvent(QFocusEvent* e) {
    QWidget::focusOutEvent(e);
    update();
}

void TMediaPlayer::paintEvent(QPaintEvent*) {
    QPainter p(this);
    for (Button b : {btPlay, btPause}) {
        const QRect r = buttonRect(b);
        const bool down = m_pressed == b && m_pressedInside;
        qDrawWinButton(&p, r, palette(), down, &palette().brush(QPalette::Button));
        QRect face = r.adjusted(2, 2, -2, -2);
        if (down)
            face.translate(1, 1);
        drawGlyph(p, b, face, m_enabled[b]);
        if (hasFocus() && b == m_focused) {
            p.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
            p.setBrush(Qt::NoBrush);
            p.drawRect(r.adjusted(3, 3, -4, -4));
        }
    }
}

void TMediaPlayer::drawGlyph(QPainter& p, Button button, const QRect& face, bool usable) const {
    const QPoint c = face.center();
    QList<QRect> bars;
    QPolygon triangle;
    if (button == btPlay)
        triangle << QPoint(c.x() - 4, c.y() - 6) << QPoint(c.x() + 4, c.y()) << QPoint(c.x() - 4, c.y() + 6);
    else
        bars << QRect(c.x() - 4, c.y() - 6, 3, 13) << QRect(c.x() + 2, c.y() - 6, 3, 13);
    const auto draw = [&](const QPoint& offset, const QColor& colour) {
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        if (!triangle.isEmpty())
            p.drawPolygon(triangle.translated(offset));
        for (const QRect& bar : bars)
            p.drawRect(bar.translated(offset));
    };
    if (usable) {
        draw({}, button == btPlay ? QColor(0, 128, 0) : QColor(0, 0, 160));
    } else {
        // Greyed: an embossed shadow of the picture.
        draw({1, 1}, palette().color(QPalette::Light));
        draw({}, palette().color(QPalette::Mid));
    }
}
