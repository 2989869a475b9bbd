#pragma once

#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QVector>

struct sqlite3;

// The ADO-style connection: a connection string of "Key=Value" items joined by ";". The provider
// Microsoft.Jet.OLEDB.4.0 with a Data Source file opens that file (a SQLite 3 database) through QtSql; an
// Access file there is first converted into one (data/access).
// Failures throw Failure with the object's name and ": " in front of the text.
class Connection : public QObject {
    Q_OBJECT
public:
    explicit Connection(const QString& objectName, QObject* parent = nullptr);
    ~Connection() override;

    QString connectionString() const { return m_connectionString; }
    // Kept as given; a new string takes effect at the next open (an open connection is reopened then).
    void setConnectionString(const QString& text);
    // The value of one item of the connection string, keys compared without regard to case; empty if absent.
    QString item(const QString& key) const;

    // No-op when open with the same string. A file the database can only read opens, announced by
    // cannotWrite; so does one in a folder where no file can be made (its journal could not be).
    void open();
    void close();
    bool isConnected() const { return m_connected; }

    QSqlDatabase database() const;
    // Real table and column names, found without regard to letter case (Cyrillic included).
    QString resolveTableName(const QString& name) const; // empty if none
    QString resolveColumnName(const QString& table, const QString& column) const;

    // A column of a table as the database declares it.
    struct ColumnInfo {
        QString name;
        QString declaredType;
        bool primaryKey = false;
    };
    QVector<ColumnInfo> columns(const QString& realTable) const;
    QStringList tableNames() const;
    // The SQLite handle under the QtSql connection, for fast reading and the collation; null when closed.
    sqlite3* handle() const;
    // Names compared as the database engine does: letter case ignored, Cyrillic included.
    static bool sameName(const QString& a, const QString& b);
    // A table or column name quoted for SQL ("name", inner quotes doubled).
    static QString quoted(const QString& name);
    // A value for an item of a connection string, between double quotes with inner ones doubled (ADO's rule),
    // so that it reads back as it is: ";", quotes, "=" and blanks at its ends included.
    static QString quotedItemValue(const QString& value);
    [[noreturn]] void fail(const QString& text) const;
    // Called before each write: a database opened read-only stays so even once its file becomes writable,
    // so it is opened again (quietly, tables untouched) in case the cause has gone.
    void prepareForWriting();

signals:
    void connectedChanged(bool connected);
    // The database just opened can be read but not written; `text` says so in the user's words.
    void cannotWrite(const QString& text);
    // An Access file was converted while opening: the sentence that tells the user where each file is.
    void converted(const QString& notice);

private:
    QString m_connectionString;
    QString m_openedString;
    QString m_dbName;     // QSqlDatabase connection name, unique per object and opening
    QString m_path;       // the file open now
    QString m_lockedPath; // the file whose last opening failed after waiting for its lock
    bool m_connected = false;
};
