#pragma once

#include "reportlayout.h"

#include <QHash>
#include <QPicture>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QPainter;
class QTextLayout;

namespace report {

// Pages are recorded in hundredths of a millimetre with pixel-sized fonts, so that playing them at any
// scale keeps text and positions in proportion.
constexpr double unitsPerTenth = 10.0;

// Paints planned pages of one layout. Usable on any thread, one instance per thread and per kind of device
// (its text layouts hold the fonts of both): it touches no widget and no table. Names, topics and dates
// repeat on almost every page, so it measures and shapes each distinct text of an element once and draws
// it from that layout ever after: at these font sizes FreeType caches no glyph, and every shaping loaded
// every glyph again.
class PagePainter {
public:
    // The text of one field element of the detail band: row, then column in ReportLayout::fieldNames().
    using CellText = std::function<QString(int row, int column)>;

    PagePainter(const ReportLayout& layout, QString dateText);

    // The page as a picture in hundredths of a millimetre, the paper's top-left corner at the origin.
    QPicture record(const PagePlan& plan, const CellText& cell) const;
    void paint(QPainter& painter, const PagePlan& plan, const CellText& cell) const;

private:
    // A text of one element: its advance, and once drawn its lines, laid out for the element's rectangle.
    struct Shaped {
        double advance = 0;
        std::shared_ptr<const QTextLayout> layout;
        int lines = 0; // those that fit the rectangle
    };

    QString text(const ReportElement& element, int row, int column, const CellText& cell) const;
    Shaped& shaped(int band, int element, const QString& text) const;
    static void drawText(QPainter& painter, const QRectF& r, const QString& text, bool wordWrap,
                         Shaped& shaped);

    const ReportLayout& m_layout;
    QString m_dateText;
    // Per band, per element: its paint font and that font's metrics.
    std::vector<std::vector<QFont>> m_fonts;
    std::vector<std::vector<QFontMetricsF>> m_metrics;
    // Per band, per element: each text measured so far.
    mutable std::vector<std::vector<QHash<QString, Shaped>>> m_texts;
};

// Plays a recorded page so that a millimetre is `pixelsPerMm` pixels of the painter's device, the paper's
// top-left corner at `origin` (device pixels).
void playPage(QPainter& painter, QPicture page, double pixelsPerMm, QPointF origin = {});

// Paints page `index` of a report so that a millimetre is `pixelsPerMm` pixels of the painter's device.
using PlacePage = std::function<void(QPainter& painter, int index, double pixelsPerMm)>;

// Runs `paint`, which paints a page in hundredths of a millimetre, so that a millimetre is `pixelsPerMm`
// pixels of the painter's device.
void paintScaled(QPainter& painter, double pixelsPerMm, const std::function<void(QPainter&)>& paint);

// The short date the date element prints for `date`.
QString dateText(const QDate& date);

} // namespace report
