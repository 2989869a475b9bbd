// muzyka_server: sets up a school's PostgreSQL server for a computer lab and writes it back into a database
// file (docs/server.md).
//   muzyka_server setup ADMIN_URI [--from FILE] [--replace]
//   muzyka_server update ADMIN_URI
//   muzyka_server dump ADMIN_URI FILE
// ADMIN_URI is a libpq URI of a role that may create roles and owns the database (or a superuser). No
// password is ever printed: the URIs the tool shows leave it out.

#include "data/engine/serveraddress.h"
#include "transfer.h"

#include "base/failure.h"
#include "base/tool.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace {

using tool::say;

const char* const usage = "Использование:\n"
                          "  muzyka_server setup АДРЕС_АДМИНИСТРАТОРА [--from ФАЙЛ] [--replace]\n"
                          "  muzyka_server update АДРЕС_АДМИНИСТРАТОРА\n"
                          "  muzyka_server dump АДРЕС_АДМИНИСТРАТОРА НОВЫЙ_ФАЙЛ\n"
                          "АДРЕС_АДМИНИСТРАТОРА: postgresql://пользователь:пароль@сервер:порт/база";

struct Command {
    QString verb;
    QString uri;
    QString file;
    bool replace = false;
};

// The command line, or nothing when it is not one of the three forms.
std::optional<Command> parse(const QStringList& arguments) {
    if (arguments.size() < 2)
        return std::nullopt;
    Command command{arguments[0], arguments[1], {}, false};
    const QStringList rest = arguments.mid(2);
    if (command.verb == QLatin1String("dump")) {
        if (rest.size() != 1 || rest[0].startsWith(u'-'))
            return std::nullopt;
        command.file = rest[0];
        return command;
    }
    if (command.verb == QLatin1String("update"))
        return rest.isEmpty() ? std::optional(command) : std::nullopt;
    if (command.verb != QLatin1String("setup"))
        return std::nullopt;
    for (qsizetype i = 0; i < rest.size(); ++i) {
        if (rest[i] == QLatin1String("--replace"))
            command.replace = true;
        else if (rest[i] == QLatin1String("--from") && i + 1 < rest.size() && command.file.isEmpty())
            command.file = rest[++i];
        else
            return std::nullopt;
    }
    return command;
}

int run(const Command& command) {
    const ServerAddress address = ServerAddress::parse(command.uri);
    const QString connection = QStringLiteral("server");
    {
        QSqlDatabase server = openServer(address, connection);
        if (command.verb == QLatin1String("dump")) {
            say(stdout, transfer::dump(server, address.shown(), command.file));
        } else if (command.verb == QLatin1String("update")) {
            say(stdout, transfer::update(server, address.shown()));
        } else {
            const QString loaded = transfer::setUp(server, address.shown(), command.file, command.replace);
            say(stdout, QStringLiteral("Таблицы программы готовы на сервере «%1».").arg(address.shown()));
            say(stdout, loaded);
            const bool local = address.host.isEmpty() || address.host.startsWith(u'/') ||
                               address.host == QLatin1String("localhost") || address.host.startsWith(u"127.");
            const QString password = transfer::newLabPassword(server, address.shown());
            say(stdout,
                QStringLiteral("Строка для /etc/muzyka.conf на каждом компьютере класса (вход muzyka_lab с "
                               "новым паролем; прежняя строка больше не действует%1):")
                    .arg(local ? QStringLiteral("; вместо адреса сервера поставьте тот, по которому его "
                                                "видят по сети")
                               : QString()));
            say(stdout, QStringLiteral("MUZYKA_SERVER='%1'")
                            .arg(address.uriFor(QStringLiteral("muzyka_lab:") + password)));
        }
        server.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    return tool::main(argc, argv, "muzyka_server", usage, parse, run);
}
