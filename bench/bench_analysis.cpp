// The teacher's item analysis of a topic with a large answer log: a topic of 20 questions of 4 answers each,
// 5,000 stored tests of it with 20 logged answers each (100,000 answers), and a result row per test, in a
// temporary file. Measures opening the analysis window on it (reading the log, the figures, the grid, the
// results and the chart) the first time and again, and the figures alone. Run on demand, headless:
// QT_QPA_PLATFORM=offscreen bench_analysis [tests]
#include "admin/itemanalysiswindow.h"
#include "base/allocator.h"
#include "base/programmodule.h"
#include "bench/support/schoolfile.h"
#include "data/datamodule.h"
#include "data/itemanalysis.h"
#include "tests/support/logtables.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstdio>
#include <random>

namespace {

constexpr int questions = 20;
constexpr int answers = 4;
constexpr int pupils = 600;

void exec(sqlite3* db, const QString& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "SQL failed: %s\n", error);
        std::exit(1);
    }
}

// Pupils answer right with a chance that grows with their strength, so the questions discriminate.
void makeDatabase(const QString& path, int tests) {
    makeSchoolFile(path,
                   logTablesSql() +
                       QStringLiteral("INSERT INTO \"класс\" VALUES (1, '5А'), (2, '5Б'), (3, '6А');"
                                      "INSERT INTO \"Тема\" VALUES (1, 'Нотная грамота'), (2, 'Ключи');"));
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    exec(db, QStringLiteral("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN;"));
    for (int p = 1; p <= pupils; ++p)
        exec(db, QStringLiteral("INSERT INTO \"Ученики\" VALUES (%1, 'Имя', 'Фамилия%1', '', %2, 'x', 0)")
                     .arg(p)
                     .arg(1 + p % 3));
    for (int q = 1; q <= questions; ++q) {
        exec(db, QStringLiteral("INSERT INTO \"Вопрос\" VALUES (%1, 'Вопрос %1', 1)").arg(q));
        for (int a = 0; a < answers; ++a)
            exec(db, QStringLiteral("INSERT INTO \"Ответы\" VALUES (%1, 'Ответ %2', %3, %4)")
                         .arg((q - 1) * answers + a + 1)
                         .arg(a + 1)
                         .arg(q)
                         .arg(a == 0 ? 1 : 0));
    }
    std::mt19937 random(7);
    std::uniform_real_distribution<double> unit(0, 1);
    sqlite3_stmt* attempt = nullptr;
    sqlite3_stmt* answer = nullptr;
    sqlite3_stmt* result = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO \"попытки\" VALUES (?, ?, 1, ?, '2026-11-10T10:00:00', 0, 1, ?)", -1,
                       &attempt, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO \"ответы_попытки\" VALUES (?, ?, ?, ?, ?, '2026-11-10T10:01:00')", -1,
                       &answer, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO \"результаты\" VALUES (?, ?, ?, ?, ?, 1, ?)", -1, &result, nullptr);
    for (int t = 1; t <= tests; ++t) {
        const int pupil = 1 + t % pupils;
        const double strength = unit(random);
        int correct = 0;
        for (int q = 1; q <= questions; ++q) {
            const bool right = unit(random) < 0.3 + 0.6 * strength - 0.01 * q;
            const int chosen = right ? 0 : 1 + int(unit(random) * (answers - 1));
            const QByteArray text = QStringLiteral("Ответ %1").arg(chosen + 1).toUtf8();
            sqlite3_bind_int(answer, 1, t);
            sqlite3_bind_int(answer, 2, q);
            sqlite3_bind_int(answer, 3, (q - 1) * answers + chosen + 1);
            sqlite3_bind_text(answer, 4, text.constData(), int(text.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int(answer, 5, right ? 1 : 0);
            sqlite3_step(answer);
            sqlite3_reset(answer);
            correct += right ? 1 : 0;
        }
        const int percent = correct * 100 / questions;
        const int grade = percent <= 65 ? 2 : percent <= 75 ? 3 : percent <= 85 ? 4 : 5;
        const QByteArray day = QStringLiteral("2026-%1-%2")
                                   .arg(9 + t % 4, 2, 10, QChar(u'0'))
                                   .arg(1 + t % 28, 2, 10, QChar(u'0'))
                                   .toUtf8();
        const QByteArray points = QByteArray::number(correct);
        sqlite3_bind_int(result, 1, t);
        sqlite3_bind_text(result, 2, day.constData(), int(day.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(result, 3, points.constData(), int(points.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(result, 4, grade);
        sqlite3_bind_int(result, 5, pupil);
        sqlite3_bind_int(result, 6, 1 + pupil % 3);
        sqlite3_step(result);
        sqlite3_reset(result);
        sqlite3_bind_int(attempt, 1, t);
        sqlite3_bind_int(attempt, 2, pupil);
        sqlite3_bind_int(attempt, 3, 1 + pupil % 3);
        sqlite3_bind_int(attempt, 4, t);
        sqlite3_step(attempt);
        sqlite3_reset(attempt);
    }
    sqlite3_finalize(attempt);
    sqlite3_finalize(answer);
    sqlite3_finalize(result);
    exec(db, QStringLiteral("COMMIT"));
    sqlite3_close(db);
}

double milliseconds(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    allocator::keepFreedMemory(); // as the program's application object does
    QApplication app(argc, argv);
    const int tests = argc > 1 ? std::atoi(argv[1]) : 5000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Primer.mdb"));
    makeDatabase(path, tests);
    QDir::setCurrent(dir.path());
    setProgramModuleFolderForTesting(QStringLiteral(ESUN_PROGRAM_DIR));
    std::printf("%d stored tests, %d logged answers\n", tests, tests * questions);

    TDataModule11 module;
    DataModule11 = &module;
    ItemAnalysisWindow window;
    for (int round = 1; round <= 3; ++round) {
        QElapsedTimer timer;
        timer.start();
        window.open(1, QStringLiteral("Нотная грамота"));
        std::printf("opening the analysis window, round %d: %.1f ms\n", round, milliseconds(timer));
    }
    QElapsedTimer timer;
    timer.start();
    const itemanalysis::Figures figures = itemanalysis::analyseTopic(*module.ADOConnection1, 1);
    std::printf("the figures alone (read and computed): %.1f ms, %d answers\n", milliseconds(timer),
                figures.answers);
    timer.restart();
    const auto results = itemanalysis::readResults(*module.ADOConnection1);
    std::printf("the results for the chart: %.1f ms, %d rows\n", milliseconds(timer), int(results.size()));
    // The same rows through the sqlite3 C API, for comparison: what reading them costs at the least.
    timer.restart();
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_stmt* scan = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT o.\"id_попытки\", o.\"id_вопроса\", o.\"id_ответа\", o.\"ответ\", o.\"верно\" "
                       "FROM \"ответы_попытки\" o JOIN \"попытки\" p ON p.\"id_попытки\" = o.\"id_попытки\" "
                       "WHERE p.\"id_темы\" = 1 AND p.\"id_результата\" IS NOT NULL",
                       -1, &scan, nullptr);
    int rows = 0;
    while (sqlite3_step(scan) == SQLITE_ROW)
        ++rows;
    sqlite3_finalize(scan);
    sqlite3_close(db);
    std::printf("the log's rows through the sqlite3 C API: %.1f ms, %d rows\n", milliseconds(timer), rows);
    DataModule11 = nullptr;
    return 0;
}
