#pragma once

#include "exportwriters.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>
#include <optional>

namespace files {
class AtomicFile;
}
class QThread;
class QTimer;
class Table;

// The results as a spreadsheet: the rows of the report, written to a workbook or a CSV file.
namespace report {

// The rows a sheet holds under its header row.
class ExportRows {
public:
    virtual ~ExportRows() = default;
    virtual const QStringList& headers() const = 0;
    virtual int count() const = 0;
    // The cells of one row into `cells` (resized to the column count).
    virtual void read(int row, QVector<ExportCell>& cells) const = 0;
};

// The visible rows of the results table in cursor order, with the results grid's columns (surname, first
// name, class, topic, date, points, grade): dates as dates, points and grade as numbers, names and topics
// as the grid shows them. Reading moves no cursor.
class ResultRows final : public ExportRows {
public:
    explicit ResultRows(const Table* table); // throws the table's failure for a missing field

    const QStringList& headers() const override { return m_headers; }
    int count() const override;
    void read(int row, QVector<ExportCell>& cells) const override;

private:
    struct Column {
        int pos;
        ExportCell::Kind kind;
    };
    const Table* m_table;
    QVector<Column> m_columns;
    QStringList m_headers;
};

// Rows the program made rather than read from a table (a window's figures), printed and saved as the
// results are: the report's detail fields are named by the headers, and print the cells' texts.
class MadeRows final : public ExportRows {
public:
    MadeRows(QStringList headers, QVector<QVector<ExportCell>> rows)
        : m_headers(std::move(headers)), m_rows(std::move(rows)) {}

    const QStringList& headers() const override { return m_headers; }
    int count() const override { return int(m_rows.size()); }
    void read(int row, QVector<ExportCell>& cells) const override { cells = m_rows.at(row); }
    const QString& text(int row, int column) const { return m_rows.at(row).at(column).text; }
    // The column of a header; throws Failure for one the rows lack.
    int column(const QString& header) const;

private:
    QStringList m_headers;
    QVector<QVector<ExportCell>> m_rows;
};

// Writes the result rows to `path`: into a temporary file beside it (files::AtomicFile), a slice of rows per
// turn of the event loop, then the file is finished (a workbook is packed) on a thread of its own and moved
// into place. A failure or a cancel removes the temporary file and leaves `path` as it was.
class ExportJob : public QObject {
    Q_OBJECT
public:
    ExportJob(const Table* table, ExportFormat format, const QString& path, QObject* parent = nullptr);
    ExportJob(std::shared_ptr<const ExportRows> rows, ExportFormat format, const QString& path,
              QObject* parent = nullptr);
    ~ExportJob() override; // an unfinished job is cancelled (a file being finished is waited for)

    // A line written above the header row (none when empty); set before start().
    void setNote(const QString& note) { m_note = note; }

    // Writes the first slice at once and the rest from the event loop. A failure ends the job and throws
    // Failure; the failures of later steps reach the default failure report.
    void start();
    void cancel();

    bool isRunning() const { return m_running; }
    bool isComplete() const { return m_complete; } // the file is in place
    int totalRows() const { return m_rows->count(); }

    static constexpr int sliceRows = 2000;

signals:
    void progress(int rowsDone);
    // The job stopped: written, failed or cancelled. Emitted before a failure is thrown or reported.
    void ended();

private:
    template <typename F> void attempt(F&& step);
    void advance();
    void open();
    void finished();
    void stop();
    void discard();

    std::shared_ptr<const ExportRows> m_rows;
    ExportFormat m_format;
    QString m_path;
    QString m_note;
    std::unique_ptr<files::AtomicFile> m_file;
    std::unique_ptr<SheetWriter> m_writer;
    QVector<ExportCell> m_cells;
    QTimer* m_timer;
    std::unique_ptr<QThread> m_finisher;
    std::optional<WriteError> m_finishError; // set by the finisher, read once it has ended
    int m_done = 0;
    bool m_running = false;
    bool m_complete = false;
};

} // namespace report
