#include "admin/form12.h"
#include "admin/form8.h"
#include "admin/form9.h"
#include "app/form14.h"
#include "base/schema.h"
#include "data/datamodule.h"
#include "data/engine/table.h"
#include "data/passwords.h"
#include "data/widgets/dbcheckbox.h"
#include "data/widgets/dbgrid.h"
#include "data/widgets/dblookupcombobox.h"
#include "data/widgets/dbnavigator.h"
#include "signin/form1.h"
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

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <memory>

namespace {

// Two pupils share the teacher's surname; topic 3 has no questions; results are stored out of topic order.
const QString rowsSql = QStringLiteral(R"sql(
INSERT INTO "класс" VALUES (1, '5А'), (2, '5Б'), (3, '6А');
INSERT INTO "Ученики" VALUES
    (1, 'Елена', 'Смирнова', 'Викторовна', NULL, 'музыка', 1),
    (2, 'Ольга', 'Смирнова', 'Петровна', 1, 'арфа', 0),
    (3, 'Иван', 'Соколов', 'Ильич', 2, 'труба', 0),
    (4, 'Анна', 'Петрова', 'Сергеевна', 1, 'nota', 0);
INSERT INTO "Тема" VALUES (1, 'Звукоряд'), (2, 'Ключи'), (3, 'Композиторы');
INSERT INTO "Вопрос" VALUES
    (1, 'Сколько основных ступеней в звукоряде?', 1),
    (2, 'Сколько полутонов в октаве?', 1),
    (3, 'Какую ноту указывает скрипичный ключ?', 2),
    (4, 'Какую ноту указывает басовый ключ?', 2),
    (5, 'Как иначе называют басовый ключ?', 2);
INSERT INTO "Ответы" VALUES
    (1, '7', 1, 1), (2, '5', 1, 0), (3, '12', 1, 0),
    (4, '12', 2, 1), (5, '7', 2, 0), (6, '8', 2, 0),
    (7, 'Соль', 3, 1), (8, 'Фа', 3, 0), (9, 'До', 3, 0),
    (10, 'Фа', 4, 1), (11, 'Соль', 4, 0), (12, 'Ля', 4, 0),
    (13, 'Ключ фа', 5, 1), (14, 'Ключ соль', 5, 0), (15, 'Ключ до', 5, 0);
INSERT INTO "результаты" VALUES
    (1, '2026-11-02', '3', 5, 4, 2, 1),
    (2, '2026-11-03', '1', 2, 3, 1, 2),
    (3, '2026-11-04', '2', 5, 3, 1, 2),
    (4, '2026-11-05', '0', 2, 4, 1, 1),
    (5, '2026-11-06', '2', 3, 2, 3, 1),
    (6, '2026-11-09', '2', 5, 4, 1, 1),
    (7, '2026-11-10', '2', 3, 4, 2, 1);
)sql");

// Every result's key as the grid shows its rows, to compare row sets and orders.
QList<int> visibleKeys(Table* t) {
    QList<int> keys;
    for (int row = 0; row < t->recordCount(); ++row)
        keys << t->valueAt(row, 0).toInt();
    return keys;
}

} // namespace

// The teacher's windows over the real data module: the management window, the question and answer editor and
// the pupil list editor, with the shared state they leave for each other and for the sign-in window.
class AdminTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ProgramInstances> m_program;

    RecordingDialogs& dialogs() const { return m_program->dialogs; }
    const TestDatabase& db() const { return m_program->db; }

    Table* rez() const { return DataModule11->rez; }

    // Types a grade into the filter box one key at a time, as the teacher does.
    void typeGrade(const QString& text) {
        Form9->Edit1->setFocus();
        typeText(Form9->Edit1, text);
    }

    // The direct sign-in of the sign-in window: the surname, the password, "Войти".
    static void signIn(const QString& surname, const QString& password) {
        typeSignIn(surname, password);
        QTest::mouseClick(Form1->Button1, Qt::LeftButton);
    }

private slots:
    void initTestCase() { SKIP_WITHOUT_SERVER(); }

    void init() {
        // No connection file in the program folder: the sign-in window offers the direct variant.
        m_program = std::make_unique<ProgramInstances>(ProgramInstances::Direct, rowsSql);
        QVERIFY2(dialogs().shown.isEmpty(), qPrintable(dialogs().failures().join(QLatin1Char('\n'))));
    }

    void cleanup() { m_program.reset(); }

    // --- the windows as laid out ---

    void managementWindowControls() {
        QCOMPARE(Form9->windowTitle(), QStringLiteral("Управление"));
        QCOMPARE(Form9->size(), QSize(817, 377));
        QCOMPARE(Form9->GroupBox1->title(), QStringLiteral("Результат"));
        QCOMPARE(Form9->GroupBox1->geometry(), QRect(16, 24, 569, 345));
        QCOMPARE(Form9->DBGrid2->parentWidget(), Form9->GroupBox1);
        QCOMPARE(Form9->DBGrid2->geometry(), QRect(8, 32, 553, 169));
        QCOMPARE(Form9->DBGrid2->fixedColor(), QColor(255, 251, 240));
        QCOMPARE(Form9->DBGrid2->font().pixelSize(), 11);
        QCOMPARE(Form9->DBGrid2->titleFont().pixelSize(), 12);
        QCOMPARE(Form9->DBNavigator2->geometry(), QRect(120, 208, 324, 25));
        QCOMPARE(Form9->DBNavigator2->visibleButtons(),
                 TDBNavigator::nbPrior | TDBNavigator::nbNext | TDBNavigator::nbDelete);
        QCOMPARE(Form9->Button2->text(), QStringLiteral("Сортировка"));
        QCOMPARE(Form9->Button3->text(), QStringLiteral("Печать"));
        QVERIFY(Form9->Button3->font().bold());
        QCOMPARE(Form9->Button3->font().pixelSize(), 19);
        QCOMPARE(Form9->Button3->palette().color(QPalette::ButtonText), QColor(0, 0, 255));
        QCOMPARE(Form9->Edit1->geometry(), QRect(168, 256, 57, 23));
        QCOMPARE(Form9->Edit1->font().pixelSize(), 12); // the group's font
        QCOMPARE(Form9->Label1->text(), QStringLiteral("Фильтр по оценке:"));
        QCOMPARE(Form9->Label1->font().pixelSize(), 16);
        QCOMPARE(Form9->GroupBox2->title(), QStringLiteral("Название темы"));
        QCOMPARE(Form9->DBGrid1->parentWidget(), Form9->GroupBox2);
        QCOMPARE(Form9->DBGrid1->geometry(), QRect(8, 24, 193, 177));
        QCOMPARE(Form9->DBNavigator1->parentWidget(), Form9);
        QCOMPARE(Form9->DBNavigator1->visibleButtons(), TDBNavigator::nbPrior | TDBNavigator::nbNext |
                                                            TDBNavigator::nbInsert | TDBNavigator::nbDelete |
                                                            TDBNavigator::nbPost);
        QCOMPARE(Form9->Button1->text(), QStringLiteral("Список вопросов"));
        QCOMPARE(Form9->Button4->text(), QStringLiteral("Список учеников"));
        QCOMPARE(Form9->Button4->geometry(), QRect(640, 328, 121, 33));

        // Tab order of the table of controls; the label takes no part in it.
        QList<QWidget*> order{Form9->DBGrid2,      Form9->DBNavigator2, Form9->Button2,
                              Form9->Button3,      Form9->Edit1,        Form9->DBGrid1,
                              Form9->DBNavigator1, Form9->Button1,      Form9->Button4};
        QList<QWidget*> chain;
        for (QWidget* w = Form9->nextInFocusChain(); w != Form9; w = w->nextInFocusChain())
            if (order.contains(w))
                chain << w;
        QCOMPARE(chain, order);
        QCOMPARE(Form9->Label1->focusPolicy(), Qt::NoFocus);

        // Columns built from the visible fields: the four lookups, then date, points and grade.
        QCOMPARE(columnTitles(Form9->DBGrid2),
                 (QStringList{"Фамилия", "Имя", "Класс", "Тема", "Дата", "Баллы", "Оценка"}));
        QCOMPARE(columnTitles(Form9->DBGrid1), QStringList{schema::topics::name});
    }

    void editorWindowsControls() {
        QCOMPARE(Form8->windowTitle(), QStringLiteral("Список вопросов"));
        // Taller by the question's sound, picture and notes under the answers.
        QCOMPARE(Form8->size(), QSize(639, 693));
        QCOMPARE(Form8->DBGrid1->geometry(), QRect(16, 8, 609, 193));
        QCOMPARE(Form8->DBNavigator1->visibleButtons(),
                 TDBNavigator::allButtons() & ~TDBNavigator::Buttons(TDBNavigator::nbEdit));
        QCOMPARE(Form8->DBNavigator2->visibleButtons(), TDBNavigator::nbPrior | TDBNavigator::nbNext |
                                                            TDBNavigator::nbInsert | TDBNavigator::nbDelete);
        QCOMPARE(Form8->DBCheckBox1->text(), QStringLiteral("Правильный ответ"));
        QCOMPARE(Form8->DBCheckBox1->geometry(), QRect(264, 408, 137, 17));
        QCOMPARE(Form8->DBGrid1->fixedColor(), QColor(255, 251, 240));
        QCOMPARE(columnTitles(Form8->DBGrid1), QStringList{schema::questions::text});
        QCOMPARE(columnTitles(Form8->DBGrid2), (QStringList{"ответ", "статус"}));

        QCOMPARE(Form12->windowTitle(), QStringLiteral("Редактирование списка учеников"));
        QCOMPARE(Form12->size(), QSize(603, 296));
        QCOMPARE(Form12->DBGrid1->geometry(), QRect(8, 24, 577, 177));
        QCOMPARE(Form12->DBNavigator1->visibleButtons(), TDBNavigator::nbPrior | TDBNavigator::nbNext |
                                                             TDBNavigator::nbInsert | TDBNavigator::nbDelete |
                                                             TDBNavigator::nbPost);
        QCOMPARE(Form12->DBCheckBox1->text(), QStringLiteral("Права"));
        QCOMPARE(Form12->DBCheckBox1->font().pixelSize(), 16);
        QCOMPARE(columnTitles(Form12->DBGrid1),
                 (QStringList{"Имя", "Фамилия", "Отчество", "ключ", "права", "Класс"}));
    }

    // --- the grade filter ---

    void gradeFilterShowsOnlyThatGrade() {
        Form9->showModeless();
        rez()->last();
        typeGrade(QStringLiteral("5"));
        QVERIFY(rez()->filtered());
        QCOMPARE(rez()->filterText(), QStringLiteral("Оценка ='5'"));
        QCOMPARE(visibleKeys(rez()), (QList<int>{1, 3, 6}));
        QCOMPARE(rez()->recNo(), 0);
        for (int row = 0; row < 3; ++row)
            QCOMPARE(cellText(Form9->DBGrid2, row, schema::results::grade), QStringLiteral("5"));
        QVERIFY(dialogs().shown.isEmpty());
    }

    void gradeWithoutRowsGivesAnEmptyGrid() {
        Form9->showModeless();
        typeGrade(QStringLiteral("45"));
        QVERIFY(rez()->filtered());
        QCOMPARE(rez()->recordCount(), 0);
        QVERIFY(dialogs().shown.isEmpty());
        for (auto b : {TDBNavigator::nbPrior, TDBNavigator::nbNext, TDBNavigator::nbDelete})
            QVERIFY(!Form9->DBNavigator2->button(b)->isEnabled());
    }

    void deletingTheGradeShowsEveryRowAgain() {
        Form9->showModeless();
        typeGrade(QStringLiteral("3"));
        QCOMPARE(visibleKeys(rez()), (QList<int>{5, 7}));
        rez()->next();
        QTest::keyClick(Form9->Edit1, Qt::Key_Backspace);
        QVERIFY(!rez()->filtered());
        QCOMPARE(visibleKeys(rez()), (QList<int>{1, 2, 3, 4, 5, 6, 7}));
        QCOMPARE(rez()->recNo(), 0);
    }

    void anApostropheIsReportedAndLeavesResultsUnfiltered() {
        Form9->showModeless();
        typeGrade(QStringLiteral("5"));
        typeText(Form9->Edit1, QStringLiteral("'"));
        QCOMPARE(dialogs().failures().size(), 1);
        QVERIFY2(dialogs().failures().first().startsWith(QStringLiteral("rez: ")),
                 qPrintable(dialogs().failures().first()));
        QVERIFY(!rez()->filtered());
        QCOMPARE(rez()->recordCount(), 7);
        // The next change tries again.
        QTest::keyClick(Form9->Edit1, Qt::Key_Backspace);
        QVERIFY(rez()->filtered());
        QCOMPARE(rez()->recordCount(), 3);

        // A grade that would smuggle in a condition of its own is malformed too, never "every row".
        dialogs().clear();
        Form9->Edit1->setText(QStringLiteral("5' OR '1'='1"));
        QCOMPARE(dialogs().failures().size(), 1);
        QVERIFY(!rez()->filtered());
    }

    void theTypedGradeIsOneValue() {
        Form9->showModeless();
        Form9->Edit1->setText(QStringLiteral("5' OR Оценка='2"));
        QCOMPARE(dialogs().failures(),
                 QStringList{QStringLiteral(
                     "rez: '5' OR Оценка='2' is not a valid integer value for field 'Оценка'")});
        QVERIFY(!rez()->filtered());
        QCOMPARE(rez()->recordCount(), 7);
    }

    // --- the sort ---

    void sortReordersTheFilteredRowsByTopic() {
        Form9->showModeless();
        typeGrade(QStringLiteral("5"));
        QCOMPARE(visibleKeys(rez()), (QList<int>{1, 3, 6})); // topics 2, 1, 1
        QTest::mouseClick(Form9->Button2, Qt::LeftButton);
        QCOMPARE(rez()->sort(), schema::topicKey);
        QVERIFY(rez()->filtered());
        QCOMPARE(visibleKeys(rez()), (QList<int>{3, 6, 1})); // rows of one topic keep their order
        QTest::mouseClick(Form9->Button2, Qt::LeftButton);
        QCOMPARE(visibleKeys(rez()), (QList<int>{3, 6, 1}));
        // The sort stays when the filter goes.
        QTest::keyClick(Form9->Edit1, Qt::Key_Backspace);
        QCOMPARE(visibleKeys(rez()), (QList<int>{2, 3, 4, 6, 1, 7, 5}));
        QVERIFY(dialogs().shown.isEmpty());
    }

    void printOpensTheReportPreviewModally() {
        Form9->showModeless();
        typeGrade(QStringLiteral("5"));
        bool previewed = false;
        later([&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* preview = qobject_cast<Form*>(w);
                if (preview && preview != Form9 && preview->isModal()) {
                    previewed = !Form9->isEnabled();
                    preview->close();
                }
            }
        });
        QTest::mouseClick(Form9->Button3, Qt::LeftButton);
        QVERIFY(previewed);
        QVERIFY(Form9->isEnabled());
        QVERIFY2(dialogs().shown.isEmpty(), qPrintable(dialogs().failures().join(QLatin1Char('\n'))));
        // The report leaves the results as it found them.
        QCOMPARE(visibleKeys(rez()), (QList<int>{1, 3, 6}));
    }

    // --- state left by other windows ---

    void aPupilsResultsFilterStaysUntilTheGradeChanges() {
        // A pupil looked at his own results earlier in the run.
        DataModule11->ych->setFilterText(QStringLiteral("Фамилия ='Соколов'"));
        DataModule11->ych->setFiltered(true);
        QVERIFY(guarded(runResultsFilter));
        Form5->hide();
        DataModule11->ych->setFiltered(false);

        Form9->showModeless();
        QCOMPARE(visibleKeys(rez()), (QList<int>{2, 3}));
        typeGrade(QStringLiteral("5"));
        QCOMPARE(visibleKeys(rez()), (QList<int>{1, 3, 6}));
        QTest::keyClick(Form9->Edit1, Qt::Key_Backspace);
        QCOMPARE(rez()->recordCount(), 7);
    }

    void theLookupColumnsShowEveryPupilWhateverTheSurnameFilter() {
        DataModule11->ych->setFilterText(QStringLiteral("Фамилия ='Смирнова'"));
        DataModule11->ych->setFiltered(true);
        Form9->showModeless();
        QCOMPARE(cellText(Form9->DBGrid2, 0, schema::results::surname), QStringLiteral("Петрова"));
        QCOMPARE(cellText(Form9->DBGrid2, 0, schema::results::firstName), QStringLiteral("Анна"));
        QCOMPARE(cellText(Form9->DBGrid2, 0, schema::results::className), QStringLiteral("5А"));
        QCOMPARE(cellText(Form9->DBGrid2, 0, schema::results::topicName), QStringLiteral("Ключи"));
        QCOMPARE(cellText(Form9->DBGrid2, 1, schema::results::surname), QStringLiteral("Соколов"));
    }

    // --- topics and the question editor ---

    void theSelectedTopicsQuestionsAreListed() {
        Form9->showModeless();
        clickRow(Form9->DBGrid1, 1);
        QCOMPARE(DataModule11->tema->asText(1), QStringLiteral("Ключи"));
        QStringList listed;
        whileModal(
            Form8, [] { QTest::mouseClick(Form9->Button1, Qt::LeftButton); },
            [&] {
                QVERIFY(!Form9->isEnabled()); // modal over the management window
                for (int row = 0; row < DataModule11->quest->recordCount(); ++row)
                    listed << cellText(Form8->DBGrid1, row, schema::questions::text);
            });
        QCOMPARE(listed,
                 (QStringList{"Какую ноту указывает скрипичный ключ?", "Какую ноту указывает басовый ключ?",
                              "Как иначе называют басовый ключ?"}));
        QVERIFY(Form9->isEnabled());

        // Another topic, another list; a topic without questions gives an empty one.
        clickRow(Form9->DBGrid1, 2);
        whileModal(
            Form8, [] { QTest::mouseClick(Form9->Button1, Qt::LeftButton); },
            [] {
                QCOMPARE(DataModule11->quest->recordCount(), 0);
                QCOMPARE(DataModule11->ans->recordCount(), 0);
            });
    }

    void aNewTopicIsSeenAtOnceByEveryWindowOnTopics() {
        Form9->showModeless();
        press(Form9->DBNavigator1, TDBNavigator::nbInsert);
        typeIntoCell(Form9->DBGrid1, QStringLiteral("Лад и тональность"));
        press(Form9->DBNavigator1, TDBNavigator::nbPost);
        QVERIFY2(dialogs().shown.isEmpty(), qPrintable(dialogs().failures().join(QLatin1Char('\n'))));
        Table* tema = DataModule11->tema;
        QCOMPARE(tema->state(), Table::State::Browse);
        QCOMPARE(tema->asText(1), QStringLiteral("Лад и тональность"));
        const int key = tema->value(0).toInt();
        QVERIFY(key > 3);
        QCOMPARE(db().scalar(QStringLiteral("SELECT \"тема\" FROM \"Тема\" WHERE \"id_темы\" = %1").arg(key)),
                 QStringLiteral("Лад и тональность"));
        QCOMPARE(tema->recordCount(), 4);
        // The topic choice window's list works on the same table object.
        auto* choice = Form7->findChild<TDBLookupComboBox*>(QStringLiteral("DBLookupComboBox1"));
        QVERIFY(choice);
        choice->setKeyValue(key);
        QCOMPARE(choice->text(), QStringLiteral("Лад и тональность"));
        // The question editor follows it: a new topic has no questions yet.
        QCOMPARE(DataModule11->quest->recordCount(), 0);
    }

    void aTopicWithQuestionsCannotBeDeletedOneWithoutCan() {
        Form9->showModeless();
        clickRow(Form9->DBGrid1, 0);
        press(Form9->DBNavigator1, TDBNavigator::nbDelete);
        QCOMPARE(dialogs().texts(QStringLiteral("confirm")).size(), 1);
        QCOMPARE(dialogs().failures().size(), 1);
        const QString refusal = dialogs().failures().first();
        // The teacher is told why: the topic's questions refer to it.
        QVERIFY2(refusal.startsWith(QStringLiteral("tema: ")) && refusal.contains(QStringLiteral("«Вопрос»")),
                 qPrintable(refusal));
        QCOMPARE(DataModule11->tema->recordCount(), 3);
        QCOMPARE(db().scalar(QStringLiteral("SELECT COUNT(*) FROM \"Тема\"")).toInt(), 3);

        // "Композиторы" has no questions: it goes, and its result keeps the key with an empty topic name.
        dialogs().clear();
        clickRow(Form9->DBGrid1, 2);
        press(Form9->DBNavigator1, TDBNavigator::nbDelete);
        QVERIFY(dialogs().failures().isEmpty());
        QCOMPARE(DataModule11->tema->recordCount(), 2);
        QVERIFY(rez()->locate(schema::results::key, 5));
        QCOMPARE(rez()->value(schema::topicKey).toInt(), 3);
        QCOMPARE(rez()->displayText(rez()->fieldPos(schema::results::topicName)), QString());
    }

    void cancellingTheDeleteConfirmationKeepsTheTopic() {
        Form9->showModeless();
        dialogs().setNextConfirm(false);
        press(Form9->DBNavigator1, TDBNavigator::nbDelete);
        QCOMPARE(DataModule11->tema->recordCount(), 3);
        QVERIFY(dialogs().failures().isEmpty());
    }

    void aQuestionPostedCarriesTheTopicsKey() {
        Form9->showModeless();
        clickRow(Form9->DBGrid1, 1); // "Ключи", key 2
        Form8->showModeless();
        press(Form8->DBNavigator1, TDBNavigator::nbInsert);
        typeIntoCell(Form8->DBGrid1, QStringLiteral("Какой ключ пишут для альта?"));
        press(Form8->DBNavigator1, TDBNavigator::nbPost);
        QVERIFY2(dialogs().shown.isEmpty(), qPrintable(dialogs().failures().join(QLatin1Char('\n'))));
        Table* quest = DataModule11->quest;
        QCOMPARE(quest->value(schema::topicKey).toInt(), 2);
        const int question = quest->value(schema::questionKey).toInt();
        QVERIFY(question > 5);
        QCOMPARE(quest->recordCount(), 4); // it stays in the list
        QCOMPARE(m_program->db
                     .scalar(QStringLiteral("SELECT \"id_темы\" FROM \"Вопрос\" WHERE \"id_вопроса\" = %1")
                                 .arg(question))
                     .toInt(),
                 2);

        // An answer inserted under it carries its key; the tick marks it correct; leaving the row stores it.
        QCOMPARE(DataModule11->ans->recordCount(), 0);
        press(Form8->DBNavigator2, TDBNavigator::nbInsert);
        typeIntoCell(Form8->DBGrid2, QStringLiteral("Альтовый"));
        QTest::mouseClick(Form8->DBCheckBox1, Qt::LeftButton);
        QVERIFY(Form8->DBCheckBox1->isChecked());
        press(Form8->DBNavigator2, TDBNavigator::nbInsert);
        typeIntoCell(Form8->DBGrid2, QStringLiteral("Басовый"));
        press(Form8->DBNavigator2, TDBNavigator::nbNext);
        QVERIFY2(dialogs().shown.isEmpty(), qPrintable(dialogs().failures().join(QLatin1Char('\n'))));
        QCOMPARE(DataModule11->ans->recordCount(), 2);
        const QString stored = QStringLiteral("SELECT %1 FROM \"Ответы\" WHERE \"ответ\" = '%2'");
        QCOMPARE(
            db().scalar(stored.arg(QStringLiteral("\"id_вопроса\""), QStringLiteral("Альтовый"))).toInt(),
            question);
        QCOMPARE(db().scalar(stored.arg(QStringLiteral("\"статус\""), QStringLiteral("Альтовый"))).toInt(),
                 1);
        QCOMPARE(db().scalar(stored.arg(QStringLiteral("\"id_вопроса\""), QStringLiteral("Басовый"))).toInt(),
                 question);
        QCOMPARE(db().scalar(stored.arg(QStringLiteral("\"статус\""), QStringLiteral("Басовый"))).toInt(), 0);
    }

    void anAnswerUnderANewQuestionIsNotLost_data() {
        QTest::addColumn<bool>("enter");
        QTest::newRow("written with Enter") << true;
        QTest::newRow("still in the cell editor") << false;
    }
    void anAnswerUnderANewQuestionIsNotLost() {
        QFETCH(bool, enter);
        Form9->showModeless();
        clickRow(Form9->DBGrid1, 0); // "Звукоряд", key 1
        Form8->showModeless();
        press(Form8->DBNavigator1, TDBNavigator::nbInsert);
        typeIntoCell(Form8->DBGrid1, QStringLiteral("Сколько звуков в октаве?"), enter);
        QCOMPARE(DataModule11->quest->state(), Table::State::Insert);
        // The answer grid follows the new question: it has no answers.
        QCOMPARE(DataModule11->ans->recordCount(), 0);
        // Adding an answer stores the typed question first, so the answer belongs to it.
        press(Form8->DBNavigator2, TDBNavigator::nbInsert);
        QVERIFY2(dialogs().shown.isEmpty(), qPrintable(dialogs().failures().join(QLatin1Char('\n'))));
        QCOMPARE(DataModule11->quest->state(), Table::State::Browse);
        const int question = DataModule11->quest->value(schema::questionKey).toInt();
        QVERIFY(question > 5);
        QCOMPARE(
            db().scalar(
                QStringLiteral("SELECT \"вопрос\" FROM \"Вопрос\" WHERE \"id_вопроса\" = %1").arg(question)),
            QStringLiteral("Сколько звуков в октаве?"));
        typeIntoCell(Form8->DBGrid2, QStringLiteral("Семь"));
        press(Form8->DBNavigator2, TDBNavigator::nbPrior);
        QCOMPARE(m_program->db
                     .scalar(QStringLiteral("SELECT \"id_вопроса\" FROM \"Ответы\" WHERE \"ответ\" = 'Семь'"))
                     .toInt(),
                 question);
        QCOMPARE(m_program->db
                     .scalar(QStringLiteral("SELECT COUNT(*) FROM \"Ответы\" WHERE \"id_вопроса\" IS NULL"))
                     .toInt(),
                 0);
    }

    // A text pasted longer than its field is refused whole with the table's message, and stays in the editor.
    void aLongPastedTextIsRefusedNotCut_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("sql"); // the first row's stored value
        QTest::newRow("topic") << "Form9"
                               << "тема"
                               << "SELECT \"тема\" FROM \"Тема\" WHERE \"id_темы\" = 1";
        QTest::newRow("answer") << "Form8"
                                << "ответ"
                                << "SELECT \"ответ\" FROM \"Ответы\" WHERE \"id_ответа\" = 1";
        QTest::newRow("patronymic") << "Form12"
                                    << "Отчество"
                                    << "SELECT \"Отчество\" FROM \"Ученики\" WHERE \"id_ученика\" = 1";
    }
    void aLongPastedTextIsRefusedNotCut() {
        QFETCH(QString, window);
        QFETCH(QString, column);
        QFETCH(QString, sql);
        const QString before = db().scalar(sql);
        Form9->showModeless();
        clickRow(Form9->DBGrid1, 0);
        TDBGrid* grid = Form9->DBGrid1;
        if (window == QLatin1String("Form8")) {
            Form8->showModeless();
            grid = Form8->DBGrid2;
        } else if (window == QLatin1String("Form12")) {
            Form12->showModeless();
            grid = Form12->DBGrid1;
        }
        clickRow(grid, 0, columnOf(grid, column));
        const QString pasted(10000, u'ф');
        QApplication::clipboard()->setText(pasted);
        typeIntoCell(grid, QStringLiteral("x"), false);
        auto* editor = qobject_cast<QLineEdit*>(grid->cellEditor());
        QVERIFY(editor);
        editor->selectAll();
        QTest::keySequence(editor, QKeySequence::Paste);
        QCOMPARE(editor->text().size(), 10000);
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(dialogs().failures().size(), 1);
        QVERIFY2(dialogs().failures().first().contains(
                     QStringLiteral("не больше 255 знаков, а в тексте их 10000")),
                 qPrintable(dialogs().failures().first()));
        QCOMPARE(db().scalar(sql), before);
        QVERIFY(grid->cellEditor());
        QCOMPARE(qobject_cast<QLineEdit*>(grid->cellEditor())->text(), pasted);
    }

    void anAnswerUnderAnUntouchedNewQuestionIsRefused() {
        Form9->showModeless();
        Form8->showModeless();
        press(Form8->DBNavigator1, TDBNavigator::nbInsert);
        press(Form8->DBNavigator2, TDBNavigator::nbInsert);
        QCOMPARE(dialogs().failures().size(), 1);
        QVERIFY2(dialogs().failures().first().startsWith(QStringLiteral("ans: ")),
                 qPrintable(dialogs().failures().first()));
        QCOMPARE(DataModule11->ans->state(), Table::State::Browse);
        QCOMPARE(db().scalar(QStringLiteral("SELECT COUNT(*) FROM \"Вопрос\"")).toInt(), 5);
    }

    void deletingAQuestionDeletesItsAnswers() {
        Form9->showModeless();
        clickRow(Form9->DBGrid1, 0);
        Form8->showModeless();
        QCOMPARE(DataModule11->quest->value(schema::questionKey).toInt(), 1);
        press(Form8->DBNavigator1, TDBNavigator::nbDelete);
        QVERIFY(dialogs().failures().isEmpty());
        QCOMPARE(DataModule11->quest->recordCount(), 1);
        // The answer grid follows the next question.
        QCOMPARE(DataModule11->ans->recordCount(), 3);
        QCOMPARE(DataModule11->ans->value(schema::questionKey).toInt(), 2);
        QCOMPARE(
            db().scalar(QStringLiteral("SELECT COUNT(*) FROM \"Ответы\" WHERE \"id_вопроса\" = 1")).toInt(),
            0);
    }

    // --- the pupil list editor and the sign-in ---

    void theTeachersNamesakesAreListed() {
        QStringList listed;
        whileModal(
            Form9, [this] { signIn(QStringLiteral("Смирнова"), QStringLiteral("музыка")); },
            [&] {
                QVERIFY(!Form14->isVisible());
                whileModal(
                    Form12, [] { QTest::mouseClick(Form9->Button4, Qt::LeftButton); },
                    [&] {
                        for (int row = 0; row < DataModule11->ych->recordCount(); ++row)
                            listed << cellText(Form12->DBGrid1, row, schema::pupils::firstName) +
                                          QLatin1Char(' ') +
                                          cellText(Form12->DBGrid1, row, schema::pupils::surname);
                        QCOMPARE(cellText(Form12->DBGrid1, 1, schema::pupils::className),
                                 QStringLiteral("5А"));
                        // The server shows no password.
                        QCOMPARE(cellText(Form12->DBGrid1, 1, schema::pupils::password),
                                 testbackend::onServer() ? QString() : QStringLiteral("арфа"));
                        QCOMPARE(cellText(Form12->DBGrid1, 0, schema::pupils::rights),
                                 QStringLiteral("True"));
                        QVERIFY(Form12->DBCheckBox1->isChecked());
                    });
                // The surname filter stays while the teacher's windows are open.
                QVERIFY(DataModule11->ych->filtered());
            });
        QCOMPARE(listed, (QStringList{"Елена Смирнова", "Ольга Смирнова"}));
        QVERIFY(dialogs().shown.isEmpty());
    }

    void rightsTickedAndStoredLeadToTheManagementWindow() {
        // Without a surname the teacher's password matches the first record, the teacher's own, and the pupil
        // list holds every pupil.
        whileModal(
            Form9, [this] { signIn(QString(), QStringLiteral("музыка")); },
            [] {
                whileModal(
                    Form12, [] { QTest::mouseClick(Form9->Button4, Qt::LeftButton); },
                    [] {
                        QCOMPARE(DataModule11->ych->recordCount(), 4);
                        clickRow(Form12->DBGrid1, 3);
                        QCOMPARE(DataModule11->ych->asText(2), QStringLiteral("Петрова"));
                        QVERIFY(!Form12->DBCheckBox1->isChecked());
                        QTest::mouseClick(Form12->DBCheckBox1, Qt::LeftButton);
                        press(Form12->DBNavigator1, TDBNavigator::nbPost);
                    });
            });
        QVERIFY2(dialogs().shown.isEmpty(), qPrintable(dialogs().failures().join(QLatin1Char('\n'))));
        QCOMPARE(
            db().scalar(QStringLiteral("SELECT \"права\" FROM \"Ученики\" WHERE \"id_ученика\" = 4")).toInt(),
            1);
        // Her next sign-in leads to the management window, not the main window.
        whileModal(
            Form9, [this] { signIn(QStringLiteral("Петрова"), QStringLiteral("nota")); },
            [] { QVERIFY(!Form14->isVisible()); });
    }

    void aDeletedPupilsResultsShowEmptyNames() {
        Form12->showModeless();
        clickRow(Form12->DBGrid1, 3);
        QCOMPARE(DataModule11->ych->asText(2), QStringLiteral("Петрова"));
        press(Form12->DBNavigator1, TDBNavigator::nbDelete);
        QVERIFY2(dialogs().failures().isEmpty(), qPrintable(dialogs().failures().join(QLatin1Char('\n'))));
        QCOMPARE(DataModule11->ych->recordCount(), 3);
        Form12->hide();

        Form9->showModeless();
        QCOMPARE(rez()->recordCount(), 7); // the results keep the pupil's key
        for (int row = 0; row < rez()->recordCount(); ++row) {
            const bool hers = rez()->valueAt(row, rez()->fieldPos(schema::pupilKey)).toInt() == 4;
            QCOMPARE(cellText(Form9->DBGrid2, row, schema::results::surname).isEmpty(), hers);
            QCOMPARE(cellText(Form9->DBGrid2, row, schema::results::firstName).isEmpty(), hers);
            QVERIFY(!cellText(Form9->DBGrid2, row, schema::results::topicName).isEmpty());
        }
    }

    // --- the whole road ---

    // The teacher filters and sorts the results, adds a topic, a question with three answers one of which is
    // correct, and a pupil with a class and a password; that pupil then signs in and takes the new test.
    void aNewPupilTakesTheTestOfANewTopic() {
        whileModal(
            Form9, [this] { signIn(QStringLiteral("Смирнова"), QStringLiteral("музыка")); },
            [this] {
                typeGrade(QStringLiteral("5"));
                QTest::mouseClick(Form9->Button2, Qt::LeftButton);
                QTest::keyClick(Form9->Edit1, Qt::Key_Backspace);
                QCOMPARE(rez()->recordCount(), 7);

                press(Form9->DBNavigator1, TDBNavigator::nbInsert);
                typeIntoCell(Form9->DBGrid1, QStringLiteral("Лад"));
                press(Form9->DBNavigator1, TDBNavigator::nbPost);

                whileModal(
                    Form8, [] { QTest::mouseClick(Form9->Button1, Qt::LeftButton); },
                    [] {
                        QCOMPARE(DataModule11->quest->recordCount(), 0);
                        press(Form8->DBNavigator1, TDBNavigator::nbInsert);
                        typeIntoCell(Form8->DBGrid1, QStringLiteral("Какой лад звучит светло и радостно?"));
                        press(Form8->DBNavigator1, TDBNavigator::nbPost);
                        for (const char* answer : {"Минор", "Мажор", "Пентатоника"}) {
                            press(Form8->DBNavigator2, TDBNavigator::nbInsert);
                            typeIntoCell(Form8->DBGrid2, QString::fromUtf8(answer));
                        }
                        press(Form8->DBNavigator2, TDBNavigator::nbNext); // stores the last one
                        QCOMPARE(DataModule11->ans->recordCount(), 3);
                        for (int row = 0; row < 3; ++row)
                            if (cellText(Form8->DBGrid2, row, schema::answers::text) ==
                                QStringLiteral("Мажор"))
                                clickRow(Form8->DBGrid2, row);
                        QCOMPARE(DataModule11->ans->asText(1), QStringLiteral("Мажор"));
                        QTest::mouseClick(Form8->DBCheckBox1, Qt::LeftButton);
                        press(Form8->DBNavigator2, TDBNavigator::nbPrior);
                    });

                whileModal(
                    Form12, [] { QTest::mouseClick(Form9->Button4, Qt::LeftButton); },
                    [] {
                        TDBGrid* grid = Form12->DBGrid1;
                        press(Form12->DBNavigator1, TDBNavigator::nbInsert);
                        grid->setCurrentColumn(columnOf(grid, schema::pupils::firstName));
                        typeIntoCell(grid, QStringLiteral("Пётр"));
                        grid->setCurrentColumn(columnOf(grid, schema::pupils::surname));
                        typeIntoCell(grid, QStringLiteral("Новиков"));
                        grid->setCurrentColumn(columnOf(grid, schema::pupils::password));
                        typeIntoCell(grid, QStringLiteral("лад"));
                        // The class is chosen from the drop-down list of class names: the second one.
                        grid->setCurrentColumn(columnOf(grid, schema::pupils::className));
                        QTest::keyClick(grid, Qt::Key_Down, Qt::AltModifier);
                        QWidget* list = QApplication::activePopupWidget();
                        QVERIFY(list);
                        QTest::keyClick(list, Qt::Key_Down);
                        QTest::keyClick(list, Qt::Key_Return);
                        QCOMPARE(DataModule11->ych->value(schema::classKey).toInt(), 2);
                        press(Form12->DBNavigator1, TDBNavigator::nbPost);
                    });
                QVERIFY2(dialogs().shown.isEmpty(), qPrintable(dialogs().failures().join(QLatin1Char('\n'))));
            });
        QCOMPARE(db().scalar(QStringLiteral("SELECT \"id_класса\" || ' ' || \"права\" FROM \"Ученики\" "
                                            "WHERE \"Фамилия\" = 'Новиков'")),
                 QStringLiteral("2 0"));
        // The server keeps the password as a hash of it.
        QVERIFY(passwords::matches(
            QStringLiteral("лад"),
            db().scalar(QStringLiteral("SELECT \"ключ\" FROM \"Ученики\" WHERE \"Фамилия\" = 'Новиков'"))));
        QCOMPARE(db().scalar(QStringLiteral("SELECT a.\"ответ\" FROM \"Ответы\" a JOIN \"Вопрос\" q ON "
                                            "a.\"id_вопроса\" = q.\"id_вопроса\" JOIN \"Тема\" t ON "
                                            "q.\"id_темы\" = t.\"id_темы\" WHERE t.\"тема\" = 'Лад' "
                                            "AND a.\"статус\" = 1")),
                 QStringLiteral("Мажор"));

        // The new pupil signs in, chooses the new topic and answers its one question correctly.
        whileModal(
            Form14, [this] { signIn(QStringLiteral("Новиков"), QStringLiteral("лад")); },
            [] {
                Form7->showModeless();
                typeText(Form7->DBLookupComboBox1, QStringLiteral("Лад"));
                QCOMPARE(DataModule11->tema->asText(1), QStringLiteral("Лад"));
                whileModal(
                    Form3, [] { QTest::mouseClick(Form7->Button1, Qt::LeftButton); },
                    [] {
                        QTest::mouseClick(Form3->Button1, Qt::LeftButton);
                        const int correct = Form3->RadioGroup1->items().indexOf(QStringLiteral("Мажор"));
                        QVERIFY(correct >= 0);
                        QRadioButton* choice = Form3->RadioGroup1->button(correct);
                        // On the round mark: a radio button takes clicks on its mark and caption only.
                        QTest::mouseClick(choice, Qt::LeftButton, {}, QPoint(8, choice->height() / 2));
                        QTest::mouseClick(Form3->Button2, Qt::LeftButton);
                        QTest::mouseClick(Form3->Button3, Qt::LeftButton);
                    });
                Form7->hide();
            });
        QVERIFY2(dialogs().shown.isEmpty(), qPrintable(dialogs().failures().join(QLatin1Char('\n'))));
        QCOMPARE(db().scalar(QStringLiteral(
                     "SELECT r.\"Баллы\" || ' ' || r.\"Оценка\" || ' ' || r.\"id_класса\" FROM "
                     "\"результаты\" r JOIN \"Ученики\" u ON r.\"id_ученика\" = u.\"id_ученика\" "
                     "JOIN \"Тема\" t ON r.\"id_темы\" = t.\"id_темы\" WHERE u.\"Фамилия\" = "
                     "'Новиков' AND t.\"тема\" = 'Лад'")),
                 QStringLiteral("1 5 2"));
    }

    // --- reopening ---

    void reopeningShowsTheWindowAsItWasLeft() {
        whileModal(
            Form9, [] { Form9->showModal(); }, [this] { typeGrade(QStringLiteral("2")); });
        QCOMPARE(visibleKeys(rez()), (QList<int>{2, 4}));
        whileModal(
            Form9, [] { Form9->showModal(); },
            [] {
                QCOMPARE(Form9->Edit1->text(), QStringLiteral("2"));
                QCOMPARE(DataModule11->rez->recordCount(), 2);
            });
        // Showing the window modally while it is already on screen is refused.
        Form9->showModeless();
        QVERIFY(!guarded([] { Form9->showModal(); }));
        QCOMPARE(dialogs().failures(), QStringList{QStringLiteral("Cannot make a visible window modal.")});
    }
};

QTEST_MAIN(AdminTest)
#include "test_admin.moc"
