#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Decodes a JPEG (baseline or progressive) with libjpeg. Throws Failure on damaged data.
QImage decodeJpeg(const QByteArray& data);
// Reads and decodes a JPEG from a file or a Qt resource path (":/pictures/signin.jpg").
QImage loadJpeg(const QString& path);
