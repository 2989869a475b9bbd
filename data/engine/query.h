#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <QVector>

#include <functional>

class Connection;
class QSqlQuery;

// A free SELECT. Names in the SQL text are found without regard to letter case, as the file format
// promises. User text reaches SQL only as bound values (":name" placeholders with ASCII names).
class Query : public QObject {
    Q_OBJECT
public:
    Query(const QString& objectName, Connection* connection, QObject* parent = nullptr);

    QString sql() const { return m_sql; }
    void setSql(const QString& text); // closes the query and forgets bound values
    void bindValue(const QString& placeholder, const QVariant& value);

    void open(); // runs the SELECT and keeps its rows
    // Runs the SELECT and hands each row to `row` as it is read, keeping none: a large read with no copy.
    // The query stays closed. `start` runs before the first row of each try: a read that the server's going
    // away cut short is made again from its first row.
    void forEachRow(const std::function<void()>& start, const std::function<void(const QSqlQuery& row)>& row);
    void close();
    bool isActive() const { return m_active; }
    bool isEmpty() const; // no row returned
    int rowCount() const;
    // A column of the first row by name (letter case ignored); throws "Field '%s' not found".
    QVariant fieldValue(const QString& column) const;
    // Any row's value by column position (both 0-based), as the database gave it.
    QVariant valueAt(int row, int column) const;

private:
    // Runs the SELECT; `read` takes its rows.
    void run(const std::function<void(QSqlQuery& query)>& read);

    Connection* m_connection;
    QString m_sql;
    QVector<QPair<QString, QVariant>> m_bound;
    QStringList m_columns;
    QVector<QVector<QVariant>> m_rows;
    bool m_active = false;
};
