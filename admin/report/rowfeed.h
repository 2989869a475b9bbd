#pragma once

#include <QMutex>
#include <QString>
#include <QStringView>
#include <QVector>
#include <QWaitCondition>

#include <atomic>
#include <memory>

namespace report {

// Consecutive rows of a snapshot, kept compactly: the texts of all their cells in one string.
// Immutable once handed to a RowFeed.
class RowChunk {
public:
    RowChunk(int firstRow, int columns) : m_firstRow(firstRow), m_columns(columns) {}

    void appendCell(const QString& text); // row by row, column by column
    int firstRow() const { return m_firstRow; }
    int rowCount() const { return m_columns == 0 ? 0 : int(m_ends.size()) / m_columns; }
    bool holds(int row) const { return row >= m_firstRow && row < m_firstRow + rowCount(); }
    QString cell(int row, int column) const;

private:
    int m_firstRow;
    int m_columns;
    QString m_text;
    QVector<int> m_ends; // end offset in m_text of every cell
};

// Rows handed from the GUI thread, which reads the table, to the worker, which paints them; the worker
// waits for rows that are not there yet. Chunks arrive in row order.
class RowFeed {
public:
    explicit RowFeed(int totalRows) : m_totalRows(totalRows) {}

    int totalRows() const { return m_totalRows; }
    void publish(std::shared_ptr<const RowChunk> chunk);
    // Wakes a waiting worker, which then finds no more rows.
    void cancel();
    bool cancelled() const { return m_cancelled.load(); }
    // The chunk holding `row`, waiting for it when needed; nullptr once cancelled.
    std::shared_ptr<const RowChunk> chunkFor(int row);

private:
    const int m_totalRows;
    QMutex m_mutex;
    QWaitCondition m_arrived;
    QVector<std::shared_ptr<const RowChunk>> m_chunks;
    std::atomic<bool> m_cancelled{false};
};

} // namespace report
