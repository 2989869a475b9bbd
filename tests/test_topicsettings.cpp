// The teacher's settings of a topic's test and the test that follows them: the dialog of the management
// window with its refusals, a draw of fewer questions in varying order, the topic's time and grade
// boundaries, and a topic without settings going as tests always went.
#include "admin/form9.h"
#include "admin/topicsettingsdialog.h"
#include "base/schema.h"
#include "data/datamodule.h"
#include "data/engine/table.h"
#include "data/widgets/dblookupcombobox.h"
#include "data/widgets/dbnavigator.h"
#include "testing/form3.h"
#include "testing/form7.h"
#include "testing/radiogroup.h"
#include "tests/support/controls.h"
#include "tests/support/input.h"
#include "tests/support/instances.h"
#include "tests/support/testbackend.h"
#include "tests/support/testmain.h"
#include "ui/guard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

// Topic 1: nine questions, each with one correct answer "верно N" among two wrong ones; topic 2: none.
QString rows() {
    QString sql = QStringLiteral(R"sql(
INSERT INTO "класс" VALUES (1, '5А');
INSERT INTO "Ученики" VALUES (1, 'Анна', 'Петрова', 'Сергеевна', 1, 'nota', 0),
    (2, 'Мария', 'Ивановна', 'Петровна', 1, 'teach', 1);
INSERT INTO "Тема" VALUES (1, 'Нотная грамота'), (2, 'Пустая тема');
)sql");
    for (int q = 1; q <= 9; ++q) {
        sql += QStringLiteral("INSERT INTO \"Вопрос\" VALUES (%1, 'Вопрос %1', 1);\n").arg(q);
        sql += QStringLiteral(
                   "INSERT INTO \"Ответы\" VALUES (%1, 'неверно %2', %2, 0), (%3, 'верно %2', %2, 1), "
                   "(%4, 'мимо %2', %2, 0);\n")
                   .arg(q * 3 - 2)
                   .arg(q)
                   .arg(q * 3 - 1)
                   .arg(q * 3);
    }
    return sql;
}

const QDate Today(2031, 3, 14);

} // namespace

class TopicSettingsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ProgramInstances> m_program;
    FixedToday m_today{Today};

    RecordingDialogs& dialogs() const { return m_program->dialogs; }
    const TestDatabase& db() const { return m_program->db; }

    QString settingsRow(int topic) const {
        if (db().scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'НастройкиТемы'")) !=
            u"1")
            return {};
        return db()
            .firstRow(QStringLiteral("SELECT * FROM \"НастройкиТемы\" WHERE \"id_темы\" = %1").arg(topic))
            .join(u'|');
    }

    // The settings dialog of topic `topic`, filled by `fill` and saved; the failures it reported.
    QStringList saveSettings(int topic, const std::function<void(TopicSettingsDialog*)>& fill) {
        dialogs().clear();
        Form9->show();
        clickRow(Form9->DBGrid1, topic - 1);
        TopicSettingsDialog* dialog = Form9->SettingsDialog.get();
        whileModal(
            dialog, [] { Form9->Button5->click(); },
            [&] {
                fill(dialog);
                dialog->Button1->click();
                if (dialog->isVisible())
                    dialog->Button2->click();
            });
        Form9->hide();
        return dialogs().failures();
    }

    static void setTopic(TopicSettingsDialog* d, const QString& minutes, const QString& seconds,
                         const QString& questions, bool shuffle, const QString& p3, const QString& p4,
                         const QString& p5) {
        d->Edit1->setText(minutes);
        d->Edit2->setText(seconds);
        d->Edit3->setText(questions);
        d->CheckBox1->setChecked(shuffle);
        d->CheckBox2->setChecked(shuffle);
        d->Edit4->setText(p3);
        d->Edit5->setText(p4);
        d->Edit6->setText(p5);
    }

    // The test of topic 1 as pupil 1 takes it: "Начать тест", then for each question the correct answer
    // while `right` says so (else a wrong one). The questions walked, in order.
    QList<int> takeTest(const std::function<bool(int question)>& right, bool finish = true) {
        Form7->DBLookupComboBox1->setKeyValue(1);
        QList<int> walked;
        Form3->show();
        Form3->Button1->click();
        while (Form3->RadioGroup1->isEnabled() && Form3->RadioGroup1->count() > 0) {
            const int question = DataModule11->quest->value(schema::questionKey).toInt();
            walked << question;
            chooseAnswer(
                (right(question) ? QStringLiteral("верно %1") : QStringLiteral("мимо %1")).arg(question));
            Form3->Button2->click();
        }
        if (finish)
            Form3->Button3->click();
        return walked;
    }

    void setDrawnTopic() {
        QCOMPARE(saveSettings(1,
                              [](TopicSettingsDialog* d) {
                                  setTopic(d, QStringLiteral("2"), QStringLiteral("0"), QStringLiteral("3"),
                                           true, QStringLiteral("50"), QStringLiteral("70"),
                                           QStringLiteral("90"));
                              }),
                 QStringList());
    }

private slots:
    void initTestCase() { SKIP_WITHOUT_SERVER(); }

    void init() {
        m_program = std::make_unique<ProgramInstances>(ProgramInstances::Direct, rows());
        QVERIFY(DataModule11->ych->locate(schema::pupilKey, 1));
    }

    void cleanup() { m_program.reset(); }

    // The dialog shows the defaults of a topic never set, and keeps only what differs from them.
    void dialogKeepsWhatTheTeacherSets() {
        QCOMPARE(
            saveSettings(1,
                         [](TopicSettingsDialog* d) {
                             QCOMPARE(d->windowTitle(), QStringLiteral("Настройки теста: Нотная грамота"));
                             QCOMPARE((QStringList{d->Edit1->text(), d->Edit2->text(), d->Edit3->text(),
                                                   d->Edit4->text(), d->Edit5->text(), d->Edit6->text()}),
                                      (QStringList{"15", "0", "", "66", "76", "86"}));
                             QVERIFY(!d->CheckBox1->isChecked() && !d->CheckBox2->isChecked());
                             QCOMPARE(d->ComboBox1->currentIndex(), 0);
                             setTopic(d, QStringLiteral("2"), QStringLiteral("30"), QStringLiteral("3"), true,
                                      QStringLiteral("50"), QStringLiteral("76"), QStringLiteral("90"));
                             d->CheckBox1->setChecked(false);
                             d->ComboBox1->setCurrentIndex(2);
                         }),
            QStringList());
        QCOMPARE(settingsRow(1), QStringLiteral("1|150|3||1|50||90|2"));
        // Opened again, it shows them.
        saveSettings(1, [](TopicSettingsDialog* d) {
            QCOMPARE((QStringList{d->Edit1->text(), d->Edit2->text(), d->Edit3->text(), d->Edit4->text(),
                                  d->Edit5->text(), d->Edit6->text()}),
                     (QStringList{"2", "30", "3", "50", "76", "90"}));
            QVERIFY(!d->CheckBox1->isChecked() && d->CheckBox2->isChecked());
            QCOMPARE(d->ComboBox1->currentIndex(), 2);
            d->Edit3->clear();
        });
        QCOMPARE(settingsRow(1), QStringLiteral("1|150|||1|50||90|2"));
    }

    // Input that cannot be kept: one sentence that says why, the dialog stays open, nothing is stored.
    void dialogRefusesBadInput_data() {
        QTest::addColumn<QStringList>("input"); // minutes, seconds, questions, 3, 4, 5
        QTest::addColumn<QString>("message");
        const auto row = [](const char* name, const QStringList& input, const char* message) {
            QTest::newRow(name) << input << QString::fromUtf8(message);
        };
        row("minutes as text", {"две", "0", "", "66", "76", "86"}, "Минуты теста — целое число от 0 до 300.");
        row("minutes too many", {"301", "0", "", "66", "76", "86"},
            "Минуты теста — целое число от 0 до 300.");
        row("minutes below zero", {"-1", "0", "", "66", "76", "86"},
            "Минуты теста — целое число от 0 до 300.");
        row("seconds 60", {"1", "60", "", "66", "76", "86"}, "Секунды теста — целое число от 0 до 59.");
        row("seconds empty", {"1", "", "", "66", "76", "86"}, "Секунды теста — целое число от 0 до 59.");
        row("no time at all", {"0", "0", "", "66", "76", "86"}, "Время теста должно быть больше нуля.");
        row("0 questions", {"15", "0", "0", "66", "76", "86"},
            "Число вопросов теста — целое число от 1 до 10000.");
        row("questions as text", {"15", "0", "3.5", "66", "76", "86"},
            "Число вопросов теста — целое число от 1 до 10000.");
        const char* order =
            "Границы оценок должны расти: у «3» больше нуля, у «4» больше, чем у «3», у «5» больше, "
            "чем у «4», и не больше 100 процентов.";
        row("4 below 3", {"15", "0", "", "70", "60", "90"}, order);
        row("4 equal to 5", {"15", "0", "", "50", "90", "90"}, order);
        row("5 above 100", {"15", "0", "", "66", "76", "101"},
            "Граница оценки «5» — целое число от 1 до 100.");
        row("3 as text", {"15", "0", "", "тройка", "76", "86"},
            "Граница оценки «3» — целое число от 1 до 100.");
    }
    void dialogRefusesBadInput() {
        QFETCH(QStringList, input);
        QFETCH(QString, message);
        bool stillOpen = false;
        const QStringList failures = saveSettings(1, [&](TopicSettingsDialog* d) {
            setTopic(d, input[0], input[1], input[2], true, input[3], input[4], input[5]);
            d->Button1->click();
            stillOpen = d->isVisible();
        });
        QVERIFY(stillOpen);
        QCOMPARE(failures.value(0), message);
        QCOMPARE(settingsRow(1), QString());
    }

    // Deleting a topic deletes its settings.
    void settingsGoWithTheirTopic() {
        QCOMPARE(saveSettings(2, [](TopicSettingsDialog* d) { d->Edit1->setText(QStringLiteral("5")); }),
                 QStringList());
        QCOMPARE(settingsRow(2), QStringLiteral("2|300|||||||"));
        Form9->show();
        clickRow(Form9->DBGrid1, 1);
        press(Form9->DBNavigator1, TDBNavigator::nbDelete);
        Form9->hide();
        QCOMPARE(db().scalar(QStringLiteral("SELECT count(*) FROM \"Тема\"")), QStringLiteral("1"));
        QCOMPARE(settingsRow(2), QString());
    }

    // 3 of the topic's 9 questions, shuffled: every test walks 3 questions of the topic, counts them in its
    // captions, and the tests do not all come in one order.
    void drawnTestsVary() {
        setDrawnTopic();
        QSet<QList<int>> orders;
        for (int test = 0; test < 8; ++test) {
            const QList<int> walked = takeTest([](int) { return true; });
            QCOMPARE(walked.size(), 3);
            QCOMPARE(QSet<int>(walked.cbegin(), walked.cend()).size(), 3);
            for (int question : walked)
                QVERIFY(question >= 1 && question <= 9);
            QCOMPARE(Form3->GroupBox1->title(), QStringLiteral("Вопрос 3 из 3"));
            orders.insert(walked);
        }
        QVERIFY(orders.size() > 1);
        QCOMPARE(dialogs().failures(), QStringList());
        QCOMPARE(db().scalar(QStringLiteral(
                     "SELECT group_concat(\"Баллы\" || '/' || \"Оценка\") FROM \"результаты\"")),
                 QStringLiteral("3/5,3/5,3/5,3/5,3/5,3/5,3/5,3/5"));
    }

    // The answers come in varying order too, and still count by their text.
    void answersAreShuffled() {
        setDrawnTopic();
        QSet<QStringList> offered;
        for (int test = 0; test < 8; ++test) {
            Form7->DBLookupComboBox1->setKeyValue(1);
            Form3->show();
            Form3->Button1->click();
            offered.insert(Form3->RadioGroup1->items());
            Form3->Button3->click();
        }
        QVERIFY(offered.size() > 1);
    }

    // The grade is the topic's: the percentage of the drawn questions against its boundaries.
    void gradeByTheTopicsBoundaries_data() {
        QTest::addColumn<int>("right");
        QTest::addColumn<int>("grade");
        // The boundaries 30/60/100: by default 33 would be a 2 and 66 a 3.
        QTest::newRow("none") << 0 << 2;
        QTest::newRow("1 of 3 is 33") << 1 << 3;
        QTest::newRow("2 of 3 is 66") << 2 << 4;
        QTest::newRow("all") << 3 << 5;
    }
    void gradeByTheTopicsBoundaries() {
        QFETCH(int, right);
        QFETCH(int, grade);
        QCOMPARE(saveSettings(1,
                              [](TopicSettingsDialog* d) {
                                  setTopic(d, QStringLiteral("2"), QStringLiteral("0"), QStringLiteral("3"),
                                           true, QStringLiteral("30"), QStringLiteral("60"),
                                           QStringLiteral("100"));
                              }),
                 QStringList());
        int answered = 0;
        takeTest([&](int) { return answered++ < right; });
        QCOMPARE(db().firstRow(QStringLiteral("SELECT \"Баллы\", \"Оценка\" FROM \"результаты\"")),
                 (QStringList{QString::number(right), QString::number(grade)}));
    }

    // The countdown starts from the topic's time: at 2:00 the test times out and stores what was answered.
    void timesOutAtTheTopicsTime() {
        setDrawnTopic();
        Form7->DBLookupComboBox1->setKeyValue(1);
        Form3->show();
        Form3->Button1->click();
        QCOMPARE(Form3->countdown(), 120);
        const int question = DataModule11->quest->value(schema::questionKey).toInt();
        chooseAnswer(QStringLiteral("верно %1").arg(question));
        Form3->Button2->click();
        for (int tick = 0; tick < 119; ++tick)
            guarded([] { Form3->Timer1Timer(); });
        QCOMPARE(Form3->Label1->text(), QStringLiteral("До окончания теста:0:1"));
        QCOMPARE(db().scalar(QStringLiteral("SELECT count(*) FROM \"результаты\"")), QStringLiteral("0"));
        guarded([] { Form3->Timer1Timer(); });
        QCOMPARE(Form3->Label1->text(), QStringLiteral("До окончания теста:0:0"));
        // 1 of 3 is 33: a 2 by the boundaries 50/70/90.
        QCOMPARE(db().firstRow(QStringLiteral("SELECT \"Баллы\", \"Оценка\" FROM \"результаты\"")),
                 (QStringList{"1", "2"}));
        Form3->Button3->click();
    }

    // A topic set back to every default walks as it always did: every question in stored order.
    void defaultsWalkAsStored() {
        QCOMPARE(saveSettings(1, [](TopicSettingsDialog*) {}), QStringList());
        QCOMPARE(settingsRow(1), QStringLiteral("1||||||||"));
        QCOMPARE(takeTest([](int) { return true; }), (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
        QCOMPARE(db().firstRow(QStringLiteral("SELECT \"Баллы\", \"Оценка\" FROM \"результаты\"")),
                 (QStringList{"9", "5"}));
    }
};

ESUN_TEST_MAIN(TopicSettingsTest)
#include "test_topicsettings.moc"
