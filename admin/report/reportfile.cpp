#include "reportfile.h"

#include "pagepainter.h"

#include "app/services/appinfo.h"
#include "app/services/failure.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDataStream>
#include <QFile>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace report {

namespace {
const QByteArray magic("MUZREPRT");
constexpr auto hashKind = QCryptographicHash::Sha256;
constexpr int hashSize = 32;
// Hundredths of a millimetre: paper sizes are whole numbers of them.
constexpr double hundredthsPerMm = 100.0;

[[noreturn]] void damaged(const QString& path) {
    throw Failure(QStringLiteral("Файл отчёта «%1» повреждён.").arg(path));
}

QByteArray encode(const SavedReport& report) {
    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_0);
        out.writeRawData(magic.constData(), int(magic.size()));
        out << fileVersion << quint32(qRound(report.paperMm.width() * hundredthsPerMm))
            << quint32(qRound(report.paperMm.height() * hundredthsPerMm)) << quint32(report.pages.size());
        for (const QPicture& page : report.pages) {
            out << quint32(page.size());
            out.writeRawData(page.data(), int(page.size()));
        }
    }
    bytes.append(QCryptographicHash::hash(bytes, hashKind));
    return bytes;
}
} // namespace

void saveReport(const QString& path, const SavedReport& report) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(encode(report)) < 0 || !file.commit())
        throw Failure(QStringLiteral("Не удалось сохранить файл «%1»: %2").arg(path, file.errorString()));
}

SavedReport loadReport(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Не удалось открыть файл «%1»: %2").arg(path, file.errorString()));
    return parseReport(file.readAll(), path);
}

SavedReport parseReport(const QByteArray& bytes, const QString& path) {
    if (!bytes.startsWith(magic))
        throw Failure(QStringLiteral("Файл «%1» не является отчётом программы.").arg(path));
    if (bytes.size() < magic.size() + hashSize)
        damaged(path);
    const QByteArray body = bytes.left(bytes.size() - hashSize);
    QDataStream in(body);
    in.setVersion(QDataStream::Qt_6_0);
    in.skipRawData(int(magic.size()));
    quint16 version = 0;
    in >> version;
    if (in.status() == QDataStream::Ok && version > fileVersion)
        throw Failure(QStringLiteral("Файл отчёта «%1» сохранён более новой версией программы.").arg(path));
    if (bytes.right(hashSize) != QCryptographicHash::hash(body, hashKind))
        damaged(path);

    quint32 width = 0;
    quint32 height = 0;
    quint32 count = 0;
    in >> width >> height >> count;
    if (in.status() != QDataStream::Ok || version == 0 || width == 0 || height == 0)
        damaged(path);
    SavedReport report;
    report.paperMm = QSizeF(width / hundredthsPerMm, height / hundredthsPerMm);
    for (quint32 i = 0; i < count; ++i) {
        quint32 length = 0;
        in >> length;
        if (in.status() != QDataStream::Ok || length > quint32(body.size()))
            damaged(path);
        QByteArray data(qsizetype(length), Qt::Uninitialized);
        if (in.readRawData(data.data(), int(length)) != int(length))
            damaged(path);
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        QPicture page;
        if (!page.load(&buffer))
            damaged(path);
        report.pages.append(page);
    }
    if (!in.atEnd())
        damaged(path);
    return report;
}

void savePdf(const QString& path, const SavedReport& report) {
    QSaveFile file(path);
    const auto failed = [&]() {
        return Failure(QStringLiteral("Не удалось сохранить файл «%1»: %2").arg(path, file.errorString()));
    };
    if (!file.open(QIODevice::WriteOnly))
        throw failed();
    {
        QPdfWriter pdf(&file);
        pdf.setCreator(appinfo::title());
        pdf.setPageSize(QPageSize(report.paperMm, QPageSize::Millimeter));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setResolution(1200);
        QPainter painter;
        if (!painter.begin(&pdf))
            throw failed();
        const double pixelsPerMm = pdf.resolution() / 25.4;
        for (int i = 0; i < report.pages.size(); ++i) {
            if (i > 0)
                pdf.newPage();
            playPage(painter, report.pages.at(i), pixelsPerMm);
        }
        painter.end();
    }
    if (!file.commit())
        throw failed();
}

} // namespace report
