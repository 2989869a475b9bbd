#include "pagepainter.h"

#include "data/engine/formats.h"

#include <QDateTime>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>

namespace report {

namespace {
// Distinct texts kept per element: the surnames of a whole school fit.
constexpr int maxKnownTexts = 4096;
} // namespace

PagePainter::PagePainter(const ReportLayout& layout, QString dateText)
    : m_layout(layout), m_dateText(std::move(dateText)) {
    for (const ReportBand& band : layout.bands) {
        std::vector<QFont> fonts;
        std::vector<QFontMetricsF> metrics;
        for (const ReportElement& e : band.elements) {
            fonts.push_back(e.font.paintFont());
            metrics.emplace_back(fonts.back());
        }
        m_fonts.push_back(std::move(fonts));
        m_metrics.push_back(std::move(metrics));
        m_texts.emplace_back(band.elements.size());
    }
}

PagePainter::Shaped& PagePainter::shaped(int band, int element, const QString& text) const {
    QHash<QString, Shaped>& known = m_texts[band][element];
    if (const auto found = known.find(text); found != known.end())
        return *found;
    // Texts that never repeat (a column of distinct comments, say) must not make it grow without end.
    if (known.size() >= maxKnownTexts)
        known.clear();
    return *known.insert(text, Shaped{m_metrics[band][element].horizontalAdvance(text), nullptr, 0});
}

QPicture PagePainter::record(const PagePlan& plan, const CellText& cell) const {
    QPicture picture;
    const QRect paper(0, 0, qRound(m_layout.page.paperWidth * unitsPerTenth),
                      qRound(m_layout.page.paperHeight * unitsPerTenth));
    {
        QPainter painter(&picture);
        paint(painter, plan, cell);
    }
    picture.setBoundingRect(paper);
    return picture;
}

void PagePainter::paint(QPainter& painter, const PagePlan& plan, const CellText& cell) const {
    // Pages are recorded command by command, so only what can be seen is painted: a background that equals
    // what lies under it is left out, and the font is set only when it changes.
    const QColor paper = m_layout.page.paperColor;
    const QFont* currentFont = nullptr;
    // A pen equal to the recording painter's first pen would not be recorded, and the page would then be
    // drawn with whatever pen the playing painter has.
    painter.setPen(Qt::NoPen);
    QVector<QRectF> painted;
    for (const BandPlacement& placed : plan.bands) {
        const ReportBand& band = m_layout.bands.at(placed.band);
        const QPointF origin(m_layout.page.leftMargin, placed.top);
        if (band.color != paper)
            painter.fillRect(QRectF(origin * unitsPerTenth, QSizeF(band.width, band.height) * unitsPerTenth),
                             band.color);
        painted.clear();
        int column = 0;
        for (int i = 0; i < band.elements.size(); ++i) {
            const ReportElement& e = band.elements.at(i);
            const QString shown = text(e, placed.row, column, cell);
            if (e.kind == ReportElement::Kind::Field)
                ++column;
            if (shown.isEmpty())
                continue;
            Shaped& known = shaped(placed.band, i, shown);
            const QRectF inBand = elementRect(e, band, shown, m_metrics[placed.band][i], known.advance);
            const QRectF r((inBand.topLeft() + origin) * unitsPerTenth, inBand.size() * unitsPerTenth);
            // The opaque background shows over the band of another colour or over an element it overlaps.
            const bool covers = std::any_of(painted.cbegin(), painted.cend(),
                                            [&](const QRectF& other) { return other.intersects(r); });
            if (e.background != band.color || covers)
                painter.fillRect(r, e.background);
            painted.append(r);
            const QFont& font = m_fonts[placed.band][i];
            if (!currentFont || *currentFont != font) {
                painter.setFont(font);
                currentFont = &font;
            }
            painter.setPen(e.font.color);
            drawText(painter, r, shown, e.wordWrap, known);
        }
    }
}

void PagePainter::drawText(QPainter& painter, const QRectF& r, const QString& text, bool wordWrap,
                           Shaped& shaped) {
    // Text is drawn line by line at its baseline and lines that would pass the element's bottom are left
    // out, so that a page records no clipping (a recorded clip is replayed wrongly on a widget). The
    // rectangle depends on the text alone, so the lines laid out for it hold wherever the band goes.
    if (!shaped.layout) {
        QString lines = text;
        lines.replace(QLatin1Char('\n'), QChar::LineSeparator);
        auto layout = std::make_shared<QTextLayout>(lines, painter.font());
        // Keeps the shaped glyphs after the layout, for drawing it again.
        layout->setCacheEnabled(true);
        QTextOption option;
        const bool fits = !text.contains(QLatin1Char('\n')) && shaped.advance <= r.width() + 0.5;
        option.setWrapMode(wordWrap && !fits ? QTextOption::WordWrap : QTextOption::NoWrap);
        layout->setTextOption(option);
        double y = 0;
        layout->beginLayout();
        for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
            line.setLineWidth(r.width());
            if (shaped.lines > 0 && y + line.height() > r.height() + 0.5)
                break;
            line.setPosition(QPointF(0, y));
            y += line.height();
            ++shaped.lines;
        }
        layout->endLayout();
        shaped.layout = std::move(layout);
    }
    for (int i = 0; i < shaped.lines; ++i)
        shaped.layout->lineAt(i).draw(&painter, r.topLeft());
}

QString PagePainter::text(const ReportElement& element, int row, int column, const CellText& cell) const {
    switch (element.kind) {
    case ReportElement::Kind::Text:
        return element.name;
    case ReportElement::Kind::Date:
        return m_dateText;
    case ReportElement::Kind::Field:
        return row < 0 ? QString() : cell(row, column);
    }
    return {};
}

void playPage(QPainter& painter, QPicture page, double pixelsPerMm, QPointF origin) {
    // QPicture scales what it plays by the device's resolution over its own; undo that here so that
    // `pixelsPerMm` alone decides the size.
    const QPaintDevice* device = painter.device();
    const double scaleX = double(device->logicalDpiX()) / double(page.logicalDpiX());
    const double scaleY = double(device->logicalDpiY()) / double(page.logicalDpiY());
    painter.save();
    painter.translate(origin);
    painter.scale(pixelsPerMm / (100.0 * scaleX), pixelsPerMm / (100.0 * scaleY));
    painter.setRenderHint(QPainter::TextAntialiasing);
    page.play(&painter);
    painter.restore();
}

void paintScaled(QPainter& painter, double pixelsPerMm, const std::function<void(QPainter&)>& paint) {
    const double scale = pixelsPerMm / 100.0;
    painter.save();
    painter.scale(scale, scale);
    painter.setRenderHint(QPainter::TextAntialiasing);
    paint(painter);
    painter.restore();
}

QString dateText(const QDate& date) {
    return formats::dateTimeText(QDateTime(date, QTime(0, 0)));
}

} // namespace report
