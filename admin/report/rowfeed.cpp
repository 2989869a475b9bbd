#include "rowfeed.h"

#include <algorithm>

namespace report {

void RowChunk::appendCell(const QString& text) {
    m_text.append(text);
    m_ends.append(int(m_text.size()));
}

QString RowChunk::cell(int row, int column) const {
    const int index = (row - m_firstRow) * m_columns + column;
    const int begin = index == 0 ? 0 : m_ends.at(index - 1);
    return m_text.mid(begin, m_ends.at(index) - begin);
}

void RowFeed::publish(std::shared_ptr<const RowChunk> chunk) {
    QMutexLocker lock(&m_mutex);
    m_chunks.append(std::move(chunk));
    m_arrived.wakeAll();
}

void RowFeed::cancel() {
    QMutexLocker lock(&m_mutex);
    m_cancelled = true;
    m_arrived.wakeAll();
}

std::shared_ptr<const RowChunk> RowFeed::chunkFor(int row) {
    QMutexLocker lock(&m_mutex);
    for (;;) {
        if (m_cancelled)
            return nullptr;
        if (!m_chunks.isEmpty() && row < m_chunks.last()->firstRow() + m_chunks.last()->rowCount()) {
            const auto found = std::upper_bound(m_chunks.cbegin(), m_chunks.cend(), row,
                                                [](int r, const auto& c) { return r < c->firstRow(); });
            return *(found - 1);
        }
        m_arrived.wait(&m_mutex);
    }
}

} // namespace report
