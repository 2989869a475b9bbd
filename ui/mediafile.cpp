#include "mediafile.h"

#include "base/failure.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>
#include <QtEndian>

#include <algorithm>

namespace mediafile {
namespace {

QString notAPicture(const QString& name) {
    return QStringLiteral("Файл «%1» не удаётся показать: он повреждён или это не картинка.").arg(name);
}

QString notASound(const QString& name) {
    return QStringLiteral(
               "Файл «%1» не удаётся воспроизвести: он повреждён или это не звук в формате Ogg Vorbis, "
               "MP3, WAV или FLAC.")
        .arg(name);
}

quint32 le32(const QByteArray& data, qsizetype at) {
    return qFromLittleEndian<quint32>(data.constData() + at);
}

quint16 le16(const QByteArray& data, qsizetype at) {
    return qFromLittleEndian<quint16>(data.constData() + at);
}

// RIFF/WAVE with a PCM or float "fmt " chunk of sane figures before a "data" chunk.
bool isWave(const QByteArray& data) {
    if (data.size() < 12 || !data.startsWith("RIFF") || data.mid(8, 4) != "WAVE")
        return false;
    bool format = false;
    for (qsizetype at = 12; at + 8 <= data.size();) {
        const QByteArray id = data.mid(at, 4);
        const quint32 size = le32(data, at + 4);
        if (id == "fmt ") {
            if (size < 16 || at + 8 + 16 > data.size())
                return false;
            const quint16 tag = le16(data, at + 8);
            const quint16 channels = le16(data, at + 10);
            const quint32 rate = le32(data, at + 12);
            const quint16 bits = le16(data, at + 22);
            format = (tag == 1 || tag == 3 || tag == 0xFFFE) && channels > 0 && channels <= 8 &&
                     rate >= 1000 && rate <= 384000 &&
                     (bits == 8 || bits == 16 || bits == 24 || bits == 32 || bits == 64);
            if (!format)
                return false;
        } else if (id == "data") {
            return format && size > 0;
        }
        at += 8 + qsizetype(size) + (size & 1);
    }
    return false;
}

// "fLaC" and a STREAMINFO block first.
bool isFlac(const QByteArray& data) {
    return data.size() >= 42 && data.startsWith("fLaC") && (quint8(data[4]) & 0x7F) == 0 &&
           ((quint8(data[5]) << 16) | (quint8(data[6]) << 8) | quint8(data[7])) == 34;
}

// An Ogg page whose first packet is a Vorbis identification header.
bool isOggVorbis(const QByteArray& data) {
    if (data.size() < 28 + 7 || !data.startsWith("OggS") || data[4] != 0)
        return false;
    const int segments = quint8(data[26]);
    const qsizetype packet = 27 + segments;
    return data.size() >= packet + 7 && data.mid(packet, 7) == QByteArray("\x01vorbis", 7);
}

// The length of the MPEG audio frame whose header starts at `at`; 0 when there is none.
int mpegFrameLength(const QByteArray& data, qsizetype at) {
    if (at + 4 > data.size())
        return 0;
    const quint8 b1 = quint8(data[at + 1]), b2 = quint8(data[at + 2]);
    if (quint8(data[at]) != 0xFF || (b1 & 0xE0) != 0xE0)
        return 0;
    const int version = (b1 >> 3) & 3; // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
    const int layer = (b1 >> 1) & 3;   // 1: layer III
    const int bitrateIndex = b2 >> 4;
    const int rateIndex = (b2 >> 2) & 3;
    if (version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return 0;
    static const int mpeg1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static const int mpeg2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static const int rates[] = {44100, 48000, 32000};
    const int bitrate = (version == 3 ? mpeg1 : mpeg2)[bitrateIndex] * 1000;
    const int rate = rates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    const int padding = (b2 >> 1) & 1;
    return (version == 3 ? 144 : 72) * bitrate / rate + padding;
}

// MPEG layer III: after an ID3v2 tag if any, two frames in a row.
bool isMp3(const QByteArray& data) {
    qsizetype at = 0;
    if (data.startsWith("ID3") && data.size() >= 10)
        at = 10 + ((quint8(data[6]) & 0x7F) << 21 | (quint8(data[7]) & 0x7F) << 14 |
                   (quint8(data[8]) & 0x7F) << 7 | (quint8(data[9]) & 0x7F));
    const int first = mpegFrameLength(data, at);
    return first > 0 && mpegFrameLength(data, at + first) > 0;
}

// The part of a picture on white that holds anything else, with a small margin; the whole when all is white.
QRect inked(const QImage& image) {
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if ((line[x] & 0xFFFFFF) != 0xFFFFFF) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = y;
            }
    }
    if (right < 0)
        return image.rect();
    constexpr int margin = 8;
    return QRect(QPoint(left, top), QPoint(right, bottom)).adjusted(-margin, -margin, margin, margin) &
           image.rect();
}

} // namespace

QByteArray read(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (file.size() > maxBytes)
        throw Failure(QStringLiteral("Файл «%1» больше 20 МБ: возьмите файл поменьше.").arg(name));
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Файл «%1» не читается: %2").arg(name, file.errorString()));
    QByteArray data = file.readAll();
    if (data.size() > maxBytes)
        throw Failure(QStringLiteral("Файл «%1» больше 20 МБ: возьмите файл поменьше.").arg(name));
    return data;
}

QString pictureType(const QByteArray& data, const QString& name) {
    if (data.size() > maxBytes)
        throw Failure(QStringLiteral("Файл «%1» больше 20 МБ: возьмите файл поменьше.").arg(name));
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QByteArray format = reader.format();
    if (format == "svg" || format == "svgz" || data.trimmed().startsWith("<")) {
        if (!QSvgRenderer(data).isValid())
            throw Failure(notAPicture(name));
        return QStringLiteral("svg");
    }
    if (format != "png" && format != "jpeg") {
        if (format.isEmpty())
            throw Failure(notAPicture(name));
        throw Failure(
            QStringLiteral("Картинка «%1» записана в формате %2, а программа показывает только PNG, "
                           "JPEG и SVG.")
                .arg(name, QString::fromLatin1(format.toUpper())));
    }
    if (reader.read().isNull())
        throw Failure(notAPicture(name));
    return QString::fromLatin1(format);
}

QString soundType(const QByteArray& data, const QString& name) {
    if (data.size() > maxBytes)
        throw Failure(QStringLiteral("Файл «%1» больше 20 МБ: возьмите файл поменьше.").arg(name));
    if (isOggVorbis(data))
        return QStringLiteral("ogg");
    if (isWave(data))
        return QStringLiteral("wav");
    if (isFlac(data))
        return QStringLiteral("flac");
    if (isMp3(data))
        return QStringLiteral("mp3");
    throw Failure(notASound(name));
}

QPixmap fitted(const QByteArray& data, const QString& type, const QSize& box) {
    if (type == QLatin1String("svg")) {
        QSvgRenderer renderer(data);
        if (!renderer.isValid())
            return {};
        // An engraved score is a page as wide as paper with the music at its left: drawn twice as large, the
        // white around the music is cut off before it is fitted.
        const QSize page = renderer.defaultSize().isEmpty() ? box : renderer.defaultSize();
        QImage image(page * 2, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        renderer.render(&painter);
        painter.end();
        return QPixmap::fromImage(
            image.copy(inked(image)).scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // Decoded at the size shown: a large photograph costs a fraction of its full decoding.
    const QSize size = reader.size();
    if (size.isValid())
        reader.setScaledSize(size.scaled(box, Qt::KeepAspectRatio).boundedTo(size));
    return QPixmap::fromImage(reader.read());
}

} // namespace mediafile
