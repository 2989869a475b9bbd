#pragma once

#include "data/topicsettings.h"

#include <QList>
#include <QStringList>

// The questions of one test and the order they come in. A topic walked as stored goes through quest as it
// stands, question after question, each with its answers in stored order, exactly as tests always went.
// Otherwise the test has its own draw: the questions drawn from the topic in the order the pupil gets them,
// each with its answers in the order they are offered; the walk puts quest on the question it is at.
class TestWalk {
public:
    // One question of a draw: its key and its answers' keys in the order offered (empty: stored order).
    struct Drawn {
        int question = 0;
        QList<int> answers;
    };

    // The draw of a test of quest's current topic under `settings`: every question, or as many as the
    // topic sets drawn at random, shuffled or in stored order, each one's answers shuffled or not.
    static QList<Drawn> draw(const TopicSettings& settings);

    // Starts the walk: as stored when `draw` is empty, else over `draw`, quest put on its first question.
    void begin(QList<Drawn> draw);
    // A walk as stored, nothing drawn (a fresh test's).
    void reset() { m_draw.clear(); }

    bool asStored() const { return m_draw.isEmpty(); }
    const QList<Drawn>& drawn() const { return m_draw; }
    // The questions of the test: quest's count for a walk as stored, else the draw's.
    int questionCount() const;
    // Puts quest on the question that follows the `answered` answered ones; past the last it stays.
    void advance(int answered) const;
    // The current question's answers, in the order they are offered.
    QStringList answerTexts() const;

private:
    void show(int index) const;

    QList<Drawn> m_draw;
};
