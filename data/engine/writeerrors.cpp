#include "writeerrors.h"

#include "connection.h"

#include <QSqlQuery>
#include <QVariant>

namespace {

// A table whose rows still refer to the given row through a relation that does not cascade.
QString referencingTable(const Connection& connection, const QString& realTable, qint64 key) {
    backend::Backend& database = connection.backend();
    for (const backend::Reference& reference : database.references()) {
        if (!Connection::sameName(reference.parentTable, realTable))
            continue;
        QSqlQuery probe(database.database());
        probe.prepare(QStringLiteral("SELECT 1 FROM %1 WHERE %2 = (SELECT %3 FROM %4 WHERE %5 = ?) LIMIT 1")
                          .arg(Connection::quoted(reference.table), Connection::quoted(reference.column),
                               Connection::quoted(reference.parentColumn), Connection::quoted(realTable),
                               database.rowKey(realTable)));
        probe.addBindValue(key);
        if (probe.exec() && probe.next())
            return reference.table;
    }
    return {};
}

// The first written key whose row is missing from the table it refers to, as a sentence.
QString missingParent(const Connection& connection, const QString& realTable,
                      const QHash<QString, QVariant>& values) {
    backend::Backend& database = connection.backend();
    for (const backend::Reference& reference : database.references()) {
        if (!Connection::sameName(reference.table, realTable))
            continue;
        const QVariant value = values.value(reference.column);
        if (value.isNull())
            continue;
        QSqlQuery probe(database.database());
        probe.prepare(
            QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ? LIMIT 1")
                .arg(Connection::quoted(reference.parentTable), Connection::quoted(reference.parentColumn)));
        probe.addBindValue(value);
        if (probe.exec() && !probe.next())
            return QStringLiteral("в таблице «%1» нет записи, на которую ссылается поле «%2» (%3).")
                .arg(reference.parentTable, reference.column, value.toString());
    }
    return {};
}

} // namespace

QString explainRefusal(const Connection& connection, const QString& realTable,
                       const backend::Refusal& refusal, bool deleting, qint64 key,
                       const QHash<QString, QVariant>& values) {
    switch (refusal.kind) {
    case backend::Refusal::ForeignKey: {
        if (deleting) {
            const QString other = referencingTable(connection, realTable, key);
            return other.isEmpty() ? QStringLiteral("на неё ссылаются записи другой таблицы.")
                                   : QStringLiteral("на неё ссылаются записи таблицы «%1».").arg(other);
        }
        const QString missing = missingParent(connection, realTable, values);
        return missing.isEmpty() ? QStringLiteral("в связанной таблице нет записи с таким ключом.") : missing;
    }
    case backend::Refusal::Unique:
        return QStringLiteral("значение поля «%1» уже есть в другой записи.").arg(refusal.column);
    case backend::Refusal::NotNull:
        return QStringLiteral("поле «%1» должно быть заполнено.").arg(refusal.column);
    case backend::Refusal::Check:
        return QStringLiteral("значение не удовлетворяет условию таблицы (%1).").arg(refusal.text);
    }
    return refusal.text;
}
