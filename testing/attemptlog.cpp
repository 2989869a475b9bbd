#include "attemptlog.h"

#include "base/failure.h"
#include "base/schema.h"
#include "data/datamodule.h"
#include "data/engine/attemptstables.h"
#include "data/engine/connection.h"
#include "data/engine/owntable.h"
#include "data/engine/table.h"
#include "gradescale.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QStringList>

namespace {

namespace at = attemptstables;

const QString Lead = QStringLiteral("Ответ не сохранён: ");

Connection& connection() {
    return *DataModule11->ADOConnection1;
}

QList<QVariantList> run(const QString& sql, const QVariantList& values = {}, const QString& lead = Lead) {
    return owntable::run(connection(), sql, values, lead);
}

// Statements that are kept together or not at all.
class Transaction {
public:
    Transaction() {
        connection().backend().prepareForWriting();
        run(QStringLiteral("BEGIN IMMEDIATE"));
    }
    ~Transaction() {
        if (!m_done)
            QSqlDatabase(connection().database()).rollback();
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit() {
        run(QStringLiteral("COMMIT"));
        m_done = true;
    }

private:
    bool m_done = false;
};

// The correct answers of a test as the test window counts them: every answer of the question with the
// chosen text that is correct.
int correctAnswers(int attempt) {
    return run(QStringLiteral(
                   "SELECT count(*) FROM \"ответы_попытки\" c JOIN \"Ответы\" o "
                   "ON o.\"id_вопроса\" = c.\"id_вопроса\" AND o.\"ответ\" = c.\"ответ\" AND o.\"статус\" "
                   "WHERE c.\"id_попытки\" = ?"),
               {attempt})
        .value(0)
        .value(0)
        .toInt();
}

QList<TestWalk::Drawn> drawOf(int attempt) {
    QList<TestWalk::Drawn> draw;
    for (const QVariantList& row :
         run(QStringLiteral("SELECT \"id_вопроса\", \"порядок_ответов\" FROM \"вопросы_попытки\" "
                            "WHERE \"id_попытки\" = ? ORDER BY \"номер\""),
             {attempt})) {
        TestWalk::Drawn question{row.at(0).toInt(), {}};
        for (const QString& key : row.at(1).toString().split(u',', Qt::SkipEmptyParts))
            question.answers << key.toInt();
        draw << question;
    }
    return draw;
}

} // namespace

bool AttemptLog::kept() {
    return !connection().serverBackend();
}

std::optional<AttemptLog::Resumed> AttemptLog::begin(const Owner& owner, const QList<TestWalk::Drawn>& draw,
                                                     int seconds, const StoreRow& store) {
    m_attempt = 0;
    owntable::ensure(connection(), at::definition());
    const QDateTime now = QDateTime::currentDateTime();
    std::optional<Resumed> resumed;
    for (const QVariantList& row :
         run(QStringLiteral("SELECT \"id_попытки\", \"id_темы\", \"id_класса\", \"начало\", \"осталось\" "
                            "FROM \"попытки\" WHERE \"id_ученика\" = ? AND \"состояние\" = 0 "
                            "AND \"id_результата\" IS NULL ORDER BY \"id_попытки\""),
             {owner.pupil})) {
        const int attempt = row.at(0).toInt();
        const QDateTime began = QDateTime::fromString(row.at(3).toString(), at::timeFormat);
        if (began.isValid() && began.secsTo(now) <= qint64(24) * 3600) {
            if (!resumed && row.at(1) == owner.topic)
                resumed = Resumed{drawOf(attempt), 0, correctAnswers(attempt), row.at(4).toInt()};
            if (resumed && !m_attempt)
                m_attempt = attempt;
            continue;
        }
        // Left for more than a day: stored as at its time-out, graded by its topic over what was answered.
        const QList<TestWalk::Drawn> questions = drawOf(attempt);
        const TopicSettings settings = topicsettings::read(connection(), row.at(1).toInt());
        const int correct = correctAnswers(attempt);
        const int grade = gradescale::grade(gradescale::percentage(correct, int(questions.size())),
                                            {settings.pass3, settings.pass4, settings.pass5});
        m_attempt = attempt;
        end(at::Abandoned, [&] {
            store({owner.pupil, row.at(1), row.at(2)}, correct, grade);
            return DataModule11->rez->value(schema::results::key);
        });
        m_attempt = 0;
    }
    if (resumed) {
        resumed->answered =
            run(QStringLiteral("SELECT count(*) FROM \"ответы_попытки\" WHERE \"id_попытки\" = ?"),
                {m_attempt})
                .value(0)
                .value(0)
                .toInt();
        return resumed;
    }
    const QString unbegun = QStringLiteral("Тест нельзя начать: ");
    Transaction transaction;
    run(QStringLiteral("INSERT INTO \"попытки\" (\"id_ученика\", \"id_темы\", \"id_класса\", \"начало\", "
                       "\"осталось\", \"состояние\") VALUES (?, ?, ?, ?, ?, 0)"),
        {owner.pupil, owner.topic, owner.klass, now.toString(at::timeFormat), seconds}, unbegun);
    const int attempt = run(QStringLiteral("SELECT last_insert_rowid()")).value(0).value(0).toInt();
    for (int i = 0; i < draw.size(); ++i) {
        QStringList order;
        for (int key : draw.at(i).answers)
            order << QString::number(key);
        run(QStringLiteral("INSERT INTO \"вопросы_попытки\" VALUES (?, ?, ?, ?)"),
            {attempt, i + 1, draw.at(i).question, order.isEmpty() ? QStringLiteral("") : order.join(u',')});
    }
    transaction.commit();
    m_attempt = attempt;
    return std::nullopt;
}

void AttemptLog::answer(int question, const QString& text, bool right, int secondsLeft) {
    if (!m_attempt)
        return;
    Transaction transaction;
    run(QStringLiteral(
            "INSERT OR IGNORE INTO \"ответы_попытки\" SELECT ?, ?, (SELECT a.\"id_ответа\" FROM "
            "\"Ответы\" a WHERE a.\"id_вопроса\" = ? AND a.\"ответ\" = ? ORDER BY a.\"статус\" DESC, "
            "a.\"id_ответа\" LIMIT 1), ?, ?, ?"),
        {m_attempt, question, question, text, text, right ? 1 : 0,
         QDateTime::currentDateTime().toString(at::timeFormat)});
    run(QStringLiteral("UPDATE \"попытки\" SET \"осталось\" = ? WHERE \"id_попытки\" = ?"),
        {secondsLeft, m_attempt});
    transaction.commit();
}

void AttemptLog::play(int question) {
    if (!m_attempt)
        return;
    owntable::ensure(connection(), at::playsDefinition());
    run(QStringLiteral("INSERT INTO \"прослушивания\" VALUES (?, ?, 1) ON CONFLICT (\"id_попытки\", "
                       "\"id_вопроса\") DO UPDATE SET \"раз\" = \"раз\" + 1"),
        {m_attempt, question}, QStringLiteral("Прослушивание не сохранено: "));
}

int AttemptLog::plays(int question) const {
    if (!m_attempt || !owntable::exists(connection(), at::plays))
        return 0;
    return run(QStringLiteral("SELECT \"раз\" FROM \"прослушивания\" WHERE \"id_попытки\" = ? AND "
                              "\"id_вопроса\" = ?"),
               {m_attempt, question}, QStringLiteral("Прослушивания вопроса не удалось прочесть: "))
        .value(0)
        .value(0)
        .toInt();
}

void AttemptLog::end(int state, const std::function<QVariant()>& post) {
    if (!m_attempt) {
        post();
        return;
    }
    Transaction transaction;
    const QVariant result = post();
    run(QStringLiteral(
            "UPDATE \"попытки\" SET \"состояние\" = ?, \"id_результата\" = ? WHERE \"id_попытки\" = ?"),
        {state, result, m_attempt});
    transaction.commit();
    m_attempt = 0;
}
