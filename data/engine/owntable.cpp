#include "owntable.h"

#include "base/failure.h"
#include "connection.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace owntable {

bool exists(const Connection& connection, const QString& name) {
    return !connection.resolveTableName(name).isEmpty();
}

void ensure(Connection& connection, const OwnTable& table) {
    if (exists(connection, table.name))
        return;
    const QString lead = QStringLiteral("Таблицу «%1» нельзя создать: ").arg(table.name);
    if (connection.serverBackend())
        throw Failure(lead + QStringLiteral("на сервере её создаёт администратор командой "
                                            "«muzyka_server setup»; попросите его запустить её ещё раз."));
    connection.backend().prepareForWriting();
    for (const QString& statement : table.fileDdl)
        run(connection, statement, {}, lead);
}

QList<QVariantList> run(const Connection& connection, const QString& sql, const QVariantList& values,
                        const QString& lead) {
    backend::Backend& database = connection.backend();
    QList<QVariantList> rows;
    try {
        database.retryingRead([&] {
            rows.clear();
            QSqlQuery query(database.database());
            query.setForwardOnly(true);
            if (!query.prepare(sql))
                throw database.error(query.lastError());
            for (const QVariant& value : values)
                query.addBindValue(value);
            if (!query.exec())
                throw database.error(query.lastError());
            const int columns = query.record().count();
            while (query.next()) {
                QVariantList row;
                row.reserve(columns);
                for (int i = 0; i < columns; ++i)
                    row.append(query.value(i));
                rows.append(row);
            }
        });
    } catch (const backend::DatabaseError& error) {
        throw Failure(lead + (error.problem.isEmpty() ? error.text : error.problem));
    }
    return rows;
}

} // namespace owntable
