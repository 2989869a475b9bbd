#include "lookuplist.h"

#include "data/engine/table.h"

#include "ui/guard.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>

LookupList::LookupList(QWidget* owner)
    : QFrame(owner, Qt::Popup), m_scroll(new QScrollBar(Qt::Vertical, this)) {
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);
    connect(m_scroll, &QScrollBar::valueChanged, this, [this](int value) {
        m_top = value;
        update();
    });
}

int LookupList::rowHeight() const {
    return fontMetrics().height() + 2;
}

int LookupList::visibleRows() const {
    return m_table && m_table->isActive() ? qBound(1, m_table->recordCount(), MaxRows) : 1;
}

void LookupList::popup(Table* table, int listPos, QWidget* anchor, bool byPress) {
    if (m_table)
        disconnect(m_table, nullptr, this, nullptr);
    m_table = table;
    m_anchor = anchor;
    m_listPos = listPos;
    m_pressPending = byPress;
    m_dragged = false;
    m_finished = false;
    setAttribute(Qt::WA_NoMouseReplay, false);
    setFont(anchor->font());
    connect(table, &Table::dataSetChanged, this, &LookupList::followCursor);
    connect(table, &Table::recordChanged, this, qOverload<>(&QWidget::update));

    const int rows = visibleRows();
    const int count = table->recordCount();
    m_scroll->setVisible(count > MaxRows);
    m_scroll->setRange(0, qMax(0, count - rows));
    m_scroll->setPageStep(rows);
    const int frame = 2 * frameWidth();
    const QSize size(anchor->width(), rows * rowHeight() + frame);
    m_scroll->setGeometry(size.width() - frameWidth() - m_scroll->sizeHint().width(), frameWidth(),
                          m_scroll->sizeHint().width(), size.height() - frame);

    // Below the anchor, or above it when it would pass the bottom of the screen.
    QPoint at = anchor->mapToGlobal(QPoint(0, anchor->height()));
    const QScreen* screen = anchor->screen();
    if (screen && at.y() + size.height() > screen->availableGeometry().bottom())
        at = anchor->mapToGlobal(QPoint(0, -size.height()));
    setGeometry(QRect(at, size));
    m_top = 0;
    followCursor();
    show();
    setFocus();
}

void LookupList::finish(bool accept) {
    if (m_finished)
        return;
    m_finished = true;
    hide();
    if (m_table)
        disconnect(m_table, nullptr, this, nullptr);
    if (m_onClose)
        m_onClose(accept);
}

void LookupList::hideEvent(QHideEvent* event) {
    QFrame::hideEvent(event);
    // Closed by the window system (a click elsewhere): nothing accepted.
    finish(false);
}

QRect LookupList::rowsRect() const {
    QRect r = contentsRect();
    if (m_scroll->isVisible())
        r.setRight(m_scroll->geometry().left() - 1);
    return r;
}

int LookupList::rowAt(const QPoint& pos) const {
    const QRect r = rowsRect();
    if (!m_table || !r.contains(pos))
        return -1;
    const int row = m_top + (pos.y() - r.top()) / rowHeight();
    return row < m_table->recordCount() ? row : -1;
}

void LookupList::scrollTo(int top) {
    const int count = m_table ? m_table->recordCount() : 0;
    m_top = qBound(0, top, qMax(0, count - visibleRows()));
    const QSignalBlocker block(m_scroll);
    m_scroll->setValue(m_top);
    update();
}

// Keeps the table's current row in view.
void LookupList::followCursor() {
    if (!m_table)
        return;
    const int row = m_table->recNo();
    if (row >= 0 && row < m_top)
        scrollTo(row);
    else if (row >= m_top + visibleRows())
        scrollTo(row - visibleRows() + 1);
    else
        scrollTo(m_top);
}

void LookupList::moveCursorTo(int row) {
    if (!m_table || row < 0 || !m_table->isActive() || m_table->isEmpty())
        return;
    row = qBound(0, row, m_table->recordCount() - 1);
    if (row != m_table->recNo())
        guarded([this, row] { m_table->moveTo(row); });
    followCursor();
}

void LookupList::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (!m_table || !m_table->isActive())
        return;
    QPainter p(this);
    const QRect area = rowsRect();
    p.fillRect(area, palette().base());
    const int h = rowHeight();
    const int count = m_table->recordCount();
    for (int i = 0; i < visibleRows() && m_top + i < count; ++i) {
        const int row = m_top + i;
        const QRect r(area.left(), area.top() + i * h, area.width(), h);
        const bool current = row == m_table->recNo();
        if (current)
            p.fillRect(r, palette().highlight());
        p.setPen(current ? palette().highlightedText().color() : palette().text().color());
        p.drawText(r.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   m_table->displayTextAt(row, m_listPos));
    }
}

void LookupList::keyPressEvent(QKeyEvent* event) {
    const bool alt = event->modifiers() & Qt::AltModifier;
    const int row = m_table ? m_table->recNo() : -1;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (alt)
            finish(true);
        else
            moveCursorTo(row + (event->key() == Qt::Key_Down ? 1 : -1));
        break;
    case Qt::Key_PageUp:
        moveCursorTo(row - visibleRows());
        break;
    case Qt::Key_PageDown:
        moveCursorTo(row + visibleRows());
        break;
    case Qt::Key_Home:
        moveCursorTo(0);
        break;
    case Qt::Key_End:
        moveCursorTo(m_table ? m_table->recordCount() - 1 : 0);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        finish(true);
        break;
    case Qt::Key_Escape:
        finish(false);
        break;
    default:
        QFrame::keyPressEvent(event);
        return;
    }
    event->accept();
}

void LookupList::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (!rect().contains(pos)) {
        // A press on the box itself only closes the list: it must not reopen it.
        if (m_anchor && m_anchor->rect().contains(m_anchor->mapFromGlobal(event->globalPosition().toPoint())))
            setAttribute(Qt::WA_NoMouseReplay);
        finish(false);
        return;
    }
    m_pressPending = false;
    moveCursorTo(rowAt(pos));
}

void LookupList::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const int row = rowAt(event->position().toPoint());
    if (row >= 0) {
        m_dragged = true;
        moveCursorTo(row);
    }
}

void LookupList::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (rowsRect().contains(pos) && (m_dragged || !m_pressPending)) {
        finish(true);
        return;
    }
    // The release of the click that opened the list, over the box: the list stays open.
    const bool overAnchor =
        m_anchor && m_anchor->rect().contains(m_anchor->mapFromGlobal(event->globalPosition().toPoint()));
    if (m_pressPending && !m_dragged && overAnchor) {
        m_pressPending = false;
        return;
    }
    if (!rect().contains(pos))
        finish(false);
}

void LookupList::wheelEvent(QWheelEvent* event) {
    scrollTo(m_top - event->angleDelta().y() / 40);
    event->accept();
}
