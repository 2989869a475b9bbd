#include "admin/chartmodule.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QObject>
#include <QValueAxis>

#include <algorithm>

namespace {

QWidget* barChart(const charts::BarChart& data, QWidget* parent) {
    auto* series = new QBarSeries;
    int highest = 0;
    for (int s = 0; s < data.sets.size(); ++s) {
        auto* set = new QBarSet(data.sets.at(s));
        for (int value : data.values.value(s)) {
            *set << value;
            highest = std::max(highest, value);
        }
        series->append(set);
    }
    auto* chart = new QChart;
    chart->setTitle(data.title);
    chart->addSeries(series);
    chart->setAnimationOptions(QChart::NoAnimation);
    auto* categories = new QBarCategoryAxis;
    categories->append(data.categories);
    chart->addAxis(categories, Qt::AlignBottom);
    series->attachAxis(categories);
    auto* counts = new QValueAxis;
    // Whole numbers of results: a tick per result up to ten, fewer above.
    counts->setRange(0, std::max(1, highest));
    counts->setTickCount(std::min(std::max(1, highest), 10) + 1);
    counts->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(counts, Qt::AlignLeft);
    series->attachAxis(counts);
    chart->legend()->setAlignment(Qt::AlignRight);
    auto* view = new QChartView(chart, parent);
    view->setRenderHint(QPainter::Antialiasing);
    return view;
}

} // namespace

// The module's root object (outside any namespace, so that moc's names for it stay plain).
class ChartsModule final : public QObject, public charts::ChartModule {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ChartModule_iid)
    Q_INTERFACES(charts::ChartModule)
public:
    QWidget* createBarChart(const charts::BarChart& chart, QWidget* parent) override {
        return barChart(chart, parent);
    }
};

#include "barchart.moc"
