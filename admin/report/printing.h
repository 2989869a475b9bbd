#pragma once

#include "reportfile.h"
#include "reportlayout.h"

#include "ui/form.h"

#include <QPainter>
#include <QPicture>
#include <QVector>

#include <functional>
#include <memory>

class QPrinter;
namespace files {
class AtomicFile;
}
class QProgressBar;
class QPushButton;
class Table;

namespace report {

// The small window shown while a report prints: a progress bar and "Cancel". A window of its own, centred
// over `over`: a child window would be disabled together with the window that the modal showing disables.
class PrintProgress : public Form {
    Q_OBJECT
public:
    explicit PrintProgress(QWidget* over = nullptr);
    QProgressBar* bar() const { return m_bar; }
    QPushButton* cancelButton() const { return m_cancel; }

signals:
    void cancelRequested();

private:
    QProgressBar* m_bar;
    QPushButton* m_cancel;
};

// Sends pages to a printer: the full paper with no margins, millimetres turned into the printer's pixels,
// the chosen page range and, where the driver does not make copies itself, the copies.
class PrintJob {
public:
    // Throws Failure when the printer cannot be started, or its output file cannot be written.
    explicit PrintJob(QPrinter& printer);
    ~PrintJob();
    PrintJob(const PrintJob&) = delete;
    PrintJob& operator=(const PrintJob&) = delete;
    // Page `index` (0-based) of the report; skipped when outside the chosen range.
    void addPage(int index, const QPicture& page);
    // The same, painted straight onto the printer by `paint` in hundredths of a millimetre, with no picture
    // recorded and played. Only while nothing else uses the job: the producer's worker calls it.
    void addPage(int index, const std::function<void(QPainter&)>& paint);
    // Whether finish() needs the pages again: collated copies that the driver does not make.
    bool needsPages() const;
    // Prints the further copies (from the pages kept) and ends the printing.
    void endPages(const QVector<QPicture>& pages);
    // endPages(), then a file printed to takes its place (throws Failure when it cannot). On the GUI thread.
    void finish(const QVector<QPicture>& pages);
    // Ends the job; a file printed to is left as it was before.
    void abort();
    int pagesPrinted() const { return m_printed; }

private:
    bool inRange(int index) const;
    void put(const QPicture& page);
    void put(const std::function<void(QPainter&)>& paint);
    void restoreOutput();

    QPrinter& m_printer;
    QString m_outputName;                      // the file the printer prints to, if any
    std::unique_ptr<files::AtomicFile> m_file; // where it prints meanwhile
    QPainter m_painter;
    int m_copiesHere = 1; // copies this job makes itself
    int m_printed = 0;
    bool m_done = false;
};

// Produces the report afresh from the first visible row of `table` straight to `printer`, with the printing
// progress window; returns when done or cancelled.
void printReport(QPrinter& printer, const ReportLayout& layout, Table* table, QWidget* over);
class MadeRows;
// The same from rows the program made.
void printReport(QPrinter& printer, const ReportLayout& layout, std::shared_ptr<const MadeRows> rows,
                 QWidget* over);
// Prints pages already produced (a loaded report), with the same window.
void printPages(QPrinter& printer, const QVector<QPicture>& pages, QWidget* over);

// A printer with the report's printer settings: A4 portrait, 1 copy, no duplex, all pages, paper bin
// automatic.
std::unique_ptr<QPrinter> makeReportPrinter();

// True when printing to `printer` can go ahead; warns (Russian text) and returns false when it would go
// to a printer and none is installed.
bool printerAvailable(const QPrinter& printer);

} // namespace report
