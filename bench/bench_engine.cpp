// The data engine on a large results table: a million generated result rows (plus pupils, classes and
// topics) in a temporary SQLite file, read through `rez` of the program's data module with its four lookup
// fields. Measures opening, the results filter for one pupil, the sort by topic, the display
// text of the four lookup columns for every row, and the raw sqlite3 C API scanning the same table, then
// the peak resident memory. Run on demand: bench_engine [rows]
#include "base/allocator.h"
#include "base/schema.h"
#include "data/datamodule.h"
#include "data/engine/table.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstdio>
#include <ctime>
#include <functional>
#include <sys/resource.h>

namespace {

constexpr int pupils = 1000;
constexpr int classes = 30;
constexpr int topics = 50;

void exec(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "SQL failed: %s\n", error);
        std::exit(1);
    }
}

void makeDatabase(const QString& path, int rows) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    exec(db,
         "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN;"
         "CREATE TABLE \"класс\" (\"id_класса\" INTEGER PRIMARY KEY AUTOINCREMENT, \"класс\" VARCHAR(255));"
         "CREATE TABLE \"Ученики\" (\"id_ученика\" INTEGER PRIMARY KEY AUTOINCREMENT, \"Имя\" VARCHAR(255), "
         "\"Фамилия\" VARCHAR(255), \"Отчество\" VARCHAR(255), \"id_класса\" INTEGER, \"ключ\" VARCHAR(255), "
         "\"права\" BOOLEAN DEFAULT 0);"
         "CREATE TABLE \"Тема\" (\"id_темы\" INTEGER PRIMARY KEY AUTOINCREMENT, \"тема\" VARCHAR(255));"
         "CREATE TABLE \"результаты\" (\"id_результата\" INTEGER PRIMARY KEY AUTOINCREMENT, \"Дата\" "
         "DATETIME, "
         "\"Баллы\" VARCHAR(255), \"Оценка\" INTEGER, \"id_ученика\" INTEGER, \"id_темы\" INTEGER, "
         "\"id_класса\" INTEGER);");
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO \"класс\" VALUES (?, ?)", -1, &stmt, nullptr);
    for (int i = 1; i <= classes; ++i) {
        const QByteArray name = QStringLiteral("%1%2").arg(5 + i % 7).arg(QChar(u'А' + i % 4)).toUtf8();
        sqlite3_bind_int(stmt, 1, i);
        sqlite3_bind_text(stmt, 2, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        sqlite3_step(stmt);
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    sqlite3_prepare_v2(db, "INSERT INTO \"Ученики\" VALUES (?, ?, ?, 'Иванович', ?, 'ключ', 0)", -1, &stmt,
                       nullptr);
    for (int i = 1; i <= pupils; ++i) {
        const QByteArray first = QStringLiteral("Имя%1").arg(i).toUtf8();
        const QByteArray last = QStringLiteral("Константинопольский-%1").arg(i).toUtf8();
        sqlite3_bind_int(stmt, 1, i);
        sqlite3_bind_text(stmt, 2, first.constData(), int(first.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt, 3, last.constData(), int(last.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(stmt, 4, 1 + i % classes);
        sqlite3_step(stmt);
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    sqlite3_prepare_v2(db, "INSERT INTO \"Тема\" VALUES (?, ?)", -1, &stmt, nullptr);
    for (int i = 1; i <= topics; ++i) {
        const QByteArray name = QStringLiteral("Тема номер %1").arg(i).toUtf8();
        sqlite3_bind_int(stmt, 1, i);
        sqlite3_bind_text(stmt, 2, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        sqlite3_step(stmt);
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    sqlite3_prepare_v2(db, "INSERT INTO \"результаты\" VALUES (NULL, ?, ?, ?, ?, ?, ?)", -1, &stmt, nullptr);
    quint32 seed = 12345;
    auto random = [&seed](int n) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 8) % quint32(n));
    };
    for (int i = 0; i < rows; ++i) {
        const QByteArray date = QDate(2020, 1, 1).addDays(random(2000)).toString(Qt::ISODate).toUtf8();
        const QByteArray score = QByteArray::number(random(13));
        sqlite3_bind_text(stmt, 1, date.constData(), int(date.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(stmt, 2, score.constData(), int(score.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(stmt, 3, 2 + random(4));
        sqlite3_bind_int(stmt, 4, 1 + random(pupils));
        sqlite3_bind_int(stmt, 5, 1 + random(topics));
        sqlite3_bind_int(stmt, 6, 1 + random(classes));
        sqlite3_step(stmt);
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    exec(db, "COMMIT;");
    sqlite3_close(db);
}

// Every column of every row through the C API, the floor the engine's opening is held against.
int rawScan(const QString& path) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(
        db,
        "SELECT rowid, \"Дата\", \"Баллы\", \"Оценка\", \"id_ученика\", \"id_темы\", \"id_класса\" "
        "FROM \"результаты\"",
        -1, &stmt, nullptr);
    int rows = 0;
    qint64 sum = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        sum += sqlite3_column_int64(stmt, 0);
        sum += sqlite3_column_bytes(stmt, 1) + sqlite3_column_bytes(stmt, 2);
        for (int c = 3; c < 7; ++c)
            sum += sqlite3_column_int64(stmt, c);
        ++rows;
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return sum == 0 ? 0 : rows;
}

// A measurement in milliseconds: this thread's processor time, which the targets are held against since
// the machine may be shared and waiting for a processor is no cost of the engine's, and wall-clock time.
// Also the minor page faults of this thread: memory mapped afresh and touched, which costs the kernel's time.
struct Timing {
    double cpu = 1e9;
    double wall = 1e9;
    long faults = 0;
};

long threadFaults() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt;
}

Timing timed(const std::function<void()>& work) {
    QElapsedTimer timer;
    timespec start{};
    timespec end{};
    const long faults = threadFaults();
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    timer.start();
    work();
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    return {double(end.tv_sec - start.tv_sec) * 1e3 + double(end.tv_nsec - start.tv_nsec) / 1e6,
            double(timer.nsecsElapsed()) / 1e6, threadFaults() - faults};
}

// The faults are those of the run with the least processor time.
Timing bestOf3(const std::function<void()>& prepare, const std::function<void()>& work) {
    Timing best;
    for (int i = 0; i < 3; ++i) {
        prepare();
        const Timing t = timed(work);
        best = {std::min(best.cpu, t.cpu), std::min(best.wall, t.wall),
                t.cpu < best.cpu ? t.faults : best.faults};
    }
    return best;
}

void row(const char* what, const Timing& t, const QString& note = {}) {
    std::printf("| %s | %.1f ms | %.1f ms | %ld | %s |\n", what, t.cpu, t.wall, t.faults, qPrintable(note));
}

QString peakResidentMemory() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return QString::fromLatin1(line.mid(6).trimmed());
    return QStringLiteral("unknown");
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    allocator::keepFreedMemory(); // as the program's application object does
    const int rows = argc > 1 ? QByteArray(argv[1]).toInt() : 1000000;
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    const QString path = dir.filePath(QStringLiteral("Primer.mdb"));
    std::printf("generating %d result rows...\n", rows);
    makeDatabase(path, rows);

    const Timing raw = bestOf3([] {}, [&] { rawScan(path); });

    // The program's own data module, its tables opened one by one here to time them apart.
    TDataModule11 module(nullptr, TDataModule11::Open::Later);
    Table& ych = *module.ych;
    Table& klass = *module.klass;
    Table& tema = *module.tema;
    Table& rez = *module.rez;

    const Timing lookupsOpen = timed([&] {
        ych.open();
        klass.open();
        tema.open();
    });
    const Timing firstOpen = timed([&] { rez.open(); });
    const Timing open = bestOf3([&] { rez.close(); }, [&] { rez.open(); });
    const QString filterText = QStringLiteral("id_ученика ='7'");
    const Timing filter = bestOf3([&] { rez.setFiltered(false); },
                                  [&] {
                                      rez.setFilterText(filterText);
                                      rez.setFiltered(true);
                                  });
    const int filteredRows = rez.recordCount();
    rez.setFiltered(false);
    const Timing sort = bestOf3([&] { rez.setSort(QString()); }, [&] { rez.setSort(schema::topicKey); });
    rez.setFiltered(true);
    const Timing sortFiltered =
        bestOf3([&] { rez.setSort(QString()); }, [&] { rez.setSort(schema::topicKey); });
    rez.setFiltered(false);

    qint64 characters = 0;
    auto lookups = [&](int count) {
        return timed([&] {
            for (int r = 0; r < count; ++r)
                for (int pos = 1; pos <= 4; ++pos)
                    characters += rez.displayTextAt(r, pos).size();
        });
    };
    const int tenth = std::max(1, rows / 10);
    const Timing lookupsTenth = lookups(tenth);
    const Timing lookupsAll = lookups(rows);

    std::printf("\n%d result rows; best of 3 where it says so.\n\n", rows);
    std::printf(
        "| Measurement | Processor time | Wall-clock time | Minor faults | |\n|---|---|---|---|---|\n");
    row("raw sqlite3 scan of the results table (best of 3)", raw);
    row("open `rez` the first time in the process", firstOpen,
        QStringLiteral("%1x the raw scan").arg(firstOpen.cpu / raw.cpu, 0, 'f', 2));
    row("open `rez` again after closing it (best of 3)", open,
        QStringLiteral("%1x the raw scan").arg(open.cpu / raw.cpu, 0, 'f', 2));
    row("open the lookup tables `ych`, `klass`, `tema`", lookupsOpen);
    row("results filter `id_ученика ='7'` switched on (best of 3)", filter,
        QStringLiteral("%1 rows").arg(filteredRows));
    row("sort by `id_темы`, the whole table (best of 3)", sort);
    row("sort by `id_темы` with the results filter on (best of 3)", sortFiltered);
    row("display text of the 4 lookup columns, first tenth of the rows", lookupsTenth,
        QStringLiteral("%1 ns per row").arg(lookupsTenth.cpu * 1e6 / tenth, 0, 'f', 0));
    row("display text of the 4 lookup columns, all rows", lookupsAll,
        QStringLiteral("%1 ns per row").arg(lookupsAll.cpu * 1e6 / rows, 0, 'f', 0));
    std::printf("\nPeak resident memory (VmHWM) with the table open: %s\n", qPrintable(peakResidentMemory()));
    return characters > 0 ? 0 : 1;
}
