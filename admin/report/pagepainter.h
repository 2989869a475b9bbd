#pragma once

#include "reportlayout.h"

#include <QHash>
#include <QPicture>
#include <QString>

#include <functional>
#include <vector>

class QPainter;

namespace report {

// Pages are recorded in hundredths of a millimetre with pixel-sized fonts, so that playing them at any
// scale keeps text and positions in proportion.
constexpr double unitsPerTenth = 10.0;

// Paints planned pages of one layout. Usable on any thread, one instance per thread: it touches no widget
// and no table, and it keeps the advance of every text it has laid out (names, topics and dates repeat on
// almost every page, and measuring a text costs as much as shaping it).
class PagePainter {
public:
    // The text of one field element of the detail band: row, then column in ReportLayout::fieldNames().
    using CellText = std::function<QString(int row, int column)>;

    PagePainter(const ReportLayout& layout, QString dateText);

    // The page as a picture in hundredths of a millimetre, the paper's top-left corner at the origin.
    QPicture record(const PagePlan& plan, const CellText& cell) const;
    void paint(QPainter& painter, const PagePlan& plan, const CellText& cell) const;

private:
    QString text(const ReportElement& element, int row, int column, const CellText& cell) const;
    double advance(int band, int element, const QString& text) const;
    static void drawText(QPainter& painter, const QRectF& r, const QString& text, double advance,
                         bool wordWrap, const QFontMetricsF& metrics);

    const ReportLayout& m_layout;
    QString m_dateText;
    // Per band, per element: its paint font and that font's metrics.
    std::vector<std::vector<QFont>> m_fonts;
    std::vector<std::vector<QFontMetricsF>> m_metrics;
    // Per band, per element: the advance of each text laid out so far.
    mutable std::vector<std::vector<QHash<QString, double>>> m_advances;
};

// Plays a recorded page so that a millimetre is `pixelsPerMm` pixels of the painter's device, the paper's
// top-left corner at `origin` (device pixels).
void playPage(QPainter& painter, QPicture page, double pixelsPerMm, QPointF origin = {});

// The short date the date element prints for `date`.
QString dateText(const QDate& date);

} // namespace report
