#include "converter.h"

#include "base/failure.h"
#include "base/programmodule.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSaveFile>

#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <new>

// AddressSanitizer reserves terabytes of address space for its shadow memory: a sanitized converter is
// bounded by its resident memory instead.
#if defined(__SANITIZE_ADDRESS__)
#define ESUN_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ESUN_ASAN 1
#endif
#endif

namespace accessdb {

namespace {

constexpr int exitFailure = 1;
constexpr int exitOutOfMemory = 3;

QJsonArray stringArray(const QStringList& list) {
    return QJsonArray::fromStringList(list);
}

QStringList stringList(const QJsonValue& value) {
    QStringList list;
    for (const QJsonValue& item : value.toArray())
        list.append(item.toString());
    return list;
}

QJsonObject reportObject(const Report& report) {
    QJsonArray tables;
    for (const TableReport& table : report.tables)
        tables.append(QJsonArray{table.name, table.columns, table.rows});
    QJsonArray relations;
    for (const Relation& r : report.relations)
        relations.append(QJsonObject{{"name", r.name},
                                     {"table", r.table},
                                     {"columns", stringArray(r.columns)},
                                     {"referenced", r.referenced},
                                     {"referencedColumns", stringArray(r.referencedColumns)},
                                     {"enforced", r.enforced},
                                     {"cascadeDelete", r.cascadeDelete},
                                     {"cascadeUpdate", r.cascadeUpdate}});
    return {{"tables", tables}, {"relations", relations}, {"notCarried", stringArray(report.notCarried)}};
}

Report reportFrom(const QJsonObject& object) {
    Report report;
    for (const QJsonValue& value : object.value(QLatin1String("tables")).toArray()) {
        const QJsonArray table = value.toArray();
        report.tables.append({table.at(0).toString(), table.at(1).toInt(), qint64(table.at(2).toDouble())});
    }
    for (const QJsonValue& value : object.value(QLatin1String("relations")).toArray()) {
        const QJsonObject r = value.toObject();
        Relation relation;
        relation.name = r.value(QLatin1String("name")).toString();
        relation.table = r.value(QLatin1String("table")).toString();
        relation.columns = stringList(r.value(QLatin1String("columns")));
        relation.referenced = r.value(QLatin1String("referenced")).toString();
        relation.referencedColumns = stringList(r.value(QLatin1String("referencedColumns")));
        relation.enforced = r.value(QLatin1String("enforced")).toBool();
        relation.cascadeDelete = r.value(QLatin1String("cascadeDelete")).toBool();
        relation.cascadeUpdate = r.value(QLatin1String("cascadeUpdate")).toBool();
        report.relations.append(relation);
    }
    report.notCarried = stringList(object.value(QLatin1String("notCarried")));
    return report;
}

[[noreturn]] void damagedBeyond(const QString& path, const QString& how) {
    throw Failure(
        QStringLiteral("'%1' — база данных Access, но прочитать её не удалось: файл повреждён — %2.")
            .arg(shownPath(path), how));
}

// Runs in the child between fork and exec: only async-signal-safe calls.
void bound(const Bounds& bounds) {
    const rlimit cpu{rlim_t(bounds.seconds), rlim_t(bounds.seconds) + 1};
    setrlimit(RLIMIT_CPU, &cpu);
    const rlimit noCore{0, 0}; // an aborted converter leaves no core file in the data folder
    setrlimit(RLIMIT_CORE, &noCore);
#ifndef ESUN_ASAN
    const rlim_t bytes = rlim_t(bounds.megabytes) * 1024 * 1024;
    const rlimit memory{bytes, bytes};
    setrlimit(RLIMIT_AS, &memory);
#endif
}

// The failures of files that could not be converted, by path, size and time of change.
QHash<QString, QString>& failedFiles() {
    static QHash<QString, QString> failures;
    return failures;
}

QString fileKey(const QString& path) {
    const QFileInfo info(path);
    return QStringLiteral("%1\n%2\n%3")
        .arg(info.absoluteFilePath())
        .arg(info.size())
        .arg(info.fileTime(QFileDevice::FileModificationTime).toMSecsSinceEpoch());
}

[[noreturn]] void notWritten(const QSaveFile& out) {
    throw Failure(QStringLiteral("Не удалось записать переведённую базу данных '%1': %2.")
                      .arg(shownPath(out.fileName()), out.errorString()));
}

void write(QSaveFile& out, const QByteArray& database) {
    if (!out.open(QIODevice::WriteOnly) || out.write(database) != database.size())
        notWritten(out);
}

} // namespace

Converted convertBounded(const QString& accessPath, int codePage) {
    const Bounds bounds = conversionBounds;
    const QString converter = programModulePath(QStringLiteral("mdb_import"));
    QProcess child;
    child.setProgram(converter);
    child.setArguments({QStringLiteral("--child"), accessPath, QString::number(codePage)});
    child.setStandardInputFile(QProcess::nullDevice());
    // libmdb's warnings (and a sanitizer's report) go where the program's own would.
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.setChildProcessModifier([bounds] { bound(bounds); });
#ifdef ESUN_ASAN
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       environment.value(QStringLiteral("ASAN_OPTIONS")) +
                           QStringLiteral(":hard_rss_limit_mb=%1").arg(bounds.megabytes));
    child.setProcessEnvironment(environment);
#endif
    child.start();
    if (!child.waitForStarted(-1))
        throw Failure(
            QStringLiteral(
                "Не удалось перевести базу данных Access '%1': программа перевода '%2' не запускается.")
                .arg(shownPath(accessPath), shownPath(converter)));
    if (!child.waitForFinished(bounds.seconds * 1000) && child.state() != QProcess::NotRunning) {
        child.kill();
        child.waitForFinished(-1);
        damagedBeyond(accessPath,
                      QStringLiteral("его чтение не закончилось за %1 секунд").arg(bounds.seconds));
    }
    if (child.exitStatus() == QProcess::NormalExit && child.exitCode() == exitOutOfMemory)
        damagedBeyond(accessPath,
                      QStringLiteral("для его чтения не хватило %1 МБ памяти").arg(bounds.megabytes));
    const QByteArray output = child.readAllStandardOutput();
    const qsizetype lineEnd = output.indexOf('\n');
    const QJsonObject outcome = QJsonDocument::fromJson(output.left(lineEnd)).object();
    if (child.exitStatus() == QProcess::NormalExit && child.exitCode() == exitFailure &&
        outcome.contains(QLatin1String("failure")))
        throw Failure(outcome.value(QLatin1String("failure")).toString());
    Converted converted;
    converted.database = output.mid(lineEnd + 1);
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0 || lineEnd < 0 ||
        !outcome.contains(QLatin1String("tables")) ||
        !converted.database.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        damagedBeyond(accessPath, QStringLiteral("его чтение прервалось аварийно"));
    converted.report = reportFrom(outcome);
    return converted;
}

int runConverterChild(const QString& accessPath, int codePage) {
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly))
        return exitFailure;
    QJsonObject outcome;
    Converted converted;
    try {
        converted = convertHere(accessPath, codePage);
        outcome = reportObject(converted.report);
    } catch (const Failure& failure) {
        outcome = {{"failure", failure.text()}};
    } catch (const std::bad_alloc&) {
        return exitOutOfMemory;
    }
    out.write(QJsonDocument(outcome).toJson(QJsonDocument::Compact) + '\n');
    out.write(converted.database);
    out.flush();
    return outcome.contains(QLatin1String("failure")) ? exitFailure : 0;
}

Report convertFile(const QString& accessPath, const QString& target, int codePage) {
    if (QFileInfo::exists(target))
        throw Failure(
            QStringLiteral("Файл '%1' уже есть; переведённая база данных записывается только в новый "
                           "файл.")
                .arg(shownPath(target)));
    const Converted converted = convertBounded(accessPath, codePage);
    QSaveFile out(target);
    write(out, converted.database);
    if (QFileInfo::exists(target))
        throw Failure(QStringLiteral("Файл '%1' появился во время перевода; он оставлен как есть.")
                          .arg(shownPath(target)));
    if (!out.commit())
        notWritten(out);
    return converted.report;
}

QString keptName(const QString& path) {
    const QFileInfo info(path);
    const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
    QString name = info.dir().filePath(info.completeBaseName() + QStringLiteral(".access") + suffix);
    for (int n = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = info.dir().filePath(info.completeBaseName() + QStringLiteral(".access-%1").arg(n) + suffix);
    return name;
}

InPlace convertInPlace(const QString& path) {
    InPlace result;
    result.converted = QFileInfo(path).absoluteFilePath();
    const QString key = fileKey(result.converted);
    const auto failed = failedFiles().constFind(key);
    if (failed != failedFiles().cend())
        throw Failure(failed.value());
    QByteArray database;
    try {
        database = convertBounded(result.converted).database;
    } catch (const Failure& failure) {
        failedFiles().insert(key, failure.text());
        throw;
    }
    result.original = keptName(result.converted);
    QSaveFile out(result.converted);
    write(out, database);
    // The original keeps its bytes under the new name: a second link to it where the file system has
    // them, else the file itself moves (and moves back if the converted one cannot take its place).
    namespace fs = std::filesystem;
    const fs::path from(QFile::encodeName(result.converted).toStdString());
    const fs::path kept(QFile::encodeName(result.original).toStdString());
    std::error_code error;
    fs::create_hard_link(from, kept, error);
    const bool linked = !error;
    if (!linked) {
        fs::rename(from, kept, error);
        if (error)
            throw Failure(QStringLiteral("Не удалось сохранить исходный файл '%1' под именем '%2': %3.")
                              .arg(shownPath(result.converted), shownPath(result.original),
                                   QString::fromLocal8Bit(error.message())));
    }
    if (!out.commit()) {
        if (linked)
            fs::remove(kept, error);
        else
            fs::rename(kept, from, error);
        notWritten(out);
    }
    return result;
}

QString InPlace::notice() const {
    return QStringLiteral(
               "База данных '%1' была в формате Access и переведена в формат программы. Исходный файл "
               "сохранён без изменений под именем '%2', программа работает с переведённой базой "
               "'%1'.")
        .arg(shownPath(converted), shownPath(original));
}

} // namespace accessdb
