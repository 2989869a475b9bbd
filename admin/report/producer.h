#pragma once

#include "export.h"
#include "pagepainter.h"
#include "reportlayout.h"
#include "rowfeed.h"

#include <QObject>
#include <QPicture>
#include <QPointer>
#include <QSemaphore>
#include <QVector>

#include <atomic>
#include <functional>
#include <memory>

class QPainter;
class QThread;
class QTimer;
class Table;

namespace report {

// Produces the pages of a report from the visible rows of a table. On the GUI thread it moves the table
// to its first row and reads the rows' display texts in chunks (a small first chunk at once, the rest from
// the event loop); a worker thread lays the rows out and paints the pages into pictures, which arrive here
// one by one. When the last page is there the table's cursor stands on its last row.
class ReportProducer : public QObject {
    Q_OBJECT
public:
    ReportProducer(const ReportLayout& layout, Table* table, QObject* parent = nullptr);
    // The same over rows the program made; no cursor moves.
    ReportProducer(const ReportLayout& layout, std::shared_ptr<const MadeRows> rows,
                   QObject* parent = nullptr);
    ~ReportProducer() override; // cancels and waits for the worker

    // Starts production; throws the table's failure (a closed table, say) before anything starts.
    void start();
    // Stops the worker before its next row; the cursor is left on the first row not printed.
    void cancel();

    bool isRunning() const { return m_running; }
    bool isFinished() const { return m_finished; }
    int totalRows() const { return m_totalRows; }
    int rowsDone() const { return m_rowsDone; }
    int pageCount() const { return m_pageCount; }
    // The pages produced so far, unless told not to keep them (printing passes each one on at once).
    const QVector<QPicture>& pages() const { return m_pages; }
    void setKeepPages(bool keep) { m_keepPages = keep; }
    // Pages go to `paint` on the worker thread, in page order, painted straight onto its painter (in
    // hundredths of a millimetre) instead of being recorded and handed over: printing without a second layout
    // of every text. The worker calls `end` before it stops, with whether every page went out: a painter must
    // be ended on the thread that painted, because the fonts it used live only as long as that thread.
    // Nothing else may use that painter until the worker has stopped (finished() or cancel()).
    using PaintPage = std::function<void(int index, const std::function<void(QPainter&)>& paint)>;
    void paintStraight(PaintPage paint, std::function<void(bool complete)> end) {
        m_paintStraight = std::move(paint);
        m_endStraight = std::move(end);
    }

    // Once finished, while this producer lives: makes what paints the pages again from the rows they were
    // made of, straight onto a painter, for the thread that calls it (the fonts it makes are that thread's).
    // Saving as PDF so shapes each distinct text once, where playing the recorded pages back would shape
    // every text again.
    std::function<PlacePage()> repainters() const;

    // How many rows the GUI thread reads at once from the event loop.
    static constexpr int chunkRows = 2000;
    // How many it reads before the worker starts: enough for the first page.
    static constexpr int firstChunkRows = 64;
    // How many pages may wait in the GUI thread's queue.
    static constexpr int pagesAhead = 32;

signals:
    void pageReady(int index, const QPicture& page);
    void progress(int rowsDone);
    void finished();

private:
    void takeRows(int count);
    void takeMore();
    void run(); // the worker
    void stopWorker();
    void whenDone();

    const ReportLayout m_layout;
    QPointer<Table> m_table;
    std::shared_ptr<const MadeRows> m_made; // instead of the table
    QVector<int> m_fieldPositions;
    std::shared_ptr<RowFeed> m_feed;
    std::unique_ptr<QThread> m_thread;
    QTimer* m_reader = nullptr;
    QString m_dateText;
    int m_totalRows = 0;
    int m_rowsTaken = 0;
    int m_rowsDone = 0;
    bool m_running = false;
    bool m_finished = false;
    std::atomic<bool> m_cancelled{false};
    std::atomic<int> m_rowsPlaced{0}; // by the worker
    QSemaphore m_room{pagesAhead};    // pages the worker may hand over before the GUI thread took them
    QVector<QPicture> m_pages;
    int m_pageCount = 0;
    bool m_keepPages = true;
    PaintPage m_paintStraight;
    std::function<void(bool complete)> m_endStraight;
};

} // namespace report
