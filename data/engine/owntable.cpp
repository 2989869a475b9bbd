#include "owntable.h"

#include "base/failure.h"
#include "connection.h"

#include <QSqlError>
#include <QSqlQuery>

namespace owntable {

bool exists(const Connection& connection, const QString& name) {
    return !connection.resolveTableName(name).isEmpty();
}

void ensure(Connection& connection, const QString& name, const QString& fileDdl) {
    if (exists(connection, name))
        return;
    if (connection.serverBackend())
        throw Failure(QStringLiteral("На сервере нет таблицы «%1»: администратору нужно ещё раз выполнить "
                                     "«muzyka_server setup».")
                          .arg(name));
    connection.backend().prepareForWriting();
    QSqlQuery query(connection.database());
    if (!query.exec(fileDdl))
        throw Failure(QStringLiteral("Не удалось создать таблицу «%1»: %2")
                          .arg(name, connection.backend().error(query.lastError()).sentence(QString())));
}

} // namespace owntable
