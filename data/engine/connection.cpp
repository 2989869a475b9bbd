#include "connection.h"

#include "quoting.h"
#include "serverbackend.h"
#include "sqlitebackend.h"

#include "base/failure.h"
#include "base/filewrite.h"
#include "base/sqlname.h"
#include "data/access/converter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>

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

int connectionCounter = 0;

constexpr int busyWait = 5000; // milliseconds SQLite waits for a lock held by another program

} // namespace

Connection::Connection(const QString& objectName, QObject* parent) : QObject(parent) {
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

void Connection::setServer(const QString& uri) {
    m_server = uri;
}

QString Connection::item(const QString& key) const {
    for (const auto& [k, v] : parseItems(m_connectionString))
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            return v;
    return {};
}

void Connection::open() {
    const QString wanted = m_server + u'\n' + m_connectionString;
    if (m_connected && m_openedString == wanted)
        return;
    close();
    m_openedString = wanted;
    if (m_server.isEmpty()) {
        openFile();
        return;
    }
    try {
        m_backend = std::make_unique<ServerBackend>(
            m_server, QStringLiteral("%1#%2").arg(objectName()).arg(++connectionCounter));
    } catch (const Failure& failure) {
        fail(failure.text());
    }
    m_connected = true;
    emit connectedChanged(true);
}

void Connection::openFile() {
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
    const QString name = QStringLiteral("%1#%2").arg(objectName()).arg(++connectionCounter);
    std::unique_ptr<SqliteBackend> opened;
    try {
        opened = std::make_unique<SqliteBackend>(path, name, m_lockedPath == path ? 0 : busyWait);
        m_lockedPath.clear();
    } catch (const backend::DatabaseError& error) {
        m_lockedPath = error.problem == SqliteBackend::fileProblem(SQLITE_BUSY) ? path : QString();
        fail(QStringLiteral("Не удалось открыть базу данных «%1»: %2").arg(path, error.sentence({})));
    }
    const bool readOnly = opened->isReadOnly();
    m_backend = std::move(opened);
    m_connected = true;
    emit connectedChanged(true);
    if (readOnly) {
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

void Connection::close() {
    if (!m_connected)
        return;
    m_connected = false;
    emit connectedChanged(false);
    m_backend.reset();
}

QSqlDatabase Connection::database() const {
    return m_backend ? m_backend->database() : QSqlDatabase();
}

ServerBackend* Connection::serverBackend() const {
    return dynamic_cast<ServerBackend*>(m_backend.get());
}

backend::Backend& Connection::backend() const {
    if (!m_backend)
        fail(QStringLiteral("Cannot perform this operation on a closed connection"));
    return *m_backend;
}

QStringList Connection::tableNames() const {
    return m_connected ? m_backend->tableNames() : QStringList();
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
    return m_connected ? m_backend->columns(realTable) : QVector<ColumnInfo>();
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
