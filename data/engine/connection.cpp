#include "connection.h"

#include "quoting.h"
#include "writeerrors.h"

#include "base/failure.h"
#include "base/filewrite.h"
#include "base/sqlname.h"
#include "data/access/converter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <sqlite3.h>

namespace {

// The items of a connection string: "Key=Value" joined by ";", a value possibly between quotes.
QVector<QPair<QString, QString>> parseItems(const QString& text) {
    QVector<QPair<QString, QString>> items;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        qsizetype eq = text.indexOf(u'=', i);
        const qsizetype semi = text.indexOf(u';', i);
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            i = semi < 0 ? n : semi + 1;
            continue;
        }
        const QString key = text.mid(i, eq - i).trimmed();
        i = eq + 1;
        while (i < n && text[i] == u' ')
            ++i;
        QString value;
        if (i < n && (text[i] == u'"' || text[i] == u'\'')) {
            readQuoted(text, i, &value);
            const qsizetype end = text.indexOf(u';', i);
            i = end < 0 ? n : end + 1;
        } else {
            const qsizetype end = text.indexOf(u';', i);
            value = text.mid(i, (end < 0 ? n : end) - i).trimmed();
            i = end < 0 ? n : end + 1;
        }
        items.append({key, value});
    }
    return items;
}

// Text compared as Jet compares it: letter case ignored in every alphabet.
int unocase(void*, int lengthA, const void* a, int lengthB, const void* b) {
    const QStringView sa(static_cast<const QChar*>(a), lengthA / 2);
    const QStringView sb(static_cast<const QChar*>(b), lengthB / 2);
    return sa.compare(sb, Qt::CaseInsensitive);
}

int connectionCounter = 0;

constexpr int busyWait = 5000; // milliseconds SQLite waits for a lock held by another program

// Opens the file as the QtSql connection `name`, read-write without create (a file that vanished meanwhile
// must not come back empty), with foreign keys on and the collation UNOCASE; the Russian reason when it
// fails, the connection then removed again.
QString openHandle(const QString& path, int busyTimeout, const QString& name) {
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) +
                           QStringLiteral("?mode=rw"));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeout));
        const auto reason = [](const QSqlError& e) { return failureText({}, e); };
        if (!db.open()) {
            error = reason(db.lastError());
        } else {
            QSqlQuery pragma(db);
            if (!pragma.exec(QStringLiteral("PRAGMA foreign_keys=ON")) ||
                !pragma.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
                error = reason(pragma.lastError());
        }
        if (error.isEmpty()) {
            sqlite3* h = *static_cast<sqlite3* const*>(db.driver()->handle().constData());
            if (sqlite3_create_collation_v2(h, "UNOCASE", SQLITE_UTF16_ALIGNED, nullptr, unocase, nullptr) !=
                SQLITE_OK)
                error = QString::fromUtf8(sqlite3_errmsg(h));
            sqlite3_busy_timeout(h, busyWait);
            // Extended codes tell a file deleted or replaced under the connection from a read-only one.
            sqlite3_extended_result_codes(h, 1);
        }
        if (!error.isEmpty())
            db.close();
    }
    if (!error.isEmpty())
        QSqlDatabase::removeDatabase(name);
    return error;
}

} // namespace

Connection::Connection(const QString& objectName, QObject* parent)
    : QObject(parent), m_dbName(QStringLiteral("%1#%2").arg(objectName).arg(++connectionCounter)) {
    setObjectName(objectName);
}

Connection::~Connection() {
    close();
}

void Connection::fail(const QString& text) const {
    throw Failure(objectName() + QStringLiteral(": ") + text);
}

bool Connection::sameName(const QString& a, const QString& b) {
    return a.size() == b.size() ? a.toCaseFolded() == b.toCaseFolded() : false;
}

QString Connection::quoted(const QString& name) {
    return quotedSqlName(name);
}

QString Connection::quotedItemValue(const QString& value) {
    // ADO's rule for a value is SQL's for a name: between double quotes, a double quote in it doubled.
    return quotedSqlName(value);
}

void Connection::setConnectionString(const QString& text) {
    m_connectionString = text;
}

QString Connection::item(const QString& key) const {
    for (const auto& [k, v] : parseItems(m_connectionString))
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            return v;
    return {};
}

void Connection::open() {
    if (m_connected && m_openedString == m_connectionString)
        return;
    close();
    const QString provider = item(QStringLiteral("Provider"));
    if (provider.compare(QLatin1String("Microsoft.Jet.OLEDB.4.0"), Qt::CaseInsensitive) != 0)
        fail(provider.isEmpty()
                 ? QStringLiteral(
                       "No provider given in the connection string (Microsoft.Jet.OLEDB.4.0 expected)")
                 : QStringLiteral("Provider '%1' is not supported (Microsoft.Jet.OLEDB.4.0 expected)")
                       .arg(provider));
    const QString source = item(QStringLiteral("Data Source"));
    if (source.isEmpty())
        fail(QStringLiteral("No database file given in the connection string (Data Source is empty)"));
    const QString path = QDir::current().absoluteFilePath(source);
    const QFileInfo info(path);
    if (!info.exists())
        fail(QStringLiteral("Could not find file '%1'.").arg(path));
    if (info.isDir())
        fail(QStringLiteral("«%1» — папка, а не файл базы данных.").arg(path));
    // A pipe or a device would block the reading below until someone writes to it.
    if (!info.isFile())
        fail(QStringLiteral("«%1» — не файл, а канал или устройство; базой данных он быть не может.")
                 .arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Файл «%1» не удаётся прочитать: нет доступа к нему.").arg(path));
    const QByteArray header = file.read(100);
    file.close();
    if (header.isEmpty())
        fail(QStringLiteral("Файл «%1» пуст: базы данных в нём нет.").arg(path));
    if (accessdb::isAccessFile(header)) {
        // Converted once into the program's format, which takes the file's name; the original is kept.
        QString notice;
        try {
            notice = accessdb::convertInPlace(path).notice();
        } catch (const Failure& failure) {
            fail(failure.text());
        }
        emit converted(notice);
    } else if (!header.startsWith(QByteArrayLiteral("SQLite format 3\0"))) {
        fail(QStringLiteral("Файл «%1» не является базой данных: программа открывает базы SQLite 3 и "
                            "Access.")
                 .arg(path));
    }

    // A file that stayed locked through one busy wait is not waited for again by the openings that follow.
    const QString error = openHandle(path, m_lockedPath == path ? 0 : busyWait, m_dbName);
    m_lockedPath = error == fileProblem(SQLITE_BUSY) ? path : QString();
    if (!error.isEmpty())
        fail(QStringLiteral("Не удалось открыть базу данных «%1»: %2").arg(path, error));
    m_connected = true;
    m_openedString = m_connectionString;
    m_path = path;
    emit connectedChanged(true);
    if (sqlite3_db_readonly(handle(), "main") == 1) {
        emit cannotWrite(
            objectName() +
            QStringLiteral(": База данных «%1» открыта только для чтения: изменения и результаты "
                           "тестов сохранить не удастся.")
                .arg(path));
        return;
    }
    // Every write makes a journal file beside the database: a folder that takes no new file stores nothing.
    const QString folder = info.absolutePath();
    if (const int folderError = files::folderWriteError(folder); folderError != 0)
        emit cannotWrite(objectName() +
                         QStringLiteral(": В папке базы данных «%1» нельзя создать файл (%2): изменения и "
                                        "результаты тестов сохранить не удастся.")
                             .arg(folder, files::reason({folderError, {}})));
}

void Connection::prepareForWriting() {
    sqlite3* h = handle();
    if (!h || sqlite3_db_readonly(h, "main") != 1)
        return;
    const QString name = QStringLiteral("%1#%2").arg(objectName()).arg(++connectionCounter);
    if (!openHandle(m_path, busyWait, name).isEmpty())
        return; // it cannot be opened again: the write itself reports why
    QSqlDatabase::database(m_dbName, false).close();
    QSqlDatabase::removeDatabase(m_dbName);
    m_dbName = name;
}

void Connection::close() {
    if (!m_connected)
        return;
    m_connected = false;
    emit connectedChanged(false);
    {
        QSqlDatabase db = QSqlDatabase::database(m_dbName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_dbName);
}

QSqlDatabase Connection::database() const {
    return QSqlDatabase::database(m_dbName, false);
}

sqlite3* Connection::handle() const {
    if (!m_connected)
        return nullptr;
    const QVariant h = database().driver()->handle();
    return *static_cast<sqlite3* const*>(h.constData());
}

QStringList Connection::tableNames() const {
    QStringList names;
    if (!m_connected)
        return names;
    QSqlQuery q(database());
    q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type IN ('table','view') "
                          "AND name NOT LIKE 'sqlite_%' ORDER BY rowid"));
    while (q.next())
        names.append(q.value(0).toString());
    return names;
}

QString Connection::resolveTableName(const QString& name) const {
    const QStringList names = tableNames();
    for (const QString& real : names)
        if (real == name)
            return real;
    for (const QString& real : names)
        if (sameName(real, name))
            return real;
    return {};
}

QVector<Connection::ColumnInfo> Connection::columns(const QString& realTable) const {
    QVector<ColumnInfo> result;
    if (!m_connected)
        return result;
    QSqlQuery q(database());
    q.prepare(QStringLiteral("SELECT name, type, pk FROM pragma_table_info(?)"));
    q.addBindValue(realTable);
    q.exec();
    while (q.next())
        result.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toInt() > 0});
    return result;
}

QString Connection::resolveColumnName(const QString& table, const QString& column) const {
    const QString real = resolveTableName(table);
    if (real.isEmpty())
        return {};
    for (const ColumnInfo& c : columns(real))
        if (sameName(c.name, column))
            return c.name;
    return {};
}
