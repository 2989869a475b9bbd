#include "resultsreport.h"

#include "form10.h"

#include "admin/report/preview.h"
#include "base/failure.h"
#include "data/engine/datasource.h"

void runResultsReport(QWidget* parent) {
    if (!Form10)
        throw Failure(QStringLiteral("Макет отчёта не создан."));
    DataSource* source = DataSourceRegistry::instance().find(Form10->dataSourceName());
    if (!source || !source->table())
        throw Failure(QStringLiteral("Нет данных для отчёта: %1 не создан.").arg(Form10->dataSourceName()));
    report::ReportPreview preview(Form10->layout(), source->table(), &Form10->printer());
    // Maximised on the screen of the window it was opened from.
    if (parent)
        preview.move(parent->geometry().topLeft());
    preview.start();
    preview.showModal();
}
