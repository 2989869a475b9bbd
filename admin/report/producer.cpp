#include "producer.h"

#include "pagepainter.h"

#include "base/clock.h"
#include "data/engine/table.h"
#include "ui/guard.h"

#include <QDate>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace report {

namespace {
// The text of a cell, `chunk` kept on the chunk of the row last asked for.
QString cellText(RowFeed& feed, std::shared_ptr<const RowChunk>& chunk, int row, int column) {
    if (!chunk || !chunk->holds(row))
        chunk = feed.chunkFor(row);
    return chunk ? chunk->cell(row, column) : QString();
}
} // namespace

ReportProducer::ReportProducer(const ReportLayout& layout, Table* table, QObject* parent)
    : QObject(parent), m_layout(layout), m_table(table), m_reader(new QTimer(this)) {
    m_reader->setInterval(0);
    connect(m_reader, &QTimer::timeout, this, [this]() { guarded([this]() { takeMore(); }); });
}

ReportProducer::ReportProducer(const ReportLayout& layout, std::shared_ptr<const MadeRows> rows,
                               QObject* parent)
    : ReportProducer(layout, nullptr, parent) {
    m_made = std::move(rows);
}

ReportProducer::~ReportProducer() {
    stopWorker();
}

std::function<PlacePage()> ReportProducer::repainters() const {
    Q_ASSERT(m_finished);
    auto plans = std::make_shared<const QVector<PagePlan>>(paginate(m_layout, m_totalRows));
    return [this, plans]() -> PlacePage {
        auto painter = std::make_shared<const PagePainter>(m_layout, m_dateText);
        return [this, plans, painter, chunk = std::shared_ptr<const RowChunk>()](QPainter& onto, int index,
                                                                                 double pixelsPerMm) mutable {
            paintScaled(onto, pixelsPerMm, [&](QPainter& p) {
                painter->paint(p, plans->at(index),
                               [&](int row, int column) { return cellText(*m_feed, chunk, row, column); });
            });
        };
    };
}

void ReportProducer::start() {
    m_fieldPositions.clear();
    if (m_made) {
        for (const QString& name : m_layout.fieldNames())
            m_fieldPositions.append(m_made->column(name));
        m_totalRows = m_made->count();
    } else {
        m_table->first();
        for (const QString& name : m_layout.fieldNames())
            m_fieldPositions.append(m_table->fieldPos(name));
        m_totalRows = m_table->recordCount();
    }
    m_feed = std::make_shared<RowFeed>(m_totalRows);
    m_dateText = dateText(programclock::today());
    takeRows(std::min(firstChunkRows, m_totalRows));
    m_running = true;
    m_thread.reset(QThread::create([this]() { run(); }));
    m_thread->start();
    if (m_rowsTaken < m_totalRows)
        m_reader->start();
}

void ReportProducer::takeRows(int count) {
    auto chunk = std::make_shared<RowChunk>(m_rowsTaken, int(m_fieldPositions.size()));
    for (int row = m_rowsTaken; row < m_rowsTaken + count; ++row)
        for (int pos : m_fieldPositions)
            chunk->appendCell(m_made ? m_made->text(row, pos) : m_table->displayTextAt(row, pos));
    m_rowsTaken += count;
    m_feed->publish(std::move(chunk));
}

void ReportProducer::takeMore() {
    if ((!m_table && !m_made) || m_cancelled) {
        m_reader->stop();
        return;
    }
    try {
        takeRows(std::min(chunkRows, m_totalRows - m_rowsTaken));
    } catch (...) {
        // The worker would wait for these rows for ever.
        cancel();
        throw;
    }
    if (m_rowsTaken >= m_totalRows)
        m_reader->stop();
}

void ReportProducer::run() {
    bool complete = false;
    // On every way out, while the fonts of this thread are still there.
    const std::unique_ptr<void, std::function<void(void*)>> ending(this, [&](void*) {
        if (m_endStraight)
            m_endStraight(complete);
    });
    Paginator paginator(m_layout);
    paginator.begin(m_totalRows);
    const PagePainter painter(m_layout, m_dateText);
    std::shared_ptr<const RowChunk> chunk;
    const auto cell = [&](int row, int column) { return cellText(*m_feed, chunk, row, column); };
    int painted = 0;
    const auto deliver = [&](int upTo) {
        for (; painted < upTo; ++painted) {
            if (m_paintStraight) {
                m_paintStraight(painted,
                                [&](QPainter& onto) { painter.paint(onto, paginator.page(painted), cell); });
                QMetaObject::invokeMethod(
                    this, [this]() { ++m_pageCount; }, Qt::QueuedConnection);
                continue;
            }
            const QPicture page = painter.record(paginator.page(painted), cell);
            // Only so many pages wait for the GUI thread: a slow taker (a printer) must not let them pile up.
            while (!m_room.tryAcquire(1, 20))
                if (m_cancelled)
                    return false;
            QMetaObject::invokeMethod(
                this,
                [this, page]() {
                    if (m_keepPages)
                        m_pages.append(page);
                    emit pageReady(m_pageCount++, page);
                    m_room.release();
                },
                Qt::QueuedConnection);
        }
        return true;
    };
    int shownPercent = 0;
    for (int row = 0; row < m_totalRows; ++row) {
        if (m_cancelled)
            return;
        if (!chunk || !chunk->holds(row)) {
            chunk = m_feed->chunkFor(row);
            if (!chunk)
                return;
        }
        if (paginator.addDetail(row) && !deliver(paginator.pageCount() - 1))
            return;
        m_rowsPlaced = row + 1;
        // Notices only when the percentage moves: at most a hundred of them, whatever the row count.
        const int percent = int(qint64(row + 1) * 100 / m_totalRows);
        if (percent != shownPercent) {
            shownPercent = percent;
            QMetaObject::invokeMethod(
                this,
                [this, done = row + 1]() {
                    m_rowsDone = done;
                    emit progress(done);
                },
                Qt::QueuedConnection);
        }
    }
    if (!deliver(paginator.pageCount()))
        return;
    complete = true;
    QMetaObject::invokeMethod(
        this, [this]() { guarded([this]() { whenDone(); }); }, Qt::QueuedConnection);
}

void ReportProducer::whenDone() {
    if (m_cancelled)
        return;
    m_thread->wait(); // it has only to return
    m_thread.reset();
    m_running = false;
    m_finished = true;
    m_rowsDone = m_totalRows;
    if (m_table && m_totalRows > 0)
        m_table->last();
    emit finished();
}

void ReportProducer::cancel() {
    if (!m_running)
        return;
    stopWorker();
    m_running = false;
    // The worker moved no cursor; put it where the worker stopped, as if it had walked the table itself.
    if (m_table && m_totalRows > 0)
        m_table->moveTo(std::min(m_rowsPlaced.load(), m_totalRows - 1));
}

void ReportProducer::stopWorker() {
    m_reader->stop();
    if (!m_thread)
        return;
    m_cancelled = true;
    m_feed->cancel();
    m_thread->wait();
    m_thread.reset();
}

} // namespace report
