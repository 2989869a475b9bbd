// Converting Access files into the program's format: each file given (by default the two Access files of
// ../shared/fixtures/access) is read through libmdb alone, converted in this process, and converted through
// the bounded converter child as mdb_import and the program's first opening do, `runs` times each. Prints
// the median and the fastest wall time of each, the CPU time (of this process, and of the children for the
// child's conversion), the rows per second and the largest child's peak memory.
// `--jet3 ROWS` adds an Access 97 file of one table with ROWS rows (a key and a Russian text of 20 to 30
// letters), made as the Access test makes its Jet 3 files, since no large Access file can be written here
// otherwise.
// Run on demand: bench_access [runs] [--jet3 ROWS] [ACCESS_FILE...]
#include "base/failure.h"
#include "base/programmodule.h"
#include "data/access/converter.h"
#include "data/access/mdbreader.h"
#include "tests/support/jet3file.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/resource.h>

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

// CPU milliseconds used so far by this process and by its children that ended.
double cpuMs() {
    double ms = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        for (const timeval& t : {usage.ru_utime, usage.ru_stime})
            ms += double(t.tv_sec) * 1000.0 + double(t.tv_usec) / 1000.0;
    }
    return ms;
}

Timing timeRuns(int runs, const std::function<void(int)>& step) {
    std::vector<double> wall;
    const double cpuStart = cpuMs();
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        step(run);
        wall.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    const double cpu = (cpuMs() - cpuStart) / runs;
    std::sort(wall.begin(), wall.end());
    return {wall[wall.size() / 2], wall.front(), cpu};
}

} // namespace

int main(int argc, char** argv) {
    const QCoreApplication application(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    const int runs = arguments.isEmpty() ? 50 : std::max(1, arguments.takeFirst().toInt());
    const QTemporaryDir folder;
    if (arguments.size() >= 2 && arguments.first() == QLatin1String("--jet3")) {
        arguments.removeFirst();
        Jet3File jet3;
        jet3.table = "\xd3\xf7\xe5\xed\xe8\xea\xe8"; // Ученики in Windows-1251
        jet3.keyColumn = "id";
        jet3.textColumn = "\xd4\xc8\xCE"; // ФИО
        const int rows = arguments.takeFirst().toInt();
        for (int i = 0; i < rows; ++i)
            jet3.texts.append("\xd3\xf7\xe5\xed\xe8\xea \xed\xee\xec\xe5\xf0 " + QByteArray::number(i) +
                              QByteArray(i % 10, 'a'));
        const QString file = folder.filePath(QStringLiteral("jet3-%1.mdb").arg(rows));
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(jet3.bytes()) < 0)
            return 1;
        arguments.prepend(file);
    }
    if (arguments.isEmpty())
        for (const char* name : {"school.mdb", "other-schema.mdb"})
            arguments.append(QStringLiteral(ESUN_SOURCE_DIR "/../shared/fixtures/access/") +
                             QLatin1String(name));
    setProgramModuleFolderForTesting(QStringLiteral(ESUN_PROGRAM_DIR)); // where the converter is
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
            qsizetype converted = 0;
            const Timing here =
                timeRuns(runs, [&](int) { converted = accessdb::convertHere(file).database.size(); });
            const Timing child = timeRuns(runs, [&](int) { accessdb::convertBounded(file); });
            rusage children{};
            getrusage(RUSAGE_CHILDREN, &children);
            std::printf("%s (%lld bytes, %lld rows), %d runs:\n", qPrintable(QFileInfo(file).fileName()),
                        QFileInfo(file).size(), rows, runs);
            std::printf("  reading through libmdb: median %.2f ms, fastest %.2f ms, CPU %.2f ms\n",
                        reading.medianMs, reading.fastestMs, reading.cpuMs);
            for (const auto& [name, timing] :
                 {std::pair{"converting here:       ", here}, std::pair{"converting in a child: ", child}})
                std::printf("  %s median %.2f ms, fastest %.2f ms, CPU %.2f ms, %.0f rows/s\n", name,
                            timing.medianMs, timing.fastestMs, timing.cpuMs,
                            double(rows) / (timing.medianMs / 1000.0));
            std::printf("  converted database %lld bytes; largest child so far: %ld MB resident\n",
                        qint64(converted), children.ru_maxrss / 1024);
        }
    } catch (const Failure& failure) {
        std::fprintf(stderr, "bench_access: %s\n", failure.what());
        return 1;
    }
    return 0;
}
