#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// The HTML of a bank's texts as the program's plain text: tags removed, entities decoded, blanks run
// together; and what the HTML refers to in the files the question carries.
namespace bank::html {

// A file of the question's own that the HTML points at ("@@PLUGINFILE@@/name").
struct Reference {
    QString tag;      // "img", "audio", "source", "a"…, lower case
    QString file;     // the file's name, its %-escapes decoded
    QString fragment; // what follows "#" ("t=5,12")
    QString plays;    // the data-plays attribute, when the tag has one
};

struct Text {
    QString plain;
    QVector<Reference> references;
    // Pictures or sounds that are not in the file: a web address, an inline data address.
    QStringList outside;
};

// `html` as plain text. A link whose text is just the name of the file it points at (the way an editor
// inserts a sound) leaves no text behind.
Text toPlain(const QString& html);
// Named (the common ones) and numbered character references decoded; an unknown one stays as written.
QString decodeEntities(const QString& text);

} // namespace bank::html
