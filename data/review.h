#pragma once

#include <QString>
#include <QVector>

#include <optional>

class Connection;

// A pupil's review of one stored test: its questions with the answers he gave, and, as far as the topic's
// settings allow (their "разбор"), whether each was right and which answers were correct. Nothing of a topic
// whose test the pupil has begun and not finished.
namespace review {

enum class Shown {
    Nothing, // no review: `refusal` says why
    Marks,   // the answers marked right or wrong
    Answers, // and the correct answers too
};

struct Item {
    int number = 0; // in the order the test asked them
    QString question;
    std::optional<QString> answer; // none: the test ended before it
    std::optional<bool> correct;   // shown from Marks on
    QString rightAnswers;          // shown with Answers: the question's correct answers, "; " between
};

struct Sheet {
    Shown shown = Shown::Nothing;
    QString refusal;
    QVector<Item> items;
};

// The review of the result row `result`; on the lab server only the pupil signed in may see his own (a
// teacher every one). Failures of the database throw Failure.
Sheet load(const Connection& connection, int result);

// The sentences of a review refused.
QString noLogText();
QString closedText();
QString unfinishedText();

} // namespace review
