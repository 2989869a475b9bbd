#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cerrno>
#include <memory>

// File formats of the results export: a spreadsheet written row by row, never held whole in memory.
namespace report {

// One value of an exported row: empty, text, a number or a date with its time of day. `text` is always
// the value as the grids show it (what a CSV file holds).
struct ExportCell {
    enum class Kind { Empty, Text, Number, DateTime };
    Kind kind = Kind::Empty;
    QString text;
    double number = 0;
    QDateTime dateTime;
};

enum class ExportFormat { Xlsx, Csv };

// A write the system refused, with its error number (errno), or 0 and a text of the library's own.
struct WriteError {
    int code = 0;
    QString detail;
};

// The error number of the system call that has just failed; EIO when it set none.
inline int systemError() {
    return errno != 0 ? errno : EIO;
}

// Writes one sheet: the header row, then the rows in order, then finish(). Every call may throw WriteError;
// a writer dropped before finish() leaves an unfinished file behind for its owner to remove.
class SheetWriter {
public:
    virtual ~SheetWriter() = default;
    virtual void writeRow(const QVector<ExportCell>& cells) = 0;
    virtual void finish() = 0;
};

// A writer of `format` into `path` (created or overwritten), for `rowCount` rows under `headers`. A workbook
// is written by the spreadsheet module; when it cannot be loaded, Failure is thrown and nothing is written.
std::unique_ptr<SheetWriter> makeSheetWriter(ExportFormat format, const QString& path,
                                             const QStringList& headers, int rowCount);

// The rows a workbook sheet holds under its header row.
constexpr int xlsxMaxRows = 1048575;

// A date or time format of Qt's notation ("dd.MM.yyyy", "H:mm:ss") in a spreadsheet's number format
// notation ("dd.mm.yyyy", "h:mm:ss").
QString spreadsheetDateFormat(const QString& qtFormat);

} // namespace report
