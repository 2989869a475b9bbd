#include "testdb.h"

#include "tests/support/testbackend.h"

#include <QDir>
#include <QFile>

#include <sqlite3.h>

namespace {

const char* const serverVariable = "MUZYKA_SERVER";

// A test that is about the file itself has no business on the server.
void fileOnly(const char* what) {
    if (testbackend::onServer())
        qFatal("%s is about the file: the test needs SKIP_ON_SERVER", what);
}

} // namespace

TestDatabase::TestDatabase(const QString& rowsSql, const QString& fileName)
    : m_path(m_dir.filePath(fileName)), m_previousFolder(QDir::currentPath()),
      m_previousServer(qgetenv(serverVariable)) {
    exec(schemaSql() + rowsSql);
    if (testbackend::onServer()) {
        m_server = std::make_unique<testbackend::ServerCopy>(m_path);
        qputenv(serverVariable, m_server->uri().toUtf8());
    }
    QDir::setCurrent(m_dir.path());
}

TestDatabase::~TestDatabase() {
    QDir::setCurrent(m_previousFolder);
    if (!m_server)
        return; // on the file backend the setting is the test's own
    if (m_previousServer.isEmpty())
        qunsetenv(serverVariable);
    else
        qputenv(serverVariable, m_previousServer);
}

QString TestDatabase::serverUri() {
    return testbackend::onServer() ? qEnvironmentVariable(serverVariable) : QString();
}

void TestDatabase::setReadOnly(bool on) const {
    fileOnly("a read-only file");
    QFile file(m_path);
    const char writeVersion = on ? 3 : 1; // header byte 18
    if (!file.open(QIODevice::ReadWrite) || !file.seek(18) || file.write(&writeVersion, 1) != 1)
        qFatal("cannot change the header of %s", qPrintable(m_path));
}

DatabaseLock::DatabaseLock(const QString& path) {
    fileOnly("a locked file");
    if (sqlite3_open(QFile::encodeName(path).constData(), &m_db) != SQLITE_OK ||
        sqlite3_exec(m_db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK)
        qFatal("cannot lock %s", qPrintable(path));
}

DatabaseLock::~DatabaseLock() {
    sqlite3_close(m_db); // ends the transaction, and so the lock
}

void TestDatabase::exec(const QString& sql) const {
    const QString error = SqlFile(m_path).exec(sql);
    if (!error.isEmpty())
        qFatal("test SQL failed: %s", qPrintable(error));
}

QString TestDatabase::scalar(const QString& sql) const {
    return SqlFile(m_path).scalar(sql);
}

QStringList TestDatabase::firstRow(const QString& sql) const {
    QStringList row;
    for (const QVariant& value : SqlFile(m_path).rows(sql).value(0))
        row.append(value.toString());
    return row;
}

QString TestDatabase::schemaSql() {
    QFile file(QStringLiteral(ESUN_SOURCE_DIR "/resources/sample/schema.sql"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("schema.sql not found");
    return QString::fromUtf8(file.readAll());
}

QString TestDatabase::smallRowsSql() {
    return QStringLiteral(R"sql(
INSERT INTO "класс" VALUES (1, '5А'), (2, '5Б'), (3, '6А');
INSERT INTO "Ученики" VALUES
    (1, 'Анна', 'Петрова', 'Сергеевна', 1, 'nota', 0),
    (2, 'Иван', 'Соколов', 'Петрович', 2, 'do-re-mi', 0),
    (3, 'Мария', 'Ивановна', 'Андреевна', 3, 'teach', 1),
    (4, 'Пётр', 'Соколов', 'Ильич', 1, 'sol', 0);
INSERT INTO "Тема" VALUES (1, 'Нотная грамота'), (2, 'Ключи'), (3, 'Композиторы');
INSERT INTO "Вопрос" VALUES
    (1, 'Сколько линеек в нотном стане?', 1),
    (2, 'Как называется знак повышения на полтона?', 1),
    (3, 'Какой ключ называют ключом соль?', 2);
INSERT INTO "Ответы" VALUES
    (1, '5', 1, 1), (2, '4', 1, 0), (3, '6', 1, 0),
    (4, 'Диез', 2, 1), (5, 'Бемоль', 2, 0), (6, 'Бекар', 2, 0),
    (7, 'Скрипичный', 3, 1), (8, 'Басовый', 3, 0);
INSERT INTO "результаты" VALUES
    (1, '2026-11-02', '2', 5, 1, 1, 1),
    (2, '2026-11-03', '1', 3, 2, 2, 2),
    (3, '2026-11-04 10:15:00', '0', 2, 1, 2, 1),
    (4, '2026-11-05', '3', 5, 4, 3, 1);
)sql");
}

SqlFile::SqlFile(const QString& path, Relations relations)
    : m_path(path), m_relations(relations), m_server(testbackend::ServerCopy::of(path)) {
    open();
}

SqlFile::~SqlFile() {
    close();
}

void SqlFile::open() const {
    if (sqlite3_open(QFile::encodeName(m_path).constData(), &m_db) != SQLITE_OK)
        qFatal("cannot open %s", qPrintable(m_path));
    if (m_relations == Checked &&
        sqlite3_exec(m_db, "PRAGMA foreign_keys=ON", nullptr, nullptr, nullptr) != SQLITE_OK)
        qFatal("cannot check the relations of %s", qPrintable(m_path));
}

void SqlFile::close() const {
    sqlite3_close(m_db);
    m_db = nullptr;
}

void SqlFile::refresh() const {
    if (!m_server)
        return;
    close();
    m_server->toFile(); // in place of the file, which the handle must not keep
    open();
}

QList<QVariantList> SqlFile::rows(const QString& sql) const {
    refresh();
    sqlite3_stmt* st = nullptr;
    QList<QVariantList> result;
    if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
        qFatal("bad test SQL: %s", sqlite3_errmsg(m_db));
    while (sqlite3_step(st) == SQLITE_ROW) {
        QVariantList row;
        for (int c = 0; c < sqlite3_column_count(st); ++c) {
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_NULL:
                row << QVariant();
                break;
            case SQLITE_INTEGER:
                row << QVariant(sqlite3_column_int64(st, c));
                break;
            default:
                row << QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c))));
            }
        }
        result << row;
    }
    sqlite3_finalize(st);
    return result;
}

QString SqlFile::scalar(const QString& sql) const {
    return rows(sql).value(0).value(0).toString();
}

QString SqlFile::exec(const QString& sql) const {
    refresh();
    char* message = nullptr;
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    const QString text = message ? QString::fromUtf8(message) : QString();
    sqlite3_free(message);
    if (m_server) // whatever the SQL did before it failed, too
        m_server->toServer();
    return rc == SQLITE_OK ? QString() : text;
}
