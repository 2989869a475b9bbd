#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Decodes a JPEG (baseline or progressive) with libjpeg. Throws Failure on damaged data.
QImage decodeJpeg(const QByteArray& data);
// Reads and decodes a JPEG from a file or a Qt resource path (":/pictures/signin.jpg").
QImage loadJpeg(const QString& path);

// A picture kept as its JPEG file (or resource) until it is first asked for: windows made at start-up and
// not yet shown do not pay for decoding. A damaged file leaves the picture empty and
// reaches the failure report once.
class DeferredJpeg {
public:
    void setFile(const QString& path);
    void setImage(const QImage& image);
    const QImage& image() const;

private:
    mutable QImage m_image;
    mutable QString m_file;
};
