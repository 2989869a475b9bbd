#include "dbnavigator.h"

#include "data/engine/table.h"
#include "databinding.h"

#include "ui/guard.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <QStyleOptionFocusRect>
#include <QToolButton>

namespace {

// The picture of one button: black shapes on a transparent 16x16 square (Qt greys it when disabled).
QPixmap drawPicture(TDBNavigator::Button which) {
    QPixmap pix(16, 16);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    const auto triangle = [&p](qreal x, bool right, qreal y = 3, qreal h = 10) {
        QPainterPath path;
        if (right) {
            path.moveTo(x, y);
            path.lineTo(x + h / 2, y + h / 2);
            path.lineTo(x, y + h);
        } else {
            path.moveTo(x + h / 2, y);
            path.lineTo(x, y + h / 2);
            path.lineTo(x + h / 2, y + h);
        }
        path.closeSubpath();
        p.drawPath(path);
    };
    switch (which) {
    case TDBNavigator::nbFirst:
        p.drawRect(QRectF(3, 3, 2, 10));
        triangle(6, false);
        break;
    case TDBNavigator::nbPrior:
        triangle(5, false);
        break;
    case TDBNavigator::nbNext:
        triangle(6, true);
        break;
    case TDBNavigator::nbLast:
        triangle(5, true);
        p.drawRect(QRectF(11, 3, 2, 10));
        break;
    case TDBNavigator::nbInsert:
        p.drawRect(QRectF(7, 3, 2, 10));
        p.drawRect(QRectF(3, 7, 10, 2));
        break;
    case TDBNavigator::nbDelete:
        p.drawRect(QRectF(3, 7, 10, 2));
        break;
    case TDBNavigator::nbEdit: {
        QPainterPath path;
        path.moveTo(3, 11);
        path.lineTo(8, 4);
        path.lineTo(13, 11);
        path.closeSubpath();
        p.drawPath(path);
        break;
    }
    case TDBNavigator::nbPost: {
        p.setPen(QPen(Qt::black, 2.2));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({QPointF(3, 8), QPointF(6.5, 12), QPointF(13, 4)}));
        break;
    }
    case TDBNavigator::nbCancel:
        p.setPen(QPen(Qt::black, 2.2));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    case TDBNavigator::nbRefresh: {
        p.setPen(QPen(Qt::black, 2));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(3, 3, 10, 10), 100 * 16, 290 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawPolygon(QPolygonF({QPointF(7, 0.5), QPointF(11, 3.5), QPointF(7, 6.5)}));
        break;
    }
    }
    return pix;
}

// Every navigator shows the same pictures: drawn once, then kept in Qt's pixmap cache.
QIcon picture(TDBNavigator::Button which) {
    const QString key = QStringLiteral("TDBNavigator/%1").arg(int(which));
    QPixmap pix;
    if (!QPixmapCache::find(key, &pix)) {
        pix = drawPicture(which);
        QPixmapCache::insert(key, pix);
    }
    return QIcon(pix);
}

// A record button: never takes the focus itself and shows the bar's keyboard focus mark.
class NavButton : public QToolButton {
public:
    explicit NavButton(QWidget* bar) : QToolButton(bar) { setFocusPolicy(Qt::NoFocus); }
    bool marked = false;

protected:
    void paintEvent(QPaintEvent* event) override {
        QToolButton::paintEvent(event);
        if (!marked || !parentWidget()->hasFocus())
            return;
        QPainter p(this);
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &p, this);
    }
};

} // namespace

TDBNavigator::Buttons TDBNavigator::allButtons() {
    return Buttons(0x3ff);
}

TDBNavigator::TDBNavigator(QWidget* parent)
    : QWidget(parent), m_binding(new DataBinding(this)), m_visible(allButtons()) {
    setFocusPolicy(Qt::TabFocus);
    for (int i = 0; i < ButtonCount; ++i) {
        const Button which = buttonAt(i);
        auto* b = new NavButton(this);
        b->setIcon(picture(which));
        b->setAutoRaise(false);
        if (which == nbPrior || which == nbNext) {
            // Held down, they repeat while the pointer stays on them.
            b->setAutoRepeat(true);
            b->setAutoRepeatDelay(RepeatDelayMs);
            b->setAutoRepeatInterval(RepeatIntervalMs);
        }
        connect(b, &QAbstractButton::clicked, this,
                [this, which] { guarded([this, which] { act(which); }); });
        m_buttons.append(b);
    }
    connect(m_binding, &DataBinding::sourceChanged, this, &TDBNavigator::updateAll);
    connect(m_binding, &DataBinding::activeChanged, this, &TDBNavigator::updateAll);
    connect(m_binding, &DataBinding::dataSetChanged, this, &TDBNavigator::updateMoveButtons);
    connect(m_binding, &DataBinding::editingChanged, this, &TDBNavigator::updateEditButtons);
    updateAll();
}

void TDBNavigator::setDataSource(const QString& name) {
    m_binding->setDataSourceName(name);
}

void TDBNavigator::setVisibleButtons(Buttons buttons) {
    m_visible = buttons;
    for (int i = 0; i < ButtonCount; ++i)
        m_buttons[i]->setVisible(m_visible.testFlag(buttonAt(i)));
    for (int i = 0; !m_visible.testFlag(buttonAt(m_focusIndex)) && i < ButtonCount; ++i)
        m_focusIndex = i;
    moveFocusMark(0);
    layoutButtons();
}

QAbstractButton* TDBNavigator::button(Button which) const {
    for (int i = 0; i < ButtonCount; ++i)
        if (buttonAt(i) == which)
            return m_buttons[i];
    return nullptr;
}

TDBNavigator::Button TDBNavigator::focusedButton() const {
    return buttonAt(m_focusIndex);
}

void TDBNavigator::act(Button which) {
    Table* t = m_binding->table();
    if (!t || !button(which)->isEnabled())
        return;
    switch (which) {
    case nbFirst:
        t->first();
        break;
    case nbPrior:
        t->prior();
        break;
    case nbNext:
        t->next();
        break;
    case nbLast:
        t->last();
        break;
    case nbInsert:
        t->insert();
        break;
    case nbDelete:
        deleteWithConfirmation(t);
        break;
    case nbEdit:
        t->edit();
        break;
    case nbPost:
        t->post();
        break;
    case nbCancel:
        t->cancel();
        break;
    case nbRefresh:
        t->refresh();
        break;
    }
}

void TDBNavigator::updateMoveButtons() {
    const Table* t = m_binding->table();
    const bool on = isEnabled() && m_binding->isActive();
    const bool up = on && !t->bof();
    const bool down = on && !t->eof();
    button(nbFirst)->setEnabled(up);
    button(nbPrior)->setEnabled(up);
    button(nbNext)->setEnabled(down);
    button(nbLast)->setEnabled(down);
    button(nbDelete)->setEnabled(on && t->canModify() && !t->isEmpty());
}

void TDBNavigator::updateEditButtons() {
    const Table* t = m_binding->table();
    const bool can = isEnabled() && m_binding->isActive() && t->canModify();
    const bool editing = can && dbdisplay::editing(t);
    button(nbInsert)->setEnabled(can);
    button(nbEdit)->setEnabled(can && !editing);
    button(nbPost)->setEnabled(editing);
    button(nbCancel)->setEnabled(editing);
    button(nbRefresh)->setEnabled(can);
}

void TDBNavigator::updateAll() {
    updateMoveButtons();
    updateEditButtons();
}

// Equal widths for the visible buttons; what is left over is shared out as margins on both sides.
void TDBNavigator::layoutButtons() {
    QVector<QAbstractButton*> shown;
    for (int i = 0; i < ButtonCount; ++i)
        if (m_visible.testFlag(buttonAt(i)))
            shown.append(m_buttons[i]);
    if (shown.isEmpty())
        return;
    const int w = width() / int(shown.size());
    int x = (width() - w * int(shown.size())) / 2;
    for (QAbstractButton* b : shown) {
        b->setGeometry(x, 0, w, height());
        x += w;
    }
}

void TDBNavigator::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutButtons();
}

// Left and Right move the mark to the neighbouring visible button; it stops at the ends of the bar.
void TDBNavigator::moveFocusMark(int step) {
    for (int i = m_focusIndex + step; step != 0 && i >= 0 && i < ButtonCount; i += step)
        if (m_visible.testFlag(buttonAt(i))) {
            m_focusIndex = i;
            break;
        }
    for (int i = 0; i < ButtonCount; ++i) {
        static_cast<NavButton*>(m_buttons[i])->marked = i == m_focusIndex;
        m_buttons[i]->update();
    }
}

void TDBNavigator::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Left:
        moveFocusMark(-1);
        break;
    case Qt::Key_Right:
        moveFocusMark(1);
        break;
    case Qt::Key_Space:
        if (m_buttons[m_focusIndex]->isEnabled())
            guarded([this] { act(focusedButton()); });
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TDBNavigator::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        updateAll();
}

void TDBNavigator::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    moveFocusMark(0);
}

void TDBNavigator::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    for (QAbstractButton* b : std::as_const(m_buttons))
        b->update();
}
