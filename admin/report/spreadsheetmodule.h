#pragma once

#include "sheetwriter.h"

#include <QString>
#include <QStringList>
#include <QtPlugin>

#include <memory>

namespace report {

// The number formats of the workbook's date cells, in a spreadsheet's notation, made by the program from its
// own date and time formats: a date alone, and a date with its time of day.
struct SheetDateFormats {
    QString date;
    QString dateTime;
};

// What the separately built spreadsheet module offers: workbook writers. Only the module links libxlsxwriter,
// which the program needs only when results are saved as a workbook.
class SpreadsheetModule {
public:
    virtual ~SpreadsheetModule() = default;
    // A workbook writer as makeSheetWriter makes it; throws WriteError.
    virtual std::unique_ptr<SheetWriter> createWriter(const QString& path, const QStringList& headers,
                                                      int rowCount, const SheetDateFormats& formats,
                                                      const QString& note) = 0;
};

} // namespace report

#define SpreadsheetModule_iid "ru.school.muzyka.SpreadsheetModule/1.1"
Q_DECLARE_INTERFACE(report::SpreadsheetModule, SpreadsheetModule_iid)
