#pragma once

#include "base/writeerror.h"

#include <QDateTime>
#include <QString>
#include <QVector>

// What a spreadsheet writer takes and how it fails: shared by the program's CSV writer and the workbook
// writer of the separately built spreadsheet module.
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

using files::systemError;
using files::WriteError;

// Writes one sheet: the header row, then the rows in order, then finish(). Every call may throw WriteError;
// a writer dropped before finish() leaves an unfinished file behind for its owner to remove.
class SheetWriter {
public:
    virtual ~SheetWriter() = default;
    virtual void writeRow(const QVector<ExportCell>& cells) = 0;
    virtual void finish() = 0;
};

} // namespace report
