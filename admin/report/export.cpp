#include "export.h"

#include "base/failure.h"
#include "data/engine/formats.h"
#include "data/engine/table.h"
#include "ui/guard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

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

// A new, empty file beside `target` that nobody else can have opened: created exclusively under a name
// of its own.
QString reserveTemporary(const QFileInfo& target) {
    for (;;) {
        QString name = target.dir().filePath(QStringLiteral(".%1.%2.part")
                                                 .arg(target.fileName())
                                                 .arg(QRandomGenerator::global()->generate(), 0, 36));
        const int fd =
            ::open(QFile::encodeName(name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST)
            throw WriteError{errno, {}};
    }
}

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

QString saveFailureText(const QString& path, const WriteError& error) {
    QString reason;
    switch (error.code) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        reason = QStringLiteral("на диске не хватает места");
        break;
    case EACCES:
    case EPERM:
    case EROFS:
        reason = QStringLiteral("нет права на запись");
        break;
    case ENOENT:
    case ENOTDIR:
        reason = QStringLiteral("такой папки нет");
        break;
    case EISDIR:
        reason = QStringLiteral("так называется папка");
        break;
    case ENAMETOOLONG:
        reason = QStringLiteral("слишком длинное имя");
        break;
    case ENOMEM:
        reason = QStringLiteral("не хватает памяти");
        break;
    case 0:
        reason = QStringLiteral("ошибка записи книги (%1)").arg(error.detail);
        break;
    default:
        reason = QStringLiteral("ошибка записи (%1)").arg(QString::fromLocal8Bit(std::strerror(error.code)));
    }
    return QStringLiteral("Не удалось сохранить файл «%1»: %2").arg(path, reason);
}

ExportJob::ExportJob(const Table* table, ExportFormat format, const QString& path, QObject* parent)
    : QObject(parent), m_rows(table), m_format(format), m_path(path), m_timer(new QTimer(this)) {
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
    const int total = m_rows.count();
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
        throw Failure(saveFailureText(m_path, e));
    } catch (...) {
        stop();
        throw;
    }
}

void ExportJob::open() {
    const QFileInfo target(m_path);
    if (target.isDir())
        throw WriteError{EISDIR, {}};
    // A file, or none yet, is replaced only by a complete one; a device has nothing to replace.
    m_writePath = target.exists() && !target.isFile() ? m_path : reserveTemporary(target);
    m_writer = makeSheetWriter(m_format, m_writePath, m_rows.headers(), m_rows.count());
}

void ExportJob::advance() {
    const int total = m_rows.count();
    const int end = std::min(total, m_done + sliceRows);
    for (; m_done < end; ++m_done) {
        m_rows.read(m_done, m_cells);
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
    if (m_writePath != m_path) {
        if (QFile::exists(m_path))
            QFile::setPermissions(m_writePath, QFile::permissions(m_path));
        errno = 0;
        if (std::rename(QFile::encodeName(m_writePath).constData(), QFile::encodeName(m_path).constData()) !=
            0)
            throw WriteError{errno, {}};
    }
    m_writePath.clear();
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
    if (!m_writePath.isEmpty() && m_writePath != m_path)
        QFile::remove(m_writePath);
    m_writePath.clear();
}

void ExportJob::cancel() {
    stop();
}

} // namespace report
