// muzyka_questions: question banks in Moodle's formats into a topic of the school's database and out of it.
//   muzyka_questions import DATABASE FILE [--topic NAME]
//   muzyka_questions export DATABASE TOPIC FILE
// DATABASE is the program's database file or the lab server's address (postgresql://…), as muzyka_server
// takes it. Exit codes: 0 done, 1 failed (nothing changed), 2 a wrong command line, 3 imported with some
// questions left out (listed on the standard error).

#include "base/failure.h"
#include "base/tool.h"
#include "data/bank/questionbank.h"
#include "data/engine/connection.h"
#include "ui/mediafile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace {

using tool::say;

const char* const usage = "Использование:\n"
                          "  muzyka_questions import БАЗА ФАЙЛ [--topic ТЕМА]\n"
                          "  muzyka_questions export БАЗА ТЕМА ФАЙЛ\n"
                          "БАЗА: файл базы данных программы или адрес сервера класса "
                          "(postgresql://пользователь:пароль@сервер:порт/база)\n"
                          "ФАЙЛ: вопросы в формате Moodle XML или GIFT (импорт), Moodle XML (экспорт)";

struct Command {
    QString verb;
    QString database;
    QString file;
    QString topic;
};

std::optional<Command> parse(const QStringList& arguments) {
    if (arguments.size() < 3)
        return std::nullopt;
    Command command{arguments[0], arguments[1], {}, {}};
    if (command.verb == QLatin1String("export")) {
        if (arguments.size() != 4)
            return std::nullopt;
        command.topic = arguments[2];
        command.file = arguments[3];
        return command;
    }
    if (command.verb != QLatin1String("import"))
        return std::nullopt;
    command.file = arguments[2];
    const QStringList rest = arguments.mid(3);
    if (rest.isEmpty())
        return command;
    if (rest.size() != 2 || rest[0] != QLatin1String("--topic") || rest[1].trimmed().isEmpty())
        return std::nullopt;
    command.topic = rest[1].trimmed();
    return command;
}

bool isServer(const QString& database) {
    return database.startsWith(QLatin1String("postgresql://")) ||
           database.startsWith(QLatin1String("postgres://"));
}

void open(Connection& connection, const QString& database) {
    if (isServer(database)) {
        connection.setServer(database);
    } else {
        if (!QFileInfo::exists(database))
            throw Failure(QStringLiteral("файла базы данных «%1» нет.").arg(database));
        connection.setConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") +
                                       Connection::quotedItemValue(database));
    }
    QObject::connect(&connection, &Connection::converted, [](const QString& notice) { say(stderr, notice); });
    connection.open();
}

int importBank(Connection& connection, const Command& command) {
    bank::Contents contents = bank::readFile(command.file, {mediafile::pictureType, mediafile::soundType});
    if (!command.topic.isEmpty())
        for (bank::Question& question : contents.questions)
            question.topic = command.topic;
    const bank::Imported imported = bank::store(connection, contents);
    say(stdout, imported.headline());
    for (const bank::Skipped& skipped : imported.skipped)
        say(stderr, QStringLiteral("Пропущен вопрос: ") + skipped.sentence() + u'.');
    return imported.skipped.isEmpty() ? 0 : 3;
}

int exportTopic(Connection& connection, const Command& command) {
    const std::optional<qint64> topic = bank::findTopic(connection, command.topic);
    if (!topic)
        throw Failure(QStringLiteral("темы «%1» в базе данных нет.").arg(command.topic));
    const bank::Exported exported = bank::exportTopic(connection, *topic, command.file);
    say(stdout, exported.headline(command.file));
    for (const QString& problem : exported.problems)
        say(stderr, problem);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    return tool::main(argc, argv, "muzyka_questions", usage, parse, [](const Command& command) {
        Connection connection(QStringLiteral("база данных"));
        open(connection, command.database);
        return command.verb == QLatin1String("import") ? importBank(connection, command)
                                                       : exportTopic(connection, command);
    });
}
