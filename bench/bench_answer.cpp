// A press of "Следующий вопрос" now that every counted answer is kept as it is given: from the click until
// the window has drawn the next question. On a database file the program writes the answer into the file's
// log; on a private PostgreSQL server set up as the lab's, the pupil signed in on the lab login, the server
// checks the answer and logs it (and at the last one grades the test and stores its row). A topic of text
// questions with four answers, walked test after test by one pupil. Run on demand: bench_answer [questions]
// [tests]
#include "base/schema.h"
#include "bench/support/labdatabase.h"
#include "bench/support/printeddialogs.h"
#include "bench/support/schoolfile.h"
#include "data/datamodule.h"
#include "data/engine/table.h"
#include "testing/form3.h"
#include "testing/radiogroup.h"
#include "tests/support/pgserver.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QString rows(int questions) {
    QString sql = QStringLiteral("INSERT INTO \"класс\" VALUES (1, '5А');"
                                 "INSERT INTO \"Ученики\" VALUES (1, 'Анна', 'Петрова', '', 1, 'nota', 0);"
                                 "INSERT INTO \"Тема\" VALUES (1, 'Нотная грамота');");
    for (int q = 1; q <= questions; ++q)
        sql += QStringLiteral("INSERT INTO \"Вопрос\" VALUES (%1, 'Вопрос %1: какой знак повышает ноту?', 1);"
                              "INSERT INTO \"Ответы\" (\"ответ\", \"id_вопроса\", \"статус\") VALUES "
                              "('Диез', %1, 1), ('Бемоль', %1, 0), ('Бекар', %1, 0), ('Пауза', %1, 0);")
                   .arg(q);
    return sql;
}

qint64 loggedAnswers(const QString& file) {
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    qint64 count = -1;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
            SQLITE_OK &&
        sqlite3_prepare_v2(db, "SELECT count(*) FROM \"ответы_попытки\"", -1, &statement, nullptr) ==
            SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        count = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return count;
}

double percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(double(values.size()) * share))];
}

// Walks `tests` tests of topic 1 in the test window of the data module open now; the milliseconds of each
// press that led to a next question.
std::vector<double> walk(int tests) {
    std::vector<double> presses;
    DataModule11->ych->locate(schema::pupilKey, 1);
    DataModule11->tema->first();
    auto* form = new TForm3;
    Form3 = form;
    for (int test = 0; test < tests; ++test) {
        form->show();
        QCoreApplication::processEvents();
        form->Button1->click();
        int question = 0;
        while (form->RadioGroup1->isEnabled()) {
            QCoreApplication::processEvents();
            form->RadioGroup1->button(question++ % 4)->click();
            QElapsedTimer timer;
            timer.start();
            form->Button2->click();
            // Drawn: the window's paint done, not merely scheduled.
            form->repaint();
            if (form->RadioGroup1->isEnabled())
                presses.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
        form->Button3->click();
    }
    Form3 = nullptr;
    delete form;
    return presses;
}

void report(const char* where, const std::vector<double>& presses) {
    std::printf("%-34s median %6.2f ms   90th %6.2f ms   slowest %6.2f ms (%zu presses)\n", where,
                percentile(presses, 0.5), percentile(presses, 0.9), percentile(presses, 1.0), presses.size());
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int questions = argc > 1 ? std::max(2, std::atoi(argv[1])) : 30;
    const int tests = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    PrintedDialogs dialogs;
    setDialogs(&dialogs);
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    const QString file = work.filePath(QStringLiteral("Primer.mdb"));
    makeSchoolFile(file, rows(questions));
    std::printf("a topic of %d questions, %d tests walked\n", questions, tests);

    DataModule11 = new TDataModule11;
    report("database file", walk(tests));
    delete DataModule11;
    std::printf("  answers in the file's log: %lld\n", loggedAnswers(file));

    PrivateServer server;
    if (!server.skipReason().isEmpty()) {
        std::printf("lab server: skipped, %s\n", qPrintable(server.skipReason()));
        return dialogs.shown == 0 ? 0 : 1;
    }
    const LabDatabase lab = pupilOnLab(server, file, QStringLiteral("Петрова"), QStringLiteral("nota"));
    report("lab server, the pupil signed in", walk(tests));
    // The server's log holds the file's too: the set-up carried it.
    const qint64 logged =
        server.rows(lab.name, QStringLiteral("SELECT count(*) FROM muzyka.\"ответы_попытки\""))
            .value(0)
            .value(0)
            .toLongLong();
    std::printf("  answers in the server's log: %lld\n", logged - loggedAnswers(file));
    DataModule11->signOut();
    delete DataModule11;
    DataModule11 = nullptr;
    setDialogs(nullptr);
    return dialogs.shown == 0 ? 0 : 1;
}
