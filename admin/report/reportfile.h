#pragma once

#include <QPicture>
#include <QSizeF>
#include <QString>
#include <QVector>

#include <functional>

class QPainter;

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

// One PDF page per report page, the paper's size, no margins: `page` paints page `index` so that a
// millimetre is `pixelsPerMm` pixels.
using PlacePage = std::function<void(QPainter& painter, int index, double pixelsPerMm)>;
void savePdf(const QString& path, QSizeF paperMm, int pageCount, const PlacePage& page);
// The same, playing the report's pages back.
void savePdf(const QString& path, const SavedReport& report);

} // namespace report
