#pragma once

#include "testwalk.h"

#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

// The answer log of a test on a file: the test, the questions it walks and every answer, kept as they are
// given, so that a test the program did not end (it was killed, the computer lost power) goes on where it
// stopped when its pupil starts the same topic again. On the lab server the server keeps it (TDataModule11).
class AttemptLog {
public:
    // Whose test, as the result row takes it.
    struct Owner {
        QVariant pupil;
        QVariant topic;
        QVariant klass;
    };
    // A test taken up again: its questions, how many were answered and how many right, the seconds left.
    struct Resumed {
        QList<TestWalk::Drawn> draw;
        int answered = 0;
        int correct = 0;
        int secondsLeft = 0;
    };
    // Stores a result row for an owner: the correct answers and the grade.
    using StoreRow = std::function<void(const Owner& owner, int correct, int grade)>;

    // Whether the program keeps the log itself: on a file, not on the server.
    static bool kept();

    // Begins the log of `owner`'s test: his tests left unfinished for more than a day are closed as abandoned
    // and their rows stored by `store` as at a time-out; an unfinished one of the same topic is taken up
    // again (returned), else a new test with `draw` and `seconds` is begun.
    std::optional<Resumed> begin(const Owner& owner, const QList<TestWalk::Drawn>& draw, int seconds,
                                 const StoreRow& store);
    // An answer counted by "Следующий вопрос": the question, the chosen answer's text, whether it counted as
    // correct, the seconds left.
    void answer(int question, const QString& text, bool right, int secondsLeft);
    // One more play of the clip of `question`, kept before the pupil hears it.
    void play(int question);
    // The plays of the clip of `question` in the test so far.
    int plays(int question) const;
    // Runs `post` (which stores the result row and gives its key) and marks the test ended in `state`, in one
    // transaction: both are kept or neither.
    void end(int state, const std::function<QVariant()>& post);
    void reset() { m_attempt = 0; }
    bool active() const { return m_attempt != 0; }

private:
    int m_attempt = 0;
};
