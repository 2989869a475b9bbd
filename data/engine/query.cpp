#include "query.h"

#include "connection.h"
#include "sqlnames.h"

#include "base/failure.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

Query::Query(const QString& objectName, Connection* connection, QObject* parent)
    : QObject(parent), m_connection(connection) {
    setObjectName(objectName);
    connect(connection, &Connection::connectedChanged, this, [this](bool connected) {
        if (!connected)
            close();
    });
}

namespace {
[[noreturn]] void failFor(const QObject* object, const QString& text) {
    throw Failure(object->objectName() + QStringLiteral(": ") + text);
}
} // namespace

void Query::setSql(const QString& text) {
    close();
    m_sql = text;
    m_bound.clear();
}

void Query::bindValue(const QString& placeholder, const QVariant& value) {
    static const QRegularExpression ascii(QStringLiteral("^:[A-Za-z_][A-Za-z0-9_]*$"));
    if (!ascii.match(placeholder).hasMatch())
        failFor(this,
                QStringLiteral("Parameter name '%1' must be ':' followed by Latin letters, digits or '_'")
                    .arg(placeholder));
    for (auto& bound : m_bound)
        if (bound.first == placeholder) {
            bound.second = value;
            return;
        }
    m_bound.append({placeholder, value});
}

void Query::open() {
    if (m_active)
        return;
    run([this](QSqlQuery& query) {
        m_columns.clear();
        m_rows.clear();
        const QSqlRecord record = query.record();
        for (int i = 0; i < record.count(); ++i)
            m_columns.append(record.fieldName(i));
        while (query.next()) {
            QVector<QVariant> row;
            row.reserve(record.count());
            for (int i = 0; i < record.count(); ++i)
                row.append(query.value(i));
            m_rows.append(row);
        }
    });
    m_active = true;
}

void Query::forEachRow(const std::function<void()>& start,
                       const std::function<void(const QSqlQuery& row)>& row) {
    close();
    run([&](QSqlQuery& query) {
        start();
        while (query.next())
            row(query);
    });
}

void Query::run(const std::function<void(QSqlQuery& query)>& read) {
    m_connection->open();
    backend::Backend& database = m_connection->backend();
    const QString sql = rewriteSql(*m_connection, m_sql);
    try {
        database.retryingRead([&] {
            QSqlQuery query(database.database());
            query.setForwardOnly(true);
            if (!query.prepare(sql))
                throw database.error(query.lastError());
            for (const auto& [name, value] : std::as_const(m_bound))
                query.bindValue(name, value);
            if (!query.exec())
                throw database.error(query.lastError());
            read(query);
        });
    } catch (const backend::DatabaseError& error) {
        failFor(this, error.sentence(QStringLiteral("Запрос нельзя выполнить: ")));
    }
}

void Query::close() {
    m_active = false;
    m_columns.clear();
    m_rows.clear();
}

bool Query::isEmpty() const {
    return !m_active || m_rows.isEmpty();
}

int Query::rowCount() const {
    return m_active ? int(m_rows.size()) : 0;
}

QVariant Query::fieldValue(const QString& column) const {
    if (!m_active)
        failFor(this, QStringLiteral("Cannot perform this operation on a closed dataset"));
    for (int i = 0; i < m_columns.size(); ++i) {
        if (Connection::sameName(m_columns[i], column))
            return m_rows.isEmpty() ? QVariant() : m_rows.front()[i];
    }
    failFor(this, QStringLiteral("Field '%1' not found").arg(column));
}

QVariant Query::valueAt(int row, int column) const {
    if (!m_active)
        failFor(this, QStringLiteral("Cannot perform this operation on a closed dataset"));
    return m_rows.value(row).value(column);
}
