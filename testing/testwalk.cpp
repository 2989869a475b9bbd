#include "testwalk.h"

#include "base/schema.h"
#include "data/datamodule.h"
#include "data/engine/connection.h"
#include "data/engine/owntable.h"
#include "data/engine/table.h"

#include <QHash>
#include <QRandomGenerator>

#include <algorithm>
#include <random>

namespace {

// A source of randomness std::shuffle takes: the system's generator, so that two lab computers started at
// the same second still draw differently.
struct SystemRandom {
    using result_type = quint32;
    static constexpr result_type min() { return 0; }
    static constexpr result_type max() { return 0xffffffffU; }
    result_type operator()() { return QRandomGenerator::system()->generate(); }
};

template <typename T> void shuffle(QList<T>& list) {
    std::shuffle(list.begin(), list.end(), SystemRandom{});
}

} // namespace

QList<TestWalk::Drawn> TestWalk::draw(const TopicSettings& settings) {
    Table* quest = DataModule11->quest;
    QList<int> keys;
    for (int row = 0; row < quest->recordCount(); ++row)
        keys << quest->valueAt(row, quest->fieldPos(schema::questionKey)).toInt();
    if (settings.questions && *settings.questions < keys.size()) {
        QList<int> chosen = keys;
        shuffle(chosen);
        chosen.resize(*settings.questions);
        // Drawn but kept in stored order unless the questions are shuffled too.
        keys.removeIf([&chosen](int key) { return !chosen.contains(key); });
    }
    if (settings.shuffleQuestions)
        shuffle(keys);

    QHash<int, QList<int>> answers; // of each question, in stored order
    if (settings.shuffleAnswers) {
        const QList<QVariantList> rows = owntable::run(
            *DataModule11->ADOConnection1,
            QStringLiteral(
                "SELECT a.%1, a.%2 FROM %3 a JOIN %4 q ON q.%2 = a.%2 WHERE q.%5 = ? ORDER BY a.%1")
                .arg(Connection::quoted(schema::answers::key), Connection::quoted(schema::questionKey),
                     Connection::quoted(schema::answers::table), Connection::quoted(schema::questions::table),
                     Connection::quoted(schema::topicKey)),
            {DataModule11->tema->value(schema::topicKey)}, QStringLiteral("Ответы теста нельзя прочитать: "));
        for (const QVariantList& row : rows)
            answers[row.at(1).toInt()] << row.at(0).toInt();
    }
    QList<Drawn> drawn;
    for (int key : std::as_const(keys)) {
        Drawn question{key, answers.value(key)};
        shuffle(question.answers);
        drawn << question;
    }
    return drawn;
}

void TestWalk::begin(QList<Drawn> draw) {
    m_draw = std::move(draw);
    if (!m_draw.isEmpty())
        show(0);
}

int TestWalk::questionCount() const {
    return asStored() ? DataModule11->quest->recordCount() : int(m_draw.size());
}

void TestWalk::advance(int answered) const {
    if (asStored())
        DataModule11->quest->next();
    else if (answered < m_draw.size())
        show(answered);
}

void TestWalk::show(int index) const {
    DataModule11->quest->locate(schema::questionKey, m_draw.at(index).question);
}

QStringList TestWalk::answerTexts() const {
    Table* ans = DataModule11->ans;
    ans->first();
    const int count = ans->recordCount();
    QList<int> keys;
    QStringList texts;
    for (int i = 0; i < count; ++i) {
        keys << ans->value(schema::answers::key).toInt();
        texts << ans->value(schema::answers::text).toString();
        ans->next();
    }
    const int question = DataModule11->quest->value(schema::questionKey).toInt();
    const auto drawn = std::find_if(m_draw.cbegin(), m_draw.cend(),
                                    [question](const Drawn& d) { return d.question == question; });
    if (drawn == m_draw.cend())
        return texts;
    // The answers in the drawn order; one added since the draw comes after them.
    QStringList ordered;
    for (int key : drawn->answers)
        if (const int i = int(keys.indexOf(key)); i >= 0) {
            ordered << texts.at(i);
            keys[i] = -1;
        }
    for (int i = 0; i < keys.size(); ++i)
        if (keys.at(i) != -1)
            ordered << texts.at(i);
    return ordered;
}
