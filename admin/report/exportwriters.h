#pragma once

#include "sheetwriter.h"

#include <QString>
#include <QStringList>

#include <memory>

// File formats of the results export: a spreadsheet written row by row, never held whole in memory.
namespace report {

enum class ExportFormat { Xlsx, Csv };

// A writer of `format` into `path` (created or overwritten), for `rowCount` rows under `headers`, with a
// `note` in a row of its own above them unless it is empty. A workbook is written by the spreadsheet module;
// when it cannot be loaded, Failure is thrown and nothing is written.
std::unique_ptr<SheetWriter> makeSheetWriter(ExportFormat format, const QString& path,
                                             const QStringList& headers, int rowCount,
                                             const QString& note = {});

// The rows a workbook sheet holds under its header row.
constexpr int xlsxMaxRows = 1048575;

// A date or time format of Qt's notation ("dd.MM.yyyy", "H:mm:ss") in a spreadsheet's number format
// notation ("dd.mm.yyyy", "h:mm:ss").
QString spreadsheetDateFormat(const QString& qtFormat);

} // namespace report
