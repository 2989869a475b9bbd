#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

class Connection;
struct OwnTable;

// A question's picture and sound, kept in the program's own table МедиаВопроса (one row per question, deleted
// with the question): what the test shows and plays, what the question editor attaches and what question
// banks carry in and out.
namespace questionmedia {

inline const QString tableName = QStringLiteral("МедиаВопроса");

struct Media {
    QByteArray picture;
    QString pictureType; // png, jpeg or svg
    QByteArray sound;
    QString soundType; // ogg, mp3, wav or flac
    // The part of the clip played, in seconds; none: from its start, to its end.
    std::optional<double> start;
    std::optional<double> end;
    std::optional<int> plays; // how often a pupil may play it; none: as often as he likes
    QString abc;              // the notation the picture and the sound were made from, if they were

    bool hasPicture() const { return !picture.isEmpty(); }
    bool hasSound() const { return !sound.isEmpty(); }
    bool isEmpty() const { return !hasPicture() && !hasSound() && abc.isEmpty(); }
    bool operator==(const Media&) const = default;
};

// The question's media; empty when it has none or the database has no such table yet. A failure to read
// throws Failure.
Media read(Connection& connection, int question);

// Stores the question's media in place of what it had; empty media removes its row. A file that lacks the
// table gets it. A failure (the server refuses a pupil's write, say) throws Failure and changes nothing.
void store(Connection& connection, int question, const Media& media);

// The rows store() writes, for a caller that holds a transaction of its own and has made sure of the table
// (owntable::ensure): a question bank's import stores every question's media in its one transaction.
void write(Connection& connection, int question, const Media& media);

// The table as a file gets it.
QString fileDdl();
const OwnTable& definition();

} // namespace questionmedia
