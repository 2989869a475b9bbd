// The answer log of a test on a file: every counted answer kept as it is given, the test's end with its row,
// and a test the program did not end taken up again when its pupil starts the same topic.
#include "base/schema.h"
#include "data/datamodule.h"
#include "data/engine/table.h"
#include "data/widgets/dblookupcombobox.h"
#include "testing/form3.h"
#include "testing/form7.h"
#include "testing/radiogroup.h"
#include "tests/support/controls.h"
#include "tests/support/instances.h"
#include "tests/support/logtables.h"
#include "tests/support/testbackend.h"
#include "tests/support/testmain.h"

#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace {

// Topic 1: four questions, the correct answer of each "верно N".
QString rows() {
    QString sql = QStringLiteral(R"sql(
INSERT INTO "класс" VALUES (1, '5А');
INSERT INTO "Ученики" VALUES (1, 'Анна', 'Петрова', 'Сергеевна', 1, 'nota', 0);
INSERT INTO "Тема" VALUES (1, 'Нотная грамота');
)sql");
    for (int q = 1; q <= 4; ++q)
        sql += QStringLiteral("INSERT INTO \"Вопрос\" VALUES (%1, 'Вопрос %1', 1);\n"
                              "INSERT INTO \"Ответы\" (\"ответ\", \"id_вопроса\", \"статус\") VALUES "
                              "('мимо %1', %1, 0), ('верно %1', %1, 1);\n")
                   .arg(q);
    return sql;
}

// A test of topic 1 that the program left running at `began`, questions 1 and 2 answered (1 rightly), 500
// seconds left.
QString runningTest(const QDateTime& began) {
    return logTablesSql() + QStringLiteral(R"sql(
INSERT INTO "попытки" VALUES (7, 1, 1, 1, '%1', 500, 0, NULL);
INSERT INTO "вопросы_попытки" VALUES (7, 1, 4, ''), (7, 2, 2, ''), (7, 3, 1, ''), (7, 4, 3, '');
INSERT INTO "ответы_попытки" VALUES (7, 4, 8, 'верно 4', 1, '%1'), (7, 2, 3, 'мимо 2', 0, '%1');
)sql")
                                .arg(began.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")));
}

} // namespace

class AnswerLogTest : public QObject {
    Q_OBJECT

private:
    FixedToday m_today{QDate(2031, 3, 14)};

    static void startTopic1() {
        QVERIFY(DataModule11->ych->locate(schema::pupilKey, 1));
        Form7->DBLookupComboBox1->setKeyValue(1);
        Form3->show();
        Form3->Button1->click();
    }
    static void answer(bool right) {
        const int question = DataModule11->quest->value(schema::questionKey).toInt();
        chooseAnswer((right ? QStringLiteral("верно %1") : QStringLiteral("мимо %1")).arg(question));
        Form3->Button2->click();
    }

private slots:
    void initTestCase() { SKIP_WITHOUT_SERVER(); }

    // Each counted answer is in the file as soon as it is given; the end stores the row and marks the test.
    void everyAnswerIsKept() {
        SKIP_ON_SERVER("the lab server keeps the log through its own functions (test_lab)");
        ProgramInstances program(ProgramInstances::Direct, rows());
        startTopic1();
        answer(true);
        answer(false);
        const TestDatabase& db = program.db;
        QCOMPARE(db.scalar(QStringLiteral(
                     "SELECT group_concat(\"id_вопроса\" || ':' || \"ответ\" || ':' || \"верно\" "
                     "|| ':' || \"id_ответа\", ' ') FROM \"ответы_попытки\"")),
                 QStringLiteral("1:верно 1:1:2 2:мимо 2:0:3"));
        QCOMPARE(
            db.firstRow(QStringLiteral("SELECT \"id_ученика\", \"id_темы\", \"id_класса\", \"осталось\", "
                                       "\"состояние\", \"id_результата\" IS NULL FROM \"попытки\"")),
            (QStringList{"1", "1", "1", "900", "0", "1"}));
        QCOMPARE(
            db.scalar(QStringLiteral("SELECT group_concat(\"id_вопроса\", ',') FROM \"вопросы_попытки\"")),
            QStringLiteral("1,2,3,4"));
        answer(true);
        answer(true);
        Form3->Button3->click();
        QCOMPARE(
            db.firstRow(QStringLiteral("SELECT p.\"состояние\", r.\"Баллы\" FROM \"попытки\" p "
                                       "JOIN \"результаты\" r ON r.\"id_результата\" = p.\"id_результата\"")),
            (QStringList{"1", "3"}));
        QCOMPARE(program.dialogs.failures(), QStringList());
    }

    // A test the program did not end goes on: the next question of its walk, the counters and the seconds
    // left; finishing it stores the whole test once.
    void unfinishedTestGoesOn() {
        SKIP_ON_SERVER("the lab server keeps the log through its own functions (test_lab)");
        ProgramInstances program(ProgramInstances::Direct,
                                 rows() + runningTest(QDateTime::currentDateTime()));
        startTopic1();
        QCOMPARE(Form3->questionCounter(), 2);
        QCOMPARE(Form3->correctCounter(), 1);
        QCOMPARE(Form3->countdown(), 500);
        QCOMPARE(Form3->GroupBox1->title(), QStringLiteral("Вопрос 3 из 4"));
        QCOMPARE(DataModule11->quest->value(schema::questionKey).toInt(), 1);
        QCOMPARE(Form3->RadioGroup1->items(), (QStringList{"мимо 1", "верно 1"}));
        answer(true);
        QCOMPARE(DataModule11->quest->value(schema::questionKey).toInt(), 3);
        answer(true);
        QCOMPARE(Form3->Label1->text(), QStringLiteral("Тест закончен, Набранные баллы : 3"));
        Form3->Button3->click();
        QCOMPARE(program.db.firstRow(
                     QStringLiteral("SELECT count(*), max(\"Баллы\"), max(\"Оценка\") FROM \"результаты\"")),
                 (QStringList{"1", "3", "3"}));
        QCOMPARE(program.db.scalar(QStringLiteral("SELECT count(*) FROM \"попытки\"")), QStringLiteral("1"));
        QCOMPARE(program.dialogs.failures(), QStringList());
    }

    // A test left for more than a day is closed as abandoned with the row of what was answered (1 of 4, a 2),
    // and the pupil gets a new test.
    void testLeftForADayIsAbandoned() {
        SKIP_ON_SERVER("the lab server keeps the log through its own functions (test_lab)");
        ProgramInstances program(ProgramInstances::Direct,
                                 rows() + runningTest(QDateTime::currentDateTime().addSecs(-25 * 3600)));
        startTopic1();
        QCOMPARE(Form3->questionCounter(), 0);
        QCOMPARE(Form3->countdown(), 900);
        QCOMPARE(program.db.firstRow(
                     QStringLiteral("SELECT p.\"состояние\", r.\"Баллы\", r.\"Оценка\" FROM \"попытки\" p "
                                    "JOIN \"результаты\" r ON r.\"id_результата\" = p.\"id_результата\" "
                                    "WHERE p.\"id_попытки\" = 7")),
                 (QStringList{"3", "1", "2"}));
        QCOMPARE(
            program.db.scalar(QStringLiteral("SELECT count(*) FROM \"попытки\" WHERE \"состояние\" = 0")),
            QStringLiteral("1"));
        QCOMPARE(program.dialogs.failures(), QStringList());
    }
};

ESUN_TEST_MAIN(AnswerLogTest)
#include "test_answerlog.moc"
