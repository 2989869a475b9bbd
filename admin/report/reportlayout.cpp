#include "reportlayout.h"

#include "ui/builders.h"

#include <algorithm>

namespace report {

namespace {
// Pages are painted in hundredths of a millimetre; a point is 1/72 inch.
constexpr double hundredthsPerPoint = 2540.0 / 72.0;
// Lengths are compared after rounding noise of the decimal figures in the layout.
constexpr double epsilon = 1e-6;
} // namespace

QFont ElementFont::paintFont() const {
    return ui::font(family, qRound(pointSize * hundredthsPerPoint));
}

const ReportBand* ReportLayout::band(ReportBand::Kind kind) const {
    const int i = bandIndex(kind);
    return i < 0 ? nullptr : &bands.at(i);
}

int ReportLayout::bandIndex(ReportBand::Kind kind) const {
    for (int i = 0; i < bands.size(); ++i)
        if (bands.at(i).kind == kind)
            return i;
    return -1;
}

QStringList ReportLayout::fieldNames() const {
    QStringList names;
    if (const ReportBand* detail = band(ReportBand::Kind::Detail))
        for (const ReportElement& e : detail->elements)
            if (e.kind == ReportElement::Kind::Field)
                names.append(e.name);
    return names;
}

ReportLayout withHeaderLine(ReportLayout layout, const QString& line) {
    const int title = layout.bandIndex(ReportBand::Kind::Title);
    if (line.isEmpty() || title < 0)
        return layout;
    ReportElement element;
    element.name = line;
    element.left = 105.8;
    element.top = 211.7;
    element.height = 100.0; // two lines of the report font, above the band's bottom
    element.designWidth = 1688.0;
    element.font = layout.reportFont;
    layout.bands[title].elements.append(element);
    layout.headerLine = line;
    return layout;
}

QRectF elementRect(const ReportElement& element, const ReportBand& band, const QString& text) {
    const QFontMetricsF metrics(element.font.paintFont());
    return elementRect(element, band, text, metrics, metrics.horizontalAdvance(text));
}

QRectF elementRect(const ReportElement& element, const ReportBand& band, const QString& text,
                   const QFontMetricsF& metrics, double advance) {
    const double room = std::max(0.0, band.width - element.left);
    const double below = std::max(0.0, band.height - element.top);
    double width = element.designWidth;
    double height = element.height;
    if (element.autoSize) {
        const double textWidth = advance / 10.0;
        width = std::min(textWidth, room);
        if (textWidth > room + epsilon && element.wordWrap) {
            const QRectF wrapped =
                metrics.boundingRect(QRectF(0, 0, room * 10.0, 1e9), Qt::AlignLeft | Qt::TextWordWrap, text);
            height = std::max(height, wrapped.height() / 10.0);
        }
    }
    return QRectF(element.left, element.top, std::min(width, room), std::min(height, below));
}

Paginator::Paginator(const ReportLayout& layout)
    : m_layout(layout), m_title(layout.bandIndex(ReportBand::Kind::Title)),
      m_header(layout.bandIndex(ReportBand::Kind::ColumnHeader)),
      m_detail(layout.bandIndex(ReportBand::Kind::Detail)) {}

void Paginator::begin(int rowCount) {
    m_pages.clear();
    m_headerOnNewPages = false;
    if (rowCount == 0 && !m_layout.page.printIfEmpty)
        return;
    m_pages.append(PagePlan{});
    m_position = m_layout.page.topMargin;
    if (m_title >= 0)
        place(m_title, -1);
    if (rowCount == 0) {
        if (m_detail >= 0)
            place(m_detail, -1);
        return;
    }
    if (m_header >= 0) {
        place(m_header, -1);
        m_headerOnNewPages = true;
    }
}

bool Paginator::addDetail(int row) {
    const int before = m_pages.size();
    if (m_detail >= 0)
        place(m_detail, row);
    return m_pages.size() > before;
}

void Paginator::place(int bandIndex, int row) {
    const double height = m_layout.bands.at(bandIndex).height;
    // A band taller than a whole page still prints, alone on its page, rather than loop forever.
    if (m_position + height > m_layout.page.bottomLimit() + epsilon && !m_pages.last().bands.isEmpty())
        newPage();
    m_pages.last().bands.append(BandPlacement{bandIndex, m_position, row});
    m_position += height;
}

void Paginator::newPage() {
    m_pages.append(PagePlan{});
    m_position = m_layout.page.topMargin;
    if (m_headerOnNewPages) {
        m_pages.last().bands.append(BandPlacement{m_header, m_position, -1});
        m_position += m_layout.bands.at(m_header).height;
    }
}

QVector<PagePlan> paginate(const ReportLayout& layout, int rowCount) {
    Paginator paginator(layout);
    paginator.begin(rowCount);
    for (int row = 0; row < rowCount; ++row)
        paginator.addDetail(row);
    return paginator.pages();
}

} // namespace report
