#pragma once

#include <QHash>
#include <QString>

#include <optional>

class Connection;

// How the test of a topic goes, as the teacher set it (the table НастройкиТемы); a topic he never set, or
// a setting he left alone, goes as tests always went.
struct TopicSettings {
    static constexpr int DefaultSeconds = 900;

    int seconds = DefaultSeconds;
    std::optional<int> questions; // how many a test draws at random from the topic; none: all of them
    bool shuffleQuestions = false;
    bool shuffleAnswers = false;
    // The lowest percentage of the grades 3, 4 and 5.
    int pass3 = 66;
    int pass4 = 76;
    int pass5 = 86;
    // What a pupil may see of his finished test: 0 nothing, 1 which answers were right, 2 the correct ones.
    int review = 0;

    bool operator==(const TopicSettings&) const = default;
    // Every question in stored order with its answers in stored order, as tests always went.
    bool walksAsStored() const { return !questions && !shuffleQuestions && !shuffleAnswers; }
    // The settings that differ from a topic never set, as the teacher reads them ("время 2:00, вопросов 3,
    // вопросы вперемешку, границы оценок 50/70/90"); empty when none does.
    QString differences() const;
    // Why these settings cannot be kept, one sentence; empty when they can.
    QString fault() const;
};

namespace topicsettings {

// The settings of `topic`; the defaults where the database has no row for it, or no table.
TopicSettings read(const Connection& connection, int topic);
// The settings of every topic that has a row, by topic.
QHash<int, TopicSettings> readAll(const Connection& connection);
// Keeps the settings of `topic`, making the table on a file that lacks it. Settings with a fault are
// refused with it and nothing is stored; a database failure throws with its reason.
void write(Connection& connection, int topic, const TopicSettings& settings);

} // namespace topicsettings
