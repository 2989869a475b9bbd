// The visible rows: the master-detail restriction, the filter and the sort.
#include "table_p.h"

#include "connection.h"

#include <QCollator>
#include <QRegularExpression>

#include <algorithm>

namespace {

const QCollator& textCollator() {
    static const QCollator collator = [] {
        QCollator c{QLocale(QLocale::Russian, QLocale::Russia)};
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator;
}

} // namespace

QVariant TableData::currentMasterValue() const {
    if (!master || !master->isActive() || master->recNo() < 0)
        return {};
    const int pos = master->indexOf(masterField);
    if (pos < 0)
        return {};
    QVariant v = master->value(pos);
    if (v.isNull())
        return {};
    const FieldKind kind = master->field(pos).kind;
    if (kind == FieldKind::Integer || kind == FieldKind::AutoInc)
        return QVariant(v.toLongLong());
    return v;
}

bool TableData::linkMatches(int row) const {
    const Column& c = columns[size_t(linkPos)];
    if (masterValue.isNull())
        return c.isNull(row);
    if (c.isNull(row))
        return false;
    if (c.isText())
        return c.textAt(row).compare(masterValue.toString(), Qt::CaseInsensitive) == 0;
    return c.intAt(row) == masterValue.toLongLong();
}

QVector<int> TableData::effectiveSort() const {
    if (sortPos.isEmpty() && linkPos >= 0)
        return {linkPos};
    return sortPos;
}

int TableData::compareRows(int a, int b, const QVector<int>& keys) const {
    for (int pos : keys) {
        if (fields[pos].isLookup()) {
            const QVariant va = rowValue(a, pos);
            const QVariant vb = rowValue(b, pos);
            if (va.isNull() != vb.isNull())
                return va.isNull() ? -1 : 1;
            const int r = textCollator().compare(va.toString(), vb.toString());
            if (r != 0)
                return r;
            continue;
        }
        const Column& c = columns[size_t(pos)];
        if (c.isNull(a) != c.isNull(b))
            return c.isNull(a) ? -1 : 1;
        if (c.isNull(a))
            continue;
        if (c.isText()) {
            const int r = textCollator().compare(c.textAt(a), c.textAt(b));
            if (r != 0)
                return r;
        } else if (c.intAt(a) != c.intAt(b)) {
            return c.intAt(a) < c.intAt(b) ? -1 : 1;
        }
    }
    return 0;
}

// One numeric key, nulls first, stable. Keys within a small range (topics, pupils, grades) are counted
// into buckets in linear time; others sort as (key, row) pairs.
void TableData::sortByNumber(const Column& key) {
    qint64 low = LLONG_MAX;
    qint64 high = LLONG_MIN;
    for (int row : visible)
        if (!key.isNull(row)) {
            low = std::min(low, key.intAt(row));
            high = std::max(high, key.intAt(row));
        }
    const size_t n = visible.size();
    if (low > high || quint64(high) - quint64(low) <= 2 * n + 1024) {
        const size_t buckets = low > high ? 1 : size_t(high - low) + 2; // bucket 0 holds the nulls
        std::vector<int> start(buckets + 1, 0);
        auto bucket = [&](int row) { return key.isNull(row) ? size_t(0) : size_t(key.intAt(row) - low) + 1; };
        for (int row : visible)
            ++start[bucket(row) + 1];
        for (size_t i = 1; i <= buckets; ++i)
            start[i] += start[i - 1];
        RowVector<int> sorted(n);
        for (int row : visible)
            sorted[size_t(start[bucket(row)]++)] = row;
        visible.swap(sorted);
        return;
    }
    std::vector<std::pair<qint64, int>> pairs;
    pairs.reserve(n);
    for (int row : visible)
        pairs.emplace_back(key.isNull(row) ? LLONG_MIN : key.intAt(row), row);
    std::stable_sort(pairs.begin(), pairs.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 0; i < n; ++i)
        visible[i] = pairs[i].second;
}

void TableData::sortVisible() {
    const QVector<int> keys = effectiveSort();
    if (keys.isEmpty() || visible.size() < 2)
        return;
    const Column& first = columns[size_t(keys[0])];
    if (keys.size() == 1 && !fields[keys[0]].isLookup() && !first.isText()) {
        sortByNumber(first);
        return;
    }
    std::stable_sort(visible.begin(), visible.end(),
                     [&](int a, int b) { return compareRows(a, b, keys) < 0; });
}

void TableData::rebuild() {
    visible.clear();
    const int n = int(rowids.size());
    visible.reserve(size_t(n));
    const bool restrict = linkPos >= 0;
    const filter::Expression* expr =
        filtered && expression && !expression->isEmpty() ? expression.get() : nullptr;
    for (int row = 0; row < n; ++row) {
        if (deleted[size_t(row)])
            continue;
        if (restrict && !linkMatches(row))
            continue;
        if (expr && !expr->matches(*this, row))
            continue;
        visible.push_back(row);
    }
    sortVisible();
}

filter::FieldInfo TableData::resolveField(const QString& name) const {
    const int pos = q->indexOf(name);
    if (pos < 0)
        return {};
    return {pos, fields[pos].kind, fields[pos].name};
}

// Parses the filter text; a malformed one switches filtering off and throws.
void TableData::parseFilter() {
    expression.reset();
    try {
        expression = std::make_unique<filter::Expression>(
            filterText, [this](const QString& name) { return resolveField(name); });
    } catch (const Failure& f) {
        filtered = false;
        fail(f.text());
    }
}

void TableData::followMaster() {
    if (!active || !master)
        return;
    const QVariant value = currentMasterValue();
    if (value == masterValue && value.isNull() == masterValue.isNull())
        return;
    if (q->connection()->isConnected())
        checkBrowse();
    else if (state == Table::State::Edit || state == Table::State::Insert)
        q->cancel(); // the connection is closing: nothing can be stored any more
    if (value == masterValue && value.isNull() == masterValue.isNull())
        return; // ending the edit already followed
    masterValue = value;
    rebuild();
    goFirst(true);
}

// --- filter and sort -------------------------------------------------------------------------------

QString Table::filterText() const {
    return d->filterText;
}
bool Table::filtered() const {
    return d->filtered;
}

void Table::setFilterText(const QString& text) {
    // The same text again is no change: the rows and the cursor stay ("РЕЗУЛЬТАТ ТЕСТА!" pressed twice).
    if (text == d->filterText)
        return;
    if (d->master && !text.isEmpty())
        fail(QStringLiteral("Filter property cannot be used for detail tables"));
    if (!d->active || !d->filtered) {
        d->filterText = text;
        return;
    }
    d->checkBrowse();
    d->filterText = text;
    try {
        d->parseFilter();
    } catch (const Failure&) {
        d->rebuild();
        d->goFirst(true);
        throw;
    }
    d->rebuild();
    d->goFirst(true);
}

void Table::setFiltered(bool on) {
    if (on == d->filtered)
        return;
    if (on && d->master)
        fail(QStringLiteral("Filter property cannot be used for detail tables"));
    if (!d->active) {
        d->filtered = on;
        return;
    }
    d->checkBrowse();
    d->filtered = on;
    if (on)
        d->parseFilter();
    d->rebuild();
    d->goFirst(true);
}

QString Table::sort() const {
    if (d->sortText.isEmpty() && d->master)
        return d->linkField;
    return d->sortText;
}

void Table::setSort(const QString& fieldNames) {
    if (fieldNames == d->sortText)
        return;
    QVector<int> positions;
    for (const QString& part :
         fieldNames.split(QRegularExpression(QStringLiteral("[,;]")), Qt::SkipEmptyParts)) {
        QString name = part.trimmed();
        if (name.endsWith(QLatin1String(" ASC"), Qt::CaseInsensitive))
            name.chop(4);
        name = name.trimmed();
        if (name.startsWith(u'[') && name.endsWith(u']'))
            name = name.mid(1, name.size() - 2);
        if (!name.isEmpty())
            positions.append(fieldPos(name));
    }
    if (d->active)
        d->checkBrowse();
    d->sortText = fieldNames;
    d->sortPos = positions;
    if (!d->active)
        return;
    const int row = d->currentRow();
    d->rebuild();
    d->settleOn(row >= 0 ? d->findVisible(row) : -1);
}
