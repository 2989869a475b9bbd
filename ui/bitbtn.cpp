#include "bitbtn.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

#include <utility>

TBitBtn::TBitBtn(const QPixmap& glyph, QWidget* parent) : QPushButton(parent), m_glyph(glyph) {}

TBitBtn::TBitBtn(const QString& glyphFile, QWidget* parent) : QPushButton(parent), m_glyphFile(glyphFile) {}

const QPixmap& TBitBtn::glyph() const {
    if (!m_glyphFile.isEmpty())
        m_glyph = QPixmap(std::exchange(m_glyphFile, QString()));
    return m_glyph;
}

QRect TBitBtn::face() const {
    QStyleOptionButton option;
    initStyleOption(&option);
    return style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
}

QRect TBitBtn::glyphRect() const {
    const QRect area = face();
    QRect target(QPoint(), glyph().deviceIndependentSize().toSize());
    target.moveCenter(area.center());
    if (!text().isEmpty()) {
        const int pairWidth = target.width() + spacing + fontMetrics().horizontalAdvance(text());
        target.moveLeft(area.left() + (area.width() - pairWidth) / 2);
    }
    return target;
}

QRect TBitBtn::captionRect() const {
    if (text().isEmpty())
        return {};
    const QRect area = face();
    const QRect glyph = glyphRect();
    return QRect(glyph.right() + 1 + spacing, area.top(), fontMetrics().horizontalAdvance(text()),
                 area.height());
}

void TBitBtn::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    style()->drawControl(QStyle::CE_PushButtonBevel, &option, &p, this);
    const QRect area = face();
    // A pressed button's contents move down and right by one pixel, like the system's buttons.
    const QPoint shift = isDown() ? QPoint(1, 1) : QPoint();
    p.save();
    p.setClipRect(area);
    p.drawPixmap(glyphRect().translated(shift), glyph());
    p.restore();
    if (!text().isEmpty()) {
        p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
        p.drawText(captionRect().translated(shift), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic,
                   text());
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = area.adjusted(1, 1, -1, -1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
}
