#pragma once

#include "admin/report/reportlayout.h"
#include "ui/form.h"

#include <memory>

class QPrinter;

// Holds the layout of the results report, bound to rez; never shown.
class TForm10 : public Form {
    Q_OBJECT
public:
    explicit TForm10(QWidget* parent = nullptr);
    ~TForm10() override;

    const report::ReportLayout& layout() const { return m_layout; }
    // The data source the detail band's fields come from.
    QString dataSourceName() const { return QStringLiteral("DataSource6"); }
    // The report's printer: what "Printer setup" chose holds for every preview of the run. Made on first
    // use, so that start-up does not ask the print system.
    QPrinter& printer();

private:
    report::ReportLayout m_layout;
    std::unique_ptr<QPrinter> m_printer;
};

extern TForm10* Form10;
