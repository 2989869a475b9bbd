// What the answer log shows: a pupil's review of his stored test, as far as the topic allows, and the
// teacher's item analysis of a topic with its chart, report rows and spreadsheet; on the file and, through
// the lab login, on the server.
#include "admin/form9.h"
#include "admin/itemanalysiswindow.h"
#include "admin/report/export.h"
#include "base/schema.h"
#include "data/datamodule.h"
#include "data/engine/connection.h"
#include "data/engine/serveraddress.h"
#include "data/engine/serverbackend.h"
#include "data/engine/table.h"
#include "data/itemanalysis.h"
#include "data/review.h"
#include "testing/answerreview.h"
#include "testing/form3.h"
#include "testing/form5.h"
#include "testing/resultsfilter.h"
#include "tests/support/failures.h"
#include "tests/support/input.h"
#include "tests/support/instances.h"
#include "tests/support/logtables.h"
#include "tests/support/pgserver.h"
#include "tests/support/testmain.h"
#include "tools/server/transfer.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableWidget>
#include <QtTest>

#include <memory>

namespace {

// Topic 1 (Нотная грамота) gains a third question; four of its tests were logged and stored (results 5 to
// 8): scores 3, 2, 1 and 0. The last, pupil 1's, asked question 2 first and timed out before question 4.
const QString LoggedRows = QStringLiteral(R"sql(
INSERT INTO "Вопрос" VALUES (4, 'Сколько половинных в целой ноте?', 1);
INSERT INTO "Ответы" VALUES (9, '2', 4, 1), (10, '4', 4, 0);
INSERT INTO "результаты" VALUES
    (5, '2026-11-10', '3', 5, 1, 1, 1), (6, '2026-11-11', '2', 3, 2, 1, 2),
    (7, '2026-12-01', '1', 2, 4, 1, 1), (8, '2026-12-02', '0', 2, 1, 1, 1);
INSERT INTO "попытки" VALUES
    (1, 1, 1, 1, '2026-11-10T10:00:00', 700, 1, 5), (2, 2, 1, 2, '2026-11-11T10:00:00', 650, 1, 6),
    (3, 4, 1, 1, '2026-12-01T10:00:00', 600, 1, 7), (4, 1, 1, 1, '2026-12-02T10:00:00', 0, 2, 8);
INSERT INTO "вопросы_попытки" VALUES
    (1, 1, 1, ''), (1, 2, 2, ''), (1, 3, 4, ''), (2, 1, 1, ''), (2, 2, 2, ''), (2, 3, 4, ''),
    (3, 1, 1, ''), (3, 2, 2, ''), (3, 3, 4, ''), (4, 1, 2, ''), (4, 2, 1, ''), (4, 3, 4, '');
INSERT INTO "ответы_попытки" VALUES
    (1, 1, 1, '5', 1, '2026-11-10T10:01:00'), (1, 2, 4, 'Диез', 1, '2026-11-10T10:02:00'),
    (1, 4, 9, '2', 1, '2026-11-10T10:03:00'),
    (2, 1, 1, '5', 1, '2026-11-11T10:01:00'), (2, 2, 5, 'Бемоль', 0, '2026-11-11T10:02:00'),
    (2, 4, 9, '2', 1, '2026-11-11T10:03:00'),
    (3, 1, 2, '4', 0, '2026-12-01T10:01:00'), (3, 2, 5, 'Бемоль', 0, '2026-12-01T10:02:00'),
    (3, 4, 9, '2', 1, '2026-12-01T10:03:00'),
    (4, 2, 6, 'Бекар', 0, '2026-12-02T10:01:00'), (4, 1, 2, '4', 0, '2026-12-02T10:02:00');
)sql");

QString loggedDatabase(const QString& more = {}) {
    return TestDatabase::smallRowsSql() + logTablesSql() + LoggedRows + more;
}

// The grid's rows, cells joined by "|".
QStringList gridRows(const QTableWidget* grid) {
    QStringList rows;
    for (int r = 0; r < grid->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < grid->columnCount(); ++c)
            cells << (grid->item(r, c) ? grid->item(r, c)->text() : QString());
        rows << cells.join(u'|');
    }
    return rows;
}

// Pupil 1's results shown, the cursor on `result`, and its review asked for.
void askReview(int result) {
    QVERIFY(DataModule11->ych->locate(schema::pupilKey, 1));
    runResultsFilter();
    QVERIFY(DataModule11->rez->locate(schema::results::key, result));
    Form5->Button1Click();
}

const QStringList Marks{
    QStringLiteral("1|Как называется знак повышения на полтона?|Бекар|неверно"),
    QStringLiteral("2|Сколько линеек в нотном стане?|4|неверно"),
    QStringLiteral("3|Сколько половинных в целой ноте?|нет ответа|—"),
};

} // namespace

class ReviewTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<PrivateServer> m_server;

private slots:
    // The figures of the fixture's topic, computed by hand: question 1 was answered right in tests 1 and 2
    // (scores 3 and 2) and wrong in 3 and 4 (1 and 0), so its score against the rest of the test's, (1,2)
    // (1,1) (0,1) (0,0), correlates 4 / √32; question 2, right only in test 1, (1,2) (0,2) (0,1) (0,0), 3 /
    // √33; question 4, right wherever answered, does not vary.
    void itemFigures_data() {
        QTest::addColumn<int>("question");
        QTest::addColumn<int>("answered");
        QTest::addColumn<int>("correct");
        QTest::addColumn<QString>("facility");
        QTest::addColumn<QString>("discrimination");
        QTest::addColumn<QString>("choices");
        QTest::addColumn<QString>("flags");
        QTest::newRow("half right, a strong item") << 0 << 4 << 2 << "50 %"
                                                   << "0,71"
                                                   << "5 (верный): 2; 4: 2; 6: 0"
                                                   << "";
        QTest::newRow("most fail, a wrong answer drawing") << 1 << 4 << 1 << "25 %"
                                                           << "0,52"
                                                           << "Диез (верный): 1; Бемоль: 2; Бекар: 1"
                                                           << "большинство ошибается; неверный ответ "
                                                              "выбирают чаще верного";
        QTest::newRow("all right, nothing to separate") << 2 << 3 << 3 << "100 %"
                                                        << "—"
                                                        << "2 (верный): 3; 4: 0"
                                                        << "";
    }
    void itemFigures() {
        QFETCH(int, question);
        QFETCH(int, answered);
        QFETCH(int, correct);
        QFETCH(QString, facility);
        QFETCH(QString, discrimination);
        QFETCH(QString, choices);
        QFETCH(QString, flags);
        const TestDatabase db(loggedDatabase());
        Connection connection(QStringLiteral("c"));
        connection.setConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") +
                                       db.path());
        const itemanalysis::Figures figures = itemanalysis::analyseTopic(connection, 1);
        QCOMPARE(figures.tests, 4);
        QCOMPARE(figures.answers, 11);
        QCOMPARE(figures.questions.size(), 3);
        const itemanalysis::QuestionFigures& q = figures.questions.at(question);
        QCOMPARE(q.answered, answered);
        QCOMPARE(q.correct, correct);
        QCOMPARE(itemanalysis::percentText(q.facility), facility);
        QCOMPARE(itemanalysis::numberText(q.discrimination), discrimination);
        QCOMPARE(itemanalysis::choicesText(q.choices), choices);
        QCOMPARE(itemanalysis::flagText(q), flags);
    }

    // A database of today, without the log, opens as ever: no review, and the analysis counts no tests.
    void databaseWithoutTheLog() {
        ProgramInstances program;
        askReview(1);
        QCOMPARE(program.dialogs.messages(), QStringList{review::noLogText()});
        QVERIFY(!Form5->review());
        const itemanalysis::Figures figures = itemanalysis::analyseTopic(*DataModule11->ADOConnection1, 1);
        QCOMPARE(figures.tests, 0);
        QCOMPARE(figures.questions.size(), 2);
        QCOMPARE(figures.questions.at(0).answered, 0);
        QCOMPARE(
            program.db.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'попытки'")),
            QStringLiteral("0"));
    }

    // The pupil sees what the topic's "разбор" allows, of his test's questions in the order asked; nothing
    // while a test of the topic is begun and not finished, nothing of a result older than the log.
    void reviewShowsWhatTheTopicAllows_data() {
        QTest::addColumn<QString>("rows");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QStringList>("shown");
        const QString level =
            QStringLiteral("INSERT INTO \"НастройкиТемы\" (\"id_темы\", \"разбор\") VALUES (1, %1);");
        const QString running = QStringLiteral(
            "INSERT INTO \"попытки\" VALUES (5, 1, %1, 1, '2026-12-03T10:00:00', 800, 0, NULL);");
        QStringList answers = Marks;
        answers[0] += QStringLiteral("|Диез");
        answers[1] += QStringLiteral("|5");
        answers[2] += QStringLiteral("|2");
        QTest::newRow("no settings") << QString() << 8 << review::closedText() << QStringList();
        QTest::newRow("nothing") << level.arg(0) << 8 << review::closedText() << QStringList();
        QTest::newRow("which were right") << level.arg(1) << 8 << QString() << Marks;
        QTest::newRow("the correct answers too") << level.arg(2) << 8 << QString() << answers;
        QTest::newRow("a test of the topic unfinished")
            << level.arg(2) + running.arg(1) << 8 << review::unfinishedText() << QStringList();
        QTest::newRow("a test of another topic unfinished")
            << level.arg(2) + running.arg(2) << 8 << QString() << answers;
        QTest::newRow("a result older than the log")
            << level.arg(2) << 1 << review::noLogText() << QStringList();
    }
    void reviewShowsWhatTheTopicAllows() {
        QFETCH(QString, rows);
        QFETCH(int, result);
        QFETCH(QString, refusal);
        QFETCH(QStringList, shown);
        ProgramInstances program(ProgramInstances::Direct, loggedDatabase(rows));
        askReview(result);
        QCOMPARE(program.dialogs.failures(), QStringList());
        if (!refusal.isEmpty()) {
            QCOMPARE(program.dialogs.messages(), QStringList{refusal});
            QVERIFY(!Form5->review() || !Form5->review()->isVisible());
            return;
        }
        QCOMPARE(program.dialogs.messages(), QStringList());
        QVERIFY(Form5->review()->isVisible());
        QCOMPARE(gridRows(Form5->review()->Grid), shown);
        QCOMPARE(Form5->review()->Label1->text(),
                 QStringLiteral("Нотная грамота, 02.12.2026: оценка 2, баллов 0"));
    }

    // The answers leave the screen when a test begins and when the results window closes.
    void reviewLeavesTheScreen() {
        ProgramInstances program(
            ProgramInstances::Direct,
            loggedDatabase(
                QStringLiteral("INSERT INTO \"НастройкиТемы\" (\"id_темы\", \"разбор\") VALUES (1, 2);")));
        askReview(8);
        QVERIFY(Form5->review()->isVisible());
        Form3->show();
        QVERIFY(!Form5->review()->isVisible());
        Form3->close();
        Form5->Button1Click();
        QVERIFY(Form5->review()->isVisible());
        Form5->close();
        QVERIFY(!Form5->review()->isVisible());
    }

    // The management window's analysis of the current topic: the figures, the marked question, the chart's
    // grades by class, topic and month, and the same rows in a spreadsheet.
    void analysisWindow_data() {
        QTest::addColumn<int>("grouping");
        QTest::addColumn<QStringList>("grades"); // category: count of 2, 3, 4, 5
        QTest::newRow("by class") << 0 << QStringList{"5А: 2 0 0 2", "5Б: 0 1 0 0"};
        QTest::newRow("by topic") << 1
                                  << QStringList{"Ключи: 1 1 0 0", "Композиторы: 0 0 0 1",
                                                 "Нотная грамота: 2 1 0 2"};
        QTest::newRow("by month") << 2 << QStringList{"2026-11: 0 1 0 2", "2026-12: 2 0 0 0"};
    }
    void analysisWindow() {
        QFETCH(int, grouping);
        QFETCH(QStringList, grades);
        ProgramInstances program(ProgramInstances::Direct, loggedDatabase());
        QVERIFY(DataModule11->tema->locate(schema::topicKey, 1));
        Form9->showModeless();
        bool inside = false;
        QTimer::singleShot(0, [&] {
            ItemAnalysisWindow* window = Form9->analysis();
            QVERIFY(window && window->isVisible());
            QCOMPARE(
                gridRows(window->Grid).value(1),
                QStringLiteral("2|Как называется знак повышения на полтона?|4|25 %|0,52|Диез (верный): 1; "
                               "Бемоль: 2; Бекар: 1|большинство ошибается; неверный ответ выбирают чаще "
                               "верного"));
            QVERIFY(window->Grid->item(1, 0)->background() != window->Grid->item(0, 0)->background());
            window->ComboBox1->setCurrentIndex(grouping);
            QStringList shown;
            for (const itemanalysis::GradeRow& row : window->chartRows())
                shown << QStringLiteral("%1: %2 %3 %4 %5")
                             .arg(row.category)
                             .arg(row.counts[0])
                             .arg(row.counts[1])
                             .arg(row.counts[2])
                             .arg(row.counts[3]);
            QCOMPARE(shown, grades);
            QCOMPARE(window->chart()->metaObject()->className(), "QChartView");
            inside = true;
            window->close();
        });
        Form9->AnalysisButtonClick();
        QVERIFY(inside);
        QCOMPARE(program.dialogs.failures(), QStringList());

        const QString path = program.db.folder() + QStringLiteral("/analysis.csv");
        report::ExportJob job(Form9->analysis()->rows(), report::ExportFormat::Csv, path);
        job.start();
        QTRY_VERIFY(job.isComplete());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
        QVERIFY2(lines.value(0).contains(QStringLiteral("Различение")), qPrintable(lines.value(0)));
        QVERIFY2(lines.value(1).contains(QStringLiteral("0,71")), qPrintable(lines.value(1)));
        QCOMPARE(lines.size(), 5); // headings, three questions, the last line's end
    }

    void initTestCase() { m_server = std::make_unique<PrivateServer>(); }

    // On the server the lab login reads the log only through its functions: a pupil his own test, as far as
    // the topic allows; the answers of all only a teacher.
    void labLoginReadsOnlyWhatIsAllowed_data() {
        QTest::addColumn<int>("pupil"); // signed in: 1 Петрова, 2 Соколов, 3 the teacher
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected"); // the rows joined by ";", or the start of the failure
        const QString review =
            QStringLiteral("SELECT string_agg(concat_ws('|', \"номер\", \"ответ\", \"верно\", "
                           "\"правильные\"), ';') FROM muzyka.review(8)");
        const QString all = QStringLiteral("SELECT count(*) FROM muzyka.topic_answers(1)");
        QTest::newRow("his own, marks") << 1 << 1 << review << QStringLiteral("1|Бекар|f;2|4|f;3");
        QTest::newRow("his own, answers") << 1 << 2 << review << QStringLiteral("1|Бекар|f|Диез;2|4|f|5;3|2");
        QTest::newRow("his own, closed") << 1 << 0 << review << QStringLiteral("ERROR: учитель не открыл");
        QTest::newRow("another's") << 2 << 2 << review << QStringLiteral("ERROR: разбор показывают только");
        QTest::newRow("the teacher's") << 3 << 0 << review << QStringLiteral("1|Бекар|f|Диез;2|4|f|5;3|2");
        QTest::newRow("all answers, a pupil")
            << 1 << 2 << all << QStringLiteral("ERROR: ответы всех учеников");
        QTest::newRow("all answers, a teacher") << 3 << 2 << all << QStringLiteral("11");
        QTest::newRow("the log's table")
            << 1 << 2 << QStringLiteral("SELECT count(*) FROM muzyka.\"ответы_попытки\"")
            << QStringLiteral("ERROR: ");
        QTest::newRow("the settings' table")
            << 1 << 2 << QStringLiteral("UPDATE muzyka.\"НастройкиТемы\" SET \"разбор\" = 2")
            << QStringLiteral("ERROR: ");
    }
    void labLoginReadsOnlyWhatIsAllowed() {
        QFETCH(int, pupil);
        QFETCH(int, level);
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        if (!m_server->skipReason().isEmpty())
            QSKIP(qPrintable(m_server->skipReason()));
        QString database;
        serverWithLog(level, &database);
        if (QTest::currentTestFailed())
            return;
        QSqlDatabase db = openServer(ServerAddress::parse(labUri(database)), QStringLiteral("lab"));
        QString result;
        {
            const QString password = pupil == 1   ? QStringLiteral("nota")
                                     : pupil == 2 ? QStringLiteral("do-re-mi")
                                                  : QStringLiteral("teach");
            QSqlQuery query(db);
            QVERIFY(query.exec(QStringLiteral("SELECT set_config('muzyka.session', session, false) FROM "
                                              "muzyka.sign_in(%1, '%2')")
                                   .arg(pupil)
                                   .arg(password)));
            if (!query.exec(sql))
                result = QStringLiteral("ERROR: ") +
                         query.lastError().databaseText().section(u'\n', 0, 0).section(u':', 1).trimmed();
            else
                result = query.next() ? query.value(0).toString() : QString();
        }
        db.close();
        db = {};
        QSqlDatabase::removeDatabase(QStringLiteral("lab"));
        QVERIFY2(result.startsWith(expected), qPrintable(result));
        if (!expected.startsWith(QStringLiteral("ERROR")))
            QCOMPARE(result, expected);
    }

    // The program on the lab login reads the same review and the same figures as on the file.
    void programOnTheLabLogin() {
        if (!m_server->skipReason().isEmpty())
            QSKIP(qPrintable(m_server->skipReason()));
        QString database;
        serverWithLog(2, &database);
        if (QTest::currentTestFailed())
            return;
        Connection connection(QStringLiteral("c"));
        connection.setServer(labUri(database));
        connection.open();
        ServerBackend* server = connection.serverBackend();
        QVERIFY(server);
        const auto signIn = [&](int pupil, const QString& password) {
            server->setSession(
                server->call(QStringLiteral("SELECT session FROM muzyka.sign_in($1, $2)"), {pupil, password})
                    .value(0)
                    .value(0)
                    .toString());
        };
        signIn(1, QStringLiteral("nota"));
        const review::Sheet sheet = review::load(connection, 8);
        QCOMPARE(int(sheet.shown), int(review::Shown::Answers));
        QStringList rows;
        for (const review::Item& item : sheet.items)
            rows << QStringLiteral("%1|%2|%3|%4|%5")
                        .arg(item.number)
                        .arg(item.question, item.answer.value_or(QStringLiteral("-")),
                             item.correct ? (*item.correct ? QStringLiteral("1") : QStringLiteral("0"))
                                          : QStringLiteral("-"),
                             item.rightAnswers);
        QCOMPARE(rows,
                 (QStringList{QStringLiteral("1|Как называется знак повышения на полтона?|Бекар|0|Диез"),
                              QStringLiteral("2|Сколько линеек в нотном стане?|4|0|5"),
                              QStringLiteral("3|Сколько половинных в целой ноте?|-|-|2")}));
        QCOMPARE(failureText([&] { review::load(connection, 6); }), // another pupil's
                 QStringLiteral("Разбор нельзя показать: сервер не разрешает этого входу «muzyka_lab»: "
                                "разбор показывают только ученику, чей это результат."));
        signIn(3, QStringLiteral("teach"));
        const itemanalysis::Figures figures = itemanalysis::analyseTopic(connection, 1);
        QCOMPARE(figures.answers, 11);
        QCOMPARE(itemanalysis::numberText(figures.questions.at(1).discrimination), QStringLiteral("0,52"));
        QCOMPARE(itemanalysis::choicesText(figures.questions.at(1).choices),
                 QStringLiteral("Диез (верный): 1; Бемоль: 2; Бекар: 1"));
    }

private:
    // The topics' settings on the server, as their own script makes them.
    inline static const QString SettingsTable = QStringLiteral(
        "CREATE TABLE IF NOT EXISTS \"НастройкиТемы\" (\"id_темы\" integer PRIMARY KEY REFERENCES \"Тема\" "
        "ON DELETE CASCADE, \"время\" integer, \"вопросов\" integer, \"перемешать_вопросы\" boolean, "
        "\"перемешать_ответы\" boolean, \"порог3\" integer, \"порог4\" integer, \"порог5\" integer, "
        "\"разбор\" integer); ALTER TABLE \"НастройкиТемы\" OWNER TO muzyka_owner;");
    // A server database with the fixture's rows and log, the topic's review at `level`.
    void serverWithLog(int level, QString* name) {
        const TestDatabase file(TestDatabase::smallRowsSql());
        const QString database = m_server->createDatabase();
        *name = database;
        {
            QSqlDatabase db = openServer(ServerAddress::parse(m_server->adminUri(database)), database);
            transfer::setUp(db, database, file.path(), false);
            db.close();
        }
        QSqlDatabase::removeDatabase(database);
        QString rows = LoggedRows;
        // The server's columns: yes/no as booleans, the attempt's sign-in key.
        rows.replace(QStringLiteral("\"Ответы\" VALUES (9, '2', 4, 1), (10, '4', 4, 0)"),
                     QStringLiteral("\"Ответы\" VALUES (9, '2', 4, true), (10, '4', 4, false)"));
        rows.replace(
            QStringLiteral("INSERT INTO \"попытки\" VALUES"),
            QStringLiteral("INSERT INTO \"попытки\" (\"id_попытки\", \"id_ученика\", \"id_темы\", "
                           "\"id_класса\", \"начало\", \"осталось\", \"состояние\", \"id_результата\") "
                           "VALUES"));
        rows.replace(
            QStringLiteral("INSERT INTO \"ответы_попытки\" VALUES"),
            QStringLiteral("INSERT INTO \"ответы_попытки\" (\"id_попытки\", \"id_вопроса\", \"id_ответа\", "
                           "\"ответ\", \"верно\", \"время\") VALUES"));
        rows.replace(QStringLiteral("', 1, '2026"), QStringLiteral("', true, '2026"));
        rows.replace(QStringLiteral("', 0, '2026"), QStringLiteral("', false, '2026"));
        const QString failed = m_server->exec(
            database, QStringLiteral("SET search_path = muzyka; ALTER TABLE \"попытки\" ALTER "
                                     "\"ключ_сеанса\" SET DEFAULT 'test';") +
                          SettingsTable + rows +
                          QStringLiteral("INSERT INTO \"НастройкиТемы\" (\"id_темы\", \"разбор\") "
                                         "VALUES (1, %1);")
                              .arg(level));
        QCOMPARE(failed, QString());
    }
    QString labUri(const QString& database) const {
        m_server->exec(database, QStringLiteral("ALTER ROLE muzyka_lab PASSWORD 'lab-secret'"));
        return m_server->uri(QStringLiteral("muzyka_lab"), QStringLiteral("lab-secret"), database);
    }
};

ESUN_TEST_MAIN(ReviewTest)
#include "test_review.moc"
