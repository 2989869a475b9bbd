// Converting Access files into the program's format: each file given (by default the two Access files of
// ../shared/fixtures/access) is converted `runs` times into a new file of a temporary folder, the way
// mdb_import and the program's first opening do, and read alone through libmdb as many times. Prints the
// median and the fastest wall time of each, the CPU time per conversion and the rows per second.
// Run on demand: bench_access [runs] [ACCESS_FILE...]
#include "base/failure.h"
#include "data/access/conversion.h"
#include "data/access/mdbreader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {

struct Timing {
    double medianMs = 0;
    double fastestMs = 0;
    double cpuMs = 0; // per run
};

Timing timeRuns(int runs, const std::function<void(int)>& step) {
    std::vector<double> wall;
    const std::clock_t cpuStart = std::clock();
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        step(run);
        wall.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    const double cpu = double(std::clock() - cpuStart) * 1000.0 / CLOCKS_PER_SEC / runs;
    std::sort(wall.begin(), wall.end());
    return {wall[wall.size() / 2], wall.front(), cpu};
}

} // namespace

int main(int argc, char** argv) {
    const QCoreApplication application(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    const int runs = arguments.isEmpty() ? 50 : std::max(1, arguments.takeFirst().toInt());
    if (arguments.isEmpty())
        for (const char* name : {"school.mdb", "other-schema.mdb"})
            arguments.append(QStringLiteral(ESUN_SOURCE_DIR "/../shared/fixtures/access/") +
                             QLatin1String(name));
    const QTemporaryDir folder;
    try {
        for (const QString& file : std::as_const(arguments)) {
            qint64 rows = 0;
            const Timing reading = timeRuns(runs, [&](int) {
                const accessdb::Reader reader(file);
                rows = 0;
                for (const accessdb::TableSchema& table : reader.tables())
                    rows += reader.readRows(table, [](const QVector<accessdb::Value>&) {});
                reader.relations();
            });
            const Timing converting = timeRuns(runs, [&](int run) {
                accessdb::convertFile(file, folder.filePath(QStringLiteral("%1-%2.db").arg(run).arg(rows)));
            });
            std::printf("%s (%lld bytes, %lld rows), %d runs:\n", qPrintable(QFileInfo(file).fileName()),
                        QFileInfo(file).size(), rows, runs);
            std::printf("  reading through libmdb: median %.2f ms, fastest %.2f ms, CPU %.2f ms\n",
                        reading.medianMs, reading.fastestMs, reading.cpuMs);
            std::printf(
                "  whole conversion:       median %.2f ms, fastest %.2f ms, CPU %.2f ms, %.0f rows/s\n",
                converting.medianMs, converting.fastestMs, converting.cpuMs,
                double(rows) / (converting.medianMs / 1000.0));
        }
    } catch (const Failure& failure) {
        std::fprintf(stderr, "bench_access: %s\n", failure.what());
        return 1;
    }
    return 0;
}
