#include "pgserver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>
#include <QUrl>

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <functional>
#include <optional>

namespace {

const QString binaries = QStringLiteral("/usr/lib/postgresql/15/bin/");

struct Account {
    uid_t uid = 0;
    gid_t gid = 0;
};

// The account the server runs under: "nobody" when the tests run as root, else the tests' own.
std::optional<Account> serverAccount() {
    if (::geteuid() != 0)
        return Account{::geteuid(), ::getegid()};
    const passwd* entry = ::getpwnam("nobody");
    if (!entry)
        return std::nullopt;
    return Account{entry->pw_uid, entry->pw_gid};
}

// Run in the child between fork and exec: drop root for the account, and die with the test process.
std::function<void()> childSetUp(Account account) {
    return [account] {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(account.gid) != 0 || ::setuid(account.uid) != 0))
            ::_exit(126);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    };
}

bool giveTo(const QString& path, Account account) {
    return ::chown(QFile::encodeName(path).constData(), account.uid, account.gid) == 0;
}

QString tail(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll().right(2000));
}

} // namespace

QString uriEncoded(const QString& value) {
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

QString PrivateServer::missing() {
    for (const QString& tool : {QStringLiteral("initdb"), QStringLiteral("postgres")})
        if (!QFileInfo(binaries + tool).isExecutable())
            return QStringLiteral("no PostgreSQL 15 server on this machine (%1%2 is missing; "
                                  "scripts/setup.sh installs it)")
                .arg(binaries, tool);
    return {};
}

PrivateServer::PrivateServer() {
    QElapsedTimer clock;
    clock.start();
    m_skipReason = missing();
    if (!m_skipReason.isEmpty())
        return;
    const auto account = serverAccount();
    if (!account) {
        m_failure = QStringLiteral("there is no user \"nobody\" to run the server as");
        return;
    }
    if (!m_dir.isValid() || !giveTo(m_dir.path(), *account)) {
        m_failure = QStringLiteral("cannot make the server's folder %1").arg(m_dir.path());
        return;
    }
    m_password = QString::number(QRandomGenerator::global()->generate64(), 36);
    const QString passwordFile = m_dir.filePath(QStringLiteral("password"));
    {
        QFile file(passwordFile);
        if (!file.open(QIODevice::WriteOnly) || file.write(m_password.toUtf8()) < 0) {
            m_failure = QStringLiteral("cannot write %1").arg(passwordFile);
            return;
        }
    }
    giveTo(passwordFile, *account);
    m_server.setChildProcessModifier(childSetUp(*account));
    m_server.setWorkingDirectory(m_dir.path());
    m_server.setProcessChannelMode(QProcess::MergedChannels);
    const QString data = m_dir.filePath(QStringLiteral("data"));
    // Nothing is flushed to the disk: the server lives as long as the test executable.
    if (!run(binaries + QStringLiteral("initdb"),
             {QStringLiteral("-D"), data, QStringLiteral("-U"), adminName(),
              QStringLiteral("--pwfile=") + passwordFile, QStringLiteral("--auth=scram-sha-256"),
              QStringLiteral("--encoding=UTF8"), QStringLiteral("--no-locale"), QStringLiteral("--no-sync"),
              QStringLiteral("--no-instructions")}))
        return;
    QFile::remove(passwordFile);
    QFile settings(data + QStringLiteral("/postgresql.conf"));
    if (!settings.open(QIODevice::Append) ||
        settings.write(QStringLiteral("listen_addresses = ''\nunix_socket_directories = '%1'\n"
                                      "fsync = off\nsynchronous_commit = off\nfull_page_writes = off\n"
                                      "shared_buffers = 16MB\nmax_connections = 40\n")
                           .arg(m_dir.path())
                           .toUtf8()) < 0) {
        m_failure = QStringLiteral("cannot write %1").arg(settings.fileName());
        return;
    }
    settings.close();
    m_server.setStandardOutputFile(m_dir.filePath(QStringLiteral("server.log")), QIODevice::Append);
    if (!start())
        return;
    m_startMs = clock.elapsed();
}

PrivateServer::~PrivateServer() {
    stop();
    // QTemporaryDir removes the folder, the data with it.
}

void PrivateServer::stop() {
    if (m_server.state() != QProcess::NotRunning) {
        ::kill(static_cast<pid_t>(m_server.processId()), SIGINT); // fast shutdown: clients are cut off
        if (!m_server.waitForFinished(30000))
            m_server.kill();
        m_server.waitForFinished(5000);
    }
}

bool PrivateServer::start() {
    m_server.start(binaries + QStringLiteral("postgres"),
                   {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data"))});
    if (!m_server.waitForStarted(30000) || !waitUntilReady()) {
        m_failure = QStringLiteral("the server did not start: %1")
                        .arg(tail(m_dir.filePath(QStringLiteral("server.log"))));
        return false;
    }
    return true;
}

bool PrivateServer::run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setChildProcessModifier(m_server.childProcessModifier());
    process.setWorkingDirectory(m_dir.path());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
        process.exitCode() == 0)
        return true;
    m_failure = QStringLiteral("%1 failed: %2").arg(program, QString::fromLocal8Bit(process.readAll()));
    return false;
}

// The server writes "ready" into the eighth line of postmaster.pid once it takes connections (what pg_ctl
// waits for too).
bool PrivateServer::waitUntilReady() {
    const QString pidFile = m_dir.filePath(QStringLiteral("data/postmaster.pid"));
    for (int attempt = 0; attempt < 3000; ++attempt) {
        if (m_server.state() == QProcess::NotRunning)
            return false;
        QFile file(pidFile);
        if (file.open(QIODevice::ReadOnly)) {
            const QList<QByteArray> lines = file.readAll().split('\n');
            if (lines.size() > 7 && lines[7].trimmed() == "ready")
                return true;
        }
        QThread::msleep(10);
    }
    return false;
}

QString PrivateServer::adminUri(const QString& database, const QString& password) const {
    return uri(adminName(), password.isEmpty() ? m_password : password, database);
}

QString PrivateServer::uri(const QString& user, const QString& password, const QString& database) const {
    return QStringLiteral("postgresql://%1:%2@/%3?host=%4")
        .arg(uriEncoded(user), uriEncoded(password), uriEncoded(database), uriEncoded(m_dir.path()));
}

QString PrivateServer::createDatabase() {
    const QString name = QStringLiteral("school%1").arg(++m_databases);
    const QString error = exec(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE ") + name);
    if (!error.isEmpty())
        qFatal("cannot make a database: %s", qPrintable(error));
    return name;
}

namespace {

// Runs `work` on a connection of the superuser to `database`, closed again afterwards.
template <typename Work> auto onConnection(const PrivateServer& server, const QString& database, Work work) {
    const QString name = QStringLiteral("private-server");
    struct Removal {
        QString name;
        ~Removal() { QSqlDatabase::removeDatabase(name); }
    } removal{name};
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    db.setHostName(server.socketFolder());
    db.setDatabaseName(database);
    db.setUserName(PrivateServer::adminName());
    db.setPassword(server.adminPassword());
    if (!db.open())
        qFatal("cannot reach the private server: %s", qPrintable(db.lastError().text()));
    QSqlQuery query(db);
    query.exec(QStringLiteral("SET client_min_messages = warning")); // no "skipping" notices in the log
    return work(query);
}

} // namespace

QString PrivateServer::exec(const QString& database, const QString& sql) const {
    return onConnection(*this, database, [&](QSqlQuery& query) {
        return query.exec(sql) ? QString() : query.lastError().databaseText();
    });
}

QList<QVariantList> PrivateServer::rows(const QString& database, const QString& sql) const {
    return onConnection(*this, database, [&](QSqlQuery& query) {
        if (!query.exec(sql))
            qFatal("test SQL failed: %s", qPrintable(query.lastError().text()));
        QList<QVariantList> result;
        while (query.next()) {
            QVariantList row;
            for (int c = 0; c < query.record().count(); ++c)
                row << query.value(c);
            result << row;
        }
        return result;
    });
}
