#pragma once

#include <QByteArray>
#include <QPixmap>
#include <QSize>
#include <QString>

// The pictures and sounds a teacher attaches to a question: which files the program takes (PNG, JPEG or SVG
// pictures; Ogg Vorbis, MP3, WAV or FLAC sounds, none over 20 MB) and drawing a stored picture. Every refusal
// is a Failure whose text names the file and says why.
namespace mediafile {

constexpr qint64 maxBytes = 20 * 1024 * 1024;

// The file's bytes; refuses a file over maxBytes and one that cannot be read.
QByteArray read(const QString& path);

// The picture's type ("png", "jpeg" or "svg") once the whole picture decodes; `name` is the file's name.
QString pictureType(const QByteArray& data, const QString& name);

// The sound's type ("ogg", "mp3", "wav" or "flac") by its container and codec headers; `name` is the file's
// name. Whether the decoder plays it is the player's part.
QString soundType(const QByteArray& data, const QString& name);

// The stored picture scaled to fit `box` with its proportions kept; a null pixmap when it does not decode.
QPixmap fitted(const QByteArray& data, const QString& type, const QSize& box);

} // namespace mediafile
