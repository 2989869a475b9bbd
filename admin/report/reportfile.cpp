#include "reportfile.h"

#include "pagepainter.h"
#include "pdfjoin.h"

#include "base/appinfo.h"
#include "base/failure.h"
#include "base/filewrite.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QScopeGuard>
#include <QTemporaryFile>
#include <QThread>
#include <QtEndian>

namespace report {

namespace {
const QByteArray magic("MUZREPRT");
constexpr auto hashKind = QCryptographicHash::Sha256;
constexpr int hashSize = 32;
constexpr int headerSize = 8 + 2 + 4 + 4 + 4;
// Hundredths of a millimetre: paper sizes are whole numbers of them.
constexpr double hundredthsPerMm = 100.0;

[[noreturn]] void damaged(const QString& path) {
    throw Failure(QStringLiteral("Файл отчёта «%1» повреждён.").arg(path));
}

template <typename T> QByteArray bigEndian(T value) {
    QByteArray bytes(sizeof(T), Qt::Uninitialized);
    qToBigEndian(value, bytes.data());
    return bytes;
}

// Reads the file's body piece by piece, hashing what it reads and never reading into the checksum.
class BodyReader {
public:
    BodyReader(QIODevice& in, qint64 bodySize, const QString& path)
        : m_in(in), m_left(bodySize), m_path(path), m_hash(hashKind) {}

    QByteArray take(qint64 count) {
        if (count > m_left)
            damaged(m_path);
        QByteArray bytes = m_in.read(count);
        if (bytes.size() != count)
            damaged(m_path);
        m_left -= count;
        m_hash.addData(bytes);
        return bytes;
    }
    quint16 takeShort() { return qFromBigEndian<quint16>(take(2).constData()); }
    quint32 takeLong() { return qFromBigEndian<quint32>(take(4).constData()); }
    bool atEnd() const { return m_left == 0; }
    QByteArray hash() const { return m_hash.result(); }

private:
    QIODevice& m_in;
    qint64 m_left;
    const QString& m_path;
    QCryptographicHash m_hash;
};

SavedReport readReport(QIODevice& in, qint64 size, const QString& path) {
    if (in.peek(magic.size()) != magic)
        throw Failure(QStringLiteral("Файл «%1» не является отчётом программы.").arg(path));
    if (size < headerSize + hashSize)
        damaged(path);
    BodyReader body(in, size - hashSize, path);
    body.take(magic.size());
    const quint16 version = body.takeShort();
    if (version > fileVersion)
        throw Failure(QStringLiteral("Файл отчёта «%1» сохранён более новой версией программы.").arg(path));
    const quint32 width = body.takeLong();
    const quint32 height = body.takeLong();
    const quint32 count = body.takeLong();
    if (version == 0 || width == 0 || height == 0)
        damaged(path);
    SavedReport report;
    report.paperMm = QSizeF(width / hundredthsPerMm, height / hundredthsPerMm);
    for (quint32 i = 0; i < count; ++i) {
        QByteArray data = body.take(body.takeLong());
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        QPicture page;
        if (!page.load(&buffer))
            damaged(path);
        report.pages.append(page);
    }
    if (!body.atEnd() || in.read(hashSize) != body.hash())
        damaged(path);
    return report;
}
} // namespace

// Writes `path` whole through `write` (false: a write failed); a refused save throws the teacher's sentence
// and leaves an existing file as it was.
template <typename Write> void saveWhole(const QString& path, Write&& write) {
    files::reportingSaveFailure(path, [&] {
        files::AtomicFile file(path);
        if (!write(file))
            throw files::WriteError{file.writeError() != 0 ? file.writeError() : EIO, {}};
        file.commit();
    });
}

void saveReport(const QString& path, const SavedReport& report) {
    saveWhole(path, [&](QIODevice& file) {
        QCryptographicHash hash(hashKind);
        const auto put = [&](const QByteArray& bytes) {
            hash.addData(bytes);
            return file.write(bytes) == bytes.size();
        };
        QByteArray header = magic;
        header += bigEndian(fileVersion);
        header += bigEndian(quint32(qRound(report.paperMm.width() * hundredthsPerMm)));
        header += bigEndian(quint32(qRound(report.paperMm.height() * hundredthsPerMm)));
        header += bigEndian(quint32(report.pages.size()));
        if (!put(header))
            return false;
        for (const QPicture& page : report.pages)
            if (!put(bigEndian(quint32(page.size()))) ||
                !put(QByteArray::fromRawData(page.data(), page.size())))
                return false;
        return file.write(hash.result()) == hashSize;
    });
}

SavedReport loadReport(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Не удалось открыть файл «%1»: %2").arg(path, file.errorString()));
    return readReport(file, file.size(), path);
}

SavedReport parseReport(const QByteArray& bytes, const QString& path) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readReport(buffer, bytes.size(), path);
}

namespace {
struct PageRange {
    int from;
    int to; // not included
};

// The pages of `range` as one PDF into `out`; false when the PDF writer cannot start.
bool writePdf(QIODevice& out, QSizeF paperMm, PageRange range, const PlacePage& page) {
    QPdfWriter pdf(&out);
    pdf.setCreator(appinfo::title());
    pdf.setPageSize(QPageSize(paperMm, QPageSize::Millimeter));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setResolution(1200);
    QPainter painter;
    if (!painter.begin(&pdf))
        return false;
    const double pixelsPerMm = pdf.resolution() / 25.4;
    for (int i = range.from; i < range.to; ++i) {
        if (i > range.from)
            pdf.newPage();
        page(painter, i, pixelsPerMm);
    }
    return painter.end();
}
} // namespace

void savePdf(const QString& path, QSizeF paperMm, int pageCount, const PlacePage& page) {
    saveWhole(path, [&](QIODevice& file) { return writePdf(file, paperMm, {0, pageCount}, page); });
}

void savePdfOnTwoThreads(const QString& path, QSizeF paperMm, int pageCount,
                         const std::function<PlacePage()>& makePainter) {
    saveWhole(path, [&](files::AtomicFile& file) {
        // The halves go to temporary files, not to memory: the preview holds every page already.
        const int half = pageCount / 2;
        QTemporaryFile first;
        QTemporaryFile second;
        bool written = half > 0 && first.open() && second.open();
        if (written) {
            bool secondWritten = false;
            const std::unique_ptr<QThread> other(QThread::create([&]() {
                secondWritten = writePdf(second, paperMm, {half, pageCount}, makePainter());
            }));
            other->start();
            {
                const auto joined = qScopeGuard([&]() { other->wait(); });
                written = writePdf(first, paperMm, {0, half}, makePainter());
            }
            written = written && secondWritten && first.flush() && second.flush();
        }
        // A report of one page, or a PDF writer whose files are not of the form joining knows: one thread.
        return (written && joinPdfs({&first, &second}, file)) ||
               (file.truncate() && writePdf(file, paperMm, {0, pageCount}, makePainter()));
    });
}

void savePdf(const QString& path, const SavedReport& report) {
    savePdf(path, report.paperMm, int(report.pages.size()),
            [&](QPainter& painter, int index, double pixelsPerMm) {
                playPage(painter, report.pages.at(index), pixelsPerMm);
            });
}

} // namespace report
