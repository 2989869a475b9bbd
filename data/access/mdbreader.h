#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

// Reading an Access file (Jet 3, Jet 4, ACE) through mdbtools' libmdb: its user tables with their columns
// and indexes, its rows and the relations stored in it. Nothing here writes to the file.
namespace accessdb {

// The Access data types a column can have.
enum class Kind {
    Boolean,
    Byte,
    Short,
    Long,
    Float,
    Double,
    Currency,
    Decimal,
    DateTime,
    Text,
    Memo,
    Binary,
    Ole,
    Guid,
    Complex
};

struct Column {
    QString name;
    Kind kind = Kind::Text;
    int length = 0; // characters of a text column
    int precision = 0, scale = 0;
    bool autoNumber = false;
};

struct Index {
    QString name;
    QVector<int> columns; // positions in the table's column list
    QVector<bool> descending;
    bool primary = false;
    bool unique = false;
};

struct TableSchema {
    QString name;
    QVector<Column> columns;
    QVector<Index> indexes;
};

// A relation as Access stores it: the rows of `table` refer through `columns` to `referenced`.
struct Relation {
    QString name;
    QString table;
    QStringList columns;
    QString referenced;
    QStringList referencedColumns;
    bool enforced = true;
    bool cascadeDelete = false;
    bool cascadeUpdate = false;
};

// One value of a row: null, a whole number (yes/no, integers), a number with a fraction (floating point,
// date-times as Access keeps them: days from 30 December 1899), UTF-8 text or bytes.
struct Value {
    enum Type { Null, Integer, Real, Text, Blob } type = Null;
    qint64 integer = 0;
    double real = 0;
    QByteArray bytes;
};

class Reader {
public:
    // Opens the file for reading; throws Failure (a whole Russian sentence) when libmdb cannot read it.
    // `codePage` is the Windows code page of a Jet 3 file's text; 0 takes the one its header names, and
    // Windows-1251 where the header names none or Windows-1252 (see jet3CodePage()). Jet 4 and later keep
    // their text in Unicode and ignore it.
    explicit Reader(const QString& path, int codePage = 0);
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // The file's own tables (no system or linked tables), in the order the file lists them.
    const QVector<TableSchema>& tables() const { return m_tables; }
    // The relations between those tables.
    QVector<Relation> relations() const;
    // Calls `row` with each row of `table`, values in the order of its columns; returns the number of rows.
    // A row or a value that cannot be read, or another number of rows than the file counts, is a damaged
    // file: Failure.
    qint64 readRows(const TableSchema& table, const std::function<void(const QVector<Value>&)>& row) const;

private:
    struct Handle;
    std::unique_ptr<Handle> m_handle;
    QString m_path;
    QVector<TableSchema> m_tables;
};

// A file's full name as messages show it.
QString shownPath(const QString& path);

// The code pages a Jet 3 file's text can be read in.
bool knownCodePage(int codePage);

// The code page a Jet 3 file's text is read in when none is asked for: the one its header names, except that
// Access 97 wrote 0 or 1252 there whatever the Windows that made the file, and this program's schools write
// Russian (Windows-1251).
int jet3CodePage(int headerCodePage);

} // namespace accessdb
