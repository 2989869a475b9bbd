#pragma once

#include "pagepainter.h"

#include <QPicture>
#include <QSizeF>
#include <QString>
#include <QVector>

// A produced report kept in a file of the program's own (see docs/report.md), and PDF export.
namespace report {

struct SavedReport {
    QSizeF paperMm{210, 297};
    QVector<QPicture> pages;
};

inline const QString fileSuffix = QStringLiteral("rpt");
// The newest format version this program writes and reads.
constexpr quint16 fileVersion = 1;

// Both throw Failure with a Russian text for the teacher; loading gives all the pages or nothing.
void saveReport(const QString& path, const SavedReport& report);
SavedReport loadReport(const QString& path);
// The same bytes, for a file already read.
SavedReport parseReport(const QByteArray& bytes, const QString& path);

// One PDF page per report page, the paper's size, no margins, each painted by `page`.
void savePdf(const QString& path, QSizeF paperMm, int pageCount, const PlacePage& page);
// The same on two threads at once, the first half of the pages on this one, the second on another, each
// into a PDF of its own, then joined. `makePainter` is called on each thread for what paints its pages
// there: a painter's fonts belong to the thread that made them.
void savePdfOnTwoThreads(const QString& path, QSizeF paperMm, int pageCount,
                         const std::function<PlacePage()>& makePainter);
// The same, playing the report's pages back.
void savePdf(const QString& path, const SavedReport& report);

} // namespace report
