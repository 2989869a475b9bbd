// A large question bank in and out: a Moodle XML file of 500 single-choice questions of four answers, 50 of
// them with a sound (a WAV clip of 20 seconds, 16-bit mono at 22 050 Hz, 860 KB) and 50 with a picture (PNG,
// 400 × 300), imported by the installed way, `muzyka_questions import`, into a database file and into a
// database of a private PostgreSQL server as the administrator; then the topic exported again. Also the
// reading alone (parsing, base64, the checks of every picture and sound) inside this process. Run on demand:
// bench_bank [questions] [sounds] [seconds of each sound]
#include "data/bank/bank.h"
#include "data/engine/serveraddress.h"
#include "tests/support/pgserver.h"
#include "tools/server/transfer.h"
#include "ui/mediafile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QtEndian>

#include <sqlite3.h>

#include <cmath>
#include <cstdio>

namespace {

QByteArray wave(int seconds, int tone) {
    constexpr int rate = 22050;
    const int samples = rate * seconds;
    QByteArray data;
    data.reserve(44 + samples * 2);
    auto le32 = [&](quint32 v) { data.append(reinterpret_cast<const char*>(&v), 4); };
    auto le16 = [&](quint16 v) { data.append(reinterpret_cast<const char*>(&v), 2); };
    data.append("RIFF");
    le32(quint32(36 + samples * 2));
    data.append("WAVEfmt ");
    le32(16);
    le16(1);
    le16(1);
    le32(rate);
    le32(rate * 2);
    le16(2);
    le16(16);
    data.append("data");
    le32(quint32(samples * 2));
    for (int i = 0; i < samples; ++i)
        le16(quint16(qint16(8000 * std::sin(2 * M_PI * (220 + 10 * tone) * i / rate))));
    return data;
}

QByteArray picture(int number) {
    QImage image(400, 300, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x * number) % 256, (y * 3) % 256, (x ^ y) % 256));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

QByteArray makeBank(int questions, int sounds, int seconds) {
    QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<quiz>\n<question type=\"category\"><category>"
        "<text>$course$/top/Большой банк</text></category></question>\n";
    const int soundEvery = sounds > 0 ? questions / sounds : questions + 1;
    for (int q = 1; q <= questions; ++q) {
        QByteArray text = QStringLiteral("<p>Вопрос %1: что звучит или что изображено?</p>").arg(q).toUtf8();
        QByteArray files;
        if (q % soundEvery == 0) {
            text += "<p><audio controls src=\"@@PLUGINFILE@@/clip.wav\"></audio></p>";
            files += "<file name=\"clip.wav\" path=\"/\" encoding=\"base64\">" +
                     wave(seconds, q % 40).toBase64() + "</file>\n";
        } else if (q % soundEvery == soundEvery / 2) {
            text += "<p><img src=\"@@PLUGINFILE@@/picture.png\" alt=\"\"></p>";
            files += "<file name=\"picture.png\" path=\"/\" encoding=\"base64\">" + picture(q).toBase64() +
                     "</file>\n";
        }
        xml += "<question type=\"multichoice\"><name><text>Вопрос " + QByteArray::number(q) +
               "</text></name>\n<questiontext format=\"html\"><text><![CDATA[" + text + "]]></text>\n" +
               files + "</questiontext>\n<single>true</single>\n";
        for (int a = 1; a <= 4; ++a)
            xml += "<answer fraction=\"" + QByteArray(a == 1 ? "100" : "0") + "\"><text>Ответ " +
                   QByteArray::number(a) + "</text><feedback><text>Отзыв</text></feedback></answer>\n";
        xml += "</question>\n";
    }
    return xml + "</quiz>\n";
}

void makeDatabase(const QString& path) {
    QFile schema(QStringLiteral(ESUN_SOURCE_DIR "/resources/sample/schema.sql"));
    if (!schema.open(QIODevice::ReadOnly))
        qFatal("schema.sql not found beside the benchmark's sources");
    sqlite3* db = nullptr;
    if (sqlite3_open(QFile::encodeName(path).constData(), &db) != SQLITE_OK)
        qFatal("cannot create %s", qPrintable(path));
    char* error = nullptr;
    if (sqlite3_exec(db, schema.readAll().constData(), nullptr, nullptr, &error) != SQLITE_OK)
        qFatal("cannot make the schema: %s", error);
    sqlite3_close(db);
}

// Runs the installed tool; the wall-clock seconds, or ends the run when it fails.
double tool(const QStringList& args) {
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral(ESUN_PROGRAM_DIR "/muzyka_questions"), args);
    if (!process.waitForFinished(600000) || process.exitCode() != 0)
        qFatal("muzyka_questions failed: %s", process.readAllStandardError().constData());
    return double(timer.nsecsElapsed()) / 1e9;
}

void inAndOut(const char* where, const QString& database, const QString& bank, const QString& out) {
    const double in = tool({QStringLiteral("import"), database, bank});
    const double back = tool({QStringLiteral("export"), database, QStringLiteral("Большой банк"), out});
    std::printf("%-28s import %6.2f s   export %6.2f s (%.1f MB)\n", where, in, back,
                double(QFile(out).size()) / 1e6);
}

} // namespace

int main(int argc, char** argv) {
    const QCoreApplication application(argc, argv);
    const int questions = argc > 1 ? std::atoi(argv[1]) : 500;
    const int sounds = argc > 2 ? std::atoi(argv[2]) : 50;
    const int seconds = argc > 3 ? std::atoi(argv[3]) : 20;
    QTemporaryDir dir;
    const QString bank = dir.filePath(QStringLiteral("bank.xml"));
    {
        QFile file(bank);
        if (!file.open(QIODevice::WriteOnly) || file.write(makeBank(questions, sounds, seconds)) < 0)
            qFatal("cannot write the bank");
    }
    std::printf("bank: %d questions, %d sounds of %d s, %d pictures; %.1f MB of Moodle XML\n", questions,
                sounds, seconds, sounds, double(QFile(bank).size()) / 1e6);

    QElapsedTimer timer;
    timer.start();
    const bank::Contents contents = bank::readFile(bank, {mediafile::pictureType, mediafile::soundType});
    std::printf("%-28s %6.2f s (%lld questions, %lld left out)\n", "reading and checking alone",
                double(timer.nsecsElapsed()) / 1e9, qlonglong(contents.questions.size()),
                qlonglong(contents.skipped.size()));

    const QString file = dir.filePath(QStringLiteral("Primer.mdb"));
    makeDatabase(file);
    inAndOut("database file", file, bank, dir.filePath(QStringLiteral("file-out.xml")));

    PrivateServer server;
    if (!server.skipReason().isEmpty()) {
        std::printf("lab server: skipped, %s\n", qPrintable(server.skipReason()));
        return 0;
    }
    makeDatabase(dir.filePath(QStringLiteral("empty.mdb")));
    const QString name = server.createDatabase();
    {
        QSqlDatabase db = openServer(ServerAddress::parse(server.adminUri(name)), name);
        transfer::setUp(db, name, dir.filePath(QStringLiteral("empty.mdb")), false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    inAndOut("lab server (administrator)", server.adminUri(name), bank,
             dir.filePath(QStringLiteral("server-out.xml")));
    return 0;
}
