// A computer lab on the school's server: lab computers (child processes of this benchmark, each with the
// program's data module on its own connection of the lab login) sign a pupil in, begin a test and answer all
// but its last question; then all answer the last question at the same moment, which makes the server grade
// the test and store its row, round after round. Then every stored row is looked for on the server, and the
// time of each store is summed up. Last the teacher's opening of the results (`rez`, with its lookup tables
// open) from the server against the same rows in a database file.
// Usage: bench_lab [--computers N] [--results N] [--history N] [--rows N] [--opens N] [--durable]
//   --computers  lab computers (30); --results  results each stores after the first (100);
//   --history  results on the server before the lab starts (1000); --rows  results rows for the opening
//   (100000); --opens  openings of each kind (7); --durable  the server flushes every commit to the disk, as
//   an installed one does (the private server of the tests does not).
// The server is a private one of PostgreSQL 15 (tests/support/pgserver.h) on a socket in a temporary folder,
// set up as `muzyka_server setup` sets one up.

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

#include "bench/support/labdatabase.h"
#include "bench/support/printeddialogs.h"
#include "bench/support/schoolfile.h"

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

// Pupil N signs in as "ФамилияN" with the password "kN"; the last pupil is a teacher.
constexpr int pupils = 300;
constexpr int topics = 6;
constexpr int questionsPerTopic = 10;

// A database file of the program: the pupils in 3 classes, the topics with their questions of four answers
// each ("Ответ 1" is the correct one), and `results` earlier results, none of the lab's pupils (1 to 30).
void makeDatabase(const QString& path, int results) {
    makeSchoolFile(path, QStringLiteral(R"sql(
INSERT INTO "класс" VALUES (1, '5А'), (2, '5Б'), (3, '6А');
INSERT INTO "Ученики" ("id_ученика", "Имя", "Фамилия", "Отчество", "id_класса", "ключ", "права")
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %2)
SELECT i, 'Имя' || i, 'Фамилия' || i, 'Отчество', 1 + i % 3, 'k' || i, i = %2 FROM n;
INSERT INTO "Тема" VALUES (1, 'Нотная грамота'), (2, 'Ключи'), (3, 'Композиторы'), (4, 'Жанры'),
    (5, 'Инструменты'), (6, 'Ритм');
INSERT INTO "Вопрос" WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %3 * %4)
SELECT i, 'Вопрос ' || i, 1 + (i - 1) / %4 FROM n;
INSERT INTO "Ответы" ("ответ", "id_вопроса", "статус")
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 4)
SELECT 'Ответ ' || n.i, q."id_вопроса", n.i = 1 FROM "Вопрос" q, n;
BEGIN;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1)
INSERT INTO "результаты" ("Дата", "Баллы", "Оценка", "id_ученика", "id_темы", "id_класса")
SELECT date('2020-01-01', '+' || (i % 2000) || ' days'), CAST(i % 11 AS TEXT), 2 + i % 4, 31 + i % 269,
       1 + i % 6, 1 + i % 3 FROM n;
COMMIT;
)sql")
                             .arg(results)
                             .arg(pupils)
                             .arg(topics)
                             .arg(questionsPerTopic));
}

double milliseconds(qint64 nanoseconds) {
    return double(nanoseconds) / 1e6;
}

// ---- one lab computer ----

// Signs pupil `pupil` in as the sign-in window's table variant does: the surname filters the pupils' table,
// whose row is the pupil, and the password is checked (on the server, which records the sign-in).
void signIn(TDataModule11& module, int pupil) {
    const QString surname = QStringLiteral("Фамилия%1").arg(pupil);
    Table* ych = module.ych;
    ych->setFiltered(false);
    ych->setFilterText(QStringLiteral("Фамилия ='%1'").arg(surname));
    ych->setFiltered(true);
    if (ych->recordCount() != 1)
        throw Failure(
            QStringLiteral("the pupils' table shows %1 rows for %2").arg(ych->recordCount()).arg(surname));
    if (!module.passwordMatches(QStringLiteral("k%1").arg(pupil)))
        throw Failure(QStringLiteral("the password of %1 does not match").arg(surname));
}

// The test window's road up to the last question: the test begun on the topic, each question but the last
// answered (every other one rightly).
void answerAllButLast(TDataModule11& module, int topic) {
    if (!module.gradesOnServer())
        throw Failure(QStringLiteral("the server does not grade this login's tests"));
    module.beginTest(topic);
    Table* quest = module.quest;
    quest->first();
    for (int q = 0; q + 1 < quest->recordCount(); ++q, quest->next())
        module.recordAnswer(quest->value(schema::questionKey).toInt(),
                            QStringLiteral("Ответ %1").arg(q % 2 == 0 ? 1 : 2), programclock::today(), 900);
}

// The last answer: the server grades the test and stores its row, and the program reads the results again.
void answerLast(TDataModule11& module) {
    if (!module.recordAnswer(module.quest->value(schema::questionKey).toInt(), QStringLiteral("Ответ 1"),
                             programclock::today(), 900))
        throw Failure(QStringLiteral("the last answer stored no result"));
}

// Waits for the parent's byte on a shared pipe; false at its end (the parent is done).
bool waitForStart(int startFd) {
    char byte = 0;
    return ::read(startFd, &byte, 1) == 1;
}

// The child: MUZYKA_SERVER names the server with the lab login, as /etc/muzyka.conf does through the
// launcher. Each round it signs its pupil in and answers all but the last question, says "ready", waits at
// the common start (the first pipe), answers the last question (the store) and says how long that took, and
// waits until every computer has stored (the second pipe) before it signs the pupil out: a sign-in's
// password hash costs the server more than a store, and none may run during another computer's store.
int labComputer(int computer, const int startFds[2], int rounds) {
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
    const int topic = 1 + computer % topics;
    if (!module.tema->locate(schema::topicKey, topic)) {
        std::fprintf(stderr, "computer %d: no topic %d\n", computer, topic);
        return 1;
    }
    for (int round = 0; round < rounds; ++round) {
        double signInMs = 0;
        try {
            clock.restart();
            signIn(module, pupil);
            signInMs = milliseconds(clock.nsecsElapsed());
            answerAllButLast(module, topic);
        } catch (const Failure& f) {
            std::fprintf(stderr, "computer %d: %s\n", computer, qPrintable(f.text()));
            return 1;
        }
        std::printf("ready %.3f\n", signInMs);
        std::fflush(stdout);
        if (!waitForStart(startFds[0]))
            return 0;
        clock.restart();
        try {
            answerLast(module);
            std::printf("stored %.3f\n", milliseconds(clock.nsecsElapsed()));
        } catch (const Failure& f) {
            std::printf("failed %s\n", qPrintable(f.text()));
        }
        std::fflush(stdout);
        if (!waitForStart(startFds[1]))
            return 0;
        try {
            module.signOut();
        } catch (const Failure& f) {
            std::fprintf(stderr, "computer %d: %s\n", computer, qPrintable(f.text()));
            return 1;
        }
    }
    return 0;
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
    Lab(const QString& uri, int computers, int rounds) {
        QStringList arguments{QStringLiteral("--child"), QString(), QString::number(rounds)};
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
    // One byte for each child on the pipe they all wait on, in one write, so they go on at once: the
    // stores' start (pipe 0), then, once all stored, the rest of the round (pipe 1). A child reads one pipe
    // after the other, so none takes a byte that another of the same wait still needs.
    void release(int pipe) {
        const QByteArray bytes(qsizetype(m_children.size()), 'g');
        if (::write(m_startWrite[pipe], bytes.constData(), size_t(bytes.size())) != bytes.size())
            qFatal("the start pipe failed");
    }

private:
    std::vector<std::unique_ptr<QProcess>> m_children;
    std::vector<int> m_startRead;
    int m_startWrite[2] = {-1, -1};
};

void stores(PrivateServer& server, const QString& file, int computers, int results) {
    const LabDatabase database = labDatabase(server, file);
    std::vector<double> first, later, signIns;
    int failures = 0;
    QElapsedTimer clock;
    clock.start();
    {
        Lab lab(database.labUri, computers, results + 1);
        const std::vector<double> opened = lab.lines("opened");
        std::printf("  %d lab computers started the program in %.1f s (their data module opened in %.0f to "
                    "%.0f ms)\n",
                    computers, double(clock.elapsed()) / 1000.0,
                    *std::min_element(opened.begin(), opened.end()),
                    *std::max_element(opened.begin(), opened.end()));
        for (int round = 0; round <= results; ++round) {
            const std::vector<double> ready = lab.lines("ready");
            signIns.insert(signIns.end(), ready.begin(), ready.end());
            lab.release(0);
            const std::vector<double> stored = lab.lines("stored", &failures);
            (round == 0 ? first : later)
                .insert((round == 0 ? first : later).end(), stored.begin(), stored.end());
            lab.release(1);
        }
        lab.finish();
    }
    std::printf("  %d rounds in %.1f s\n\n", results + 1, double(clock.elapsed()) / 1000.0);

    // Every row once: the lab's pupils have no earlier results, and each test the server began keeps the key
    // of the row it stored.
    const auto number = [&](const QString& sql) {
        return server.rows(database.name, sql.arg(computers)).front().front().toLongLong();
    };
    const qint64 expected = qint64(computers) * (results + 1);
    const qint64 rows =
        number(QStringLiteral("SELECT count(*) FROM muzyka.\"результаты\" WHERE \"id_ученика\" <= %1"));
    const qint64 linked =
        number(QStringLiteral("SELECT count(DISTINCT r.\"id_результата\") FROM muzyka.\"попытки\" p JOIN "
                              "muzyka.\"результаты\" r ON "
                              "r.\"id_результата\" = p.\"id_результата\" AND r.\"id_ученика\" = "
                              "p.\"id_ученика\" WHERE p.\"id_ученика\" <= %1"));
    const qint64 tests =
        number(QStringLiteral("SELECT count(*) FROM muzyka.\"попытки\" WHERE \"id_ученика\" <= %1"));
    const qint64 wrongCounts =
        number(QStringLiteral("SELECT count(*) FROM (SELECT count(*) AS c FROM muzyka.\"результаты\" "
                              "WHERE \"id_ученика\" <= %1 GROUP BY \"id_ученика\") x WHERE c <> ") +
               QString::number(results + 1));
    std::printf(
        "Rows: %lld stored by %d computers in %d rounds (%lld expected, %lld tests begun); lost %lld, "
        "doubled %lld, pupils with another count %lld; failed stores %d.\n\n",
        rows, computers, results + 1, expected, tests, expected - linked, rows - linked, wrongCounts,
        failures);
    std::printf(
        "| stores (wall time of the last answer: graded, stored, results read again) | count | median | "
        "99th percentile | worst |\n|---|---|---|---|---|\n");
    printSummary("the first, all computers at once", first);
    printSummary("the later ones, all computers at once each round", later);
    std::vector<double> all = first;
    all.insert(all.end(), later.begin(), later.end());
    printSummary("all", all);
    printSummary("sign-in before each (filter, password on the server)", signIns);
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
                     "\"id_темы\", \"id_класса\" FROM muzyka.\"результаты\" ORDER BY 1");
    qint64 sum = 0;
    for (int r = 0; r < PQntuples(result); ++r)
        for (int c = 0; c < 7; ++c)
            sum += PQgetlength(result, r, c);
    PQclear(result);
    if (sum == 0)
        qFatal("the server has no results");
}

// The teacher signs in on the lab login: the server records a teacher's sign-in, which shows him every
// result.
void signInTeacher(TDataModule11& module) {
    if (!module.ych->locate(schema::pupilKey, pupils) ||
        !module.passwordMatches(QStringLiteral("k%1").arg(pupils)))
        qFatal("the teacher cannot sign in");
}

// Where `rez` is read from: the file in the working folder, the server on the lab login with the teacher
// signed in (through the lab's view of the results), or the server on the administrator's login (the table).
enum class Source { File, LabTeacher, Administrator };

// A data module on `uri` (empty: the file) with the lookup tables of rez open, as the teacher's window has
// them, and the teacher signed in on the lab login.
void prepare(TDataModule11& module, const QString& uri, Source source) {
    module.ADOConnection1->setServer(uri);
    for (Table* lookup : {module.ych, module.klass, module.tema})
        lookup->open();
    if (source == Source::LabTeacher)
        signInTeacher(module);
}

// The child of a first opening: the program's start on `uri`, then `rez` timed. Prints the wall and CPU
// milliseconds and the rows.
int firstOpening(const QString& uri, Source source) {
    PrintedDialogs dialogs;
    setDialogs(&dialogs);
    TDataModule11 module(nullptr, TDataModule11::Open::Later);
    prepare(module, uri, source);
    const Timing t = timed([&] { module.rez->open(); });
    std::printf("%.3f %.3f %d\n", t.wall, t.cpu, module.rez->recordCount());
    return dialogs.shown == 0 ? 0 : 1;
}

// The first opening in a fresh process, as at the program's start: a child of this benchmark.
Timing firstOpeningApart(const QString& uri, Source source, int rows) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--opener"), uri, QString::number(int(source))});
    if (!child.waitForFinished(120000) || child.exitCode() != 0)
        qFatal("the opening child failed");
    const QList<QByteArray> figures = child.readAll().trimmed().split(' ');
    if (figures.size() != 3 || figures[2].toInt() != rows)
        qFatal("the opening child read %s rows", figures.value(2).constData());
    return {figures[0].toDouble(), figures[1].toDouble()};
}

void openings(PrivateServer& server, const QString& file, int rows, int rounds) {
    const LabDatabase database = labDatabase(server, file);
    const QString adminUri = server.adminUri(database.name);
    PrintedDialogs dialogs;
    setDialogs(&dialogs);
    struct Kind {
        Source source;
        QString uri;
        const char* name;
    };
    const Kind kinds[] = {{Source::File, QString(), "file"},
                          {Source::LabTeacher, database.labUri, "server, lab login, teacher signed in"},
                          {Source::Administrator, adminUri, "server, administrator's login"}};
    // A data module of each kind in this process, for the openings after closing.
    std::vector<std::unique_ptr<TDataModule11>> modules;
    for (const Kind& kind : kinds) {
        modules.push_back(std::make_unique<TDataModule11>(nullptr, TDataModule11::Open::Later));
        prepare(*modules.back(), kind.uri, kind.source);
        modules.back()->rez->open();
        if (modules.back()->rez->recordCount() != rows)
            qFatal("%s shows %d rows", kind.name, modules.back()->rez->recordCount());
    }
    const std::shared_ptr<PGconn> raw = rawConnection(server, database.name);
    struct Series {
        std::vector<double> wall, cpu;
        void add(const Timing& t) {
            wall.push_back(t.wall);
            cpu.push_back(t.cpu);
        }
    };
    std::vector<Series> first(std::size(kinds)), again(std::size(kinds));
    Series rawFileScan, rawServerQuery;
    // Alternating, so that whatever else the machine does falls on all alike.
    for (int round = 0; round < rounds; ++round) {
        for (size_t k = 0; k < std::size(kinds); ++k) {
            first[k].add(firstOpeningApart(kinds[k].uri, kinds[k].source, rows));
            Table* rez = modules[k]->rez;
            rez->close();
            again[k].add(timed([&] { rez->open(); }));
        }
        rawFileScan.add(timed([&] { rawFile(file); }));
        rawServerQuery.add(timed([&] { rawServer(raw.get()); }));
    }
    const auto median = [](const std::vector<double>& v) { return summary(v).median; };
    const auto line = [&](const QString& what, const Series& s) {
        std::vector<double> wall = s.wall;
        std::sort(wall.begin(), wall.end());
        std::printf("| %s | %.1f ms | %.1f to %.1f ms | %.1f ms |\n", qPrintable(what), median(s.wall),
                    wall.front(), wall.back(), median(s.cpu));
    };
    std::printf("\nOpening `rez` with %d rows, its lookups open (%d rounds, alternating; the CPU time is the "
                "opening thread's)\n\n| | median wall | range | median CPU |\n|---|---|---|---|\n",
                rows, rounds);
    for (size_t k = 0; k < std::size(kinds); ++k)
        line(QStringLiteral("%1: first opening in a fresh process").arg(QLatin1String(kinds[k].name)),
             first[k]);
    for (size_t k = 0; k < std::size(kinds); ++k)
        line(QStringLiteral("%1: opened again after closing").arg(QLatin1String(kinds[k].name)), again[k]);
    line(QStringLiteral("raw sqlite3 scan of the file"), rawFileScan);
    line(QStringLiteral("raw libpq query of the table in key order, all rows in one result"), rawServerQuery);
    std::printf("\nServer / file (medians of the wall time; target 2):\n");
    for (size_t k = 1; k < std::size(kinds); ++k)
        std::printf("  %s: first opening %.2f, opened again %.2f\n", kinds[k].name,
                    median(first[k].wall) / median(first[0].wall),
                    median(again[k].wall) / median(again[0].wall));
    setDialogs(nullptr);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    allocator::keepFreedMemory(); // as the program's application object does
    if (argc == 6 && QByteArray(argv[1]) == "--child") {
        const int startFds[2] = {QByteArray(argv[4]).toInt(), QByteArray(argv[5]).toInt()};
        return labComputer(QByteArray(argv[2]).toInt(), startFds, QByteArray(argv[3]).toInt());
    }
    if (argc == 4 && QByteArray(argv[1]) == "--opener")
        return firstOpening(QString::fromLocal8Bit(argv[2]), Source(QByteArray(argv[3]).toInt()));

    std::setvbuf(stdout, nullptr, _IOLBF, 0); // the figures as they come, also into a pipe
    QCommandLineParser parser;
    const QCommandLineOption computersOption(QStringLiteral("computers"), QStringLiteral("lab computers"),
                                             QStringLiteral("N"), QStringLiteral("30"));
    const QCommandLineOption resultsOption(QStringLiteral("results"),
                                           QStringLiteral("results after the first"), QStringLiteral("N"),
                                           QStringLiteral("100"));
    const QCommandLineOption historyOption(QStringLiteral("history"),
                                           QStringLiteral("results on the server before the lab starts"),
                                           QStringLiteral("N"), QStringLiteral("1000"));
    const QCommandLineOption rowsOption(QStringLiteral("rows"),
                                        QStringLiteral("results rows for the opening"), QStringLiteral("N"),
                                        QStringLiteral("100000"));
    const QCommandLineOption opensOption(QStringLiteral("opens"), QStringLiteral("openings of each kind"),
                                         QStringLiteral("N"), QStringLiteral("7"));
    const QCommandLineOption durableOption(QStringLiteral("durable"),
                                           QStringLiteral("flush every commit to the disk"));
    parser.addOptions(
        {computersOption, resultsOption, historyOption, rowsOption, opensOption, durableOption});
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
    if (parser.isSet(durableOption))
        makeDurable(server);
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
        const int history = parser.value(historyOption).toInt();
        makeDatabase(labFile, history);
        std::printf(
            "\n%d lab computers, a result each at the same moment, then %d more each the same way; %d "
            "earlier results on the server\n",
            computers, results, history);
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
