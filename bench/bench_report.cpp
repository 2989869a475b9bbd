// The results report over a large results table: the rows saved as a workbook and as CSV, time to the first
// page on screen, to the last page, PDF export, report file save and load, printing to a PDF file, and the
// peak memory of the process.
// Usage: bench_report [rows] [path]   (default 100000 rows, every path); run with QT_QPA_PLATFORM=offscreen.
// A path measures one road alone in this process, so that its peak memory is its own: "preview" (production
// in the preview), "pdf" (the preview produced, then saved as PDF), "xlsx" (the rows saved as a workbook),
// "print" (Print to a PDF file, produced afresh); "session" takes the steps one after another in one process,
// as a teacher does: the preview produced, saved as PDF, saved as a workbook, then printed. "csv" writes the
// report's columns of the same rows, for an office suite to convert. The PDF or CSV goes to the file that
// BENCH_REPORT_OUT names (a temporary one otherwise).
// Every figure gives the step's wall time, the CPU time of the whole process (all threads), the peak memory
// (VmHWM) and the minor page faults (getrusage) since the previous figure.

#include "admin/form10.h"
#include "admin/report/export.h"
#include "admin/report/preview.h"
#include "admin/report/printing.h"
#include "admin/report/reportfile.h"
#include "base/allocator.h"
#include "base/programmodule.h"
#include "data/datamodule.h"
#include "data/engine/table.h"

#include "bench/support/schoolfile.h"
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <sys/resource.h>

namespace {

void makeDatabase(const QString& path, int rows) {
    makeSchoolFile(path, QStringLiteral(R"sql(
INSERT INTO "класс" VALUES (1, '5А'), (2, '5Б'), (3, '6А');
INSERT INTO "Ученики" ("id_ученика", "Имя", "Фамилия", "Отчество", "id_класса", "ключ", "права")
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300)
SELECT i, 'Имя' || i, 'Фамилия' || i, 'Отчество', 1 + i % 3, 'k' || i, 0 FROM n;
INSERT INTO "Тема" VALUES (1, 'Нотная грамота'), (2, 'Ключи'), (3, 'Композиторы'), (4, 'Жанры'),
    (5, 'Инструменты'), (6, 'Ритм');
BEGIN;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1)
INSERT INTO "результаты" ("Дата", "Баллы", "Оценка", "id_ученика", "id_темы", "id_класса")
SELECT date('2020-01-01', '+' || (i % 2000) || ' days'), CAST(i % 11 AS TEXT), 2 + i % 4, 1 + i % 310,
       1 + i % 6, 1 + i % 3 FROM n;
COMMIT;
)sql")
                             .arg(rows));
}

// A figure of /proc/self/status in kilobytes: "VmHWM" (the peak resident memory), "VmRSS" (the present).
long statusKilobytes(const QByteArray& key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key + ':'))
            return line.mid(key.size() + 1).trimmed().split(' ').value(0).toLong();
    return -1;
}

long peakKilobytes() {
    return statusKilobytes("VmHWM");
}

// Notes the first paint of the page view that shows a page.
class FirstPaint : public QObject {
public:
    FirstPaint(report::ReportPreview* preview, QElapsedTimer* clock) : m_preview(preview), m_clock(clock) {}
    qint64 elapsed = -1;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint && elapsed < 0 && m_preview->pageCount() > 0)
            elapsed = m_clock->elapsed();
        return false;
    }

private:
    report::ReportPreview* m_preview;
    QElapsedTimer* m_clock;
};

// Resets the peak memory (VmHWM) to the present size, so that the next figure's peak is its step's own.
void resetPeak() {
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (!clearRefs.open(QIODevice::WriteOnly) || clearRefs.write("5") != 1)
        std::printf("(the peak memory cannot be reset: the next peak is the process's so far)\n");
}

// CPU time of the whole process (all threads) in milliseconds, steadier than wall time on a busy machine,
// and its minor page faults: memory mapped afresh and touched, which costs the kernel's time.
struct Usage {
    double cpu = 0;
    long faults = 0;
};

Usage usageNow() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return double(t.tv_sec) * 1000.0 + double(t.tv_usec) / 1000.0; };
    return {ms(usage.ru_utime) + ms(usage.ru_stime), usage.ru_minflt};
}

Usage mark;
long lastFaults = 0; // of the latest figure

// One figure, with the CPU time and minor faults since the previous figure and the peak memory (VmHWM).
void line(const char* what, double value, const char* unit) {
    const Usage now = usageNow();
    lastFaults = now.faults - mark.faults;
    std::printf("%-44s %10.1f %-3s cpu %8.0f ms  peak %6.1f MB  faults %7ld\n", what, value, unit,
                now.cpu - mark.cpu, double(peakKilobytes()) / 1024.0, lastFaults);
    mark = now;
}

// Saves the rows of rez as "Save Report" does, through the event loop, and notes the memory the export
// took beyond what the process held before.
void exportRows(const char* what, Table* rez, report::ExportFormat format, const QString& path) {
    resetPeak();
    const long before = statusKilobytes("VmRSS");
    QElapsedTimer clock;
    clock.start();
    report::ExportJob job(rez, format, path);
    job.start();
    while (job.isRunning())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (!job.isComplete())
        qFatal("%s failed", what);
    line(what, clock.elapsed(), "ms");
    std::printf("  extra memory %.1f MB, file %.1f MB\n", double(peakKilobytes() - before) / 1024.0,
                double(QFileInfo(path).size()) / 1048576.0);
}

// The display texts of the report's columns, one line per row, every field quoted.
void writeCsv(const report::ReportLayout& layout, Table* rez, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    QTextStream out(&file);
    QVector<int> columns;
    for (const QString& name : layout.fieldNames())
        columns.append(rez->fieldPos(name));
    for (int row = 0; row < rez->recordCount(); ++row) {
        QStringList cells;
        for (int column : columns)
            cells << QLatin1Char('"') +
                         rez->displayTextAt(row, column).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                         QLatin1Char('"');
        out << cells.join(QLatin1Char(',')) << '\n';
    }
}

// The minor faults of the latest figure per page of the report.
void faultsPerPage(int pages) {
    std::printf("  minor faults per page %.1f\n", pages > 0 ? double(lastFaults) / pages : 0.0);
}

// Print re-produces the report from the first row straight to the printer (here a PDF file).
void printAfresh(const report::ReportLayout& layout, Table* rez, const QString& path) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    resetPeak();
    QElapsedTimer clock;
    clock.start();
    report::printReport(printer, layout, rez, nullptr);
    line("print to a PDF file (produced afresh)", clock.elapsed(), "ms");
    faultsPerPage(int(report::paginate(layout, rez->recordCount()).size()));
}

void savePdf(report::ReportPreview& preview, const QString& path) {
    resetPeak();
    QElapsedTimer clock;
    clock.start();
    preview.savePdf(path);
    line("PDF export", clock.elapsed(), "ms");
    faultsPerPage(preview.pageCount());
    std::printf("  PDF size %.1f MB\n", double(QFileInfo(path).size()) / 1048576.0);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    allocator::keepFreedMemory(); // as the program's application object does
    // The workbook writer is a module of the program folder, and the benchmarks are built beside it.
    setProgramModuleFolderForTesting(QStringLiteral(ESUN_PROGRAM_DIR));
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    const QString path = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("all");
    const auto measures = [&](const char* one) {
        return path == QLatin1String("all") || path == QLatin1String(one);
    };
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    const QString kept = qEnvironmentVariable("BENCH_REPORT_OUT");
    const QString outPath = kept.isEmpty() ? dir.filePath(QStringLiteral("report.pdf")) : kept;
    QElapsedTimer clock;
    clock.start();
    makeDatabase(dir.filePath(QStringLiteral("Primer.mdb")), rows);
    std::printf("results rows: %d (database made in %lld ms)\n", rows, clock.elapsed());

    clock.restart();
    mark = usageNow();
    TDataModule11 dataModule;
    DataModule11 = &dataModule;
    TForm10 form10;
    line("data module opened", clock.elapsed(), "ms");
    if (dataModule.rez->recordCount() != rows)
        qFatal("rez holds %d rows", dataModule.rez->recordCount());

    if (path == QLatin1String("csv")) {
        writeCsv(form10.layout(), dataModule.rez, outPath);
        return 0;
    }
    if (path == QLatin1String("print")) {
        printAfresh(form10.layout(), dataModule.rez, outPath);
        return 0;
    }
    const QString workbook = dir.filePath(QStringLiteral("results.xlsx"));
    if (path == QLatin1String("xlsx")) {
        exportRows("rows saved as a workbook (.xlsx)", dataModule.rez, report::ExportFormat::Xlsx, workbook);
        return 0;
    }
    if (path == QLatin1String("all")) {
        // Before the preview, whose pages would hide the export's own memory in the peak.
        exportRows("rows saved as a workbook (.xlsx)", dataModule.rez, report::ExportFormat::Xlsx, workbook);
        exportRows("rows saved as CSV", dataModule.rez, report::ExportFormat::Csv,
                   dir.filePath(QStringLiteral("results.csv")));
    }

    // As "Печать" does it: the preview made, production started, the window shown.
    resetPeak();
    clock.restart();
    report::ReportPreview preview(form10.layout(), dataModule.rez);
    FirstPaint firstPaint(&preview, &clock);
    preview.pageView()->installEventFilter(&firstPaint);
    preview.start();
    line("production started (snapshot of first rows)", clock.elapsed(), "ms");
    preview.show();
    while (firstPaint.elapsed < 0)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    line("first page on screen", firstPaint.elapsed, "ms");
    while (!preview.isProduced())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    line("last page produced", clock.elapsed(), "ms");
    std::printf("pages: %d, cursor on row %d of %d\n", preview.pageCount(), dataModule.rez->recNo() + 1,
                dataModule.rez->recordCount());

    if (path == QLatin1String("session")) {
        // What the teacher does next in the same process; each step's peak is its own.
        savePdf(preview, outPath);
        exportRows("rows saved as a workbook (.xlsx)", dataModule.rez, report::ExportFormat::Xlsx, workbook);
        printAfresh(form10.layout(), dataModule.rez, dir.filePath(QStringLiteral("printed.pdf")));
        return 0;
    }
    if (!measures("pdf"))
        return 0;
    savePdf(preview, outPath);
    if (path != QLatin1String("all"))
        return 0;

    clock.restart();
    report::saveReport(dir.filePath(QStringLiteral("report.rpt")), {QSizeF(210, 297), preview.pages()});
    line("report file saved", clock.elapsed(), "ms");
    std::printf("  report file size %.1f MB\n",
                double(QFileInfo(dir.filePath(QStringLiteral("report.rpt"))).size()) / 1048576.0);
    clock.restart();
    const report::SavedReport loaded = report::loadReport(dir.filePath(QStringLiteral("report.rpt")));
    line("report file loaded", clock.elapsed(), "ms");
    if (loaded.pages.size() != preview.pageCount())
        qFatal("loaded %d pages", int(loaded.pages.size()));

    printAfresh(form10.layout(), dataModule.rez, dir.filePath(QStringLiteral("printed.pdf")));
    preview.close();
    return 0;
}
