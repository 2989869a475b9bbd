#pragma once

#include <QByteArray>
#include <QVector>

// An Access 97 (Jet 3) database made byte by byte, as small as libmdb reads one: the header with the code
// page it names, the catalog (MSysObjects) with one entry, and that table with an autonumber key and one text
// column, a row per text. Names and texts are bytes in the file's code page, as Access 97 stores them.
// No Jet 3 file is among the fixtures, and none can be written here by other means.
struct Jet3File {
    quint16 headerCodePage = 0;
    QByteArray table;
    QByteArray keyColumn;
    QByteArray textColumn;
    QVector<QByteArray> texts;
    QVector<quint32> keys; // the key of each row; 1, 2, 3… when empty
    int keySize = 4;       // the key column's size as the table's definition gives it: 4 in a sound file

    QByteArray bytes() const;
};
