#include "questionbank.h"

#include "base/schema.h"
#include "data/bank/questionbank.h"
#include "data/datamodule.h"
#include "data/engine/table.h"
#include "ui/dialogs.h"
#include "ui/mediafile.h"

#include <QFileInfo>

#include <optional>

namespace questionbank {

namespace {

struct Topic {
    qint64 key = 0;
    QString name;
};

// The topic the teacher stands on in the topics grid; a stored one, since the bank goes under its key.
std::optional<Topic> currentTopic() {
    Table* tema = DataModule11->tema;
    if (!tema->isActive() || tema->isEmpty() || tema->isNull(tema->fieldPos(schema::topics::key))) {
        dialogs().message(QStringLiteral("Выберите тему в списке тем (новую тему сначала сохраните)."));
        return std::nullopt;
    }
    return Topic{tema->value(schema::topics::key).toLongLong(),
                 tema->asText(tema->fieldPos(schema::topics::name))};
}

} // namespace

void importIntoCurrentTopic(QWidget* parent) {
    const auto topic = currentTopic();
    if (!topic)
        return;
    const QString path = dialogs().openFileName(
        parent, QStringLiteral("Импорт вопросов в тему «%1»").arg(topic->name),
        QStringLiteral("Вопросы Moodle XML или GIFT (*.xml *.gift *.txt);;Все файлы (*)"));
    if (path.isEmpty())
        return;
    const bank::Contents contents = bank::readFile(path, {mediafile::pictureType, mediafile::soundType});
    const bank::Imported imported = bank::store(*DataModule11->ADOConnection1, contents, topic->key);
    // The questions grid and its answers show the new rows.
    DataModule11->quest->refresh();
    DataModule11->ans->refresh();
    if (imported.skipped.isEmpty()) {
        dialogs().message(imported.headline());
        return;
    }
    QStringList skipped;
    for (const bank::Skipped& s : imported.skipped)
        skipped.append(s.sentence() + u'.');
    dialogs().messageWithDetails(imported.headline() +
                                     QStringLiteral("\nПропущено вопросов: %1 (программа их не "
                                                    "принимает, список — в подробностях).")
                                         .arg(imported.skipped.size()),
                                 skipped.join(u'\n'));
}

void exportCurrentTopic(QWidget* parent) {
    const auto topic = currentTopic();
    if (!topic)
        return;
    QString path = dialogs().saveFileName(parent, QStringLiteral("Экспорт темы «%1»").arg(topic->name),
                                          QStringLiteral("Вопросы Moodle XML (*.xml)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".xml");
    const bank::Exported exported = bank::exportTopic(*DataModule11->ADOConnection1, topic->key, path);
    if (exported.problems.isEmpty())
        dialogs().message(exported.headline(path));
    else
        dialogs().messageWithDetails(
            exported.headline(path) +
                QStringLiteral("\nВопросов, которые импорт не примет обратно: %1 (список — "
                               "в подробностях).")
                    .arg(exported.problems.size()),
            exported.problems.join(u'\n'));
}

} // namespace questionbank
