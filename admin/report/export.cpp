#include "export.h"

#include "base/failure.h"
#include "base/filewrite.h"
#include "data/engine/formats.h"
#include "data/engine/table.h"
#include "ui/guard.h"

#include <QThread>
#include <QTimer>

#include <algorithm>

namespace report {

namespace {

struct ColumnSpec {
    const char16_t* field;
    ExportCell::Kind kind;
};
// The results grid's columns; their field names are the sheet's headings.
constexpr ColumnSpec resultColumns[] = {
    {u"Фамилия", ExportCell::Kind::Text},  {u"Имя", ExportCell::Kind::Text},
    {u"Класс", ExportCell::Kind::Text},    {u"Тема", ExportCell::Kind::Text},
    {u"Дата", ExportCell::Kind::DateTime}, {u"Баллы", ExportCell::Kind::Number},
    {u"Оценка", ExportCell::Kind::Number},
};

} // namespace

ResultRows::ResultRows(const Table* table) : m_table(table) {
    for (const ColumnSpec& spec : resultColumns) {
        const QString name = QString::fromUtf16(spec.field);
        m_columns.append({table->fieldPos(name), spec.kind});
        m_headers.append(name);
    }
}

int ResultRows::count() const {
    return m_table->recordCount();
}

void ResultRows::read(int row, QVector<ExportCell>& cells) const {
    cells.resize(m_columns.size());
    for (int i = 0; i < m_columns.size(); ++i) {
        const Column& column = m_columns.at(i);
        ExportCell& cell = cells[i];
        const QVariant value = m_table->valueAt(row, column.pos);
        cell.text = formats::displayText(m_table->field(column.pos).kind, value);
        cell.kind = value.isNull() ? ExportCell::Kind::Empty : column.kind;
        if (cell.kind == ExportCell::Kind::DateTime) {
            cell.dateTime = value.toDateTime();
        } else if (cell.kind == ExportCell::Kind::Number) {
            // The points are stored as text: a number only when the text is one, else kept as typed.
            bool ok = false;
            cell.number = double(cell.text.toLongLong(&ok));
            if (!ok)
                cell.kind = ExportCell::Kind::Text;
        }
    }
}

int MadeRows::column(const QString& header) const {
    const int at = int(m_headers.indexOf(header));
    if (at < 0)
        throw Failure(QStringLiteral("Field '%1' not found").arg(header));
    return at;
}

ExportJob::ExportJob(const Table* table, ExportFormat format, const QString& path, QObject* parent)
    : ExportJob(std::make_shared<const ResultRows>(table), format, path, parent) {}

ExportJob::ExportJob(std::shared_ptr<const ExportRows> rows, ExportFormat format, const QString& path,
                     QObject* parent)
    : QObject(parent), m_rows(std::move(rows)), m_format(format), m_path(path), m_timer(new QTimer(this)) {
    m_timer->setInterval(0);
    connect(m_timer, &QTimer::timeout, this,
            [this]() { guarded([this]() { attempt([this]() { advance(); }); }); });
}

ExportJob::~ExportJob() {
    if (m_finisher)
        m_finisher->wait();
    discard();
}

void ExportJob::start() {
    const int total = m_rows->count();
    if (m_format == ExportFormat::Xlsx && total > xlsxMaxRows)
        throw Failure(QStringLiteral("Строк результатов больше, чем помещается на листе книги Excel (%1); "
                                     "сохраните их в формате CSV.")
                          .arg(xlsxMaxRows));
    m_running = true;
    m_done = 0;
    attempt([this]() {
        open();
        advance();
    });
    if (m_running && !m_finisher)
        m_timer->start();
}

// Runs one step of the job; a failure stops it, and a refused write becomes the teacher's message.
template <typename F> void ExportJob::attempt(F&& step) {
    try {
        step();
    } catch (const WriteError& e) {
        stop();
        throw Failure(files::saveFailureText(m_path, e));
    } catch (...) {
        stop();
        throw;
    }
}

void ExportJob::open() {
    m_file = std::make_unique<files::AtomicFile>(m_path); // a target that cannot be written fails here
    m_writer = makeSheetWriter(m_format, m_file->temporaryPath(), m_rows->headers(), m_rows->count(), m_note);
}

void ExportJob::advance() {
    const int total = m_rows->count();
    const int end = std::min(total, m_done + sliceRows);
    for (; m_done < end; ++m_done) {
        m_rows->read(m_done, m_cells);
        m_writer->writeRow(m_cells);
    }
    if (m_done < total) {
        emit progress(m_done);
        return;
    }
    m_timer->stop();
    // Packing a workbook of many rows takes a while: off the GUI thread, which keeps showing the preview.
    m_finisher.reset(QThread::create([this]() {
        try {
            m_writer->finish();
        } catch (const WriteError& e) {
            m_finishError = e;
        }
    }));
    connect(m_finisher.get(), &QThread::finished, this,
            [this]() { guarded([this]() { attempt([this]() { finished(); }); }); });
    m_finisher->start();
}

void ExportJob::finished() {
    m_finisher->wait(); // it has only to return
    m_finisher.reset();
    if (!m_running) { // cancelled meanwhile
        discard();
        return;
    }
    if (m_finishError)
        throw *m_finishError;
    m_writer.reset();
    m_file->commit();
    m_file.reset();
    m_running = false;
    m_complete = true;
    emit progress(m_done);
    emit ended();
}

void ExportJob::stop() {
    m_timer->stop();
    if (!m_finisher)
        discard(); // else the finisher's end does it
    const bool wasRunning = m_running;
    m_running = false;
    if (wasRunning)
        emit ended();
}

void ExportJob::discard() {
    m_writer.reset();
    m_file.reset();
}

void ExportJob::cancel() {
    stop();
}

} // namespace report
