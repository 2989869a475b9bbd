// A question with a picture and a sound in the test window: how long after "Следующий вопрос" the next such
// question appears (its picture drawn, its play button ready), and how long the first play takes from the
// click (the media module loaded, the clip opened, playback started) and a later one. A topic of 20
// questions, each with a 1600 × 900 JPEG photograph or an SVG score and a 30-second WAV clip, in a database
// file of the program's schema in a temporary folder; then the same on a private PostgreSQL server set up as
// the lab's from that file (durable, as an installed one), the pupil signed in on the lab login, where each
// question's media come from the server and each play is kept there. Run on demand: bench_media [questions]
#include "base/programmodule.h"
#include "base/schema.h"
#include "bench/support/labdatabase.h"
#include "bench/support/printeddialogs.h"
#include "data/datamodule.h"
#include "data/engine/connection.h"
#include "data/engine/questionmedia.h"
#include "data/engine/table.h"
#include "testing/form3.h"
#include "testing/questionmediapanel.h"
#include "testing/radiogroup.h"
#include "tests/support/pgserver.h"
#include "ui/clipplayer.h"
#include "ui/dialogs.h"
#include "ui/mediadevice.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtEndian>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QByteArray photo(int seed) {
    QImage image(1600, 900, QImage::Format_RGB32);
    QPainter p(&image);
    for (int y = 0; y < 900; y += 30)
        for (int x = 0; x < 1600; x += 40)
            p.fillRect(x, y, 40, 30, QColor((x * 7 + seed * 31) % 256, (y * 3 + seed) % 256, (x + y) % 256));
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    return bytes;
}

QByteArray score() {
    QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"816\" height=\"108\">";
    for (int line = 0; line < 5; ++line)
        svg += QStringLiteral("<line x1=\"10\" y1=\"%1\" x2=\"806\" y2=\"%1\" stroke=\"black\"/>")
                   .arg(30 + line * 8)
                   .toLatin1();
    for (int note = 0; note < 40; ++note)
        svg += QStringLiteral("<ellipse cx=\"%1\" cy=\"%2\" rx=\"5\" ry=\"4\"/>")
                   .arg(40 + note * 19)
                   .arg(30 + (note * 5) % 32)
                   .toLatin1();
    return svg + "</svg>";
}

// A tone as 16-bit mono PCM at 44.1 kHz.
QByteArray clip(int seconds) {
    const quint32 samples = quint32(44100 * seconds);
    QByteArray out(44 + int(samples) * 2, '\0');
    char* d = out.data();
    memcpy(d, "RIFF", 4);
    qToLittleEndian(quint32(out.size() - 8), d + 4);
    memcpy(d + 8, "WAVEfmt ", 8);
    qToLittleEndian(quint32(16), d + 16);
    qToLittleEndian(quint16(1), d + 20);
    qToLittleEndian(quint16(1), d + 22);
    qToLittleEndian(quint32(44100), d + 24);
    qToLittleEndian(quint32(88200), d + 28);
    qToLittleEndian(quint16(2), d + 32);
    qToLittleEndian(quint16(16), d + 34);
    memcpy(d + 36, "data", 4);
    qToLittleEndian(quint32(samples * 2), d + 40);
    for (quint32 i = 0; i < samples; ++i)
        qToLittleEndian(qint16((i % 100) * 300 - 15000), d + 44 + 2 * i);
    return out;
}

void makeDatabase(const QString& path, int questions) {
    QFile schemaFile(QStringLiteral(ESUN_SOURCE_DIR "/resources/sample/schema.sql"));
    schemaFile.open(QIODevice::ReadOnly);
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    const QByteArray sql = schemaFile.readAll() + questionmedia::fileDdl().toUtf8() +
                           ";INSERT INTO \"Тема\" VALUES (1, 'Слушание музыки');"
                           "INSERT INTO \"класс\" VALUES (1, '5А');"
                           "INSERT INTO \"Ученики\" VALUES (1, 'Анна', 'Петрова', '', 1, 'nota', 0);";
    sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr);
    sqlite3_stmt* media = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO \"МедиаВопроса\" VALUES (?, ?, ?, ?, 'wav', NULL, NULL, 3, NULL)", -1,
                       &media, nullptr);
    const QByteArray sound = clip(30);
    const QByteArray svg = score();
    for (int q = 1; q <= questions; ++q) {
        sqlite3_exec(db,
                     QStringLiteral("INSERT INTO \"Вопрос\" VALUES (%1, 'Что звучит? (%1)', 1);"
                                    "INSERT INTO \"Ответы\" (\"ответ\", \"id_вопроса\", \"статус\") VALUES "
                                    "('Менуэт', %1, 1), ('Вальс', %1, 0), ('Марш', %1, 0);")
                         .arg(q)
                         .toUtf8()
                         .constData(),
                     nullptr, nullptr, nullptr);
        const QByteArray picture = q % 2 ? photo(q) : svg;
        sqlite3_bind_int(media, 1, q);
        sqlite3_bind_blob(media, 2, picture.constData(), int(picture.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(media, 3, q % 2 ? "jpeg" : "svg", -1, SQLITE_STATIC);
        sqlite3_bind_blob(media, 4, sound.constData(), int(sound.size()), SQLITE_TRANSIENT);
        sqlite3_step(media);
        sqlite3_reset(media);
    }
    sqlite3_finalize(media);
    sqlite3_close(db);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Play {
    double started = 0; // the click handled: the clip opened and playback asked for
    double moving = -1; // the clip's position first past its start; -1 when it did not move within 2 s
};

// Plays the current question's clip; milliseconds from the click.
Play timePlay(QuestionMediaPanel* panel) {
    QElapsedTimer timer;
    timer.start();
    panel->PlayButton->click();
    Play play;
    play.started = double(timer.nsecsElapsed()) / 1e6;
    auto* player = panel->findChild<ClipPlayer*>();
    while (timer.elapsed() < 2000 && player->isPlaying() && player->position() == 0)
        QCoreApplication::processEvents();
    if (player->position() > 0)
        play.moving = double(timer.nsecsElapsed()) / 1e6;
    player->stop();
    return play;
}

// Walks a test of the topic in a new test window on the data module open now, and prints the figures.
void walk(const char* where, int questions) {
    std::printf("%s\n", where);
    DataModule11->ych->locate(schema::pupilKey, 1);
    DataModule11->tema->first();
    Form3 = new TForm3;
    Form3->show();
    QCoreApplication::processEvents();
    Form3->Button1->click();

    std::vector<double> appear;
    Play firstPlay;
    std::vector<double> laterPlays;
    std::vector<double> ahead;
    for (int q = 1; q < questions; ++q) {
        // The pupil reads the question: the clip is opened meanwhile.
        QElapsedTimer reading;
        reading.start();
        QCoreApplication::processEvents();
        ahead.push_back(double(reading.nsecsElapsed()) / 1e6);
        if (q == 2)
            firstPlay = timePlay(Form3->MediaPanel1);
        else if (q > 2)
            laterPlays.push_back(timePlay(Form3->MediaPanel1).started);
        Form3->RadioGroup1->button(0)->click();
        QElapsedTimer timer;
        timer.start();
        Form3->Button2->click();
        // Drawn: the window's paint done, not merely scheduled.
        Form3->repaint();
        appear.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (Form3->MediaPanel1->Picture->pixmap().isNull() || !Form3->MediaPanel1->PlayButton->isVisible())
            std::printf("  question %d: no picture or no play button\n", q + 1);
    }
    std::printf("  next question with a picture and a sound appears: median %.1f ms, slowest %.1f ms (%zu "
                "questions)\n",
                median(appear), *std::max_element(appear.begin(), appear.end()), appear.size());
    std::printf("  the clip opened while the question is read: first %.1f ms, then median %.1f ms\n",
                ahead[0], median(std::vector<double>(ahead.begin() + 1, ahead.end())));
    std::printf("  first play: the click handled (playback asked) %.1f ms; "
                "the position moving %.1f ms (-1: not within 2 s)\n",
                firstPlay.started, firstPlay.moving);
    if (!laterPlays.empty())
        std::printf("  later plays: median %.1f ms\n", median(laterPlays));
    delete Form3;
    Form3 = nullptr;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int questions = argc > 1 ? std::max(3, std::atoi(argv[1])) : 20;
    PrintedDialogs printed;
    setDialogs(&printed);
    setProgramModuleFolderForTesting(QStringLiteral(ESUN_PROGRAM_DIR));
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    const QString file = work.filePath(QStringLiteral("Primer.mdb"));
    makeDatabase(file, questions);
    std::printf("database: %d questions, each a picture and a 30 s WAV clip, %.1f MB\n", questions,
                double(QFileInfo(file).size()) / 1e6);

    DataModule11 = new TDataModule11;
    walk("database file (the media module loaded at the first clip)", questions);
    delete DataModule11;

    PrivateServer server;
    if (!server.skipReason().isEmpty()) {
        std::printf("lab server: skipped, %s\n", qPrintable(server.skipReason()));
        return 0;
    }
    pupilOnLab(server, file, QStringLiteral("Петрова"), QStringLiteral("nota"));
    walk("lab server, the pupil signed in (the media module loaded already)", questions);
    DataModule11->signOut();
    delete DataModule11;
    DataModule11 = nullptr;
    setDialogs(nullptr);
    return 0;
}
