#include "base/schema.h"
#include "data/datamodule.h"
#include "data/engine/table.h"
#include "data/widgets/dbgrid.h"
#include "data/widgets/dblookupcombobox.h"
#include "data/widgets/dbnavigator.h"
#include "data/widgets/dbtext.h"
#include "testing/form3.h"
#include "testing/form5.h"
#include "testing/form7.h"
#include "testing/radiogroup.h"
#include "testing/resultsfilter.h"
#include "tests/support/controls.h"
#include "tests/support/input.h"
#include "tests/support/instances.h"
#include "tests/support/testbackend.h"
#include "ui/guard.h"
#include "ui/jpeg.h"

#include <QAbstractButton>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <memory>

namespace {

// Topics: 1 three questions, 2 one question, 3 none, 4 shared answer texts, 5 a question without answers.
const QString Rows = QStringLiteral(R"sql(
INSERT INTO "класс" VALUES (1, '5А'), (2, '5Б');
INSERT INTO "Ученики" VALUES
    (1, 'Анна', 'Петрова', 'Сергеевна', 1, 'nota', 0),
    (2, 'Иван', 'Соколов', 'Петрович', 2, 'do-re-mi', 0),
    (3, 'Олег', 'Новиков', 'Ильич', 2, 'fa', 0);
INSERT INTO "Тема" VALUES (1, 'Нотная грамота'), (2, 'Ключи'), (3, 'Пустая тема'), (4, 'Повторы'),
    (5, 'Пропуски');
INSERT INTO "Вопрос" VALUES
    (1, 'Сколько линеек в нотном стане?', 1),
    (2, 'Как называется знак повышения на полтона?', 1),
    (3, 'Какой ключ называют ключом соль?', 1),
    (4, 'Какой ключ пишут для левой руки?', 2),
    (5, 'Первая нота гаммы до мажор?', 4),
    (6, 'Третья нота гаммы до мажор?', 4),
    (7, 'Первый вопрос', 5),
    (8, 'Второй вопрос', 5),
    (9, 'Третий вопрос', 5);
INSERT INTO "Ответы" VALUES
    (1, '5', 1, 1), (2, '4', 1, 0), (3, '6', 1, 0),
    (4, 'Диез', 2, 1), (5, 'Бемоль', 2, 0), (6, 'Бекар', 2, 0),
    (7, 'Скрипичный', 3, 1), (8, 'Басовый', 3, 0),
    (9, 'Басовый', 4, 1), (10, 'Скрипичный', 4, 0),
    (11, 'До', 5, 1), (12, 'До', 5, 1), (13, 'Ре', 5, 0),
    (14, 'Ми', 6, 1), (15, 'Ми', 6, 0), (16, 'Фа', 6, 0),
    (17, 'А', 7, 1), (18, 'Б', 7, 0),
    (19, 'В', 9, 1);
INSERT INTO "результаты" VALUES
    (1, '2026-11-02', '2', 5, 1, 1, 1),
    (2, '2026-11-03', '1', 3, 2, 2, 2),
    (3, '2026-11-04', '0', 2, 1, 2, 1);
)sql");

// The program's day in these tests: a day no stored row has, and never the machine's.
const QDate Today(2031, 3, 14);

struct StoredRow {
    QString date;
    QString points;
    int grade = 0;
    int pupil = 0;
    int topic = 0;
    int klass = 0;
};

} // namespace

// The topic choice, the timed test and the results windows over the real data module.
class TestingWindowsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ProgramInstances> m_program;
    FixedToday m_today{Today};

    RecordingDialogs& dialogs() const { return m_program->dialogs; }
    const TestDatabase& db() const { return m_program->db; }

    // The result rows as the database file holds them, in key order.
    QList<StoredRow> storedRows() const {
        QList<StoredRow> rows;
        const auto stored =
            SqlFile(db().path())
                .rows(QStringLiteral("SELECT \"Дата\", \"Баллы\", \"Оценка\", \"id_ученика\", "
                                     "\"id_темы\", \"id_класса\" FROM \"результаты\" "
                                     "ORDER BY \"id_результата\""));
        for (const QVariantList& row : stored)
            rows.append({row.at(0).toString(), row.at(1).toString(), row.at(2).toInt(), row.at(3).toInt(),
                         row.at(4).toInt(), row.at(5).toInt()});
        return rows;
    }

    static void chooseTopic(int id) {
        Form7->DBLookupComboBox1->setKeyValue(id);
        QCOMPARE(DataModule11->tema->value(schema::topicKey).toInt(), id);
    }

    static void choosePupil(int id) { QVERIFY(DataModule11->ych->locate(schema::pupilKey, id)); }

    // "Начать тест" of the topic choice window.
    static void startTest() { Form7->Button1->click(); }

    // One second of the test, as the timer delivers it: a failure goes to the failure report.
    static void tick() {
        guarded([]() { Form3->Timer1Timer(); });
    }

    static QString label1() { return Form3->Label1->text(); }

private slots:
    void initTestCase() { SKIP_WITHOUT_SERVER(); }

    void init() {
        m_program = std::make_unique<ProgramInstances>(ProgramInstances::Direct, Rows);
        QVERIFY(dialogs().shown.isEmpty());
    }

    void cleanup() { m_program.reset(); }

    // --- the topic choice window ------------------------------------------------------------------

    void topicWindowControls() {
        QCOMPARE(Form7->windowTitle(), QStringLiteral("Выбор темы"));
        QCOMPARE(Form7->size(), QSize(302, 253));
        QCOMPARE(Form7->Label1->text(), QStringLiteral("Выберите тему:"));
        QCOMPARE(Form7->Label1->geometry(), QRect(72, 32, 155, 24));
        QCOMPARE(Form7->Label1->font().pixelSize(), 21);
        QCOMPARE(Form7->DBLookupComboBox1->geometry(), QRect(48, 80, 201, 21));
        QCOMPARE(Form7->Button1->text(), QStringLiteral("Начать тест"));
        QCOMPARE(Form7->Button1->geometry(), QRect(88, 128, 121, 49));
        QVERIFY(Form7->Button1->font().bold());
        QCOMPARE(Form7->Button1->font().pixelSize(), 21);
        QCOMPARE(Form7->Button2->text(), QStringLiteral(" Мой результат!"));
        QCOMPARE(Form7->Button2->geometry(), QRect(88, 200, 121, 25));
        QCOMPARE(Form7->Button2->font().pixelSize(), 16);
        QCOMPARE(nextTabStop(Form7->DBLookupComboBox1), Form7->Button1);
        QCOMPARE(nextTabStop(Form7->Button1), Form7->Button2);
        QCOMPARE(nextTabStop(Form7->Button2), Form7->DBLookupComboBox1);
        // Nothing chosen yet: the box is empty while tema stands on its first topic.
        QVERIFY(Form7->DBLookupComboBox1->text().isEmpty());
        QCOMPARE(DataModule11->tema->value(schema::topicKey).toInt(), 1);
    }

    void choosingATopicMovesTheQuestions() {
        chooseTopic(2);
        QCOMPARE(Form7->DBLookupComboBox1->text(), QStringLiteral("Ключи"));
        QCOMPARE(DataModule11->quest->recordCount(), 1);
        QCOMPARE(Form3->DBText1->text(), QStringLiteral("Какой ключ пишут для левой руки?"));
    }

    void startWithoutChoosingUsesTheFirstTopic() {
        whileModal(Form3, startTest, []() { Form3->Button3->click(); });
        const QList<StoredRow> rows = storedRows();
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows.last().topic, 1);
    }

    void testWindowIsModalOverTheTopicWindow() {
        Form7->showModeless();
        bool modal = false;
        bool topicWindowShown = false;
        bool topicWindowEnabled = true;
        whileModal(Form3, startTest, [&]() {
            modal = Form3->isModal();
            topicWindowShown = Form7->isVisible();
            topicWindowEnabled = Form7->isEnabled();
        });
        QVERIFY(modal);
        QVERIFY(topicWindowShown);
        QVERIFY(!topicWindowEnabled);
        QVERIFY(Form7->isEnabled());
        QVERIFY(Form7->isVisible());
        QVERIFY(dialogs().failures().isEmpty());
    }

    void radioGroupItems() {
        RadioGroup group;
        group.resize(300, 120);
        QCOMPARE(group.itemIndex(), -1);
        group.addItem(QStringLiteral("До"));
        group.addItem(QStringLiteral("Ре"));
        QCOMPARE(group.count(), 2);
        QVERIFY(group.button(0)->geometry().bottom() <= group.button(1)->y());
        QVERIFY(group.button(1)->geometry().bottom() <= group.height());
        QSignalSpy clicks(&group, &RadioGroup::clicked);
        group.button(1)->click();
        QCOMPARE(clicks.size(), 1);
        QCOMPARE(group.itemIndex(), 1);
        QCOMPARE(group.item(1), QStringLiteral("Ре"));
        group.setItemIndex(-1);
        QVERIFY(!group.button(1)->isChecked());
        for (int bad : {-1, 2}) {
            try {
                group.item(bad);
                QFAIL("an index outside the items must fail");
            } catch (const Failure& f) {
                QCOMPARE(f.text(), QStringLiteral("List index out of bounds (%1)").arg(bad));
            }
        }
        group.setItemIndex(0);
        group.clearItems();
        QCOMPARE(group.count(), 0);
        QCOMPARE(group.itemIndex(), -1);
        QVERIFY(group.findChildren<QRadioButton*>().isEmpty());
    }

    // --- the test window: layout and design state ----------------------------------------------------

    void testWindowDesignState() {
        QCOMPARE(Form3->windowTitle(), QStringLiteral("Тестирование"));
        QCOMPARE(Form3->size(), QSize(802, 627));
        QCOMPARE(Form3->Label2->text(), QStringLiteral("Проверь свои знания, пройдя ТЕСТИРОВАНИЕ!"));
        QCOMPARE(Form3->Label3->geometry().topLeft(), QPoint(16, 104));
        QVERIFY(Form3->Label3->font().bold() && Form3->Label3->font().italic());
        QCOMPARE(Form3->Label3->font().pixelSize(), 19);
        QCOMPARE(Form3->GroupBox1->title(), QStringLiteral("Вопрос:"));
        QCOMPARE(Form3->GroupBox1->geometry(), QRect(24, 136, 761, 193));
        QCOMPARE(Form3->DBText1->parentWidget(), Form3->GroupBox1);
        QCOMPARE(Form3->DBText1->geometry(), QRect(16, 32, 713, 169));
        QCOMPARE(Form3->RadioGroup1->title(), QStringLiteral("Ответы:"));
        QCOMPARE(Form3->RadioGroup1->geometry(), QRect(24, 352, 761, 177));
        QCOMPARE(Form3->Panel1->geometry(), QRect(16, 544, 769, 65));
        QCOMPARE(Form3->Label1->parentWidget(), Form3->Panel1);
        QCOMPARE(Form3->Label1->pos(), QPoint(312, 24));
        QCOMPARE(label1(), QStringLiteral("До окончания теста:"));
        QCOMPARE(Form3->Button1->geometry(), QRect(0, 16, 121, 33));
        QCOMPARE(Form3->Button2->text(), QStringLiteral("Следующий вопрос"));
        QCOMPARE(Form3->Button3->geometry(), QRect(656, 16, 107, 33));
        QCOMPARE(Form3->Timer1->interval(), 1000);

        bool timerOff = false;
        bool buttonsReady = false;
        QString question;
        int items = -1;
        whileModal(Form3, startTest, [&]() {
            timerOff = !Form3->Timer1->isActive();
            buttonsReady = Form3->Button1->isVisible() && Form3->Button1->isEnabled() &&
                           Form3->Button2->isVisible() && Form3->Button2->isEnabled() &&
                           Form3->Button3->isVisible() && Form3->Button3->isEnabled();
            question = Form3->DBText1->text();
            items = Form3->RadioGroup1->count();
        });
        QVERIFY(timerOff);
        QVERIFY(buttonsReady);
        QCOMPARE(question, QStringLiteral("Сколько линеек в нотном стане?"));
        QCOMPARE(items, 0);
        QCOMPARE(Form3->countdown(), 900);
    }

    // The captions stand on the frame's top line, as the window system draws group boxes.
    void groupBoxCaptionsSitOnTheFrameLine() {
        for (TGroupBox* box : std::initializer_list<TGroupBox*>{Form3->GroupBox1, Form3->RadioGroup1}) {
            const QImage shown = box->grab().toImage();
            const int x = box->width() / 2;
            int line = 0;
            while (line < shown.height() && shown.pixelColor(x, line) == shown.pixelColor(x, 0))
                ++line;
            QVERIFY2(qAbs(line - box->captionRect().center().y()) <= 1, qPrintable(box->objectName()));
        }
    }

    void startCommand() {
        Form3->Button1->click();
        QVERIFY(Form3->Timer1->isActive());
        QVERIFY(Form3->Button1->isHidden());
        QVERIFY(!Form3->Button3->isEnabled());
        QVERIFY(Form3->Button2->isEnabled());
        QCOMPARE(Form3->RadioGroup1->items(), (QStringList{"5", "4", "6"}));
        QCOMPARE(Form3->RadioGroup1->itemIndex(), -1);
        QCOMPARE(Form3->GroupBox1->title(), QStringLiteral("Вопрос:"));
        QCOMPARE(Form3->countdown(), 900);
        QCOMPARE(Form3->questionCounter(), 0);
        // One radio button per answer, top to bottom, after the list in tab order.
        QVERIFY(Form3->RadioGroup1->button(0)->y() < Form3->RadioGroup1->button(1)->y());
        QCOMPARE(nextTabStop(Form3->RadioGroup1->button(2)), Form3->Button1);
        QCOMPARE(nextTabStop(Form3->Button3), Form3->RadioGroup1->button(0));
    }

    void tickLabelTexts() {
        tick();
        QCOMPARE(label1(), QStringLiteral("До окончания теста:14:59"));
        QCOMPARE(Form3->countdown(), 899);
        while (Form3->countdown() > 65)
            tick();
        QCOMPARE(label1(), QStringLiteral("До окончания теста:1:5"));
        while (Form3->countdown() > 60)
            tick();
        QCOMPARE(label1(), QStringLiteral("До окончания теста:1:0"));
        QCOMPARE(storedRows().size(), 3);
    }

    // --- the walk --------------------------------------------------------------------------------

    void walkThroughQuestions() {
        choosePupil(2);
        QString captionAfterLast;
        QString endText;
        bool onlyFinishEnabled = false;
        whileModal(Form3, startTest, [&]() {
            Form3->Button1->click();
            QCOMPARE(Form3->GroupBox1->title(), QStringLiteral("Вопрос:"));
            chooseAnswer(QStringLiteral("5"));
            QVERIFY(Form3->Button2->isEnabled());
            Form3->Button2->click();
            QCOMPARE(Form3->GroupBox1->title(), QStringLiteral("Вопрос 2 из 3"));
            QCOMPARE(Form3->DBText1->text(), QStringLiteral("Как называется знак повышения на полтона?"));
            QCOMPARE(Form3->RadioGroup1->items(), (QStringList{"Диез", "Бемоль", "Бекар"}));
            QCOMPARE(Form3->RadioGroup1->itemIndex(), -1);
            QVERIFY(!Form3->Button2->isEnabled());
            chooseAnswer(QStringLiteral("Бемоль"));
            Form3->Button2->click();
            QCOMPARE(Form3->GroupBox1->title(), QStringLiteral("Вопрос 3 из 3"));
            QCOMPARE(label1(), QStringLiteral("До окончания теста:"));
            chooseAnswer(QStringLiteral("Скрипичный"));
            Form3->Button2->click();
            captionAfterLast = Form3->GroupBox1->title();
            endText = label1();
            onlyFinishEnabled = !Form3->Button2->isEnabled() && Form3->Button3->isEnabled() &&
                                !Form3->RadioGroup1->isEnabled() && !Form3->DBText1->isEnabled() &&
                                !Form3->Timer1->isActive();
            QCOMPARE(storedRows().size(), 3);
            Form3->Button3->click();
            QVERIFY(!Form3->isVisible());
        });
        QCOMPARE(captionAfterLast, QStringLiteral("Вопрос 3 из 3"));
        QCOMPARE(endText, QStringLiteral("Тест закончен, Набранные баллы : 2"));
        QVERIFY(onlyFinishEnabled);
        // Disabled controls look disabled although their text colour is set.
        QVERIFY(Form3->Button2->palette().color(QPalette::Disabled, QPalette::ButtonText) !=
                QColor(Qt::black));
        QVERIFY(dialogs().failures().isEmpty());

        const QList<StoredRow> rows = storedRows();
        QCOMPARE(rows.size(), 4);
        const StoredRow& row = rows.last();
        QCOMPARE(row.points, QStringLiteral("2"));
        QCOMPARE(row.grade, 3); // 2 of 3 is 66 %
        QCOMPARE(row.pupil, 2);
        QCOMPARE(row.topic, 1);
        // The pupil's own class, although klass stands on its first record.
        QCOMPARE(DataModule11->klass->value(schema::classKey).toInt(), 1);
        QCOMPARE(row.klass, 2);
        // Today's date without a time of day.
        const QDateTime stored =
            DataModule11->rez->lookup(schema::results::key, 4, schema::results::date).toDateTime();
        QCOMPARE(stored.date(), Today);
        QCOMPARE(stored.time(), QTime(0, 0));
        QVERIFY(row.date.startsWith(Today.toString(Qt::ISODate)));
    }

    void oneQuestionTopicKeepsTheFirstCaption() {
        chooseTopic(2);
        Form3->Button1Click();
        chooseAnswer(QStringLiteral("Басовый"));
        Form3->Button2Click();
        QCOMPARE(Form3->GroupBox1->title(), QStringLiteral("Вопрос:"));
        QCOMPARE(label1(), QStringLiteral("Тест закончен, Набранные баллы : 1"));
        Form3->Button3Click();
        const StoredRow row = storedRows().last();
        QCOMPARE(row.points, QStringLiteral("1"));
        QCOMPARE(row.grade, 5);
        QCOMPARE(row.topic, 2);
        QCOMPARE(row.pupil, 1);
        QCOMPARE(row.klass, 1);
    }

    void sharedCorrectTextsCountEachRecord() {
        chooseTopic(4);
        Form3->Button1Click();
        QCOMPARE(Form3->RadioGroup1->items(), (QStringList{"До", "До", "Ре"}));
        chooseAnswer(QStringLiteral("До"), 1);
        Form3->Button2Click();
        QCOMPARE(Form3->correctCounter(), 2);
        // Of two "Ми" records one is correct: either item adds one.
        chooseAnswer(QStringLiteral("Ми"), 1);
        Form3->Button2Click();
        QCOMPARE(Form3->correctCounter(), 3);
        QCOMPARE(label1(), QStringLiteral("Тест закончен, Набранные баллы : 3"));
        Form3->Button3Click();
        // 3 of 2 questions is above 100 %: full marks.
        const StoredRow row = storedRows().last();
        QCOMPARE(row.points, QStringLiteral("3"));
        QCOMPARE(row.grade, 5);
    }

    void noChoiceFailsAndChangesNothing() {
        Form3->Button1->click();
        DataModule11->ans->last();
        Form3->Button2->click();
        QCOMPARE(dialogs().failures(), QStringList{QStringLiteral("List index out of bounds (-1)")});
        QCOMPARE(Form3->questionCounter(), 0);
        QCOMPARE(Form3->correctCounter(), 0);
        QCOMPARE(DataModule11->quest->recNo(), 0);
        QCOMPARE(DataModule11->ans->recNo(), 0);
        QCOMPARE(Form3->RadioGroup1->count(), 3);
        // After a choice the next press works normally.
        chooseAnswer(QStringLiteral("5"));
        Form3->Button2->click();
        QCOMPARE(dialogs().failures().size(), 1);
        QCOMPARE(Form3->questionCounter(), 1);
        QCOMPARE(Form3->correctCounter(), 1);
    }

    void questionWithoutAnswersThenTimeOut() {
        chooseTopic(5);
        Form3->Button1Click();
        chooseAnswer(QStringLiteral("А"));
        Form3->Button2Click();
        QCOMPARE(Form3->DBText1->text(), QStringLiteral("Второй вопрос"));
        QCOMPARE(Form3->RadioGroup1->count(), 0);
        QVERIFY(!Form3->Button2->isEnabled());
        QVERIFY(!Form3->Button3->isEnabled());

        for (int i = 0; i < 899; ++i)
            tick();
        QCOMPARE(storedRows().size(), 3);
        QVERIFY(Form3->Timer1->isActive());
        tick();
        QCOMPARE(label1(), QStringLiteral("До окончания теста:0:0"));
        QCOMPARE(Form3->countdown(), 0);
        QVERIFY(!Form3->Timer1->isActive());
        QList<StoredRow> rows = storedRows();
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows.last().points, QStringLiteral("1")); // 1 of 3: the unanswered count as wrong
        QCOMPARE(rows.last().grade, 2);
        QCOMPARE(rows.last().topic, 5);
        QVERIFY(Form3->resultStored());
        QVERIFY(dialogs().failures().isEmpty());
    }

    void timeOutEndsTheWalkAndStoresOnce() {
        bool answeringClosed = false;
        whileModal(Form3, startTest, [&]() {
            Form3->Button1->click();
            chooseAnswer(QStringLiteral("5"));
            Form3->Button2->click();
            for (int i = 0; i < 900; ++i)
                tick();
            QCOMPARE(Form3->countdown(), 0);
            QCOMPARE(storedRows().size(), 4);
            answeringClosed = !Form3->RadioGroup1->isEnabled() && !Form3->Button2->isEnabled() &&
                              Form3->Button3->isVisible() && Form3->Button3->isEnabled();
            // "Закончить" only closes the window now.
            Form3->Button3->click();
        });
        QVERIFY(answeringClosed);
        const QList<StoredRow> rows = storedRows();
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows.last().points, QStringLiteral("1"));
        QCOMPARE(rows.last().grade, 2);
    }

    void timeOutWhileHiddenStores() {
        whileModal(Form3, startTest, [&]() {
            Form3->Button1->click();
            chooseAnswer(QStringLiteral("5"));
            Form3->Button2->click();
        }); // closed with the title-bar box: only hidden
        QVERIFY(Form3->Timer1->isActive());
        QCOMPARE(storedRows().size(), 3);
        while (Form3->countdown() > 0)
            tick();
        QCOMPARE(storedRows().size(), 4);
        QCOMPARE(storedRows().last().points, QStringLiteral("1"));
    }

    void timeOutWhileConfirmingADeleteKeepsTheNewRow() {
        whileModal(Form3, startTest, []() { Form3->Button1->click(); }); // the test goes on hidden
        runResultsFilter();
        clickRow(Form5->DBGrid1, 1); // the pupil's older result, row 3
        dialogs().setWhileConfirming([]() {
            while (Form3->countdown() > 0)
                tick();
        });
        QTest::keyClick(Form5->DBGrid1, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(dialogs().texts(QStringLiteral("confirm")).size(), 1);
        QVERIFY(Form3->resultStored());
        QCOMPARE(dialogs().failures(), QStringList());
        const auto keys = SqlFile(db().path())
                              .rows(QStringLiteral("SELECT \"id_результата\" FROM \"результаты\" "
                                                   "ORDER BY \"id_результата\""));
        QCOMPARE(keys.size(), 3);
        QCOMPARE(keys.at(0).at(0).toInt(), 1);
        QCOMPARE(keys.at(1).at(0).toInt(), 2);
        QCOMPARE(keys.at(2).at(0).toInt(), 4); // the result stored while the question was open
    }

    void finishBeforeStart() {
        whileModal(Form3, startTest, []() { Form3->Button3->click(); });
        const StoredRow row = storedRows().last();
        QCOMPARE(row.points, QStringLiteral("0"));
        QCOMPARE(row.grade, 2);
        QVERIFY(dialogs().failures().isEmpty());
    }

    // --- several tests in one run -----------------------------------------------------------------

    void reopeningAnUnfinishedTestKeepsIt() {
        whileModal(Form3, startTest, []() {
            Form3->Button1->click();
            chooseAnswer(QStringLiteral("5"));
            Form3->Button2->click();
        });
        bool kept = false;
        whileModal(Form3, startTest, [&]() {
            kept = Form3->questionCounter() == 1 && Form3->Button1->isHidden() &&
                   Form3->GroupBox1->title() == QStringLiteral("Вопрос 2 из 3") &&
                   Form3->RadioGroup1->count() == 3;
        });
        QVERIFY(kept);
        QCOMPARE(storedRows().size(), 3);
    }

    void secondTestOnAnotherTopic() {
        whileModal(Form3, startTest, [&]() {
            Form3->Button1->click();
            for (const char* answer : {"5", "Диез", "Скрипичный"}) {
                chooseAnswer(QString::fromUtf8(answer));
                Form3->Button2->click();
            }
            Form3->Button3->click();
        });
        QCOMPARE(storedRows().size(), 4);

        chooseTopic(2);
        bool fresh = false;
        QString question;
        whileModal(Form3, startTest, [&]() {
            fresh = Form3->countdown() == 900 && Form3->questionCounter() == 0 &&
                    Form3->correctCounter() == 0 && !Form3->Timer1->isActive() &&
                    Form3->Button1->isVisible() && Form3->Button2->isEnabled() &&
                    Form3->Button3->isEnabled() && Form3->RadioGroup1->isEnabled() &&
                    Form3->RadioGroup1->count() == 0 && Form3->DBText1->isEnabled() &&
                    Form3->GroupBox1->title() == QStringLiteral("Вопрос:") &&
                    label1() == QStringLiteral("До окончания теста:");
            question = Form3->DBText1->text();
            Form3->Button1->click();
            chooseAnswer(QStringLiteral("Скрипичный"));
            Form3->Button2->click();
            Form3->Button3->click();
        });
        QVERIFY(fresh);
        QCOMPARE(question, QStringLiteral("Какой ключ пишут для левой руки?"));
        const QList<StoredRow> rows = storedRows();
        QCOMPARE(rows.size(), 5);
        QCOMPARE(rows.at(3).points, QStringLiteral("3"));
        QCOMPARE(rows.at(3).grade, 5);
        QCOMPARE(rows.at(3).topic, 1);
        QCOMPARE(rows.at(4).points, QStringLiteral("0"));
        QCOMPARE(rows.at(4).grade, 2);
        QCOMPARE(rows.at(4).topic, 2);
    }

    void sameTopicAgainStartsAtItsFirstQuestion() {
        whileModal(Form3, startTest, []() {
            Form3->Button1->click();
            for (const char* answer : {"4", "Диез", "Басовый"}) {
                chooseAnswer(QString::fromUtf8(answer));
                Form3->Button2->click();
            }
            Form3->Button3->click();
        });
        QString question;
        whileModal(Form3, startTest, [&]() { question = Form3->DBText1->text(); });
        QCOMPARE(question, QStringLiteral("Сколько линеек в нотном стане?"));
        QCOMPARE(storedRows().last().points, QStringLiteral("1"));
    }

    // --- failures while storing ---------------------------------------------------------------------

    void topicWithoutQuestions() {
        chooseTopic(3);
        QCOMPARE(DataModule11->quest->recordCount(), 0);
        QVERIFY(Form3->DBText1->text().isEmpty());
        bool stillOpen = false;
        whileModal(Form3, startTest, [&]() {
            Form3->Button3->click();
            stillOpen = Form3->isVisible();
        });
        QVERIFY(stillOpen);
        QCOMPARE(dialogs().failures(), QStringList{QStringLiteral("Invalid floating point operation.")});
        QCOMPARE(storedRows().size(), 3);
        QCOMPARE(DataModule11->rez->state(), Table::State::Browse);
    }

    void topicWithoutQuestionsAfterCorrectAnswers() {
        // A test left unfinished keeps its counters when the pupil switches to an empty topic; its
        // time-out then divides a count by no questions.
        whileModal(Form3, startTest, []() {
            Form3->Button1->click();
            chooseAnswer(QStringLiteral("5"));
            Form3->Button2->click();
        });
        chooseTopic(3);
        while (Form3->countdown() > 0)
            tick();
        QCOMPARE(dialogs().failures(), QStringList{QStringLiteral("Floating point division by zero.")});
        QCOMPARE(storedRows().size(), 3);
        QVERIFY(!Form3->resultStored());
        // "Закончить" tries again and fails the same way, leaving the window open.
        bool stillOpen = false;
        whileModal(Form3, startTest, [&]() {
            Form3->Button3->click();
            stillOpen = Form3->isVisible();
        });
        QVERIFY(stillOpen);
        QCOMPARE(dialogs().failures().size(), 2);
        QCOMPARE(storedRows().size(), 3);
    }

    void engineFailureLeavesTheRowUnsaved() {
        DataModule11->rez->close();
        bool stillOpen = false;
        whileModal(Form3, startTest, [&]() {
            Form3->Button3->click();
            stillOpen = Form3->isVisible();
        });
        QVERIFY(stillOpen);
        QCOMPARE(dialogs().failures().size(), 1);
        QVERIFY(dialogs().failures().first().startsWith(QStringLiteral("rez: ")));
        QCOMPARE(storedRows().size(), 3);
        QVERIFY(!Form3->resultStored());
        // Once the table works again the same press stores the row.
        DataModule11->rez->open();
        whileModal(Form3, startTest, []() { Form3->Button3->click(); });
        QCOMPARE(storedRows().size(), 4);
    }

    void movedGridColumnsDoNotRedirectWrites() {
        Table* rez = DataModule11->rez;
        rez->moveColumn(4, 0);
        rez->moveColumn(5, 1);
        Form3->Button1Click();
        chooseAnswer(QStringLiteral("5"));
        Form3->Button2Click();
        Form3->Button3Click();
        const StoredRow row = storedRows().last();
        QCOMPARE(row.points, QStringLiteral("1"));
        QCOMPARE(row.grade, 2);
        QCOMPARE(row.pupil, 1);
        QCOMPARE(row.topic, 1);
        QCOMPARE(row.klass, 1);
    }

    // --- the results filter and the results window ----------------------------------------------------

    void resultsWindowControls() {
        QCOMPARE(Form5->windowTitle(), QStringLiteral("Результаты"));
        QCOMPARE(Form5->size(), QSize(843, 491));
        QCOMPARE(Form5->Image1->geometry(), QRect(-64, -24, 905, 505));
        QCOMPARE(Form5->DBGrid1->geometry(), QRect(192, 80, 473, 209));
        QCOMPARE(Form5->DBGrid1->font().pixelSize(), 12);
        QCOMPARE(Form5->DBGrid1->titleFont().pixelSize(), 11);
        QCOMPARE(Form5->DBNavigator1->geometry(), QRect(328, 288, 184, 25));
        QCOMPARE(Form5->DBNavigator1->visibleButtons(), TDBNavigator::nbPrior | TDBNavigator::nbNext);
        // The backdrop lies beneath the grid and the navigator, drawn at its natural size from the corner.
        QCOMPARE(Form5->children().indexOf(Form5->Image1), 0);
        const QImage backdrop = loadJpeg(QStringLiteral(":/pictures/results.jpg"));
        QCOMPARE(Form5->Image1->grab().toImage().pixel(100, 40), backdrop.pixel(100, 40));
        QCOMPARE(nextTabStop(Form5->DBGrid1), Form5->DBNavigator1);
    }

    void resultsFilterFromTheTopicWindow() {
        chooseTopic(2); // the filter is on the pupil only
        Form7->Button2->click();
        Table* rez = DataModule11->rez;
        QCOMPARE(rez->filterText(), QStringLiteral("id_ученика ='1'"));
        QVERIFY(rez->filtered());
        QVERIFY(Form5->isVisible());
        QCOMPARE(rez->recordCount(), 2);
        for (int row = 0; row < rez->recordCount(); ++row)
            QCOMPARE(rez->valueAt(row, rez->fieldPos(schema::pupilKey)).toInt(), 1);
        // Twice, or from another window: still the one filter.
        runResultsFilter();
        QCOMPARE(rez->filterText(), QStringLiteral("id_ученика ='1'"));
        QCOMPARE(rez->recordCount(), 2);
        QVERIFY(dialogs().failures().isEmpty());

        // A new result of the same pupil is listed.
        Form3->Button3Click();
        QCOMPARE(rez->recordCount(), 3);
    }

    void resultsFilterReplacesAnotherFilter() {
        Table* rez = DataModule11->rez;
        rez->setFilterText(QStringLiteral("Оценка ='5'"));
        rez->setFiltered(true);
        choosePupil(2);
        runResultsFilter();
        QCOMPARE(rez->filterText(), QStringLiteral("id_ученика ='2'"));
        QCOMPARE(rez->recordCount(), 1);
        QCOMPARE(rez->value(schema::results::surname).toString(), QStringLiteral("Соколов"));
    }

    void pupilWithoutResults() {
        choosePupil(3);
        Form7->Button2->click();
        QCOMPARE(DataModule11->rez->recordCount(), 0);
        QVERIFY(Form5->isVisible());
        QVERIFY(!Form5->DBNavigator1->button(TDBNavigator::nbPrior)->isEnabled());
        QVERIFY(!Form5->DBNavigator1->button(TDBNavigator::nbNext)->isEnabled());
    }

    void resultsFilterWithoutACurrentPupil() {
        Table* ych = DataModule11->ych;
        ych->setFilterText(QStringLiteral("Фамилия ='Никто'"));
        ych->setFiltered(true);
        QCOMPARE(ych->recordCount(), 0);
        Table* rez = DataModule11->rez;
        rez->setFilterText(QStringLiteral("Оценка ='5'"));
        Form7->Button2->click();
        QCOMPARE(dialogs().failures(),
                 QStringList{QStringLiteral("Could not convert variant of type (Null) into type (Integer)")});
        QCOMPARE(rez->filterText(), QStringLiteral("Оценка ='5'"));
        QVERIFY(!rez->filtered());
        QVERIFY(!Form5->isVisible());
    }
};

QTEST_MAIN(TestingWindowsTest)
#include "test_testing.moc"
