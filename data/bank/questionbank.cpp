#include "questionbank.h"

#include "draft.h"

#include "base/failure.h"
#include "base/filewrite.h"
#include "base/schema.h"
#include "data/engine/connection.h"
#include "data/engine/owntable.h"
#include "data/engine/questionmedia.h"

#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace bank {

namespace {

// `lead` and the database's reason: its sentence for a common failure, else its own words.
QString failure(const Connection& connection, const QSqlError& error, const QString& lead) {
    const backend::DatabaseError e = connection.backend().error(error);
    return lead + (e.problem.isEmpty() ? e.text : e.problem);
}

// Free SQL over the connection's tables, their names as the database spells them; a failure of the database
// becomes the Failure the user sees, `lead` before the database's reason.
class Statements {
public:
    Statements(Connection& connection, QString lead) : m_connection(connection), m_lead(std::move(lead)) {}

    QString table(const QString& name) const {
        const QString real = m_connection.resolveTableName(name);
        if (real.isEmpty())
            throw Failure(m_lead + QStringLiteral("в базе данных нет таблицы «%1».").arg(name));
        return Connection::quoted(real);
    }
    QString column(const QString& table, const QString& name) const {
        const QString real = m_connection.resolveColumnName(table, name);
        if (real.isEmpty())
            throw Failure(m_lead + QStringLiteral("в таблице «%1» нет поля «%2».").arg(table, name));
        return Connection::quoted(real);
    }
    // `sql` with "{Table}" and "{Table.column}" put as the database spells them.
    QSqlQuery prepare(QString sql) const {
        qsizetype open = 0;
        while ((open = sql.indexOf(u'{', open)) >= 0) {
            const qsizetype close = sql.indexOf(u'}', open);
            const QString name = sql.mid(open + 1, close - open - 1);
            const qsizetype dot = name.indexOf(u'.');
            const QString real = dot < 0 ? table(name) : column(name.left(dot), name.mid(dot + 1));
            sql.replace(open, close - open + 1, real);
            open += real.size();
        }
        QSqlQuery query(m_connection.backend().database());
        query.setForwardOnly(true);
        if (!query.prepare(sql))
            fail(query);
        return query;
    }
    void exec(QSqlQuery& query) const {
        if (!query.exec())
            fail(query);
    }
    // Runs an INSERT … RETURNING: the key it gives.
    qint64 insert(QSqlQuery& query) const {
        exec(query);
        if (!query.next())
            fail(query);
        const qint64 key = query.value(0).toLongLong();
        // SQLite commits nothing while a statement still has rows to give.
        query.finish();
        return key;
    }
    [[noreturn]] void fail(const QSqlQuery& query) const {
        throw Failure(failure(m_connection, query.lastError(), m_lead));
    }

private:
    Connection& m_connection;
    QString m_lead;
};

const QString importLead = QStringLiteral("Вопросы не импортированы, база данных не изменилась: ");
const QString readLead = QStringLiteral("Вопросы темы не прочитаны: ");

QString folded(const QString& name) {
    return name.toCaseFolded();
}

// The topics of the database by name: exact names first, then without regard to letter case.
class Topics {
public:
    explicit Topics(const Statements& sql) : m_sql(sql) {
        QSqlQuery query =
            sql.prepare(QStringLiteral("SELECT {Тема.id_темы}, {Тема.тема} FROM {Тема} ORDER BY 1"));
        sql.exec(query);
        while (query.next()) {
            const qint64 key = query.value(0).toLongLong();
            const QString name = query.value(1).toString();
            m_exact.insert(name, key);
            m_names.insert(key, name);
            if (!m_folded.contains(folded(name)))
                m_folded.insert(folded(name), key);
        }
    }
    std::optional<qint64> find(const QString& name) const {
        if (const auto exact = m_exact.constFind(name); exact != m_exact.constEnd())
            return *exact;
        if (const auto loose = m_folded.constFind(folded(name)); loose != m_folded.constEnd())
            return *loose;
        return std::nullopt;
    }
    // The name as the database holds it.
    QString name(qint64 key) const { return m_names.value(key); }
    // The topic of that name, made when there is none; `made` tells which.
    qint64 take(const QString& name, bool* made) {
        *made = false;
        if (const auto found = find(name))
            return *found;
        if (!m_insert)
            m_insert = m_sql.prepare(
                QStringLiteral("INSERT INTO {Тема} ({Тема.тема}) VALUES (?) RETURNING {Тема.id_темы}"));
        m_insert->addBindValue(name);
        const qint64 key = m_sql.insert(*m_insert);
        m_exact.insert(name, key);
        m_names.insert(key, name);
        m_folded.insert(folded(name), key);
        *made = true;
        return key;
    }

private:
    const Statements& m_sql;
    QHash<QString, qint64> m_exact;
    QHash<QString, qint64> m_folded;
    QHash<qint64, QString> m_names;
    std::optional<QSqlQuery> m_insert;
};

} // namespace

QString Imported::headline() const {
    QString text = QStringLiteral("Импортировано вопросов: %1").arg(questions);
    if (!topics.isEmpty())
        text += QStringLiteral(" (%1 «%2»)")
                    .arg(topics.size() == 1 ? QStringLiteral("тема") : QStringLiteral("темы"),
                         topics.join(QStringLiteral("», «")));
    text += u'.';
    if (!newTopics.isEmpty())
        text += QStringLiteral("\nНовые темы: «%1».").arg(newTopics.join(QStringLiteral("», «")));
    return text;
}

QString Imported::summary() const {
    QString text = headline();
    if (!skipped.isEmpty()) {
        text += QStringLiteral("\nПропущено вопросов: %1 (программа их не принимает):").arg(skipped.size());
        for (const Skipped& s : skipped)
            text += QStringLiteral("\n  ") + s.sentence() + u'.';
    }
    return text;
}

Imported store(Connection& connection, const Contents& contents, std::optional<qint64> topic) {
    Imported imported;
    imported.skipped = contents.skipped;
    if (!topic) {
        for (const Question& question : contents.questions)
            if (question.topic.isEmpty())
                throw Failure(importLead +
                              QStringLiteral("у вопроса «%1» (строка %2) в файле нет категории, а тема "
                                             "для вопросов не указана.")
                                  .arg(question.title)
                                  .arg(question.line));
    }
    // The media table is made before the transaction, as the editor makes it: a file that lacks it gets it.
    const bool media = std::any_of(contents.questions.begin(), contents.questions.end(),
                                   [](const Question& question) { return !question.media.isEmpty(); });
    if (media) {
        try {
            owntable::ensure(connection, questionmedia::definition());
        } catch (const Failure& failure) {
            throw Failure(importLead + failure.text());
        }
    }
    connection.backend().prepareForWriting();
    const Statements sql(connection, importLead);
    QSqlDatabase database = connection.backend().database();
    if (!database.transaction())
        throw Failure(failure(connection, database.lastError(), importLead));
    try {
        Topics topics(sql);
        QSqlQuery addQuestion =
            sql.prepare(QStringLiteral("INSERT INTO {Вопрос} ({Вопрос.вопрос}, {Вопрос.id_темы}) VALUES (?, "
                                       "?) RETURNING {Вопрос.id_вопроса}"));
        QSqlQuery addAnswer = sql.prepare(QStringLiteral(
            "INSERT INTO {Ответы} ({Ответы.ответ}, {Ответы.id_вопроса}, {Ответы.статус}) VALUES (?, ?, ?)"));
        QSet<qint64> met;
        for (const Question& question : contents.questions) {
            bool made = false;
            const qint64 key = topic ? *topic : topics.take(question.topic, &made);
            if (made)
                imported.newTopics.append(question.topic);
            if (!met.contains(key)) {
                met.insert(key);
                imported.topics.append(topics.name(key));
            }
            addQuestion.addBindValue(question.text);
            addQuestion.addBindValue(key);
            const qint64 stored = sql.insert(addQuestion);
            for (const Answer& answer : question.answers) {
                addAnswer.addBindValue(answer.text);
                addAnswer.addBindValue(stored);
                addAnswer.addBindValue(answer.correct);
                sql.exec(addAnswer);
            }
            if (!question.media.isEmpty()) {
                try {
                    questionmedia::write(connection, int(stored), question.media);
                } catch (const Failure& failure) {
                    throw Failure(importLead + failure.text());
                }
            }
            ++imported.questions;
        }
        if (!database.commit())
            throw Failure(failure(connection, database.lastError(), importLead));
    } catch (...) {
        database.rollback();
        throw;
    }
    return imported;
}

std::optional<qint64> findTopic(Connection& connection, const QString& name) {
    const Statements sql(connection, readLead);
    return Topics(sql).find(name);
}

QString topicName(Connection& connection, qint64 topic) {
    const Statements sql(connection, readLead);
    QSqlQuery query = sql.prepare(QStringLiteral("SELECT {Тема.тема} FROM {Тема} WHERE {Тема.id_темы} = ?"));
    query.addBindValue(topic);
    sql.exec(query);
    return query.next() ? query.value(0).toString() : QString();
}

QVector<Question> readTopic(Connection& connection, qint64 topic) {
    const Statements sql(connection, readLead);
    QSqlQuery questions =
        sql.prepare(QStringLiteral("SELECT {Вопрос.id_вопроса}, {Вопрос.вопрос} FROM {Вопрос} "
                                   "WHERE {Вопрос.id_темы} = ? ORDER BY 1"));
    questions.addBindValue(topic);
    sql.exec(questions);
    QVector<Question> read;
    QHash<qint64, qsizetype> positions;
    while (questions.next()) {
        positions.insert(questions.value(0).toLongLong(), read.size());
        Question question;
        question.text = questions.value(1).toString();
        read.append(question);
    }
    QSqlQuery answers = sql.prepare(QStringLiteral(
        "SELECT a.{Ответы.id_вопроса}, a.{Ответы.ответ}, a.{Ответы.статус} FROM {Ответы} a JOIN {Вопрос} q "
        "ON q.{Вопрос.id_вопроса} = a.{Ответы.id_вопроса} WHERE q.{Вопрос.id_темы} = ? ORDER BY "
        "a.{Ответы.id_ответа}"));
    answers.addBindValue(topic);
    sql.exec(answers);
    while (answers.next()) {
        const auto position = positions.constFind(answers.value(0).toLongLong());
        if (position != positions.constEnd())
            read[*position].answers.append({answers.value(1).toString(), answers.value(2).toBool()});
    }
    for (auto position = positions.constBegin(); position != positions.constEnd(); ++position)
        read[position.value()].media = questionmedia::read(connection, int(position.key()));
    return read;
}

QString Exported::headline(const QString& path) const {
    return QStringLiteral("Вопросов темы «%1» записано в «%2»: %3.").arg(topic, path).arg(questions);
}

Exported exportTopic(Connection& connection, qint64 topic, const QString& path) {
    Exported exported;
    exported.topic = topicName(connection, topic);
    const QVector<Question> questions = readTopic(connection, topic);
    const QByteArray xml = writeMoodleXml(exported.topic, questions);
    files::reportingSaveFailure(path, [&] {
        files::AtomicFile file(path);
        file.write(xml);
        file.commit();
    });
    exported.questions = int(questions.size());
    for (qsizetype i = 0; i < questions.size(); ++i)
        if (const QString problem = exportProblem(questions[i]); !problem.isEmpty())
            exported.problems.append(QStringLiteral("Вопрос %1 («%2») импорт не примет: %3.")
                                         .arg(i + 1)
                                         .arg(draft::titleOf({}, questions[i].text), problem));
    return exported;
}

} // namespace bank
