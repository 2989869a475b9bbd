#pragma once

#include "data/engine/serveraddress.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>

// A connection of the lab login, as a curious pupil's psql would make it.
class LabLogin {
public:
    explicit LabLogin(const QString& uri) : m_name(QStringLiteral("lab%1").arg(++count)) {
        m_db = openServer(ServerAddress::parse(uri), m_name);
    }
    ~LabLogin() {
        m_db.close();
        m_db = {};
        QSqlDatabase::removeDatabase(m_name);
    }
    LabLogin(const LabLogin&) = delete;
    LabLogin& operator=(const LabLogin&) = delete;

    // Runs the statements in turn: the server's failure of the first that fails ("ERROR: …"), or the first
    // value of the last one.
    QString run(const QString& sql) {
        QString value;
        for (const QString& statement : sql.split(u';', Qt::SkipEmptyParts)) {
            QSqlQuery query(m_db);
            if (!query.exec(statement))
                return QStringLiteral("ERROR: ") +
                       query.lastError().databaseText().section(u'\n', 0, 0).section(u':', 1).trimmed();
            value = query.next() ? query.value(0).toString() : QString();
        }
        return value;
    }

private:
    inline static int count = 0;
    QString m_name;
    QSqlDatabase m_db;
};
