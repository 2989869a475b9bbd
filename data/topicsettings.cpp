#include "topicsettings.h"

#include "base/failure.h"
#include "data/engine/connection.h"
#include "data/engine/settingstable.h"

#include <QStringList>
#include <QVariantList>

namespace {

namespace st = settingstable;

const QStringList columns = {st::seconds,        st::questions, st::shuffleQuestions,
                             st::shuffleAnswers, st::pass3,     st::pass4,
                             st::pass5,          st::review};

QString columnList() {
    QStringList quoted;
    for (const QString& column : columns)
        quoted << Connection::quoted(column);
    return quoted.join(QStringLiteral(", "));
}

// A setting equal to the default is kept as null: the row says only what the teacher changed.
QVariant kept(int value, int byDefault) {
    return value == byDefault ? QVariant() : QVariant(value);
}

QVariant kept(bool value) {
    return value ? QVariant(true) : QVariant();
}

} // namespace

QString TopicSettings::differences() const {
    const TopicSettings defaults;
    QStringList parts;
    if (seconds != defaults.seconds)
        parts << QStringLiteral("время %1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    if (questions)
        parts << QStringLiteral("вопросов %1").arg(*questions);
    if (shuffleQuestions)
        parts << QStringLiteral("вопросы вперемешку");
    if (shuffleAnswers)
        parts << QStringLiteral("ответы вперемешку");
    if (pass3 != defaults.pass3 || pass4 != defaults.pass4 || pass5 != defaults.pass5)
        parts << QStringLiteral("границы оценок %1/%2/%3").arg(pass3).arg(pass4).arg(pass5);
    return parts.join(QStringLiteral(", "));
}

QString TopicSettings::fault() const {
    if (seconds <= 0)
        return QStringLiteral("Время теста должно быть больше нуля.");
    if (questions && *questions <= 0)
        return QStringLiteral("В тесте должен быть хотя бы один вопрос.");
    if (pass3 <= 0 || pass3 >= pass4 || pass4 >= pass5 || pass5 > 100)
        return QStringLiteral(
            "Границы оценок должны расти: у «3» больше нуля, у «4» больше, чем у «3», у «5» "
            "больше, чем у «4», и не больше 100 процентов.");
    if (review < 0 || review > 2)
        return QStringLiteral("Разбор теста задан неверно.");
    return {};
}

namespace topicsettings {

namespace {

// The settings a row of `columns` holds.
TopicSettings fromRow(const QVariantList& row) {
    TopicSettings settings;
    const auto number = [&row](int column, int byDefault) {
        return row.at(column).isNull() ? byDefault : row.at(column).toInt();
    };
    settings.seconds = number(0, settings.seconds);
    if (!row.at(1).isNull())
        settings.questions = row.at(1).toInt();
    settings.shuffleQuestions = row.at(2).toBool();
    settings.shuffleAnswers = row.at(3).toBool();
    settings.pass3 = number(4, settings.pass3);
    settings.pass4 = number(5, settings.pass4);
    settings.pass5 = number(6, settings.pass5);
    settings.review = number(7, settings.review);
    return settings;
}

// The rows of the table with the topic last; none when the database has no table.
QList<QVariantList> rows(const Connection& connection, const QString& where, const QVariantList& values) {
    if (!owntable::exists(connection, st::table))
        return {};
    return owntable::run(
        connection,
        QStringLiteral("SELECT %1, %2 FROM %3 %4")
            .arg(columnList(), Connection::quoted(st::topic), Connection::quoted(st::table), where),
        values, QStringLiteral("Настройки теста нельзя прочитать: "));
}

} // namespace

TopicSettings read(const Connection& connection, int topic) {
    const QList<QVariantList> found =
        rows(connection, QStringLiteral("WHERE %1 = ?").arg(Connection::quoted(st::topic)), {topic});
    return found.isEmpty() ? TopicSettings{} : fromRow(found.first());
}

QHash<int, TopicSettings> readAll(const Connection& connection) {
    QHash<int, TopicSettings> all;
    for (const QVariantList& row : rows(connection, {}, {}))
        all.insert(row.at(8).toInt(), fromRow(row));
    return all;
}

void write(Connection& connection, int topic, const TopicSettings& settings) {
    const QString fault = settings.fault();
    if (!fault.isEmpty())
        throw Failure(fault);
    owntable::ensure(connection, st::definition());
    const TopicSettings defaults;
    const QVariantList values = {kept(settings.seconds, defaults.seconds),
                                 settings.questions ? QVariant(*settings.questions) : QVariant(),
                                 kept(settings.shuffleQuestions),
                                 kept(settings.shuffleAnswers),
                                 kept(settings.pass3, defaults.pass3),
                                 kept(settings.pass4, defaults.pass4),
                                 kept(settings.pass5, defaults.pass5),
                                 kept(settings.review, defaults.review)};
    const QString lead = QStringLiteral("Настройки теста не сохранены: ");
    const QString table = Connection::quoted(st::table);
    const QString key = Connection::quoted(st::topic);
    const bool stored =
        !owntable::run(connection, QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ?").arg(table, key), {topic},
                       lead)
             .isEmpty();
    if (stored) {
        QStringList assignments;
        for (const QString& column : columns)
            assignments << Connection::quoted(column) + QStringLiteral(" = ?");
        owntable::run(connection,
                      QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                          .arg(table, assignments.join(QStringLiteral(", ")), key),
                      values + QVariantList{topic}, lead);
    } else {
        owntable::run(connection,
                      QStringLiteral("INSERT INTO %1 (%2, %3) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)")
                          .arg(table, key, columnList()),
                      QVariantList{topic} + values, lead);
    }
}

} // namespace topicsettings
