#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <QtPlugin>

class QWidget;

namespace charts {

// Bars in groups: for each category (a class, a topic, a month) one bar per set (a grade).
struct BarChart {
    QString title;
    QStringList categories;
    QStringList sets;
    QVector<QVector<int>> values; // values[set][category]
};

// What the separately built chart module offers. Only the module links Qt Charts, which the program needs
// only when a teacher opens the item analysis.
class ChartModule {
public:
    virtual ~ChartModule() = default;
    // A widget that draws `chart`, owned by `parent`.
    virtual QWidget* createBarChart(const BarChart& chart, QWidget* parent) = 0;
};

} // namespace charts

#define ChartModule_iid "ru.school.muzyka.ChartModule/1.0"
Q_DECLARE_INTERFACE(charts::ChartModule, ChartModule_iid)
