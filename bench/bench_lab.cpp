// A computer lab on the school's server: lab computers (child processes of this benchmark, each with the
// program's data module on its own connection) sign in and store a pupil's result at the same moment, round
// after round; then every stored row is looked for on the server, and the time of each store is summed up.
// Last the teacher's opening of the results (`rez`, with its lookup tables open) from the server against
// the same rows in a database file.
// Usage: bench_lab [--computers N] [--results N] [--rows N] [--opens N] [--durable]
//   --computers  lab computers (30); --results  results each stores after the first (100);
//   --rows  results rows for the opening (100000); --opens  openings of each kind (7);
//   --durable  the server flushes every commit to the disk, as an installed one does (the private server
//   of the tests does not).
// The server is a private one of PostgreSQL 15 (tests/support/pgserver.h) on a socket in a temporary folder.

#include "base/allocator.h"
#include "base/clock.h"
#include "base/failure.h"
#include "base/schema.h"
#include "data/datamodule.h"
#include "data/engine/connection.h"
#include "data/engine/query.h"
#include "data/engine/serveraddress.h"
#include "data/engine/table.h"
#include "tests/support/pgserver.h"
#include "tools/server/transfer.h"
#include "ui/dialogs.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QTemporaryDir>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

// Every lab row's points text is this plus 1000 times its computer plus its round, so each is told apart.
constexpr int labMark = 10000;

QString schemaSql() {
    QFile file(QStringLiteral(ESUN_SOURCE_DIR "/resources/sample/schema.sql"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("schema.sql not found beside the benchmark's sources");
    return QString::fromUtf8(file.readAll());
}

// A database file of the program: 300 pupils (surname "ФамилияN", password "kN") in 3 classes, 6 topics
// with a question each, and `results` earlier results.
void makeDatabase(const QString& path, int results) {
    const QString sql = schemaSql() + QStringLiteral(R"sql(
INSERT INTO "класс" VALUES (1, '5А'), (2, '5Б'), (3, '6А');
INSERT INTO "Ученики" ("id_ученика", "Имя", "Фамилия", "Отчество", "id_класса", "ключ", "права")
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300)
SELECT i, 'Имя' || i, 'Фамилия' || i, 'Отчество', 1 + i % 3, 'k' || i, 0 FROM n;
INSERT INTO "Тема" VALUES (1, 'Нотная грамота'), (2, 'Ключи'), (3, 'Композиторы'), (4, 'Жанры'),
    (5, 'Инструменты'), (6, 'Ритм');
INSERT INTO "Вопрос" SELECT "id_темы", 'Вопрос ' || "id_темы", "id_темы" FROM "Тема";
INSERT INTO "Ответы" ("ответ", "id_вопроса", "статус") SELECT 'Ответ', "id_вопроса", 1 FROM "Вопрос";
BEGIN;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1)
INSERT INTO "результаты" ("Дата", "Баллы", "Оценка", "id_ученика", "id_темы", "id_класса")
SELECT date('2020-01-01', '+' || (i % 2000) || ' days'), CAST(i % 11 AS TEXT), 2 + i % 4, 1 + i % 300,
       1 + i % 6, 1 + i % 3 FROM n;
COMMIT;
)sql")
                                          .arg(results);
    sqlite3* db = nullptr;
    if (sqlite3_open(QFile::encodeName(path).constData(), &db) != SQLITE_OK)
        qFatal("cannot create %s", qPrintable(path));
    char* error = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK)
        qFatal("cannot fill the database: %s", error);
    sqlite3_close(db);
}

// A new database on the server loaded from `file` as muzyka_server setup loads it; its superuser's URI.
QString serverDatabase(PrivateServer& server, const QString& file) {
    const QString name = server.createDatabase();
    {
        QSqlDatabase db = openServer(ServerAddress::parse(server.adminUri(name)), name);
        std::printf("  %s\n", qPrintable(transfer::setUp(db, name, file, false)));
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return name;
}

// Failures the data module would show in a box go to the standard error: nobody is there to answer.
class PrintedDialogs final : public DialogService {
public:
    void failure(const QString& text) override { print(text); }
    void message(const QString& text) override { print(text); }
    void warning(const QString&, const QString& text) override { print(text); }
    bool confirmDelete() override { return false; }
    void applicationError(const QString& text) override { print(text); }
    QString openFileName(QWidget*, const QString&, const QString&) override { return {}; }
    QString saveFileName(QWidget*, const QString&, const QString&, QString*) override { return {}; }
    int shown = 0;

private:
    void print(const QString& text) {
        ++shown;
        std::fprintf(stderr, "%s\n", qPrintable(text));
    }
};

double milliseconds(qint64 nanoseconds) {
    return double(nanoseconds) / 1e6;
}

// ---- one lab computer ----

// Signs pupil `pupil` in as the sign-in window does: the surname's password through the free query, then the
// pupils' table filtered to the surname, which leaves its cursor on the pupil.
void signIn(TDataModule11& module, int pupil) {
    const QString surname = QStringLiteral("Фамилия%1").arg(pupil);
    Query* query = module.ADOQuery1;
    query->setSql(QStringLiteral("SELECT ключ FROM Ученики WHERE фамилия=:surname"));
    query->bindValue(QStringLiteral(":surname"), surname);
    query->open();
    if (query->isEmpty() ||
        query->fieldValue(schema::pupils::password).toString() != QStringLiteral("k%1").arg(pupil))
        throw Failure(QStringLiteral("the pupil %1 cannot sign in").arg(surname));
    Table* ych = module.ych;
    ych->setFiltered(false);
    ych->setFilterText(QStringLiteral("Фамилия ='%1'").arg(surname));
    ych->setFiltered(true);
    if (ych->recordCount() != 1)
        throw Failure(
            QStringLiteral("the pupils' table shows %1 rows for %2").arg(ych->recordCount()).arg(surname));
}

// Stores a result as the test window does when a pupil finishes.
void storeResult(TDataModule11& module, int points) {
    Table* rez = module.rez;
    Table* ych = module.ych;
    rez->insert();
    rez->setValue(schema::results::grade, 2 + points % 4);
    rez->setValue(schema::results::points, QString::number(points));
    rez->setValue(schema::results::date, programclock::today().startOfDay());
    rez->setValue(schema::topicKey, module.tema->value(schema::topicKey));
    rez->setValue(schema::pupilKey, ych->value(schema::pupilKey));
    rez->setValue(schema::classKey, ych->value(schema::classKey));
    if (rez->modified())
        rez->post();
}

// Waits for the parent's start byte on the shared pipe; false at its end (the parent is done).
bool waitForStart(int startFd) {
    char byte = 0;
    return ::read(startFd, &byte, 1) == 1;
}

// The child: MUZYKA_SERVER names the server, as /etc/muzyka.conf does through the launcher. Each round it
// signs its pupil in, says "ready", waits at the common start, stores one result and says how long it took.
int labComputer(int computer, const int startFds[2]) {
    PrintedDialogs dialogs;
    setDialogs(&dialogs);
    QElapsedTimer clock;
    clock.start();
    TDataModule11 module(nullptr); // opens the six tables on the server, as the program's start does
    if (dialogs.shown > 0)
        return 1;
    std::printf("opened %.2f\n", milliseconds(clock.nsecsElapsed()));
    std::fflush(stdout);
    const int pupil = computer + 1;
    if (!module.tema->locate(schema::topicKey, 1 + computer % 6)) {
        std::fprintf(stderr, "computer %d: no topic %d\n", computer, 1 + computer % 6);
        return 1;
    }
    for (int round = 0;; ++round) {
        clock.restart();
        try {
            signIn(module, pupil);
        } catch (const Failure& f) {
            std::fprintf(stderr, "computer %d: %s\n", computer, qPrintable(f.text()));
            return 1;
        }
        std::printf("ready %.3f\n", milliseconds(clock.nsecsElapsed()));
        std::fflush(stdout);
        if (!waitForStart(startFds[round % 2]))
            return 0;
        clock.restart();
        try {
            storeResult(module, labMark + computer * 1000 + round);
            std::printf("stored %.3f\n", milliseconds(clock.nsecsElapsed()));
        } catch (const Failure& f) {
            if (module.rez->state() == Table::State::Insert)
                module.rez->cancel();
            std::printf("failed %s\n", qPrintable(f.text()));
        }
        std::fflush(stdout);
    }
}

// ---- the parent ----

struct Summary {
    double median = 0;
    double p99 = 0;
    double worst = 0;
};

// Nearest-rank percentiles.
Summary summary(std::vector<double> values) {
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    const auto rank = [&](double p) {
        return values[std::min(values.size() - 1,
                               size_t(std::max(0.0, std::ceil(p * double(values.size())) - 1)))];
    };
    return {rank(0.5), rank(0.99), values.back()};
}

void printSummary(const char* what, const std::vector<double>& values) {
    const Summary s = summary(values);
    std::printf("| %s | %zu | %.1f ms | %.1f ms | %.1f ms |\n", what, values.size(), s.median, s.p99,
                s.worst);
}

// The lab computers and their common start. They wait on two pipes by turns, one byte each per round: a
// computer that is through with its round waits on the other pipe, so it cannot take a byte of this round
// from one that has not yet woken up.
class Lab {
public:
    Lab(const QString& uri, int computers) {
        QStringList arguments{QStringLiteral("--child"), QString()};
        for (int& write : m_startWrite) {
            int fds[2];
            if (::pipe(fds) != 0)
                qFatal("no pipe");
            ::fcntl(fds[1], F_SETFD, FD_CLOEXEC); // only the read ends go to the children
            write = fds[1];
            m_startRead.push_back(fds[0]);
            arguments.append(QString::number(fds[0]));
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("MUZYKA_SERVER"), uri);
        for (int i = 0; i < computers; ++i) {
            auto child = std::make_unique<QProcess>();
            child->setProcessEnvironment(environment);
            child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            arguments[1] = QString::number(i);
            child->start(QCoreApplication::applicationFilePath(), arguments);
            m_children.push_back(std::move(child));
        }
        for (int read : m_startRead)
            ::close(read);
    }
    ~Lab() {
        finish();
        for (auto& child : m_children)
            if (!child->waitForFinished(30000))
                child->kill();
    }
    Lab(const Lab&) = delete;
    Lab& operator=(const Lab&) = delete;

    // The children see the end of the start pipes and leave.
    void finish() {
        for (int& write : m_startWrite)
            if (write >= 0) {
                ::close(write);
                write = -1;
            }
    }
    // The next line of each child: its word and its figure; a child that ended or said something else ends
    // the benchmark.
    std::vector<double> lines(const QByteArray& word, int* failures = nullptr) {
        std::vector<double> figures;
        for (size_t i = 0; i < m_children.size(); ++i) {
            QProcess& child = *m_children[i];
            while (!child.canReadLine())
                if (!child.waitForReadyRead(120000))
                    qFatal("lab computer %zu ended or went silent: %s", i, child.readAll().constData());
            const QByteArray line = child.readLine().trimmed();
            if (failures && line.startsWith("failed ")) {
                ++*failures;
                std::printf("  computer %zu: %s\n", i, line.constData());
                continue;
            }
            if (!line.startsWith(word + ' '))
                qFatal("lab computer %zu said: %s", i, line.constData());
            figures.push_back(line.mid(word.size() + 1).toDouble());
        }
        return figures;
    }
    // Round `round`: one byte for each child on the pipe they all wait on, in one write, so they start at
    // once.
    void start(int round) {
        const QByteArray bytes(qsizetype(m_children.size()), 'g');
        if (::write(m_startWrite[round % 2], bytes.constData(), size_t(bytes.size())) != bytes.size())
            qFatal("the start pipe failed");
    }

private:
    std::vector<std::unique_ptr<QProcess>> m_children;
    std::vector<int> m_startRead;
    int m_startWrite[2] = {-1, -1};
};

void stores(PrivateServer& server, const QString& file, int computers, int results) {
    const QString database = serverDatabase(server, file);
    const qint64 before = server.rows(database, QStringLiteral("SELECT count(*) FROM muzyka.\"результаты\""))
                              .front()
                              .front()
                              .toLongLong();
    std::vector<double> first, later, signIns;
    int failures = 0;
    QElapsedTimer clock;
    clock.start();
    {
        Lab lab(server.adminUri(database), computers);
        const std::vector<double> opened = lab.lines("opened");
        std::printf("  %d lab computers started the program in %.1f s (their data module opened in %.0f to "
                    "%.0f ms)\n",
                    computers, double(clock.elapsed()) / 1000.0,
                    *std::min_element(opened.begin(), opened.end()),
                    *std::max_element(opened.begin(), opened.end()));
        for (int round = 0; round <= results; ++round) {
            const std::vector<double> ready = lab.lines("ready");
            signIns.insert(signIns.end(), ready.begin(), ready.end());
            lab.start(round);
            const std::vector<double> stored = lab.lines("stored", &failures);
            (round == 0 ? first : later)
                .insert((round == 0 ? first : later).end(), stored.begin(), stored.end());
        }
        lab.finish();
    }
    std::printf("  %d rounds in %.1f s\n\n", results + 1, double(clock.elapsed()) / 1000.0);

    // Every row once: each points text the computers wrote, counted on the server, with its pupil.
    const auto rows = server.rows(database, QStringLiteral("SELECT \"Баллы\", count(*), min(\"id_ученика\"), "
                                                           "max(\"id_ученика\") FROM muzyka.\"результаты\" "
                                                           "WHERE length(\"Баллы\") > 2 GROUP BY \"Баллы\""));
    std::vector<int> seen(size_t(computers) * size_t(results + 1), 0);
    int strangers = 0, wrongPupil = 0;
    for (const QVariantList& row : rows) {
        const int value = row[0].toInt() - labMark;
        const int computer = value / 1000, round = value % 1000;
        if (value < 0 || computer >= computers || round > results) {
            ++strangers;
            continue;
        }
        seen[size_t(computer) * size_t(results + 1) + size_t(round)] += row[1].toInt();
        if (row[2].toInt() != computer + 1 || row[3].toInt() != computer + 1)
            ++wrongPupil;
    }
    const auto lost = std::count(seen.begin(), seen.end(), 0);
    const auto doubled = std::count_if(seen.begin(), seen.end(), [](int n) { return n > 1; });
    const qint64 after = server.rows(database, QStringLiteral("SELECT count(*) FROM muzyka.\"результаты\""))
                             .front()
                             .front()
                             .toLongLong();
    std::printf("Rows: %lld stored by %d computers in %d rounds (%lld expected); lost %lld, doubled %lld, "
                "unknown %d, with a wrong pupil %d; failed stores %d.\n\n",
                after - before, computers, results + 1, qint64(computers) * (results + 1), qint64(lost),
                qint64(doubled), strangers, wrongPupil, failures);
    std::printf("| stores (wall time of insert, values, post) | count | median | 99th percentile | worst |\n"
                "|---|---|---|---|---|\n");
    printSummary("the first, all computers at once", first);
    printSummary("the later ones, all computers at once each round", later);
    std::vector<double> all = first;
    all.insert(all.end(), later.begin(), later.end());
    printSummary("all", all);
    printSummary("sign-in before each (query and filter)", signIns);
}

// ---- opening the results ----

struct Timing {
    double wall = 0;
    double cpu = 0; // this thread's
};

Timing timed(const std::function<void()>& work) {
    timespec start{}, end{};
    QElapsedTimer clock;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    clock.start();
    work();
    const double wall = milliseconds(clock.nsecsElapsed());
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    return {wall, double(end.tv_sec - start.tv_sec) * 1e3 + double(end.tv_nsec - start.tv_nsec) / 1e6};
}

// The floors: every column of every row through each database's own C library, nothing kept.
void rawFile(const QString& path) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT rowid, \"Дата\", \"Баллы\", \"Оценка\", \"id_ученика\", \"id_темы\", "
                       "\"id_класса\" FROM \"результаты\"",
                       -1, &stmt, nullptr);
    qint64 sum = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW)
        for (int c = 0; c < 7; ++c)
            sum += sqlite3_column_bytes(stmt, c);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    if (sum == 0)
        qFatal("the file has no results");
}

// libpq's own connection to the server's database, for the floor.
std::shared_ptr<PGconn> rawConnection(const PrivateServer& server, const QString& database) {
    const QByteArray conninfo =
        QStringLiteral("host=%1 dbname=%2 user=%3 password=%4")
            .arg(server.socketFolder(), database, PrivateServer::adminName(), server.adminPassword())
            .toUtf8();
    std::shared_ptr<PGconn> conn(PQconnectdb(conninfo.constData()), PQfinish);
    if (PQstatus(conn.get()) != CONNECTION_OK)
        qFatal("libpq cannot connect: %s", PQerrorMessage(conn.get()));
    return conn;
}

void rawServer(PGconn* conn) {
    PGresult* result =
        PQexec(conn, "SELECT \"id_результата\", \"Дата\", \"Баллы\", \"Оценка\", \"id_ученика\", "
                     "\"id_темы\", \"id_класса\" FROM muzyka.\"результаты\"");
    qint64 sum = 0;
    for (int r = 0; r < PQntuples(result); ++r)
        for (int c = 0; c < 7; ++c)
            sum += PQgetlength(result, r, c);
    PQclear(result);
    if (sum == 0)
        qFatal("the server has no results");
}

// The child of a first opening: the program's start on the file in the working folder or on the server `uri`,
// the lookup tables opened, then `rez` timed. Prints the wall and CPU milliseconds and the rows.
int firstOpening(const QString& uri) {
    PrintedDialogs dialogs;
    setDialogs(&dialogs);
    TDataModule11 module(nullptr, TDataModule11::Open::Later);
    module.ADOConnection1->setServer(uri);
    for (Table* lookup : {module.ych, module.klass, module.tema})
        lookup->open();
    const Timing t = timed([&] { module.rez->open(); });
    std::printf("%.3f %.3f %d\n", t.wall, t.cpu, module.rez->recordCount());
    return dialogs.shown == 0 ? 0 : 1;
}

// The first opening in a fresh process, as at the program's start: a child of this benchmark.
Timing firstOpeningApart(const QString& uri, int rows) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--opener"), uri});
    if (!child.waitForFinished(120000) || child.exitCode() != 0)
        qFatal("the opening child failed");
    const QList<QByteArray> figures = child.readAll().trimmed().split(' ');
    if (figures.size() != 3 || figures[2].toInt() != rows)
        qFatal("the opening child read %s rows", figures.value(2).constData());
    return {figures[0].toDouble(), figures[1].toDouble()};
}

void openings(PrivateServer& server, const QString& file, int rows, int rounds) {
    const QString database = serverDatabase(server, file);
    const QString uri = server.adminUri(database);
    PrintedDialogs dialogs;
    setDialogs(&dialogs);
    // Two data modules, one on the file (Primer.mdb in the working folder) and one on the server, each with
    // the lookup tables of rez open as the teacher's window has them.
    TDataModule11 onFile(nullptr, TDataModule11::Open::Later);
    TDataModule11 onServer(nullptr, TDataModule11::Open::Later);
    onServer.ADOConnection1->setServer(uri);
    for (TDataModule11* module : {&onFile, &onServer})
        for (Table* lookup : {module->ych, module->klass, module->tema})
            lookup->open();
    onFile.rez->open();
    onServer.rez->open();
    if (onFile.rez->recordCount() != rows || onServer.rez->recordCount() != rows)
        qFatal("the file shows %d rows, the server %d", onFile.rez->recordCount(),
               onServer.rez->recordCount());
    const std::shared_ptr<PGconn> raw = rawConnection(server, database);
    struct Series {
        std::vector<double> wall, cpu;
        void add(const Timing& t) {
            wall.push_back(t.wall);
            cpu.push_back(t.cpu);
        }
    };
    Series firstFile, firstServer, againFile, againServer, rawFileScan, rawServerQuery;
    // Alternating, so that whatever else the machine does falls on both alike.
    for (int round = 0; round < rounds; ++round) {
        firstFile.add(firstOpeningApart(QString(), rows));
        firstServer.add(firstOpeningApart(uri, rows));
        onFile.rez->close();
        againFile.add(timed([&] { onFile.rez->open(); }));
        onServer.rez->close();
        againServer.add(timed([&] { onServer.rez->open(); }));
        rawFileScan.add(timed([&] { rawFile(file); }));
        rawServerQuery.add(timed([&] { rawServer(raw.get()); }));
    }
    const auto median = [](const std::vector<double>& v) { return summary(v).median; };
    const auto line = [&](const char* what, const Series& s) {
        std::vector<double> wall = s.wall;
        std::sort(wall.begin(), wall.end());
        std::printf("| %s | %.1f ms | %.1f to %.1f ms | %.1f ms |\n", what, median(s.wall), wall.front(),
                    wall.back(), median(s.cpu));
    };
    std::printf("\nOpening `rez` with %d rows, its lookups open (%d rounds, alternating; the CPU time is the "
                "opening thread's)\n\n| | median wall | range | median CPU |\n|---|---|---|---|\n",
                rows, rounds);
    line("file, first opening in a fresh process", firstFile);
    line("server, first opening in a fresh process", firstServer);
    line("file, opened again after closing", againFile);
    line("server, opened again after closing", againServer);
    line("raw sqlite3 scan of the file", rawFileScan);
    line("raw libpq query of the server, all rows in one result", rawServerQuery);
    std::printf(
        "\nServer / file (medians of the wall time; target 2): first opening %.2f, opened again %.2f\n",
        median(firstServer.wall) / median(firstFile.wall), median(againServer.wall) / median(againFile.wall));
    setDialogs(nullptr);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    allocator::keepFreedMemory(); // as the program's application object does
    if (argc == 5 && QByteArray(argv[1]) == "--child") {
        const int startFds[2] = {QByteArray(argv[3]).toInt(), QByteArray(argv[4]).toInt()};
        return labComputer(QByteArray(argv[2]).toInt(), startFds);
    }
    if (argc == 3 && QByteArray(argv[1]) == "--opener")
        return firstOpening(QString::fromLocal8Bit(argv[2]));

    std::setvbuf(stdout, nullptr, _IOLBF, 0); // the figures as they come, also into a pipe
    QCommandLineParser parser;
    const QCommandLineOption computersOption(QStringLiteral("computers"), QStringLiteral("lab computers"),
                                             QStringLiteral("N"), QStringLiteral("30"));
    const QCommandLineOption resultsOption(QStringLiteral("results"),
                                           QStringLiteral("results after the first"), QStringLiteral("N"),
                                           QStringLiteral("100"));
    const QCommandLineOption rowsOption(QStringLiteral("rows"),
                                        QStringLiteral("results rows for the opening"), QStringLiteral("N"),
                                        QStringLiteral("100000"));
    const QCommandLineOption opensOption(QStringLiteral("opens"), QStringLiteral("openings of each kind"),
                                         QStringLiteral("N"), QStringLiteral("7"));
    const QCommandLineOption durableOption(QStringLiteral("durable"),
                                           QStringLiteral("flush every commit to the disk"));
    parser.addOptions({computersOption, resultsOption, rowsOption, opensOption, durableOption});
    parser.addHelpOption();
    parser.process(app);
    const int computers = parser.value(computersOption).toInt();
    const int results = parser.value(resultsOption).toInt();

    QElapsedTimer clock;
    clock.start();
    PrivateServer server;
    if (!server.isRunning()) {
        std::fprintf(stderr, "no server: %s%s\n", qPrintable(server.skipReason()),
                     qPrintable(server.failure()));
        return 1;
    }
    if (parser.isSet(durableOption)) {
        for (const char* setting : {"fsync", "synchronous_commit", "full_page_writes"})
            server.exec(QStringLiteral("postgres"),
                        QStringLiteral("ALTER SYSTEM SET %1 = on").arg(QLatin1String(setting)));
        server.stop();
        if (!server.start())
            qFatal("the server did not come back: %s", qPrintable(server.failure()));
    }
    // As the server itself has them, so that a setting that did not take is seen.
    QStringList settings;
    for (const char* setting : {"fsync", "synchronous_commit", "full_page_writes", "shared_buffers"})
        settings << QStringLiteral("%1 %2").arg(
            QLatin1String(setting),
            server.rows(QStringLiteral("postgres"), QStringLiteral("SHOW %1").arg(QLatin1String(setting)))
                .front()
                .front()
                .toString());
    std::printf("private server up in %lld ms: %s\n", server.startMilliseconds(),
                qPrintable(settings.join(QStringLiteral(", "))));
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());

    if (computers > 0) {
        const QString labFile = dir.filePath(QStringLiteral("lab.mdb"));
        makeDatabase(labFile, 1000);
        std::printf("\n%d lab computers, a result each at the same moment, then %d more each the same way\n",
                    computers, results);
        stores(server, labFile, computers, results);
    }
    const int rows = parser.value(rowsOption).toInt();
    const int opens = parser.value(opensOption).toInt();
    if (rows > 0 && opens > 0) {
        const QString primer = dir.filePath(QStringLiteral("Primer.mdb"));
        makeDatabase(primer, rows);
        std::printf("\nThe teacher opens the results: %d rows\n", rows);
        openings(server, primer, rows, opens);
    }
    return 0;
}
