#include "serveraddress.h"

#include "base/failure.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

namespace {

QString decoded(const QString& part) {
    return QString::fromUtf8(QByteArray::fromPercentEncoding(part.toUtf8()));
}

QString encoded(const QString& part) {
    return QString::fromLatin1(QUrl::toPercentEncoding(part));
}

// Where the user and password of `rest` (a URI after its "://") end: the last "@" before which stands a user
// name, never holding "/" or "?". A hand-typed password may hold "@", "/", "?" or "#" unencoded; an "@" of
// the parameters (?host=/db?user=a@b) follows a "/" or "?" before any ":".
qsizetype userInfoEnd(const QString& rest) {
    for (qsizetype at = rest.lastIndexOf(u'@'); at >= 0; at = at > 0 ? rest.lastIndexOf(u'@', at - 1) : -1) {
        const QString user = rest.left(at).section(u':', 0, 0);
        if (!user.contains(u'/') && !user.contains(u'?'))
            return at;
    }
    return -1;
}

[[noreturn]] void wrongUri(const QString& uri, const QString& why) {
    throw Failure(QStringLiteral("Неверный адрес сервера «%1»: %2.").arg(withoutPassword(uri), why));
}

int portNumber(const QString& uri, const QString& text) {
    bool ok = false;
    const int port = text.toInt(&ok);
    if (!ok || port < 1 || port > 65535)
        wrongUri(uri, QStringLiteral("порт «%1» — не число от 1 до 65535").arg(text));
    return port;
}

// libpq's texts are read in English (main() sets LC_MESSAGES to C); the server's may be in Russian when it
// was set up for it, so both are looked for.
bool says(const QString& text, std::initializer_list<const char*> fragments) {
    for (const char* fragment : fragments)
        if (text.contains(QString::fromUtf8(fragment), Qt::CaseInsensitive))
            return true;
    return false;
}

} // namespace

QString withoutPassword(const QString& uri) {
    static const QRegularExpression parameter(QStringLiteral("([?&])password=[^&]*&?"));
    const qsizetype schemeEnd = uri.indexOf(QLatin1String("://"));
    const qsizetype start = schemeEnd < 0 ? 0 : schemeEnd + 3;
    QString shown = uri;
    const qsizetype at = userInfoEnd(uri.mid(start));
    if (at >= 0) {
        const qsizetype colon = uri.indexOf(u':', start);
        if (colon >= 0 && colon < start + at)
            shown.remove(colon, start + at - colon);
    }
    shown.replace(parameter, QStringLiteral("\\1"));
    if (shown.endsWith(u'?') || shown.endsWith(u'&'))
        shown.chop(1);
    return shown;
}

ServerAddress ServerAddress::parse(const QString& uri) {
    QString rest;
    for (const QLatin1String scheme : {QLatin1String("postgresql://"), QLatin1String("postgres://")})
        if (uri.startsWith(scheme))
            rest = uri.mid(scheme.size());
    if (rest.isNull())
        wrongUri(uri, QStringLiteral("он должен начинаться с postgresql://"));

    ServerAddress address;
    const qsizetype at = userInfoEnd(rest);
    if (at >= 0) {
        const QString userInfo = rest.left(at);
        const qsizetype colon = userInfo.indexOf(u':');
        address.user = decoded(userInfo.left(colon));
        if (colon >= 0)
            address.password = decoded(userInfo.mid(colon + 1));
        rest = rest.mid(at + 1);
    }
    const qsizetype question = rest.indexOf(u'?');
    const QString query = question < 0 ? QString() : rest.mid(question + 1);
    rest = rest.left(question);
    const qsizetype slash = rest.indexOf(u'/');
    address.database = decoded(slash < 0 ? QString() : rest.mid(slash + 1));
    QString authority = rest.left(slash);
    if (authority.contains(u','))
        wrongUri(uri, QStringLiteral("указано несколько серверов, а нужен один"));
    QString portText;
    if (authority.startsWith(u'[')) {
        const qsizetype close = authority.indexOf(u']');
        if (close < 0)
            wrongUri(uri, QStringLiteral("адрес IPv6 не закрыт скобкой «]»"));
        address.host = authority.mid(1, close - 1);
        const QString after = authority.mid(close + 1);
        if (!after.isEmpty() && !after.startsWith(u':'))
            wrongUri(uri, QStringLiteral("после адреса IPv6 может стоять только «:порт»"));
        portText = after.mid(1);
    } else {
        const qsizetype colon = authority.indexOf(u':');
        address.host = decoded(authority.left(colon));
        if (colon >= 0)
            portText = authority.mid(colon + 1);
    }
    if (!portText.isEmpty())
        address.port = portNumber(uri, portText);

    for (const QString& pair : query.split(u'&', Qt::SkipEmptyParts)) {
        const qsizetype equals = pair.indexOf(u'=');
        if (equals <= 0)
            wrongUri(uri, QStringLiteral("параметр «%1» не в виде имя=значение").arg(decoded(pair)));
        const QString key = decoded(pair.left(equals));
        const QString value = decoded(pair.mid(equals + 1));
        if (key == QLatin1String("host"))
            address.host = value;
        else if (key == QLatin1String("port"))
            address.port = portNumber(uri, value);
        else if (key == QLatin1String("dbname"))
            address.database = value;
        else if (key == QLatin1String("user"))
            address.user = value;
        else if (key == QLatin1String("password"))
            address.password = value;
        else if (key.contains(QRegularExpression(QStringLiteral("[^a-z_]"))))
            wrongUri(uri, QStringLiteral("нет параметра «%1»").arg(key));
        else
            address.options << key + QLatin1Char('=') + value;
    }
    return address;
}

QString ServerAddress::uriFor(const QString& login) const {
    QString uri = QStringLiteral("postgresql://");
    if (!login.isEmpty())
        uri += login + QLatin1Char('@');
    const bool socket = host.startsWith(u'/');
    if (!socket)
        uri += host.contains(u':') ? QLatin1Char('[') + host + QLatin1Char(']') : encoded(host);
    if (port > 0 && !socket)
        uri += QLatin1Char(':') + QString::number(port);
    uri += QLatin1Char('/') + encoded(database);
    QStringList parameters;
    if (socket)
        parameters << QStringLiteral("host=") + encoded(host);
    if (socket && port > 0)
        parameters << QStringLiteral("port=%1").arg(port);
    for (const QString& option : options) {
        const qsizetype equals = option.indexOf(u'=');
        parameters << encoded(option.left(equals)) + QLatin1Char('=') + encoded(option.mid(equals + 1));
    }
    if (!parameters.isEmpty())
        uri += QLatin1Char('?') + parameters.join(u'&');
    return uri;
}

QString ServerAddress::shown() const {
    return uriFor(encoded(user));
}

QSqlDatabase openServer(const ServerAddress& address, const QString& connectionName,
                        const QString& applicationName) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
    if (!db.isValid())
        throw Failure(QStringLiteral("Нет драйвера PostgreSQL для Qt: установите пакет libqt6sql6-psql."));
    db.setHostName(address.host);
    if (address.port > 0)
        db.setPort(address.port);
    db.setDatabaseName(address.database);
    db.setUserName(address.user);
    db.setPassword(address.password);
    QStringList options = address.options;
    // A server that does not answer is reported after ten seconds, not after the system's minutes.
    if (options.filter(QRegularExpression(QStringLiteral("^connect_timeout="))).isEmpty())
        options << QStringLiteral("connect_timeout=10");
    options << QStringLiteral("application_name=") + applicationName;
    db.setConnectOptions(options.join(u';'));
    if (db.open()) {
        // The notices of a second run ("already exists, skipping") are no news to the administrator.
        const QSqlQuery quiet(QStringLiteral("SET client_min_messages = warning"), db);
        return db;
    }
    const QString text = db.lastError().databaseText().simplified();
    const QString server = address.shown();
    if (says(text, {"password authentication failed", "no password supplied",
                    "не прошёл проверку подлинности (по паролю)"}))
        throw Failure(
            QStringLiteral("Сервер «%1» не принял пароль пользователя «%2».").arg(server, address.user));
    if (says(text, {"does not exist", "не существует"}) && says(text, {"database", "база данных"}))
        throw Failure(QStringLiteral("На сервере «%1» нет базы данных «%2».").arg(server, address.database));
    if (says(text, {"does not exist", "не существует"}) && says(text, {"role", "роль"}))
        throw Failure(QStringLiteral("На сервере «%1» нет пользователя «%2».").arg(server, address.user));
    if (says(text, {"No such file or directory", "Connection refused", "timeout expired",
                    "could not translate host name", "No route to host", "Network is unreachable",
                    "server closed the connection unexpectedly", "the database system is"}))
        throw Failure(
            QStringLiteral("Сервер «%1» не отвечает: он не запущен или недоступен по сети.").arg(server));
    throw Failure(QStringLiteral("Не удалось подключиться к серверу «%1»: %2").arg(server, text));
}
