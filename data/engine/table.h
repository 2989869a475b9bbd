#pragma once

#include "field.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <QVector>

#include <functional>
#include <memory>
#include <optional>

class Connection;
class DataSource;
struct TableData;

// A table object: the whole of one database table read into a static client-side cursor. Filter, sort and
// the master-detail restriction work in memory and give the visible rows; post, delete and refresh go to the
// database with bound parameters. Every failure throws Failure with "<objectName>: " in front of its text.
//
// Field positions are fixed by the field list as built; grids keep their own column order in
// columnOrder(), so moving a column never changes what a position names.
class Table : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };
    enum LocateOption { LocateExact = 0, CaseInsensitive = 1, PartialKey = 2 };

    Table(const QString& objectName, Connection* connection, const QString& tableName,
          QObject* parent = nullptr);
    ~Table() override;

    // --- settings (while closed) -------------------------------------------------------------------
    void addField(const FieldDef& field);
    // A detail: holds the rows whose `linkField` equals `masterField` of the master's current row, sorted by
    // the link field.
    void setMaster(DataSource* master, const QString& linkField, const QString& masterField);
    Connection* connection() const { return m_connection; }
    QString tableName() const { return m_tableName; }

    // --- opening -----------------------------------------------------------------------------------
    // Opens the connection and every closed lookup table first; checks each stored field against the
    // table's columns ("Field '%s' not found", "Type mismatch for field '%s', expecting: %s actual: %s").
    void open();
    void close();
    bool isActive() const;
    void refresh(); // re-reads the rows; the cursor stays on the same key where it can
    // Reads only the rows stored after the last one read (a row the server stored for this program), the
    // cursor where it was; rows others changed or deleted stay as read.
    void readNewRows();
    State state() const;
    bool canModify() const { return isActive(); }

    // --- fields ------------------------------------------------------------------------------------
    int fieldCount() const;
    const FieldDef& field(int pos) const;
    int indexOf(const QString& name) const;        // letter case ignored, -1 when absent
    int fieldPos(const QString& name) const;       // throws "Field '%s' not found"
    int displayWidth(int pos) const;               // the set width or the kind's default
    void setDisplayWidth(int pos, int characters); // layout changed
    QVector<int> columnOrder() const;              // field positions in the grids' column order
    void moveColumn(int from, int to);             // indexes into columnOrder(); layout changed

    // --- cursor ------------------------------------------------------------------------------------
    int recordCount() const; // visible rows (a pending new row included)
    bool isEmpty() const { return recordCount() == 0; }
    int recNo() const; // 0-based visible row of the cursor, -1 when none
    bool bof() const;
    bool eof() const;
    void first();
    void last();
    void next();
    void prior();
    int moveBy(int distance); // returns the distance actually moved
    void moveTo(int row);     // a visible row, as a grid click does; ends a pending edit of another row
    bool locate(const QString& fieldName, const QVariant& value, int options = LocateExact);
    // The stored row under the cursor, by an identity that survives cursor moves, new rows and refreshes;
    // none for a pending new row or an empty table.
    std::optional<qint64> bookmark() const;
    // Moves the cursor to a bookmarked row that is still visible; false, and no move, when it is not.
    bool gotoBookmark(qint64 mark);

    // --- values of the current row ------------------------------------------------------------------
    QVariant value(int pos) const; // null with no current row; lookups give their result
    QVariant value(const QString& name) const { return value(fieldPos(name)); }
    QString asText(int pos) const; // empty for null
    int asInteger(int pos) const;  // "Could not convert variant of type (Null) into type (Integer)" for null
    bool asBoolean(int pos) const; // false for null
    bool isNull(int pos) const;
    QString displayText(int pos) const;

    // --- values of any visible row (grids, the report) ------------------------------------------------
    QVariant valueAt(int row, int pos) const;
    QString displayTextAt(int row, int pos) const;
    // A value of the row whose `keyField` equals `key`, over all rows whatever the filter, without moving
    // the cursor; null when none. This is how lookup fields resolve.
    QVariant lookup(const QString& keyField, const QVariant& key, const QString& resultField) const;

    // --- editing -----------------------------------------------------------------------------------
    void edit();
    void insert(); // a new empty row before the current one
    void append(); // a new empty row at the end
    void post();
    void cancel();
    void remove(); // deletes the current row (a never-posted new row is only discarded)
    bool modified() const;
    // Writes a field of the row being edited or inserted (edit() is called first when browsing).
    // Integers written to a text field store their decimal text.
    void setValue(int pos, const QVariant& value);
    void setValue(const QString& name, const QVariant& value) { setValue(fieldPos(name), value); }
    // Typed text by the rules of the field's kind, with their messages ("'%s' is not a valid integer value
    // for field '%s'", "'%s' is not a valid boolean value for field '%s'", "'%s' is not a valid date and
    // time"); empty text stores null.
    void setText(int pos, const QString& text);

    // --- filter and sort ---------------------------------------------------------------------------
    QString filterText() const;
    void setFilterText(const QString& text); // applied at once while filtering is on
    bool filtered() const;
    void setFiltered(bool on); // a malformed text throws and leaves filtering off
    QString sort() const;
    void setSort(const QString& fieldNames); // "id_темы" or "a,b": ascending, stable

signals:
    void activeChanged();
    void dataSetChanged();
    void recordChanged();
    void editingChanged();
    void layoutChanged();
    // Stored values changed (open, close, refresh, post, delete): tables whose lookups read this one repaint.
    void contentChanged();
    // Emitted (directly) at the start of post() and before the engine itself ends a pending edit, so that
    // widgets holding typed but unwritten values write them into the record first.
    void updatingRecord();

private:
    friend struct TableData;
    [[noreturn]] void fail(const QString& text) const;
    // Reads rows by `read` (false: nothing new), the cursor kept on its row's key where it still shows.
    void rereadKeepingCursor(const std::function<bool()>& read);

    Connection* m_connection;
    QString m_tableName;
    std::unique_ptr<TableData> d;
};
