// The cursor, reading values of the current row, and the pending edit with post, cancel and delete.
#include "table_p.h"

#include "connection.h"
#include "formats.h"
#include "writeerrors.h"

#include <QScopedValueRollback>

#include <algorithm>
#include <optional>

namespace {

constexpr int pendingRow = -1; // the new row of an insert, not yet in the database

QString variantTypeName(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::QString:
        return QStringLiteral("String");
    case QMetaType::Bool:
        return QStringLiteral("Boolean");
    case QMetaType::Double:
    case QMetaType::Float:
        return QStringLiteral("Double");
    case QMetaType::QDate:
    case QMetaType::QDateTime:
        return QStringLiteral("Date");
    default:
        break;
    }
    return v.isNull() ? QStringLiteral("Null") : QStringLiteral("Integer");
}

[[noreturn]] void cannotConvert(const QVariant& v, const QString& target) {
    throw Failure(QStringLiteral("Could not convert variant of type (%1) into type (%2)")
                      .arg(variantTypeName(v), target));
}

bool isNumber(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return true;
    default:
        return false;
    }
}

// A value of any type as a value of the field's kind (int, bool, QDateTime or QString); null stays null.
QVariant convert(const FieldDef& field, const QVariant& v) {
    if (v.isNull())
        return {};
    switch (field.kind) {
    case FieldKind::Text: {
        if (v.typeId() == QMetaType::QDateTime || v.typeId() == QMetaType::QDate)
            return formats::dateTimeText(v.toDateTime());
        if (v.typeId() == QMetaType::Bool)
            return formats::displayText(FieldKind::Boolean, v);
        return v.toString();
    }
    case FieldKind::AutoInc:
    case FieldKind::Integer: {
        if (v.typeId() == QMetaType::QString)
            return formats::parseTyped(FieldKind::Integer, v.toString(), field.name);
        if (v.typeId() == QMetaType::Bool)
            return QVariant(v.toBool() ? 1 : 0);
        if (!isNumber(v))
            cannotConvert(v, QStringLiteral("Integer"));
        const double d = v.toDouble();
        if (d < INT_MIN || d > INT_MAX)
            throw Failure(QStringLiteral("'%1' is not a valid integer value for field '%2'")
                              .arg(v.toString(), field.name));
        return QVariant(int(v.toLongLong()));
    }
    case FieldKind::Boolean:
        if (v.typeId() == QMetaType::QString)
            return formats::parseTyped(FieldKind::Boolean, v.toString(), field.name);
        if (v.typeId() == QMetaType::Bool || isNumber(v))
            return QVariant(v.toBool());
        cannotConvert(v, QStringLiteral("Boolean"));
    case FieldKind::DateTime:
        if (v.typeId() == QMetaType::QDateTime)
            return QVariant(QDateTime(v.toDateTime().date(), v.toDateTime().time()));
        if (v.typeId() == QMetaType::QDate)
            return QVariant(QDateTime(v.toDate(), QTime(0, 0)));
        if (v.typeId() == QMetaType::QString)
            return formats::parseTyped(FieldKind::DateTime, v.toString(), field.name);
        cannotConvert(v, QStringLiteral("Date"));
    case FieldKind::Lookup:
        break;
    }
    return v.toString();
}

// The value as it is written: yes/no as a truth value (stored as 0/1 in a file), date-times as ISO text.
QVariant storedForm(FieldKind kind, const QVariant& v) {
    if (v.isNull())
        return QVariant(QMetaType::fromType<QString>());
    switch (kind) {
    case FieldKind::Boolean:
        return QVariant(v.toBool());
    case FieldKind::DateTime:
        return QVariant(formats::isoText(v.toDateTime()));
    case FieldKind::AutoInc:
    case FieldKind::Integer:
        return QVariant(v.toLongLong());
    case FieldKind::Text:
    case FieldKind::Lookup:
        break;
    }
    return QVariant(v.toString());
}

} // namespace

void TableData::setCursor(int row, bool atBof, bool atEof) {
    const bool changed = row != cur || atBof != bof || atEof != eof;
    cur = row;
    bof = atBof;
    eof = atEof;
    if (changed)
        notify(&Table::dataSetChanged);
}

void TableData::goFirst(bool announce) {
    cur = count() > 0 ? 0 : -1;
    bof = true;
    eof = count() == 0;
    if (announce)
        notify(&Table::dataSetChanged);
}

// After the visible rows were rebuilt: the cursor on visible row `at`, or on the first when it is gone.
void TableData::settleOn(int at) {
    if (at < 0) {
        goFirst(true);
        return;
    }
    cur = at;
    bof = eof = false;
    notify(&Table::dataSetChanged);
}

int TableData::findVisible(int row) const {
    const auto it = std::find(visible.begin(), visible.end(), row);
    return it == visible.end() ? -1 : int(it - visible.begin());
}

// Ends a pending edit or insert: posted when modified, else cancelled.
void TableData::checkBrowse() {
    if (state == Table::State::Edit || state == Table::State::Insert) {
        announceUpdate();
        if (!modified) {
            q->cancel();
            return;
        }
        const QScopedValueRollback<bool> once(noticeGiven, true);
        q->post();
    }
}

// Lets widgets write what they hold into the record, once per post even when a handler posts itself.
void TableData::announceUpdate() {
    if (noticeGiven)
        return;
    const QScopedValueRollback<bool> once(noticeGiven, true);
    emit q->updatingRecord();
}

// A detail's new row needs its master's key: a modified pending master row is stored first, with what its
// widgets still hold (a question typed into a cell editor that was not left yet).
void TableData::storeMaster() {
    if (!master || !master->isActive() || master->state() == Table::State::Browse)
        return;
    master->d->announceUpdate();
    if (master->modified())
        master->post();
    else if (master->state() == Table::State::Insert)
        fail(QStringLiteral("Cannot add a row under a record that is not stored yet"));
}

void TableData::beginPending(bool atEnd) {
    savedCur = cur;
    savedBof = bof;
    savedEof = eof;
    buffer = QVector<QVariant>(fields.size());
    assigned = QVector<bool>(fields.size(), false);
    modified = false;
    if (linkPos >= 0 && !masterValue.isNull()) {
        buffer[linkPos] = convert(fields[linkPos], masterValue);
        assigned[linkPos] = true;
    }
    const int at = atEnd || cur < 0 ? count() : cur;
    visible.insert(visible.begin() + at, pendingRow);
    cur = at;
    bof = false;
    eof = atEnd;
    state = Table::State::Insert;
    notify(&Table::editingChanged);
    notify(&Table::dataSetChanged);
}

// --- cursor ----------------------------------------------------------------------------------------------

int Table::recordCount() const {
    return d->active ? d->count() : 0;
}
int Table::recNo() const {
    return d->active ? d->cur : -1;
}
bool Table::bof() const {
    return !d->active || d->bof;
}
bool Table::eof() const {
    return !d->active || d->eof;
}

void Table::first() {
    d->checkActive();
    d->checkBrowse();
    d->setCursor(d->count() > 0 ? 0 : -1, true, d->count() == 0);
}

void Table::last() {
    d->checkActive();
    d->checkBrowse();
    d->setCursor(d->count() - 1, d->count() == 0, true);
}

void Table::next() {
    moveBy(1);
}
void Table::prior() {
    moveBy(-1);
}

int Table::moveBy(int distance) {
    d->checkActive();
    d->checkBrowse();
    const int n = d->count();
    if (n == 0) {
        d->setCursor(-1, true, true);
        return 0;
    }
    if (distance == 0)
        return 0;
    const int target = std::clamp(d->cur + distance, 0, n - 1);
    const int moved = target - d->cur;
    const bool shortForward = distance > 0 && moved < distance;
    const bool shortBackward = distance < 0 && moved > distance;
    d->setCursor(target, shortBackward, shortForward);
    return moved;
}

void Table::moveTo(int row) {
    d->checkActive();
    if (row < 0 || row >= d->count() || row == d->cur)
        return;
    const int target = d->visible[size_t(row)];
    d->checkBrowse();
    const int at = d->findVisible(target);
    if (at >= 0)
        d->setCursor(at, false, false);
}

std::optional<qint64> Table::bookmark() const {
    if (!d->active || d->state == State::Insert || d->count() == 0)
        return std::nullopt;
    return d->rowids[size_t(d->currentRow())];
}

bool Table::gotoBookmark(qint64 mark) {
    d->checkActive();
    const auto it = std::find_if(d->visible.begin(), d->visible.end(), [&](int row) {
        return row != pendingRow && d->rowids[size_t(row)] == mark;
    });
    if (it == d->visible.end())
        return false;
    moveTo(int(it - d->visible.begin()));
    return d->currentRow() == *it;
}

bool Table::locate(const QString& fieldName, const QVariant& value, int options) {
    d->checkActive();
    const int pos = fieldPos(fieldName);
    d->checkBrowse();
    const bool partial = options & PartialKey;
    const Qt::CaseSensitivity cs = (options & CaseInsensitive) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const FieldDef& f = d->fields[pos];
    const bool textual = f.kind == FieldKind::Text || f.kind == FieldKind::Lookup;
    QVariant wanted;
    if (!textual && !value.isNull()) {
        try {
            wanted = convert(f, value);
        } catch (const Failure&) {
            return false;
        }
    }
    const QString text = value.toString();
    for (int i = 0; i < d->count(); ++i) {
        const QVariant v = d->rowValue(d->visible[size_t(i)], pos);
        bool match = false;
        if (value.isNull())
            match = v.isNull();
        else if (v.isNull())
            match = false;
        else if (textual)
            match = partial ? v.toString().startsWith(text, cs) : v.toString().compare(text, cs) == 0;
        else
            match = v == wanted;
        if (match) {
            d->setCursor(i, false, false);
            return true;
        }
    }
    return false;
}

// --- values ------------------------------------------------------------------------------------------

QVariant Table::value(int pos) const {
    d->checkActive();
    field(pos);
    const int row = d->currentRow();
    if (row == INT_MIN)
        return {};
    return d->rowValue(row, pos);
}

QString Table::asText(int pos) const {
    return displayText(pos);
}

int Table::asInteger(int pos) const {
    const QVariant v = value(pos);
    if (v.isNull())
        cannotConvert(v, QStringLiteral("Integer"));
    switch (d->fields[pos].kind) {
    case FieldKind::Text:
    case FieldKind::Lookup: {
        bool ok = false;
        const int i = v.toString().trimmed().toInt(&ok);
        if (!ok)
            throw Failure(QStringLiteral("'%1' is not a valid integer value").arg(v.toString()));
        return i;
    }
    case FieldKind::DateTime:
        cannotConvert(v, QStringLiteral("Integer"));
    case FieldKind::Boolean:
    case FieldKind::AutoInc:
    case FieldKind::Integer:
        break;
    }
    return v.toInt();
}

bool Table::asBoolean(int pos) const {
    const QVariant v = value(pos);
    if (v.isNull())
        return false;
    switch (d->fields[pos].kind) {
    case FieldKind::Text:
    case FieldKind::Lookup: {
        const QString t = v.toString().trimmed();
        return t.startsWith(u't', Qt::CaseInsensitive) || t.startsWith(u'y', Qt::CaseInsensitive);
    }
    case FieldKind::DateTime:
        return v.toDateTime().isValid();
    case FieldKind::Boolean:
    case FieldKind::AutoInc:
    case FieldKind::Integer:
        break;
    }
    return v.toLongLong() != 0;
}

bool Table::isNull(int pos) const {
    return value(pos).isNull();
}

QString Table::displayText(int pos) const {
    return formats::displayText(d->fields[pos].kind, value(pos));
}

QVariant Table::valueAt(int row, int pos) const {
    if (!d->active || row < 0 || row >= d->count() || pos < 0 || pos >= d->fields.size())
        return {};
    return d->rowValue(d->visible[size_t(row)], pos);
}

QString Table::displayTextAt(int row, int pos) const {
    if (pos < 0 || pos >= d->fields.size())
        return {};
    return formats::displayText(d->fields[pos].kind, valueAt(row, pos));
}

// --- editing -----------------------------------------------------------------------------------------

void Table::edit() {
    d->checkActive();
    if (d->state != State::Browse)
        return;
    if (d->count() == 0) {
        insert();
        return;
    }
    const int row = d->currentRow();
    d->buffer = QVector<QVariant>(d->fields.size());
    for (int pos = 0; pos < d->fields.size(); ++pos)
        if (!d->fields[pos].isLookup())
            d->buffer[pos] = d->columns[size_t(pos)].value(row);
    d->assigned = QVector<bool>(d->fields.size(), false);
    d->modified = false;
    d->state = State::Edit;
    d->notify(&Table::editingChanged);
}

void Table::insert() {
    d->checkActive();
    d->storeMaster();
    d->checkBrowse();
    d->beginPending(false);
}

void Table::append() {
    d->checkActive();
    d->storeMaster();
    d->checkBrowse();
    d->beginPending(true);
}

qint64 TableData::write(const backend::RowWrite& write, const QHash<QString, QVariant>& values) const {
    const bool deleting = write.kind == backend::RowWrite::Delete;
    const QString prefix =
        deleting ? QStringLiteral("Запись нельзя удалить: ") : QStringLiteral("Запись нельзя сохранить: ");
    Connection& connection = *q->connection();
    try {
        connection.backend().prepareForWriting();
        return connection.backend().write(write);
    } catch (const backend::Refused& refused) {
        fail(prefix + explainRefusal(connection, realTable, refused.refusal, deleting, write.key, values));
    } catch (const backend::DatabaseError& error) {
        fail(prefix + (error.problem.isEmpty() ? error.text : error.problem));
    }
}

void Table::post() {
    d->checkActive();
    if (d->state != State::Edit && d->state != State::Insert)
        return;
    d->announceUpdate();
    if (d->state != State::Edit && d->state != State::Insert)
        return;
    const bool inserting = d->state == State::Insert;
    QStringList cols;
    QVariantList values;
    QHash<QString, QVariant> written;
    for (int pos = 0; pos < d->fields.size(); ++pos) {
        if (!d->assigned[pos] || d->fields[pos].isLookup() || d->fields[pos].readOnly())
            continue;
        cols.append(d->columnNames[pos]);
        values.append(storedForm(d->fields[pos].kind, d->buffer[pos]));
        written.insert(d->columnNames[pos], values.back());
    }
    const qint64 rowid = inserting ? 0 : d->rowids[size_t(d->currentRow())];
    qint64 key = rowid;
    if (inserting || !cols.isEmpty()) {
        backend::RowWrite write{inserting ? backend::RowWrite::Insert : backend::RowWrite::Update,
                                d->realTable,
                                cols,
                                values,
                                rowid,
                                {}};
        // An edited row is written only while it still holds what was read: the check and the write are one
        // transaction, so another program cannot change the row between them.
        if (!inserting)
            write.check = [this] {
                if (!d->storedRowUnchanged(d->currentRow()))
                    fail(QStringLiteral("Row cannot be located for updating. Some values may have been "
                                        "changed since it was last read."));
            };
        key = d->write(write, written);
    }
    if (inserting) {
        const int row = int(d->rowids.size());
        d->rowids.push_back(key);
        d->deleted.push_back(false);
        for (int pos = 0; pos < d->fields.size(); ++pos) {
            d->columns[size_t(pos)].appendNull();
            if (!d->fields[pos].isLookup())
                d->columns[size_t(pos)].set(row, d->buffer[pos]);
        }
        d->state = State::Browse;
        d->visible[size_t(d->cur)] = row;
        d->reloadRow(row);
    } else {
        const int row = d->currentRow();
        d->state = State::Browse;
        if (!cols.isEmpty())
            d->reloadRow(row);
    }
    d->buffer.clear();
    d->assigned.clear();
    d->modified = false;
    d->contentChanged();
    d->notify(&Table::editingChanged);
    d->notify(&Table::recordChanged);
    d->followMaster(); // the master may have moved while this row could not be stored
}

void Table::cancel() {
    d->checkActive();
    if (d->state == State::Browse)
        return;
    const bool inserting = d->state == State::Insert;
    d->state = State::Browse;
    d->buffer.clear();
    d->assigned.clear();
    d->modified = false;
    if (inserting) {
        d->visible.erase(d->visible.begin() + d->cur);
        d->cur = std::min(d->savedCur, d->count() - 1);
        d->bof = d->count() == 0 || d->savedBof;
        d->eof = d->count() == 0 || d->savedEof;
        d->notify(&Table::editingChanged);
        d->notify(&Table::dataSetChanged);
    } else {
        d->notify(&Table::editingChanged);
        d->notify(&Table::recordChanged);
    }
    d->followMaster();
}

void Table::remove() {
    d->checkActive();
    if (d->state == State::Insert) {
        cancel();
        return;
    }
    if (d->count() == 0)
        fail(QStringLiteral("Cannot perform this operation on an empty dataset"));
    if (d->state == State::Edit)
        cancel();
    const int row = d->currentRow();
    d->write({backend::RowWrite::Delete, d->realTable, {}, {}, d->rowids[size_t(row)], {}});
    d->deleted[size_t(row)] = true;
    d->visible.erase(d->visible.begin() + d->cur);
    d->cur = std::min(d->cur, d->count() - 1);
    d->bof = d->eof = d->count() == 0;
    d->contentChanged();
    d->notify(&Table::dataSetChanged);
}

bool Table::modified() const {
    return d->active && d->state != State::Browse && d->modified;
}

void Table::setValue(int pos, const QVariant& value) {
    d->checkActive();
    const FieldDef& f = field(pos);
    if (f.readOnly() || f.isLookup())
        fail(QStringLiteral("Field '%1' cannot be modified").arg(f.name));
    QVariant converted = convert(f, value);
    if (f.kind == FieldKind::Text && f.size > 0 && converted.toString().size() > f.size)
        fail(QStringLiteral("Поле «%1» вмещает не больше %2 знаков, а в тексте их %3: текст не сохранён.")
                 .arg(f.name)
                 .arg(f.size)
                 .arg(converted.toString().size()));
    if (d->state == State::Browse)
        edit();
    d->buffer[pos] = std::move(converted);
    d->assigned[pos] = true;
    d->modified = true;
    d->notify(&Table::recordChanged);
}

void Table::setText(int pos, const QString& text) {
    d->checkActive();
    const FieldDef& f = field(pos);
    if (f.kind == FieldKind::Text)
        setValue(pos, text.isEmpty() ? QVariant() : QVariant(text));
    else
        setValue(pos, formats::parseTyped(f.kind, text, f.name));
}
