#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QVector>

// A small banded report engine. Every length of the layout is in tenths of a millimetre, measured from
// the paper's top-left corner (pages) or from a band's top-left corner (elements).
namespace report {

struct PageSettings {
    double paperWidth = 2100;
    double paperHeight = 2970;
    double topMargin = 100;
    double bottomMargin = 100;
    double leftMargin = 100;
    double rightMargin = 100;
    bool printIfEmpty = true;
    QColor paperColor = Qt::white;

    double usableWidth() const { return paperWidth - leftMargin - rightMargin; }
    double bottomLimit() const { return paperHeight - bottomMargin; }
};

struct ElementFont {
    QString family = QStringLiteral("Arial");
    double pointSize = 10;
    QColor color = Qt::black;
    // The font in the units pages are painted in (hundredths of a millimetre per pixel).
    QFont paintFont() const;
};

struct ReportElement {
    enum class Kind { Text, Field, Date };
    Kind kind = Kind::Text;
    QString name; // the text element's caption, or the field's name
    double left = 0;
    double top = 0;
    double height = 0;
    double designWidth = 0;
    ElementFont font;
    bool autoSize = true;
    bool wordWrap = true;
    QColor background = Qt::white; // painted opaque behind the text
};

struct ReportBand {
    enum class Kind { Title, ColumnHeader, Detail };
    Kind kind = Kind::Detail;
    QString name;
    double height = 0;
    double width = 0;
    QColor color = Qt::white;
    QVector<ReportElement> elements;
};

struct ReportLayout {
    PageSettings page;
    ElementFont reportFont;
    QVector<ReportBand> bands;
    // A line under the title, which the results export also writes above its header row; none when empty.
    QString headerLine;

    // The band of one kind, or nullptr when the report has none.
    const ReportBand* band(ReportBand::Kind kind) const;
    int bandIndex(ReportBand::Kind kind) const; // -1 when absent
    // Names of the detail band's field elements, in element order: the columns a row snapshot holds.
    QStringList fieldNames() const;
};

// The layout with `line` printed under its title (in the title band's free space below the title, wrapping
// there) and kept as its header line; the layout unchanged for an empty line.
ReportLayout withHeaderLine(ReportLayout layout, const QString& line);

// Where an element's text goes inside its band, in tenths of a millimetre: left-aligned, as wide as its
// text when it sizes itself (never past the band's right edge, wrapping words there), never past the
// band's bottom (it does not stretch the band).
QRectF elementRect(const ReportElement& element, const ReportBand& band, const QString& text);
// The same with the metrics of the element's paint font and the text's advance in that font at hand (the
// worker keeps the metrics per element and the advance per distinct text).
QRectF elementRect(const ReportElement& element, const ReportBand& band, const QString& text,
                   const QFontMetricsF& metrics, double advance);

// One band printed on a page: its top in tenths of a millimetre from the paper's top edge and, for the
// detail band, the row it shows (-1: the detail band of an empty report, with empty fields).
struct BandPlacement {
    int band = -1;
    double top = 0;
    int row = -1;
};

struct PagePlan {
    QVector<BandPlacement> bands;
};

// Places bands one after another: a band that does not fit between the current position and the bottom
// margin starts a new page, whose first band is the column header.
class Paginator {
public:
    explicit Paginator(const ReportLayout& layout);

    // Places the title band and the column header band; a report without rows gets the title band and
    // the detail band once with empty fields instead (and no page at all unless it prints when empty).
    void begin(int rowCount);
    // Places the detail band for `row`; returns true when it started a new page.
    bool addDetail(int row);

    int pageCount() const { return int(m_pages.size()); }
    const PagePlan& page(int index) const { return m_pages.at(index); }
    const QVector<PagePlan>& pages() const { return m_pages; }

private:
    void place(int bandIndex, int row);
    void newPage();

    const ReportLayout& m_layout;
    int m_title;
    int m_header;
    int m_detail;
    bool m_headerOnNewPages = false;
    double m_position = 0;
    QVector<PagePlan> m_pages;
};

// The whole plan of a report of `rowCount` rows (tests, and printing a range).
QVector<PagePlan> paginate(const ReportLayout& layout, int rowCount);

} // namespace report
