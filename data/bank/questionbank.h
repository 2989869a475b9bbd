#pragma once

#include "bank.h"

#include <QStringList>

#include <optional>

class Connection;

// A bank's questions into the school's database and a topic's questions out of it, through the program's
// connection (the file or the lab server alike).
namespace bank {

struct Imported {
    int questions = 0;
    QStringList topics;    // the topics the questions went into, in the order first met
    QStringList newTopics; // those of them the import made
    QVector<Skipped> skipped;
    // How many went where, and which topics are new.
    QString headline() const;
    // The headline and every question left out with its reason.
    QString summary() const;
};

// Stores the questions of `contents` in one transaction: all of them, or none when the database refuses one
// (a Failure then says why and that nothing changed). Into the topic `topic` when given, else each into
// the topic its category names, made when the database has none of that name; a question without a category
// then fails the whole import before anything is stored.
Imported store(Connection& connection, const Contents& contents, std::optional<qint64> topic = std::nullopt);

struct Exported {
    QString topic;
    int questions = 0;
    QStringList problems; // "Вопрос 3 («…») импорт не примет: why." for each that will not come back
    // What the teacher is told: how many went where.
    QString headline(const QString& path) const;
};

// Writes the topic's questions with their media into a Moodle XML file, whole or not at all (a Failure names
// the file and the reason).
Exported exportTopic(Connection& connection, qint64 topic, const QString& path);

// The topic of that name (letter case ignored when no name matches exactly); none when the database has none.
std::optional<qint64> findTopic(Connection& connection, const QString& name);
QString topicName(Connection& connection, qint64 topic);
// A topic's questions in their stored order, each with its answers and media.
QVector<Question> readTopic(Connection& connection, qint64 topic);

} // namespace bank
