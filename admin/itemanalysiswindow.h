#pragma once

#include "admin/report/reportlayout.h"
#include "data/itemanalysis.h"
#include "ui/form.h"

#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;
namespace report {
class MadeRows;
}

// The teacher's item analysis of one topic: per question how many answered, the share correct, how well it
// separates strong from weak pupils and how often each answer was chosen, the questions to look at marked;
// and a bar chart of the grades by class, by topic or by month. Printed and saved through the report's
// preview.
class ItemAnalysisWindow : public Form {
    Q_OBJECT
public:
    explicit ItemAnalysisWindow(QWidget* parent = nullptr);
    ~ItemAnalysisWindow() override;

    // Reads the figures of `topic` and the stored results; throws Failure.
    void open(int topic, const QString& topicName);

    QLabel* Label1;
    QTableWidget* Grid;
    QLabel* Label2;
    QComboBox* ComboBox1; // the chart's groups
    QWidget* Panel1;      // holds the chart
    QLabel* Label3;
    QPushButton* Button1; // the report's preview
    QPushButton* Button2;

    void Button1Click();
    void ComboBox1Change();

    const itemanalysis::Figures& figures() const { return m_figures; }
    // The rows the report prints and saves: the grid's, with its headings.
    std::shared_ptr<const report::MadeRows> rows() const { return m_rows; }
    const QVector<itemanalysis::GradeRow>& chartRows() const { return m_chartRows; }
    // The chart's widget, or a label saying why there is none.
    QWidget* chart() const { return m_chart; }

private:
    void fillGrid();
    void makeLayout();

    int m_topic = 0;
    QString m_topicName;
    itemanalysis::Figures m_figures;
    QVector<itemanalysis::StoredResult> m_results;
    QVector<itemanalysis::GradeRow> m_chartRows;
    std::shared_ptr<const report::MadeRows> m_rows;
    report::ReportLayout m_layout;
    QWidget* m_chart = nullptr;
};
