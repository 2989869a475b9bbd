#include "resultsreport.h"

#include "form10.h"

#include "admin/report/preview.h"
#include "base/failure.h"
#include "base/schema.h"
#include "data/datamodule.h"
#include "data/engine/datasource.h"
#include "data/engine/table.h"
#include "data/topicsettings.h"

#include <QSet>
#include <QStringList>

namespace {

// The settings of the report's topics that differ from a topic never set, one topic after another in the
// order they first appear; empty when every topic goes as by default.
QString settingsLine(const Table* rez) {
    const QHash<int, TopicSettings> all = topicsettings::readAll(*DataModule11->ADOConnection1);
    if (all.isEmpty())
        return {};
    const int topicPos = rez->fieldPos(schema::results::topicKey);
    const int namePos = rez->fieldPos(schema::results::topicName);
    QSet<int> seen;
    QStringList topics;
    for (int row = 0; row < rez->recordCount(); ++row) {
        const int topic = rez->valueAt(row, topicPos).toInt();
        if (seen.contains(topic))
            continue;
        seen.insert(topic);
        const QString differences = all.value(topic).differences();
        if (!differences.isEmpty())
            topics << QStringLiteral("«%1»: %2").arg(rez->displayTextAt(row, namePos), differences);
    }
    return topics.isEmpty() ? QString()
                            : QStringLiteral("Настройки тестов — ") + topics.join(QStringLiteral("; "));
}

} // namespace

void runResultsReport(QWidget* parent) {
    if (!Form10)
        throw Failure(QStringLiteral("Макет отчёта не создан."));
    DataSource* source = DataSourceRegistry::instance().find(Form10->dataSourceName());
    if (!source || !source->table())
        throw Failure(QStringLiteral("Нет данных для отчёта: %1 не создан.").arg(Form10->dataSourceName()));
    const report::ReportLayout layout =
        report::withHeaderLine(Form10->layout(), settingsLine(source->table()));
    report::ReportPreview preview(layout, source->table(), &Form10->printer());
    // Maximised on the screen of the window it was opened from.
    if (parent)
        preview.move(parent->geometry().topLeft());
    preview.start();
    preview.showModal();
}
