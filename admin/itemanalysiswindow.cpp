#include "itemanalysiswindow.h"

#include "chartmodule.h"

#include "admin/report/export.h"
#include "admin/report/preview.h"
#include "base/failure.h"
#include "base/programmodule.h"
#include "data/datamodule.h"
#include "ui/builders.h"
#include "ui/guard.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QString Arial = QStringLiteral("Arial");
const QColor Flagged{250, 215, 215};

// The grid's columns, which are also the report's and the spreadsheet's.
const QStringList Headings{QStringLiteral("№"),          QStringLiteral("Вопрос"),
                           QStringLiteral("Ответили"),   QStringLiteral("Верно"),
                           QStringLiteral("Различение"), QStringLiteral("Выбор ответов"),
                           QStringLiteral("Отметка")};
// Where each column prints, in tenths of a millimetre across the page's 190 mm.
constexpr double ColumnLeft[] = {0, 60, 620, 770, 890, 1060, 1620, 1900};

report::ExportCell textCell(const QString& text) {
    report::ExportCell cell;
    cell.kind = text.isEmpty() ? report::ExportCell::Kind::Empty : report::ExportCell::Kind::Text;
    cell.text = text;
    return cell;
}

report::ExportCell numberCell(double number, const QString& text) {
    report::ExportCell cell;
    cell.kind = report::ExportCell::Kind::Number;
    cell.number = number;
    cell.text = text;
    return cell;
}

report::ReportElement element(report::ReportElement::Kind kind, const QString& name, double left, double top,
                              double width, double height, double points, const QColor& color) {
    report::ReportElement e;
    e.kind = kind;
    e.name = name;
    e.left = left;
    e.top = top;
    e.designWidth = width;
    e.height = height;
    e.font.pointSize = points;
    e.font.color = color;
    e.autoSize = false;
    return e;
}

report::ReportBand band(report::ReportBand::Kind kind, const QString& name, double height) {
    report::ReportBand b;
    b.kind = kind;
    b.name = name;
    b.height = height;
    b.width = report::PageSettings().usableWidth();
    return b;
}

const QString GroupNames[] = {QStringLiteral("по классам"), QStringLiteral("по темам"),
                              QStringLiteral("по месяцам")};

} // namespace

ItemAnalysisWindow::ItemAnalysisWindow(QWidget* parent)
    : Form(QStringLiteral("ItemAnalysis"), QStringLiteral("Анализ вопросов"), 200, 40, 920, 660, parent) {
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(16, 8, 888, 24);
    ui::setFont(Label1, Arial, 16, ui::Bold, ui::blue);

    Grid = new QTableWidget(this);
    Grid->setObjectName(QStringLiteral("Grid"));
    Grid->setGeometry(16, 36, 888, 300);
    ui::setFont(Grid, Arial, 12);
    Grid->verticalHeader()->hide();
    Grid->setWordWrap(true);
    Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);

    Label2 = new QLabel(QStringLiteral("Оценки:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(16, 346, 60, 22);
    ui::setFont(Label2, Arial, 14);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(80, 344, 180, 24);
    for (const QString& name : GroupNames)
        ComboBox1->addItem(name);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(16, 374, 888, 232);
    auto* layout = new QVBoxLayout(Panel1);
    layout->setContentsMargins(0, 0, 0, 0);

    Label3 =
        new QLabel(QStringLiteral("Различение: корреляция ответа на вопрос (верно 1, неверно 0) с числом "
                                  "верных ответов того же теста на остальные вопросы; отмечены вопросы, "
                                  "на которые большинство ошибается или неверный ответ выбирают чаще "
                                  "верного."),
                   this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(16, 612, 560, 40);
    Label3->setWordWrap(true);
    ui::setFont(Label3, Arial, 11);

    Button1 = ui::pushButton(this, QStringLiteral("Button1"), QStringLiteral("Печать"), {600, 616, 140, 32});
    ui::setFont(Button1, QStringLiteral("Arial Narrow"), 19, ui::Bold, ui::blue);
    Button2 = ui::pushButton(this, QStringLiteral("Button2"), QStringLiteral("Закрыть"), {764, 616, 140, 32});
    ui::setFont(Button2, Arial, 15);

    connect(Button1, &QPushButton::clicked, this, GUARD(this, Button1Click));
    connect(Button2, &QPushButton::clicked, this, &QWidget::close);
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, GUARD(this, ComboBox1Change));
}

ItemAnalysisWindow::~ItemAnalysisWindow() = default;

void ItemAnalysisWindow::open(int topic, const QString& topicName) {
    const Connection& connection = *DataModule11->ADOConnection1;
    m_figures = itemanalysis::analyseTopic(connection, topic);
    m_results = itemanalysis::readResults(connection);
    m_topic = topic;
    m_topicName = topicName;
    Label1->setText(QStringLiteral("Тема «%1»: тестов с записанными ответами %2, ответов %3")
                        .arg(topicName)
                        .arg(m_figures.tests)
                        .arg(m_figures.answers));
    fillGrid();
    makeLayout();
    ComboBox1Change();
}

void ItemAnalysisWindow::fillGrid() {
    using namespace itemanalysis;
    QVector<QVector<report::ExportCell>> rows;
    for (int i = 0; i < m_figures.questions.size(); ++i) {
        const QuestionFigures& q = m_figures.questions.at(i);
        QVector<report::ExportCell> row{
            numberCell(i + 1, QString::number(i + 1)),
            textCell(q.text),
            numberCell(q.answered, QString::number(q.answered)),
            q.facility ? numberCell(*q.facility, percentText(q.facility)) : textCell(percentText(q.facility)),
            q.discrimination ? numberCell(*q.discrimination, numberText(q.discrimination))
                             : textCell(numberText(q.discrimination)),
            textCell(choicesText(q.choices)),
            textCell(flagText(q))};
        rows.append(row);
    }
    m_rows = std::make_shared<const report::MadeRows>(Headings, rows);

    Grid->clear();
    Grid->setColumnCount(int(Headings.size()));
    Grid->setHorizontalHeaderLabels(Headings);
    Grid->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < Headings.size(); ++c) {
            auto* item = new QTableWidgetItem(rows.at(r).at(c).text);
            if (m_figures.questions.at(r).flagged())
                item->setBackground(Flagged);
            Grid->setItem(r, c, item);
        }
    const int widths[] = {30, 250, 70, 60, 80, 250, 120};
    for (int c = 0; c < Headings.size(); ++c)
        Grid->setColumnWidth(c, widths[c]);
    Grid->resizeRowsToContents();
}

// The report: a title with the topic and the date, the grid's headings, one band per question.
void ItemAnalysisWindow::makeLayout() {
    using report::ReportBand;
    using report::ReportElement;
    m_layout = {};
    ReportBand title = band(ReportBand::Kind::Title, QStringLiteral("TitleBand1"), 260);
    title.elements << element(ReportElement::Kind::Date, {}, 1650, 20, 250, 66, 10, Qt::black)
                   << element(ReportElement::Kind::Text,
                              QStringLiteral("Анализ вопросов: %1").arg(m_topicName), 0, 90, 1900, 90, 16,
                              ui::red)
                   << element(ReportElement::Kind::Text, Label1->text(), 0, 190, 1900, 60, 10, Qt::black);
    ReportBand header = band(ReportBand::Kind::ColumnHeader, QStringLiteral("ColumnHeaderBand1"), 90);
    ReportBand detail = band(ReportBand::Kind::Detail, QStringLiteral("DetailBand1"), 200);
    for (int c = 0; c < Headings.size(); ++c) {
        const double left = ColumnLeft[c] + 10;
        const double width = ColumnLeft[c + 1] - ColumnLeft[c] - 20;
        header.elements << element(ReportElement::Kind::Text, Headings.at(c), left, 20, width, 60, 9,
                                   ui::blue);
        detail.elements << element(ReportElement::Kind::Field, Headings.at(c), left, 15, width, 180, 8,
                                   c == Headings.size() - 1 ? ui::red : Qt::black);
    }
    m_layout.bands << title << header << detail;
}

void ItemAnalysisWindow::ComboBox1Change() {
    const auto by = itemanalysis::GroupBy(std::max(0, ComboBox1->currentIndex()));
    // A class and a month are of this topic's results; the topics compare all.
    QVector<itemanalysis::StoredResult> results;
    for (const itemanalysis::StoredResult& r : std::as_const(m_results))
        if (by == itemanalysis::GroupBy::Topic || r.topic == m_topic)
            results.append(r);
    m_chartRows = itemanalysis::countGrades(results, by);

    charts::BarChart chart;
    chart.title = by == itemanalysis::GroupBy::Topic
                      ? QStringLiteral("Оценки по темам")
                      : QStringLiteral("Оценки по теме «%1» %2").arg(m_topicName, GroupNames[int(by)]);
    chart.sets = {QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5")};
    chart.values.resize(4);
    for (const itemanalysis::GradeRow& row : std::as_const(m_chartRows)) {
        chart.categories << (row.category.isEmpty() ? QStringLiteral("(нет)") : row.category);
        for (int g = 0; g < 4; ++g)
            chart.values[g].append(row.counts[std::size_t(g)]);
    }
    delete m_chart;
    try {
        m_chart = loadProgramModule<charts::ChartModule>(QStringLiteral("esun_charts.so"),
                                                         QStringLiteral("диаграмм"))
                      .createBarChart(chart, Panel1);
    } catch (const Failure& f) {
        // The figures stand without their chart: the window says why it is missing.
        auto* missing = new QLabel(f.text(), Panel1);
        missing->setWordWrap(true);
        m_chart = missing;
    }
    m_chart->setObjectName(QStringLiteral("Chart1"));
    Panel1->layout()->addWidget(m_chart);
}

void ItemAnalysisWindow::Button1Click() {
    if (!m_rows)
        throw Failure(QStringLiteral("Анализ вопросов ещё не составлен."));
    report::ReportPreview preview(m_layout, m_rows);
    preview.move(geometry().topLeft());
    preview.start();
    preview.showModal();
}
