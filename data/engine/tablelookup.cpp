// Values of stored rows, lookup fields resolved through a per-key hash index (the only code that locks).
#include "table_p.h"

#include "formats.h"

#include <QMutexLocker>

QVariant TableData::rowValue(int row, int pos) const {
    const FieldDef& f = fields[pos];
    if (f.isLookup()) {
        const Binding& b = bindings[pos];
        if (!f.lookupTable || b.keyPos < 0)
            return {};
        const QVariant key = rowValue(row, b.keyPos);
        const TableData* other = f.lookupTable->d.get();
        const int found = other->active ? other->lookupRow(b.lookupKeyPos, key) : -1;
        if (found < 0)
            return {};
        // The stored row: a pending edit of the lookup table is not yet what others see.
        const QVariant result = other->fields[b.resultPos].isLookup()
                                    ? other->rowValue(found, b.resultPos)
                                    : other->columns[size_t(b.resultPos)].value(found);
        if (result.isNull())
            return {};
        return QVariant(formats::displayText(other->fields[b.resultPos].kind, result)
                            .left(f.size > 0 ? f.size : lookupWidth));
    }
    if (isBuffered(row))
        return buffer[pos];
    if (row < 0)
        return {};
    return columns[size_t(pos)].value(row);
}

int TableData::lookupRow(int keyPos, const QVariant& key) const {
    if (key.isNull() || keyPos < 0)
        return -1;
    LookupIndex& index = *indexes[size_t(keyPos)];
    const Column& c = columns[size_t(keyPos)];
    if (!index.ready.load(std::memory_order_acquire)) {
        QMutexLocker lock(&indexMutex);
        if (!index.ready.load(std::memory_order_relaxed)) {
            index.ints.clear();
            index.texts.clear();
            for (int row = c.size() - 1; row >= 0; --row) {
                if (deleted[size_t(row)] || c.isNull(row))
                    continue;
                if (c.isText())
                    index.texts.insert(c.textAt(row).toCaseFolded(), row);
                else
                    index.ints.insert(c.intAt(row), row);
            }
            index.ready.store(true, std::memory_order_release);
        }
    }
    if (c.isText())
        return index.texts.value(key.toString().toCaseFolded(), -1);
    bool ok = false;
    const qint64 k = key.typeId() == QMetaType::Bool ? qint64(key.toBool()) : key.toLongLong(&ok);
    if (!ok && key.typeId() != QMetaType::Bool)
        return -1;
    return index.ints.value(k, -1);
}

void TableData::invalidateIndexes() {
    for (auto& index : indexes)
        index->ready.store(false);
}

void TableData::contentChanged() {
    invalidateIndexes();
    emit q->contentChanged();
}

QVariant Table::lookup(const QString& keyField, const QVariant& key, const QString& resultField) const {
    if (!d->active)
        return {};
    const int keyPos = indexOf(keyField);
    const int resultPos = indexOf(resultField);
    if (keyPos < 0 || resultPos < 0 || d->fields[keyPos].isLookup())
        return {};
    const int row = d->lookupRow(keyPos, key);
    if (row < 0)
        return {};
    return d->fields[resultPos].isLookup() ? d->rowValue(row, resultPos)
                                           : d->columns[size_t(resultPos)].value(row);
}
