#include "groupbox.h"

#include <QPainter>
#include <QStyle>
#include <qdrawutil.h>

namespace {
constexpr int CaptionLeft = 8; // from the box's left edge to the caption's gap
constexpr int CaptionGap = 2;  // blank space on each side of the caption text
} // namespace

QRect TGroupBox::captionRect() const {
    if (title().isEmpty())
        return {};
    const QFontMetrics metrics = fontMetrics();
    return {CaptionLeft, 0, metrics.horizontalAdvance(title()) + 2 * CaptionGap, metrics.height()};
}

// The style's own frame starts below the caption; this one is the etched line of the window system.
void TGroupBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect caption = captionRect();
    p.save();
    if (!caption.isEmpty())
        p.setClipRegion(QRegion(rect()).subtracted(caption));
    qDrawShadeRect(&p, rect().adjusted(0, fontMetrics().height() / 2, 0, 0), palette(), true, 1, 0);
    p.restore();
    style()->drawItemText(&p, caption, Qt::AlignCenter | Qt::TextShowMnemonic, palette(), isEnabled(),
                          title(), QPalette::WindowText);
}
