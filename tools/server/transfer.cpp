#include "transfer.h"

#include "base/failure.h"
#include "base/schema.h"
#include "data/access/converter.h"
#include "data/engine/attemptstables.h"
#include "data/engine/questionmedia.h"
#include "data/engine/settingstable.h"

#include <libpq-fe.h>

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTime>
#include <QVariant>
#include <QVector>

#include <sqlite3.h>

namespace transfer {
namespace {

// Parents before the tables that refer to them.
const QStringList tableNames = {schema::classes::name,    schema::pupils::table,  schema::topics::table,
                                schema::questions::table, schema::answers::table, schema::results::table};

// The program's own tables that a database may lack, with the tables each one's statements make, parents
// first: each table carried where both sides hold it, with the columns both have; made in the dumped file
// from the statements. After the six, which they refer to.
struct OwnTables {
    OwnTable definition;
    QStringList tables;
};

QVector<OwnTables> ownTables() {
    namespace at = attemptstables;
    return {{settingstable::definition(), {settingstable::table}},
            {questionmedia::definition(), {questionmedia::definition().name}},
            {at::definition(), {at::attempts, at::questions, at::answers}},
            {at::playsDefinition(), {at::plays}}};
}

// Run by setup in this order, each after the ones it builds on.
const QStringList setupScripts = {
    QStringLiteral("server/objects.sql"),  QStringLiteral("server/lab.sql"),
    QStringLiteral("server/settings.sql"), QStringLiteral("server/attempts.sql"),
    QStringLiteral("server/review.sql"),   QStringLiteral("server/media.sql")};

// A moment is a point in time (the log's times, `timestamp with time zone`); a date-time is a calendar's.
enum class Kind { Integer, Text, YesNo, DateTime, Moment, Real, Bytes };

struct Column {
    QString name;
    Kind kind = Kind::Text;
};

// A table's columns as the server holds them; the first is the key.
struct Shape {
    QString table;
    QVector<Column> columns;
};

QString quoted(const QString& name) {
    return QLatin1Char('"') + QString(name).replace(u'"', QStringLiteral("\"\"")) + QLatin1Char('"');
}

QString onServer(const QString& table) {
    return QStringLiteral("muzyka.") + quoted(table);
}

QString columnList(const Shape& shape) {
    QStringList names;
    for (const Column& column : shape.columns)
        names << quoted(column.name);
    return names.join(QStringLiteral(", "));
}

QString shownFile(const QString& path) {
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

QString resource(const QString& name) {
    QFile file(QStringLiteral(":/") + name);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("В программе нет её файла %1: она собрана неверно.").arg(name));
    return QString::fromUtf8(file.readAll());
}

// The statements of a script: each ends with a semicolon at the end of a line, outside $$-quoted bodies.
QStringList statements(const QString& script) {
    QStringList result;
    QString current;
    bool inBody = false;
    for (const QString& line : script.split(u'\n')) {
        const QString trimmed = line.trimmed();
        if (!inBody && (trimmed.isEmpty() || trimmed.startsWith(QLatin1String("--"))))
            continue;
        current += line + QLatin1Char('\n');
        if (line.count(QLatin1String("$$")) % 2 == 1)
            inBody = !inBody;
        if (!inBody && trimmed.endsWith(u';')) {
            result << current;
            current.clear();
        }
    }
    return result;
}

// Runs one statement; a failure is a Failure beginning with `what` and ending with the server's own words.
QSqlQuery execute(const QSqlDatabase& db, const QString& sql, const QString& what) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(sql))
        throw Failure(what + QStringLiteral(": ") + query.lastError().databaseText().simplified());
    return query;
}

QString literal(const QSqlDatabase& db, const QString& text) {
    QSqlField field{QString(), QMetaType(QMetaType::QString)};
    field.setValue(text);
    return db.driver()->formatValue(field);
}

QString notSetUp(const QString& serverName) {
    return QStringLiteral("В базе данных на сервере «%1» нет таблиц программы: сначала выполните "
                          "«muzyka_server setup».")
        .arg(serverName);
}

Shape serverShape(const QSqlDatabase& server, const QString& table, const QString& serverName) {
    QSqlQuery query =
        execute(server,
                QStringLiteral("SELECT column_name, data_type FROM information_schema.columns "
                               "WHERE table_schema = 'muzyka' AND table_name = %1 "
                               "ORDER BY ordinal_position")
                    .arg(literal(server, table)),
                QStringLiteral("Не удалось прочесть столбцы таблиц на сервере «%1»").arg(serverName));
    Shape shape{table, {}};
    while (query.next()) {
        const QString type = query.value(1).toString();
        const Kind kind = type == QLatin1String("integer")                    ? Kind::Integer
                          : type == QLatin1String("boolean")                  ? Kind::YesNo
                          : type == QLatin1String("timestamp with time zone") ? Kind::Moment
                          : type.startsWith(QLatin1String("timestamp"))       ? Kind::DateTime
                          : type == QLatin1String("double precision")         ? Kind::Real
                          : type == QLatin1String("bytea")                    ? Kind::Bytes
                                                                              : Kind::Text;
        shape.columns.append({query.value(0).toString(), kind});
    }
    if (shape.columns.isEmpty())
        throw Failure(notSetUp(serverName));
    return shape;
}

bool serverHas(const QSqlDatabase& server, const QString& table, const QString& serverName) {
    QSqlQuery query = execute(
        server,
        QStringLiteral("SELECT pg_catalog.to_regclass(%1) IS NOT NULL").arg(literal(server, onServer(table))),
        QStringLiteral("Не удалось прочесть таблицы на сервере «%1»").arg(serverName));
    return query.next() && query.value(0).toBool();
}

// A database file opened through QtSql's SQLite driver for as long as the object lives.
class FileConnection {
public:
    FileConnection(const QString& path, bool readOnly) : m_name(QStringLiteral("file:") + path) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        if (readOnly)
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open())
            throw Failure(QStringLiteral("Не удалось открыть файл «%1»: %2")
                              .arg(shownFile(path), db.lastError().databaseText()));
    }
    ~FileConnection() {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    FileConnection(const FileConnection&) = delete;
    FileConnection& operator=(const FileConnection&) = delete;

    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

    // Runs a script of several statements (QtSql runs one at a time).
    void run(const QString& script, const QString& what) const {
        const QVariant handle = db().driver()->handle();
        sqlite3* file = *static_cast<sqlite3* const*>(handle.constData());
        char* message = nullptr;
        if (sqlite3_exec(file, script.toUtf8().constData(), nullptr, nullptr, &message) == SQLITE_OK)
            return;
        const QString text = QString::fromUtf8(message ? message : sqlite3_errmsg(file));
        sqlite3_free(message);
        throw Failure(what + QStringLiteral(": ") + text);
    }

private:
    QString m_name;
};

// The database file to read: the source itself, the Access file converted, or the sample made, the last two
// in `work`. `shown` gets how the summary names it.
QString sourceFile(const QString& source, const QTemporaryDir& work, QString* shown) {
    if (source.isEmpty()) {
        QString path = work.filePath(QStringLiteral("sample.mdb"));
        const FileConnection file(path, false);
        file.run(resource(QStringLiteral("sample/schema.sql")) +
                     resource(QStringLiteral("sample/sample.sql")),
                 QStringLiteral("Не удалось собрать образец базы данных"));
        *shown = QStringLiteral("образца программы");
        return path;
    }
    *shown = QStringLiteral("файла «%1»").arg(shownFile(source));
    const QFileInfo info(source);
    if (!info.exists())
        throw Failure(QStringLiteral("Нет файла «%1».").arg(shownFile(source)));
    if (info.isDir())
        throw Failure(QStringLiteral("«%1» — папка, а не файл базы данных.").arg(shownFile(source)));
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Файл «%1» не читается: %2").arg(shownFile(source), file.errorString()));
    const QByteArray head = file.read(100);
    if (head.startsWith(QByteArray("SQLite format 3", 16)))
        return source;
    if (accessdb::isAccessFile(head)) {
        QString converted = work.filePath(QStringLiteral("converted.mdb"));
        accessdb::convertFile(source, converted); // in the converter beside the tool, bounded
        return converted;
    }
    throw Failure(QStringLiteral("Файл «%1» — не база данных: ни файл программы, ни база Access.")
                      .arg(shownFile(source)));
}

// The name the file gives a table or a column, found without regard to letter case.
QString findName(const QStringList& names, const QString& wanted) {
    for (const QString& name : names)
        if (name.compare(wanted, Qt::CaseInsensitive) == 0)
            return name;
    return {};
}

QStringList column(const QSqlDatabase& db, const QString& sql, int position, const QString& file) {
    QSqlQuery query = execute(db, sql, QStringLiteral("Файл «%1» не читается как база данных").arg(file));
    QStringList values;
    while (query.next())
        values << query.value(position).toString();
    return values;
}

// One value of the file as an SQL literal of the server's kind.
QString serverValue(const QSqlDatabase& server, const QVariant& value, Kind kind, bool* ok) {
    *ok = true;
    if (value.isNull())
        return QStringLiteral("NULL");
    switch (kind) {
    case Kind::Integer:
        return QString::number(value.toLongLong(ok));
    case Kind::YesNo: {
        QString text = value.toString().trimmed().toLower();
        if (text == QLatin1String("true") || text == QLatin1String("false"))
            return text;
        return value.toLongLong(ok) != 0 ? QStringLiteral("true") : QStringLiteral("false");
    }
    case Kind::DateTime:
    case Kind::Moment: {
        // YYYY-MM-DD, or with a time of day after a blank or a T.
        const QString text = value.toString().trimmed();
        const QDate date = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
        const QString rest = text.mid(11);
        const QTime time = text.size() <= 10 ? QTime(0, 0) : QTime::fromString(rest, Qt::ISODate);
        *ok = date.isValid() && time.isValid() && (text.size() <= 10 || text[10] == u' ' || text[10] == u'T');
        // A moment is written on the file in this computer's local time, as the program writes its log.
        if (kind == Kind::Moment)
            return QLatin1Char('\'') + QDateTime(date, time).toUTC().toString(Qt::ISODate) +
                   QLatin1Char('\'');
        return QLatin1Char('\'') + date.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ') +
               time.toString(QStringLiteral("HH:mm:ss")) + QLatin1Char('\'');
    }
    case Kind::Real:
        return QString::number(value.toDouble(ok), 'g', 17);
    case Kind::Bytes:
        return QStringLiteral("'\\x%1'::bytea").arg(QString::fromLatin1(value.toByteArray().toHex()));
    case Kind::Text:
        break;
    }
    return literal(server, value.toString());
}

QString kindName(Kind kind) {
    switch (kind) {
    case Kind::Integer:
        return QStringLiteral("целое число");
    case Kind::YesNo:
        return QStringLiteral("«да» или «нет»");
    case Kind::DateTime:
    case Kind::Moment:
        return QStringLiteral("дата");
    case Kind::Real:
        return QStringLiteral("число");
    case Kind::Bytes:
    case Kind::Text:
        break;
    }
    return QStringLiteral("текст");
}

// Copies one table of the file to the server in statements of many rows; returns the number of rows. The file
// must have every column of the server's table, or with `common` its key and whichever others it has (a
// column of the server's alone gets its default).
qint64 load(const QSqlDatabase& server, const QSqlDatabase& file, const QString& path, const Shape& whole,
            bool common) {
    const QString shown = shownFile(path);
    const QString table = findName(
        column(file, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"), 0, shown),
        whole.table);
    if (table.isEmpty())
        throw Failure(QStringLiteral("В файле «%1» нет таблицы «%2».").arg(shown, whole.table));
    const QStringList fileColumns =
        column(file, QStringLiteral("PRAGMA table_info(%1)").arg(quoted(table)), 1, shown);
    Shape shape{whole.table, {}};
    QStringList wanted;
    for (qsizetype i = 0; i < whole.columns.size(); ++i) {
        const Column& c = whole.columns[i];
        const QString name = findName(fileColumns, c.name);
        if (name.isEmpty() && common && i > 0)
            continue;
        if (name.isEmpty())
            throw Failure(
                QStringLiteral("В таблице «%1» файла «%2» нет столбца «%3».").arg(table, shown, c.name));
        shape.columns << c;
        wanted << quoted(name);
    }
    QSqlQuery rows = execute(
        file,
        QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(wanted.join(u','), quoted(table), wanted[0]),
        QStringLiteral("Файл «%1» не читается как база данных").arg(shown));
    const QString insert =
        QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(onServer(shape.table), columnList(shape));
    const QString failed = QStringLiteral("Строки таблицы «%1» не загружены на сервер").arg(shape.table);
    QStringList batch;
    qint64 count = 0;
    while (rows.next()) {
        QStringList values;
        for (int c = 0; c < shape.columns.size(); ++c) {
            bool ok = true;
            values << serverValue(server, rows.value(c), shape.columns[c].kind, &ok);
            if (!ok)
                throw Failure(
                    QStringLiteral("В файле «%1» в таблице «%2» у записи с ключом %3 в столбце «%4» "
                                   "стоит «%5», а нужно: %6.")
                        .arg(shown, table, rows.value(0).toString(), shape.columns[c].name,
                             rows.value(c).toString(), kindName(shape.columns[c].kind)));
        }
        batch << QLatin1Char('(') + values.join(u',') + QLatin1Char(')');
        ++count;
        if (batch.size() == 500) {
            execute(server, insert + batch.join(u','), failed);
            batch.clear();
        }
    }
    if (rows.lastError().isValid())
        throw Failure(QStringLiteral("Файл «%1» не читается как база данных: %2")
                          .arg(shown, rows.lastError().databaseText()));
    if (!batch.isEmpty())
        execute(server, insert + batch.join(u','), failed);
    return count;
}

// How dump selects a column of the server. A date-time is written as the file keeps it: the time of day only
// when there is one. A moment comes as seconds since the epoch, for fileValue().
QString selectedForFile(const Column& column) {
    QString name = quoted(column.name);
    switch (column.kind) {
    case Kind::DateTime:
        return QStringLiteral("CASE WHEN %1::time = '00:00' THEN to_char(%1, 'YYYY-MM-DD') "
                              "ELSE to_char(%1, 'YYYY-MM-DD HH24:MI:SS') END")
            .arg(name);
    case Kind::Moment:
        return QStringLiteral("floor(extract(epoch FROM %1))::bigint").arg(name);
    case Kind::Integer:
    case Kind::Text:
    case Kind::YesNo:
    case Kind::Real:
    case Kind::Bytes:
        break;
    }
    return name;
}

// A value selected by selectedForFile() as the file keeps it: yes/no as 0 or 1, a moment in this computer's
// local time as the program writes its log.
QVariant fileValue(const QVariant& value, Kind kind) {
    if (value.isNull())
        return {};
    switch (kind) {
    case Kind::YesNo:
        return value.toBool() ? 1 : 0;
    case Kind::Integer:
        return value.toLongLong();
    case Kind::Real:
        return value.toDouble();
    case Kind::Bytes:
        return value.toByteArray();
    case Kind::Moment:
        return QDateTime::fromSecsSinceEpoch(value.toLongLong()).toString(attemptstables::timeFormat);
    case Kind::DateTime:
    case Kind::Text:
        break;
    }
    return value.toString();
}

// Undoes the server's open transaction unless it was committed.
class Rollback {
public:
    explicit Rollback(const QSqlDatabase& db) : m_db(db) {}
    ~Rollback() {
        if (!m_done)
            QSqlQuery(QStringLiteral("ROLLBACK"), m_db);
    }
    Rollback(const Rollback&) = delete;
    Rollback& operator=(const Rollback&) = delete;
    void committed() { m_done = true; }

private:
    QSqlDatabase m_db;
    bool m_done = false;
};

// Makes or brings up to date every object of the program, inside the caller's transaction.
void runSetupScripts(QSqlDatabase& server, const QString& failed) {
    for (const QString& script : setupScripts)
        for (const QString& statement : statements(resource(script)))
            execute(server, statement, failed);
}

QString summary(const QStringList& counts) {
    return QStringLiteral("записей в таблицах: ") + counts.join(QStringLiteral(", "));
}

} // namespace

QString setUp(QSqlDatabase& server, const QString& serverName, const QString& source, bool replace) {
    const QTemporaryDir work;
    if (!work.isValid())
        throw Failure(QStringLiteral("Не удалось создать временную папку: %1").arg(work.errorString()));
    QString shownSource;
    const QString path = sourceFile(source, work, &shownSource);
    const FileConnection file(path, true);

    const QString failed =
        QStringLiteral("Не удалось создать объекты программы на сервере «%1»").arg(serverName);
    execute(server, QStringLiteral("BEGIN"), failed);
    Rollback rollback(server);
    runSetupScripts(server, failed);
    // The rows belong to the owner of the tables, whoever loads them.
    execute(server, QStringLiteral("SET LOCAL ROLE muzyka_owner"), failed);

    QStringList carried = tableNames;
    for (const OwnTables& own : ownTables())
        carried << own.tables;
    QStringList filled;
    for (const QString& table : carried) {
        QSqlQuery query =
            execute(server, QStringLiteral("SELECT EXISTS (SELECT 1 FROM %1)").arg(onServer(table)), failed);
        if (query.next() && query.value(0).toBool())
            filled << QStringLiteral("«%1»").arg(table);
    }
    if (!filled.isEmpty() && !replace)
        throw Failure(
            QStringLiteral("База данных на сервере «%1» уже содержит записи (таблицы %2): они оставлены "
                           "как есть. Чтобы заменить их, повторите команду с --replace.")
                .arg(serverName, filled.join(QStringLiteral(", "))));
    if (!filled.isEmpty()) {
        // The sign-ins go with the pupils they named: a key kept would sign in whoever has that number now.
        QStringList all{onServer(QStringLiteral("сеансы"))};
        for (const QString& table : carried)
            all << onServer(table);
        execute(server, QStringLiteral("TRUNCATE %1 RESTART IDENTITY").arg(all.join(QStringLiteral(", "))),
                failed);
    }

    const QStringList fileTables = column(
        file.db(), QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"), 0, shownFile(path));
    QStringList loaded = tableNames;
    for (const QString& table : carried.mid(tableNames.size()))
        if (!findName(fileTables, table).isEmpty())
            loaded << table;
    QStringList counts;
    for (const QString& table : loaded) {
        const Shape shape = serverShape(server, table, serverName);
        const bool own = !tableNames.contains(table);
        counts << QStringLiteral("«%1» %2").arg(table).arg(load(server, file.db(), path, shape, own));
        // New rows continue after the highest key loaded, where the server numbers them.
        execute(server,
                QStringLiteral("SELECT setval(s, COALESCE((SELECT MAX(%1) FROM %2), 0) + 1, false) "
                               "FROM (SELECT pg_get_serial_sequence(%3, %4) AS s) q WHERE s IS NOT NULL")
                    .arg(quoted(shape.columns[0].name), onServer(table), literal(server, onServer(table)),
                         literal(server, shape.columns[0].name)),
                failed);
    }
    execute(server, QStringLiteral("COMMIT"), failed);
    rollback.committed();
    return QStringLiteral("Загружено из %1: %2.").arg(shownSource, summary(counts));
}

QString update(QSqlDatabase& server, const QString& serverName) {
    if (!serverHas(server, schema::pupils::table, serverName))
        throw Failure(notSetUp(serverName));
    const QString failed =
        QStringLiteral("Не удалось обновить объекты программы на сервере «%1»").arg(serverName);
    execute(server, QStringLiteral("BEGIN"), failed);
    Rollback rollback(server);
    runSetupScripts(server, failed);
    execute(server, QStringLiteral("COMMIT"), failed);
    rollback.committed();
    return QStringLiteral("Объекты программы на сервере «%1» обновлены; записи и пароль входа muzyka_lab "
                          "остались прежними.")
        .arg(serverName);
}

QString newLabPassword(QSqlDatabase& server, const QString& serverName) {
    static const char letters[] = "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz23456789";
    QString password;
    for (int i = 0; i < 24; ++i)
        password += QLatin1Char(letters[QRandomGenerator::system()->bounded(int(sizeof letters) - 1)]);
    PGconn* conn = *static_cast<PGconn* const*>(server.driver()->handle().constData());
    char* verifier =
        PQencryptPasswordConn(conn, password.toUtf8().constData(), "muzyka_lab", "scram-sha-256");
    const QString failed =
        QStringLiteral("Не удалось задать пароль входа muzyka_lab на сервере «%1»").arg(serverName);
    if (!verifier)
        throw Failure(failed + QStringLiteral(": ") + QString::fromUtf8(PQerrorMessage(conn)).trimmed());
    const QString sql = QStringLiteral("ALTER ROLE muzyka_lab PASSWORD %1")
                            .arg(literal(server, QString::fromLatin1(verifier)));
    PQfreemem(verifier);
    execute(server, sql, failed);
    return password;
}

QString dump(QSqlDatabase& server, const QString& serverName, const QString& target) {
    const QFileInfo info(target);
    if (info.exists())
        throw Failure(QStringLiteral("Файл «%1» уже есть: muzyka_server пишет только в новый файл.")
                          .arg(shownFile(target)));
    if (!info.absoluteDir().exists())
        throw Failure(QStringLiteral("Нет папки «%1».").arg(QDir::toNativeSeparators(info.absolutePath())));

    const QString failed = QStringLiteral("Не удалось прочесть записи на сервере «%1»").arg(serverName);
    // One snapshot: rows stored while the dump runs are either all in it or not at all.
    execute(server, QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"), failed);
    Rollback rollback(server);
    QVector<Shape> shapes;
    for (const QString& table : tableNames)
        shapes << serverShape(server, table, serverName);
    // The program's own tables go into the file where the server has them.
    QStringList ownDdl;
    for (const OwnTables& own : ownTables()) {
        const qsizetype before = shapes.size();
        for (const QString& table : own.tables)
            if (serverHas(server, table, serverName))
                shapes << serverShape(server, table, serverName);
        if (shapes.size() > before)
            ownDdl << own.definition.fileDdl;
    }

    const QString partial = target + QStringLiteral(".part");
    QFile::remove(partial);
    QStringList counts;
    try {
        const FileConnection file(partial, false);
        const QString unwritten = QStringLiteral("Не удалось записать файл «%1»").arg(shownFile(target));
        file.run(QStringLiteral("BEGIN;") + resource(QStringLiteral("sample/schema.sql")), unwritten);
        for (const QString& statement : std::as_const(ownDdl))
            file.run(statement + QLatin1Char(';'), unwritten);
        for (const Shape& whole : shapes) {
            // The columns the file's table has too: the server keeps some of its own (the sign-in that runs
            // a test).
            const QStringList fileColumns =
                column(file.db(), QStringLiteral("PRAGMA table_info(%1)").arg(quoted(whole.table)), 1,
                       shownFile(target));
            Shape shape{whole.table, {}};
            for (const Column& c : whole.columns)
                if (!findName(fileColumns, c.name).isEmpty())
                    shape.columns << c;
            QStringList selected;
            QStringList marks;
            for (const Column& c : shape.columns) {
                selected << selectedForFile(c);
                marks << QStringLiteral("?");
            }
            QSqlQuery rows = execute(server,
                                     QStringLiteral("SELECT %1 FROM %2 ORDER BY 1")
                                         .arg(selected.join(QStringLiteral(", ")), onServer(shape.table)),
                                     failed);
            QSqlQuery insert(file.db());
            if (!insert.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                    .arg(quoted(shape.table), columnList(shape), marks.join(u','))))
                throw Failure(unwritten + QStringLiteral(": ") + insert.lastError().databaseText());
            qint64 count = 0;
            while (rows.next()) {
                for (int c = 0; c < shape.columns.size(); ++c)
                    insert.bindValue(c, fileValue(rows.value(c), shape.columns[c].kind));
                if (!insert.exec())
                    throw Failure(unwritten + QStringLiteral(": ") + insert.lastError().databaseText());
                ++count;
            }
            if (rows.lastError().isValid())
                throw Failure(failed + QStringLiteral(": ") + rows.lastError().databaseText().simplified());
            counts << QStringLiteral("«%1» %2").arg(shape.table).arg(count);
        }
        file.run(QStringLiteral("COMMIT;"), unwritten);
    } catch (...) {
        QFile::remove(partial);
        throw;
    }
    execute(server, QStringLiteral("COMMIT"), failed);
    rollback.committed();
    if (!QFile::rename(partial, target)) {
        QFile::remove(partial);
        throw Failure(QStringLiteral("Не удалось записать файл «%1».").arg(shownFile(target)));
    }
    return QStringLiteral("Записано в «%1»: %2.").arg(shownFile(target), summary(counts));
}

} // namespace transfer
