// The inside of a table object, shared by the files that implement Table; nothing outside the engine sees it.
#pragma once

#include "backend.h"
#include "filter.h"
#include "storage.h"
#include "table.h"

#include "base/failure.h"

#include <QHash>
#include <QMutex>
#include <QPointer>
#include <QStringList>

#include <atomic>
#include <climits>
#include <functional>
#include <memory>
#include <unordered_set>
#include <vector>

class TextPool;

constexpr int lookupWidth = 20; // characters a lookup field holds when its size is not given

// Lookups find a row by key through a hash over all stored rows, built on first use after each change.
struct LookupIndex {
    std::atomic<bool> ready{false};
    QHash<qint64, int> ints;
    QHash<QString, int> texts;
};

struct TableData : public filter::RowSource {
    explicit TableData(Table* table) : q(table) {}

    Table* q;
    QVector<FieldDef> fields;
    QVector<int> order;

    // master-detail
    QPointer<Table> master;
    std::vector<QPointer<Table>> details;
    QString linkField;
    QString masterField;
    int linkPos = -1;
    QVariant masterValue;

    // lookups: per lookup field, its key position here and the key and result positions there
    struct Binding {
        int keyPos = -1;
        int lookupKeyPos = -1;
        int resultPos = -1;
    };
    QVector<Binding> bindings;
    std::unordered_set<const Table*> lookupSources;

    bool active = false;
    Table::State state = Table::State::Inactive;
    QString realTable;
    QStringList columnNames; // the real column per field position; empty for lookups
    std::vector<Column> columns;
    RowVector<qint64> rowids;
    RowVector<bool> deleted;

    RowVector<int> visible;
    int cur = -1;
    bool bof = true;
    bool eof = true;

    QVector<QVariant> buffer;
    QVector<bool> assigned;
    bool modified = false;
    bool noticeGiven = false; // updatingRecord already emitted for the post under way
    int savedCur = -1;
    bool savedBof = true;
    bool savedEof = true;

    QString filterText;
    bool filtered = false;
    std::unique_ptr<filter::Expression> expression;
    QString sortText;
    QVector<int> sortPos;

    std::vector<std::unique_ptr<LookupIndex>> indexes;
    mutable QMutex indexMutex;

    // --- RowSource ---
    const Column* column(int pos) const override {
        return fields[pos].isLookup() ? nullptr : &columns[size_t(pos)];
    }
    QVariant value(int row, int pos) const override { return rowValue(row, pos); }

    int count() const { return int(visible.size()); }
    int currentRow() const { return cur >= 0 && cur < count() ? visible[size_t(cur)] : INT_MIN; }
    bool isBuffered(int row) const {
        return state != Table::State::Browse && state != Table::State::Inactive && row == currentRow();
    }

    [[noreturn]] void fail(const QString& text) const {
        throw Failure(q->objectName() + QStringLiteral(": ") + text);
    }
    void checkActive() const {
        if (!active)
            fail(QStringLiteral("Cannot perform this operation on a closed dataset"));
    }

    // table.cpp
    void notify(void (Table::*notice)());

    // tablerows.cpp: reading rows from the database
    QStringList storedColumns() const;
    void readRow(const backend::RowStream& rows, std::vector<Column>& into, int row,
                 std::vector<TextPool>& interned) const;
    void reading(const std::function<void(backend::Backend&)>& read) const;
    void loadRows();
    // Appends the rows stored after the last one read; true when there were any.
    bool loadRowsAfter();
    void shrink();
    void orderByKey(); // the rows read put in key order
    void reloadRow(int row);
    // The stored row still holds what was read into `row` (false when it is gone).
    bool storedRowUnchanged(int row) const;

    // tablelookup.cpp: values of stored rows and the lookup index
    QVariant rowValue(int row, int pos) const;
    int lookupRow(int keyPos, const QVariant& key) const;
    void invalidateIndexes();
    void contentChanged();

    // tableview.cpp: the visible rows
    QVariant currentMasterValue() const;
    bool linkMatches(int row) const;
    QVector<int> effectiveSort() const;
    int compareRows(int a, int b, const QVector<int>& keys) const;
    void sortByNumber(const Column& key);
    void sortVisible();
    void rebuild();
    filter::FieldInfo resolveField(const QString& name) const;
    void parseFilter();
    void followMaster();

    // tablecursor.cpp: the cursor and the pending edit
    void setCursor(int row, bool atBof, bool atEof);
    void goFirst(bool announce);
    void settleOn(int at);
    int findVisible(int row) const;
    void checkBrowse();
    void announceUpdate();
    void storeMaster();
    void beginPending(bool atEnd);
    // Runs a write; a failure as the sentence the user reads, "Запись нельзя сохранить: …".
    qint64 write(const backend::RowWrite& write, const QHash<QString, QVariant>& values = {}) const;
};
