#include "printing.h"

#include "pagepainter.h"
#include "producer.h"

#include "base/failure.h"
#include "base/filewrite.h"
#include "ui/builders.h"
#include "ui/dialogs.h"
#include "ui/guard.h"

#include <QApplication>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>
#include <QVBoxLayout>

namespace report {

PrintProgress::PrintProgress(QWidget* over)
    : Form(QStringLiteral("PrintProgress"), QStringLiteral("Printing progress"), 0, 0, 260, 90),
      m_bar(new QProgressBar(this)), m_cancel(new QPushButton(QStringLiteral("Cancel"), this)) {
    // Like the preview, a window of the report engine in the general grey of dialogs.
    ui::setBackground(this, QApplication::palette().color(QPalette::Window));
    m_bar->setObjectName(QStringLiteral("ProgressBar"));
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_cancel->setObjectName(QStringLiteral("CancelButton"));
    auto* box = new QVBoxLayout(this);
    box->addWidget(m_bar);
    box->addWidget(m_cancel, 0, Qt::AlignHCenter);
    connect(m_cancel, &QPushButton::clicked, this, &PrintProgress::cancelRequested);
    if (over)
        move(over->geometry().center() - rect().center());
}

PrintJob::PrintJob(QPrinter& printer) : m_printer(printer), m_outputName(printer.outputFileName()) {
    m_printer.setFullPage(true);
    m_printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    if (!m_printer.supportsMultipleCopies())
        m_copiesHere = std::max(1, m_printer.copyCount());
    // A print to a file goes into a file beside it that takes its place only when the job completes: a
    // cancelled print leaves the file that was there as it was.
    if (!m_outputName.isEmpty()) {
        m_file = files::reportingSaveFailure(
            m_outputName, [this] { return std::make_unique<files::AtomicFile>(m_outputName); });
        m_printer.setOutputFileName(m_file->temporaryPath());
    }
    if (!m_painter.begin(&m_printer)) {
        restoreOutput();
        throw Failure(
            QStringLiteral("Не удалось начать печать на принтере «%1».").arg(m_printer.printerName()));
    }
}

PrintJob::~PrintJob() {
    abort(); // a job that was not finished was not meant to be printed
    restoreOutput();
}

void PrintJob::restoreOutput() {
    if (m_file)
        m_printer.setOutputFileName(m_outputName);
    m_file.reset(); // a file not put in place is removed
}

bool PrintJob::inRange(int index) const {
    if (m_printer.printRange() != QPrinter::PageRange || m_printer.fromPage() == 0)
        return true;
    const int number = index + 1;
    return number >= m_printer.fromPage() && (m_printer.toPage() == 0 || number <= m_printer.toPage());
}

bool PrintJob::needsPages() const {
    return m_printer.collateCopies() && m_copiesHere > 1;
}

void PrintJob::put(const QPicture& page) {
    if (m_printed > 0)
        m_printer.newPage();
    playPage(m_painter, page, m_printer.resolution() / 25.4);
    ++m_printed;
}

void PrintJob::put(const std::function<void(QPainter&)>& paint) {
    if (m_printed > 0)
        m_printer.newPage();
    paintScaled(m_painter, m_printer.resolution() / 25.4, paint);
    ++m_printed;
}

void PrintJob::addPage(int index, const QPicture& page) {
    if (m_done || !inRange(index))
        return;
    // Uncollated copies come one after another; collated ones wait until the whole report is out.
    const int times = m_printer.collateCopies() ? 1 : m_copiesHere;
    for (int i = 0; i < times; ++i)
        put(page);
}

void PrintJob::addPage(int index, const std::function<void(QPainter&)>& paint) {
    if (m_done || !inRange(index))
        return;
    const int times = m_printer.collateCopies() ? 1 : m_copiesHere;
    for (int i = 0; i < times; ++i)
        put(paint);
}

void PrintJob::endPages(const QVector<QPicture>& pages) {
    if (m_done)
        return;
    if (m_printer.collateCopies())
        for (int copy = 1; copy < m_copiesHere; ++copy)
            for (int i = 0; i < pages.size(); ++i)
                if (inRange(i))
                    put(pages.at(i));
    m_done = true;
    m_painter.end();
}

void PrintJob::finish(const QVector<QPicture>& pages) {
    endPages(pages);
    if (!m_file)
        return;
    const auto restored = qScopeGuard([this]() { restoreOutput(); });
    files::reportingSaveFailure(m_outputName, [this] { m_file->commit(); });
}

void PrintJob::abort() {
    if (m_done)
        return;
    m_done = true;
    m_printer.abort();
    m_painter.end();
    restoreOutput();
}

std::unique_ptr<QPrinter> makeReportPrinter() {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setPageOrientation(QPageLayout::Portrait);
    printer->setCopyCount(1);
    printer->setDuplex(QPrinter::DuplexNone);
    printer->setPrintRange(QPrinter::AllPages);
    printer->setFromTo(0, 0);
    printer->setPaperSource(QPrinter::Auto);
    printer->setDocName(QStringLiteral("Итог тестирования"));
    return printer;
}

bool printerAvailable(const QPrinter& printer) {
    // Without a printer Qt falls back to PDF output, which needs a file chosen in the print dialog.
    if (printer.outputFormat() == QPrinter::PdfFormat ? !printer.outputFileName().isEmpty()
                                                      : !QPrinterInfo::availablePrinterNames().isEmpty())
        return true;
    dialogs().warning(QStringLiteral("Print"),
                      QStringLiteral("Принтер не установлен. Установите принтер или "
                                     "выберите печать в файл в окне «Printer setup»."));
    return false;
}

namespace {

void printProduced(QPrinter& printer, ReportProducer& producer, QWidget* over) {
    PrintJob job(printer);
    PrintProgress window(over);
    // Collated copies made here need every page again at the end, so those are recorded and kept; otherwise
    // the worker paints each page straight onto the printer, and the GUI thread leaves the job alone until
    // the worker has stopped.
    if (job.needsPages()) {
        producer.setKeepPages(true);
        QObject::connect(
            &producer, &ReportProducer::pageReady, &window,
            [&](int index, const QPicture& page) { guarded([&]() { job.addPage(index, page); }); });
    } else {
        producer.paintStraight(
            [&](int index, const std::function<void(QPainter&)>& paint) { job.addPage(index, paint); },
            [&](bool complete) {
                // The worker's end: the file printed to is put in place on the GUI thread, at "finished".
                if (complete)
                    job.endPages({});
                else
                    job.abort();
            });
    }
    QObject::connect(&producer, &ReportProducer::progress, &window, [&](int done) {
        window.bar()->setValue(producer.totalRows() == 0 ? 100
                                                         : int(qint64(done) * 100 / producer.totalRows()));
    });
    QObject::connect(&producer, &ReportProducer::finished, &window, [&]() {
        guarded([&]() { job.finish(producer.pages()); });
        window.bar()->setValue(100);
        window.setModalResult(Form::mrOk);
    });
    QObject::connect(&window, &PrintProgress::cancelRequested, &window, [&]() {
        guarded([&]() { producer.cancel(); });
        job.abort();
        window.setModalResult(Form::mrCancel);
    });
    try {
        producer.start();
    } catch (...) {
        job.abort();
        throw;
    }
    window.showModal();
    // Closed by its title bar's close box: that is a cancel too.
    if (producer.isRunning()) {
        producer.cancel();
        job.abort();
    }
}

} // namespace

void printReport(QPrinter& printer, const ReportLayout& layout, Table* table, QWidget* over) {
    ReportProducer producer(layout, table);
    printProduced(printer, producer, over);
}

void printReport(QPrinter& printer, const ReportLayout& layout, std::shared_ptr<const MadeRows> rows,
                 QWidget* over) {
    ReportProducer producer(layout, std::move(rows));
    printProduced(printer, producer, over);
}

void printPages(QPrinter& printer, const QVector<QPicture>& pages, QWidget* over) {
    PrintJob job(printer);
    PrintProgress window(over);
    bool cancelled = false;
    QObject::connect(&window, &PrintProgress::cancelRequested, &window, [&]() {
        cancelled = true;
        window.setModalResult(Form::mrCancel);
    });
    // One page per pass of the event loop, so that "Cancel" is heard between pages.
    int next = 0;
    QTimer timer;
    timer.setInterval(0);
    QObject::connect(&timer, &QTimer::timeout, &window, [&]() {
        if (cancelled)
            return;
        if (next < pages.size()) {
            guarded([&]() { job.addPage(next, pages.at(next)); });
            ++next;
            window.bar()->setValue(int(qint64(next) * 100 / pages.size()));
            return;
        }
        timer.stop();
        guarded([&]() { job.finish(pages); });
        window.setModalResult(Form::mrOk);
    });
    timer.start();
    window.showModal();
    timer.stop();
    if (window.modalResult() != Form::mrOk)
        job.abort();
}

} // namespace report
