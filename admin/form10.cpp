#include "form10.h"

#include "admin/report/printing.h"
#include "base/schema.h"

#include <QApplication>
#include <QPalette>
#include <QPrinter>

TForm10* Form10 = nullptr;

namespace {
using report::ElementFont;
using report::ReportBand;
using report::ReportElement;

ReportElement element(ReportElement::Kind kind, const QString& name, double left, double top, double height,
                      double designWidth, const ElementFont& font) {
    ReportElement e;
    e.kind = kind;
    e.name = name;
    e.left = left;
    e.top = top;
    e.height = height;
    e.designWidth = designWidth;
    e.font = font;
    return e;
}

ReportBand band(ReportBand::Kind kind, const QString& name, double height, double width) {
    ReportBand b;
    b.kind = kind;
    b.name = name;
    b.height = height;
    b.width = width;
    return b;
}

report::ReportLayout resultsLayout() {
    using Kind = ReportElement::Kind;
    const QColor windowText = QApplication::palette().color(QPalette::WindowText);
    const QColor blue(0, 0, 255);
    const QColor red(255, 0, 0);

    report::ReportLayout layout;
    layout.reportFont = ElementFont{QStringLiteral("Arial"), 10, windowText};
    const double width = 1899.7;

    ReportBand title = band(ReportBand::Kind::Title, QStringLiteral("TitleBand1"), 325.4, width);
    title.elements = {
        element(Kind::Date, {}, 1693.3, 21.2, 66.1, 95.3, layout.reportFont),
        element(Kind::Text, QStringLiteral("Итог тестирования"), 613.8, 105.8, 87.3, 627.1,
                ElementFont{QStringLiteral("Arial"), 20, red}),
    };

    const ElementFont heading{QStringLiteral("Arial"), 12, blue};
    ReportBand header =
        band(ReportBand::Kind::ColumnHeader, QStringLiteral("ColumnHeaderBand1"), 105.8, width);
    header.elements = {
        element(Kind::Text, QStringLiteral("Фамилия"), 105.8, 21.2, 50.3, 172.0, heading),
        element(Kind::Text, QStringLiteral("Имя"), 423.3, 21.2, 50.3, 87.3, heading),
        element(Kind::Text, QStringLiteral("Тема"), 656.2, 21.2, 50.3, 103.2, heading),
        element(Kind::Text, QStringLiteral("Баллы"), 1100.7, 21.2, 50.3, 129.6, heading),
        element(Kind::Text, QStringLiteral("Оценка"), 1397.0, 21.2, 50.3, 145.5, heading),
        element(Kind::Text, QStringLiteral("Дата"), 1651.0, 21.2, 50.3, 97.9, heading),
    };

    const ElementFont cell{QStringLiteral("Arial"), 11, windowText};
    ReportBand detail = band(ReportBand::Kind::Detail, QStringLiteral("DetailBand1"), 211.7, width);
    detail.elements = {
        element(Kind::Field, schema::results::surname, 105.8, 63.5, 47.6, 164.0, cell),
        element(Kind::Field, schema::results::firstName, 423.3, 63.5, 47.6, 79.4, cell),
        element(Kind::Field, schema::results::topicName, 656.2, 63.5, 47.6, 95.3, cell),
        element(Kind::Field, schema::results::points, 1100.7, 63.5, 47.6, 121.7, cell),
        element(Kind::Field, schema::results::grade, 1397.0, 63.5, 47.6, 140.2,
                ElementFont{QStringLiteral("Arial"), 11, red}),
        element(Kind::Field, schema::results::date, 1651.0, 63.5, 47.6, 90.0, cell),
    };

    layout.bands = {title, header, detail};
    return layout;
}
} // namespace

TForm10::TForm10(QWidget* parent)
    : Form(QStringLiteral("Form10"), QStringLiteral("Form10"), 0, 0, 400, 300, parent),
      m_layout(resultsLayout()) {}

TForm10::~TForm10() = default;

QPrinter& TForm10::printer() {
    if (!m_printer)
        m_printer = report::makeReportPrinter();
    return *m_printer;
}
