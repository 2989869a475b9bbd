#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QString>
#include <QtEndian>

// Small pictures and sounds of each kind a question takes, and broken ones, made here rather than kept as
// files.
namespace mediasamples {

inline QByteArray picture(const char* format, QSize size = {40, 20}) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(30, 60, 200));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

inline QByteArray svg() {
    return QByteArrayLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"40\" height=\"20\">"
                             "<rect width=\"40\" height=\"20\" fill=\"blue\"/></svg>");
}

// Silence as 16-bit mono PCM at 8000 Hz.
inline QByteArray wave(int milliseconds = 500) {
    const quint32 samples = quint32(8 * milliseconds);
    QByteArray out("RIFF....WAVEfmt ", 16);
    auto le32 = [&](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        out.append(b, 4);
    };
    auto le16 = [&](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        out.append(b, 2);
    };
    le32(16);
    le16(1);
    le16(1);
    le32(8000);
    le32(16000);
    le16(2);
    le16(16);
    out.append("data", 4);
    le32(samples * 2);
    out.append(QByteArray(int(samples * 2), '\0'));
    qToLittleEndian(quint32(out.size() - 8), out.data() + 4);
    return out;
}

// The first page of an Ogg Vorbis stream (its identification header).
inline QByteArray oggVorbis() {
    QByteArray page("OggS\0\x02", 6);
    page.append(QByteArray(20, '\0'));
    page.append('\x01');
    page.append('\x1e');
    page.append(QByteArray("\x01vorbis", 7));
    page.append(QByteArray(23, '\0'));
    return page;
}

// Two MPEG-1 layer III frames of 128 kbit/s at 44.1 kHz.
inline QByteArray mp3() {
    QByteArray frame("\xFF\xFB\x90\x64", 4);
    frame.append(QByteArray(417 - 4, '\0'));
    return QByteArray("ID3\x03\0\0\0\0\0\0", 10) + frame + frame;
}

inline QByteArray flac() {
    QByteArray head("fLaC\x80\0\0\x22", 8);
    head.append(QByteArray(34, '\x11'));
    return head;
}

inline void write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

} // namespace mediasamples
