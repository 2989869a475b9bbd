#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include "data/engine/questionmedia.h"

#include <optional>

// Question banks in Moodle's formats: what a file holds, read into the program's shape of a question (a text,
// its answers with the correct one marked, one picture and one sound), and a topic written back as Moodle
// XML. Parsing and writing only: no database and no widgets (the database's side is questionbank.h).
namespace bank {

using Media = questionmedia::Media;

// How the program takes a picture or a sound that a bank carries (its bytes and its file's name): the type it
// is stored as ("png", "ogg"…), or a Failure that says why not (too large, not decoded). mediafile's checks.
struct MediaCheck {
    QString (*picture)(const QByteArray& data, const QString& name);
    QString (*sound)(const QByteArray& data, const QString& name);
};

struct Answer {
    QString text;
    bool correct = false;
    bool operator==(const Answer&) const = default;
};

struct Question {
    QString topic; // the name of the category it stands in; empty when the file names none
    QString text;
    QVector<Answer> answers;
    Media media;
    QString title; // how the file names it, for the list of what was not taken
    int line = 0;  // where it starts in the file
};

// A question the program cannot take, and why, in words for the teacher.
struct Skipped {
    QString title;
    int line = 0;
    QString reason;
    // "строка 12, «Title»: reason"
    QString sentence() const;
};

struct Contents {
    QVector<Question> questions;
    QVector<Skipped> skipped;
};

// The longest text a question or an answer may hold: the width of the tables' text columns.
constexpr int longestText = 255;

// Reads a bank file, Moodle XML or GIFT by what it holds. A file that cannot be read, is not UTF-8 or
// whose XML is broken throws Failure with a sentence naming the file (and the line); nothing is taken then.
// Questions of kinds the program cannot take, texts longer than `longestText` and pictures or sounds that
// `check` refuses are left out and listed.
Contents readFile(const QString& path, const MediaCheck& check);
Contents readMoodleXml(const QByteArray& data, const QString& fileName, const MediaCheck& check);
Contents readGift(const QByteArray& data); // UTF-8

// Moodle XML of one topic: a category named after it and a single-answer multiple-choice question for each,
// pictures and sounds embedded. Questions are written as they are; exportProblem() tells those that will not
// come back.
QByteArray writeMoodleXml(const QString& topic, const QVector<Question>& questions);
// Why the question written would not be taken again by readMoodleXml, or empty when it would.
QString exportProblem(const Question& question);

} // namespace bank
