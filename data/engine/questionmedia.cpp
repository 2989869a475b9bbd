#include "questionmedia.h"

#include "base/failure.h"
#include "connection.h"
#include "owntable.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace questionmedia {
namespace {

const QString columns = QStringLiteral("\"картинка\", \"тип_картинки\", \"звук\", \"тип_звука\", \"начало\", "
                                       "\"конец\", \"прослушиваний\", \"abc\"");

QString quotedTable() {
    return Connection::quoted(tableName);
}

QVariant optionalValue(const std::optional<double>& value) {
    return value ? QVariant(*value) : QVariant(QMetaType(QMetaType::Double));
}

QVariant text(const QString& value) {
    return value.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(value);
}

QVariant bytes(const QByteArray& value) {
    return value.isEmpty() ? QVariant(QMetaType(QMetaType::QByteArray)) : QVariant(value);
}

[[noreturn]] void failed(const Connection& connection, const QSqlQuery& query, const QString& lead) {
    throw Failure(lead + connection.backend().error(query.lastError()).sentence(QString()));
}

} // namespace

QString fileDdl() {
    return QStringLiteral(
        "CREATE TABLE IF NOT EXISTS \"МедиаВопроса\" ("
        "\"id_вопроса\" INTEGER PRIMARY KEY REFERENCES \"Вопрос\"(\"id_вопроса\") ON DELETE CASCADE, "
        "\"картинка\" BLOB, \"тип_картинки\" TEXT, \"звук\" BLOB, \"тип_звука\" TEXT, \"начало\" REAL, "
        "\"конец\" REAL, \"прослушиваний\" INTEGER, \"abc\" TEXT)");
}

const OwnTable& definition() {
    static const OwnTable own{tableName, {fileDdl()}};
    return own;
}

Media read(Connection& connection, int question) {
    Media media;
    if (!owntable::exists(connection, tableName))
        return media;
    connection.backend().retryingRead([&] {
        media = {};
        QSqlQuery query(connection.database());
        query.setForwardOnly(true);
        query.prepare(
            QStringLiteral("SELECT %1 FROM %2 WHERE \"id_вопроса\" = ?").arg(columns, quotedTable()));
        query.addBindValue(question);
        if (!query.exec())
            failed(connection, query, QStringLiteral("Картинку и звук вопроса не удалось прочесть: "));
        if (!query.next())
            return;
        media.picture = query.value(0).toByteArray();
        media.pictureType = query.value(1).toString();
        media.sound = query.value(2).toByteArray();
        media.soundType = query.value(3).toString();
        if (!query.value(4).isNull())
            media.start = query.value(4).toDouble();
        if (!query.value(5).isNull())
            media.end = query.value(5).toDouble();
        if (!query.value(6).isNull())
            media.plays = query.value(6).toInt();
        media.abc = query.value(7).toString();
    });
    return media;
}

void write(Connection& connection, int question, const Media& media) {
    const QString lead = QStringLiteral("Картинку и звук вопроса не удалось сохранить: ");
    backend::Backend& database = connection.backend();
    try {
        // Removing and inserting rather than an upsert: the lab's view of the table takes plain writes only.
        database.execute(QStringLiteral("DELETE FROM %1 WHERE \"id_вопроса\" = ?").arg(quotedTable()),
                         {question});
        if (media.isEmpty())
            return;
        database.execute(
            QStringLiteral("INSERT INTO %1 (\"id_вопроса\", %2) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)")
                .arg(quotedTable(), columns),
            {question, bytes(media.picture), text(media.pictureType), bytes(media.sound),
             text(media.soundType), optionalValue(media.start), optionalValue(media.end),
             media.plays ? QVariant(*media.plays) : QVariant(QMetaType(QMetaType::Int)), text(media.abc)});
    } catch (const backend::DatabaseError& error) {
        throw Failure(lead + error.sentence(QString()));
    } catch (const backend::Refused& refused) {
        // The only rule a row of whole values can break: its question was deleted meanwhile. (The server's
        // transaction is broken by now, so nothing more is asked of it.)
        throw Failure(lead + (refused.refusal.kind == backend::Refusal::ForeignKey
                                  ? QStringLiteral("этого вопроса больше нет в базе данных.")
                                  : refused.refusal.text));
    }
}

void store(Connection& connection, int question, const Media& media) {
    const QString lead = QStringLiteral("Картинку и звук вопроса не удалось сохранить: ");
    if (media.isEmpty() && !owntable::exists(connection, tableName))
        return;
    owntable::ensure(connection, definition());
    connection.backend().prepareForWriting();
    QSqlDatabase db = connection.database();
    if (!db.transaction())
        throw Failure(lead + connection.backend().error(db.lastError()).sentence(QString()));
    try {
        write(connection, question, media);
    } catch (...) {
        db.rollback();
        throw;
    }
    if (!db.commit())
        throw Failure(lead + connection.backend().error(db.lastError()).sentence(QString()));
}

} // namespace questionmedia
