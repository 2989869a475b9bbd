#pragma once

#include "admin/report/reportlayout.h"
#include "ui/form.h"

// Holds the layout of the results report, bound to rez; never shown.
class TForm10 : public Form {
    Q_OBJECT
public:
    explicit TForm10(QWidget* parent = nullptr);

    const report::ReportLayout& layout() const { return m_layout; }
    // The data source the detail band's fields come from.
    QString dataSourceName() const { return QStringLiteral("DataSource6"); }

private:
    report::ReportLayout m_layout;
};

extern TForm10* Form10;
