#include "itemanalysis.h"

#include "base/failure.h"
#include "base/schema.h"
#include "data/engine/connection.h"
#include "data/engine/query.h"
#include "data/engine/serverbackend.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QSqlQuery>

#include <algorithm>
#include <cmath>

namespace itemanalysis {

namespace {

// Sums over the tests that answered one question: x its score, y the rest of the test's score.
struct Sums {
    double n = 0, x = 0, y = 0, xy = 0, yy = 0;
};

std::optional<double> correlation(const Sums& s) {
    // x is 0 or 1, so the sum of its squares is its sum.
    const double varianceX = s.n * s.x - s.x * s.x;
    const double varianceY = s.n * s.yy - s.y * s.y;
    if (varianceX <= 0 || varianceY <= 0)
        return std::nullopt;
    return (s.n * s.xy - s.x * s.y) / std::sqrt(varianceX * varianceY);
}

const QString DeletedQuestion = QStringLiteral("(вопрос удалён)");

} // namespace

Figures analyse(const QVector<Question>& questions, const QVector<OfferedAnswer>& offered,
                const QVector<LoggedAnswer>& log) {
    Figures figures;
    QHash<int, int> questionAt; // question key -> index in figures.questions
    const auto addQuestion = [&](int key, const QString& text) {
        questionAt.insert(key, int(figures.questions.size()));
        QuestionFigures q;
        q.question = key;
        q.text = text;
        figures.questions.append(q);
    };
    for (const Question& q : questions)
        if (!questionAt.contains(q.key))
            addQuestion(q.key, q.text);

    QVector<OfferedAnswer> answers = offered;
    std::sort(answers.begin(), answers.end(),
              [](const OfferedAnswer& a, const OfferedAnswer& b) { return a.key < b.key; });
    QHash<int, QPair<int, int>>
        choiceAt; // answer key -> its question's index and its index among the choices
    for (const OfferedAnswer& a : std::as_const(answers)) {
        const auto q = questionAt.constFind(a.question);
        if (q == questionAt.cend())
            continue;
        QVector<Choice>& choices = figures.questions[*q].choices;
        choiceAt.insert(a.key, {*q, int(choices.size())});
        choices.append({a.text, a.correct, 0, true});
    }

    // The score of each test: its correct answers.
    QHash<int, int> score;
    for (const LoggedAnswer& a : log)
        score[a.attempt] += a.correct ? 1 : 0;
    figures.tests = int(score.size());
    figures.answers = int(log.size());

    QVector<Sums> sums(figures.questions.size());
    for (const LoggedAnswer& a : log) {
        if (!questionAt.contains(a.question)) {
            addQuestion(a.question, DeletedQuestion);
            sums.append(Sums{});
        }
        const int qi = questionAt.value(a.question);
        QuestionFigures& q = figures.questions[qi];
        ++q.answered;
        q.correct += a.correct ? 1 : 0;

        // The choice: by the answer's key while the question still offers it, else by its text.
        int ci = -1;
        if (a.answerKey) {
            const auto found = choiceAt.constFind(*a.answerKey);
            if (found != choiceAt.cend() && found->first == qi)
                ci = found->second;
        }
        if (ci < 0)
            for (int i = 0; i < q.choices.size() && ci < 0; ++i)
                if (q.choices.at(i).text == a.text)
                    ci = i;
        if (ci < 0) {
            ci = int(q.choices.size());
            q.choices.append({a.text, a.correct, 0, false});
        }
        ++q.choices[ci].chosen;

        Sums& s = sums[qi];
        const double x = a.correct ? 1 : 0;
        const double y = score.value(a.attempt) - x;
        s.n += 1;
        s.x += x;
        s.y += y;
        s.xy += x * y;
        s.yy += y * y;
    }

    for (int i = 0; i < figures.questions.size(); ++i) {
        QuestionFigures& q = figures.questions[i];
        if (q.answered == 0)
            continue;
        q.facility = double(q.correct) / q.answered;
        q.discrimination = correlation(sums.at(i));
        q.mostFail = 2 * q.correct < q.answered;
        int right = 0;
        int bestWrong = 0;
        for (const Choice& c : std::as_const(q.choices)) {
            if (c.correct)
                right += c.chosen;
            else
                bestWrong = std::max(bestWrong, c.chosen);
        }
        q.wrongBeatsRight = bestWrong > right;
    }
    return figures;
}

namespace {

QVector<LoggedAnswer> loggedOnFile(const Connection& connection, int topic) {
    // A database the test window never logged into has no such tables: no tests to analyse.
    if (connection.resolveTableName(QStringLiteral("попытки")).isEmpty() ||
        connection.resolveTableName(QStringLiteral("ответы_попытки")).isEmpty())
        return {};
    Query query(QStringLiteral("ItemAnalysis"), const_cast<Connection*>(&connection));
    query.setSql(QStringLiteral(
        "SELECT o.id_попытки, o.id_вопроса, o.id_ответа, o.ответ, o.верно FROM ответы_попытки o "
        "JOIN попытки p ON p.id_попытки = o.id_попытки "
        "WHERE p.id_темы = :topic AND p.id_результата IS NOT NULL"));
    query.bindValue(QStringLiteral(":topic"), topic);
    QVector<LoggedAnswer> log;
    query.forEachRow([&log] { log.clear(); },
                     [&log](const QSqlQuery& row) {
                         const QVariant key = row.value(2);
                         log.append({row.value(0).toInt(), row.value(1).toInt(),
                                     key.isNull() ? std::nullopt : std::optional<int>(key.toInt()),
                                     row.value(3).toString(), row.value(4).toInt() != 0});
                     });
    return log;
}

QVector<LoggedAnswer> loggedOnServer(ServerBackend& server, int topic) {
    QList<QVariantList> rows;
    try {
        rows = server.call(QStringLiteral("SELECT * FROM muzyka.topic_answers($1)"), {topic});
    } catch (const backend::DatabaseError& error) {
        throw Failure(QStringLiteral("Анализ вопросов нельзя составить: ") +
                      (error.problem.isEmpty() ? error.text : error.problem));
    }
    QVector<LoggedAnswer> log;
    log.reserve(rows.size());
    for (const QVariantList& r : std::as_const(rows)) {
        const QVariant key = r.value(2);
        log.append({r.value(0).toInt(), r.value(1).toInt(),
                    key.isNull() ? std::nullopt : std::optional<int>(key.toInt()), r.value(3).toString(),
                    r.value(4).toString() == u"t"});
    }
    return log;
}

} // namespace

Figures analyseTopic(const Connection& connection, int topic) {
    auto* conn = const_cast<Connection*>(&connection);
    Query query(QStringLiteral("ItemAnalysis"), conn);
    query.setSql(QStringLiteral("SELECT id_вопроса, вопрос FROM Вопрос WHERE id_темы = :topic"));
    query.bindValue(QStringLiteral(":topic"), topic);
    query.open();
    QVector<Question> questions;
    for (int row = 0; row < query.rowCount(); ++row)
        questions.append({query.valueAt(row, 0).toInt(), query.valueAt(row, 1).toString()});
    std::sort(questions.begin(), questions.end(),
              [](const Question& a, const Question& b) { return a.key < b.key; });

    query.setSql(QStringLiteral("SELECT a.id_ответа, a.id_вопроса, a.ответ, a.статус FROM Ответы a "
                                "JOIN Вопрос q ON q.id_вопроса = a.id_вопроса WHERE q.id_темы = :topic"));
    query.bindValue(QStringLiteral(":topic"), topic);
    query.open();
    QVector<OfferedAnswer> offered;
    for (int row = 0; row < query.rowCount(); ++row)
        offered.append({query.valueAt(row, 0).toInt(), query.valueAt(row, 1).toInt(),
                        query.valueAt(row, 2).toString(), query.valueAt(row, 3).toBool()});

    ServerBackend* server = connection.serverBackend();
    return analyse(questions, offered,
                   server ? loggedOnServer(*server, topic) : loggedOnFile(connection, topic));
}

QVector<StoredResult> readResults(const Connection& connection) {
    Query query(QStringLiteral("ItemAnalysis"), const_cast<Connection*>(&connection));
    query.setSql(QStringLiteral("SELECT r.id_темы, k.класс, t.тема, r.Дата, r.Оценка FROM результаты r "
                                "LEFT JOIN класс k ON k.id_класса = r.id_класса "
                                "LEFT JOIN Тема t ON t.id_темы = r.id_темы"));
    query.open();
    QVector<StoredResult> results;
    results.reserve(query.rowCount());
    for (int row = 0; row < query.rowCount(); ++row) {
        // The file keeps dates as ISO text, the server as timestamps.
        const QVariant date = query.valueAt(row, 3);
        const QString month = date.typeId() == QMetaType::QDateTime ? date.toDateTime().toString(u"yyyy-MM")
                              : date.typeId() == QMetaType::QDate   ? date.toDate().toString(u"yyyy-MM")
                                                                    : date.toString().left(7);
        results.append({query.valueAt(row, 0).toInt(), query.valueAt(row, 1).toString(),
                        query.valueAt(row, 2).toString(), month, query.valueAt(row, 4).toInt()});
    }
    return results;
}

QVector<GradeRow> countGrades(const QVector<StoredResult>& results, GroupBy by) {
    QMap<QString, GradeRow> groups; // ordered by name; "yyyy-MM" orders months in time
    for (const StoredResult& r : results) {
        if (r.grade < 2 || r.grade > 5)
            continue;
        const QString name = by == GroupBy::Class   ? r.className
                             : by == GroupBy::Topic ? r.topicName
                                                    : r.month;
        GradeRow& row = groups[name];
        row.category = name;
        ++row.counts[std::size_t(r.grade - 2)];
    }
    return groups.values().toVector();
}

QString percentText(std::optional<double> share) {
    return share ? QStringLiteral("%1 %").arg(qRound(*share * 100)) : QStringLiteral("—");
}

QString numberText(std::optional<double> value) {
    return value ? QString::number(*value, 'f', 2).replace(u'.', u',') : QStringLiteral("—");
}

QString choicesText(const QVector<Choice>& choices) {
    QStringList parts;
    for (const Choice& c : choices)
        parts << QStringLiteral("%1%2: %3%4")
                     .arg(c.text, c.correct ? QStringLiteral(" (верный)") : QString())
                     .arg(c.chosen)
                     .arg(c.offered ? QString() : QStringLiteral(" (ответа больше нет)"));
    return parts.join(QStringLiteral("; "));
}

QString flagText(const QuestionFigures& figures) {
    QStringList parts;
    if (figures.mostFail)
        parts << QStringLiteral("большинство ошибается");
    if (figures.wrongBeatsRight)
        parts << QStringLiteral("неверный ответ выбирают чаще верного");
    return parts.join(QStringLiteral("; "));
}

} // namespace itemanalysis
