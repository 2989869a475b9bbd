#include "base/schema.h"
#include "data/datamodule.h"
#include "data/engine/table.h"
#include "data/widgets/databinding.h"
#include "data/widgets/dbcheckbox.h"
#include "data/widgets/dbgrid.h"
#include "data/widgets/dblookupcombobox.h"
#include "data/widgets/dbnavigator.h"
#include "data/widgets/dbtext.h"
#include "data/widgets/lookuplist.h"
#include "tests/support/controls.h"
#include "tests/support/input.h"
#include "tests/support/instances.h"
#include "tests/support/testbackend.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

#include <cstdio>
#include <memory>

namespace {

// The data module over the small data set, and a window for the widgets under test.
struct Env : DataModuleInstance {
    explicit Env(const QString& rows = TestDatabase::smallRowsSql()) : DataModuleInstance(rows) {
        window.resize(900, 500);
    }
    void show() {
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }
    QWidget window;
};

} // namespace

// ---------------------------------------------------------------------------------------------------------
// The navigator: enabling at the notices, its actions and the delete confirmation.
class NavigatorTest : public QObject {
    Q_OBJECT

private slots:
    void bindsWhenTheDataModuleComesLater() {
        TestDatabase db(TestDatabase::smallRowsSql());
        RecordingDialogs dialogs;
        TDBNavigator nav;
        nav.setDataSource(QStringLiteral("DataSource6"));
        QVERIFY(!nav.binding()->table());
        for (int i = 0; i < TDBNavigator::ButtonCount; ++i)
            QVERIFY(!nav.button(TDBNavigator::Button(1 << i))->isEnabled());
        TDataModule11 dm;
        QCOMPARE(nav.binding()->table(), dm.rez);
        QVERIFY(!enabled(nav, TDBNavigator::nbFirst)); // on the first row
        QVERIFY(enabled(nav, TDBNavigator::nbNext));
        QVERIFY(enabled(nav, TDBNavigator::nbDelete));
        QVERIFY(enabled(nav, TDBNavigator::nbEdit));
        QVERIFY(!enabled(nav, TDBNavigator::nbPost));
        // Closed table or a disabled bar: nothing is enabled.
        dm.rez->close();
        QVERIFY(!enabled(nav, TDBNavigator::nbInsert));
        QVERIFY(!enabled(nav, TDBNavigator::nbNext));
        dm.rez->open();
        QVERIFY(enabled(nav, TDBNavigator::nbNext));
        nav.setEnabled(false);
        QVERIFY(!enabled(nav, TDBNavigator::nbRefresh));
        nav.setEnabled(true);
        QVERIFY(enabled(nav, TDBNavigator::nbRefresh));
    }

    void filteredToNothingDisablesMovesAndDelete() {
        Env env;
        TDBNavigator nav(&env.window);
        nav.setDataSource(QStringLiteral("DataSource6"));
        env.dm->rez->setFilterText(QStringLiteral("id_ученика ='99'"));
        env.dm->rez->setFiltered(true);
        for (auto b : {TDBNavigator::nbFirst, TDBNavigator::nbPrior, TDBNavigator::nbNext,
                       TDBNavigator::nbLast, TDBNavigator::nbDelete})
            QVERIFY(!enabled(nav, b));
        QVERIFY(enabled(nav, TDBNavigator::nbInsert));
        QVERIFY(enabled(nav, TDBNavigator::nbRefresh));
    }

    void flagsAfterAFilterAndOneNext() {
        Env env;
        env.show();
        TDBNavigator nav(&env.window);
        nav.setGeometry(0, 0, 240, 25);
        nav.show();
        nav.setDataSource(QStringLiteral("DataSource6"));
        env.dm->rez->setFilterText(QStringLiteral("id_ученика ='2'"));
        env.dm->rez->setFiltered(true);
        QCOMPARE(env.dm->rez->recordCount(), 1);
        QVERIFY(!enabled(nav, TDBNavigator::nbFirst));
        QVERIFY(!enabled(nav, TDBNavigator::nbPrior));
        QVERIFY(enabled(nav, TDBNavigator::nbNext)); // even with one row
        QVERIFY(enabled(nav, TDBNavigator::nbLast));
        press(&nav, TDBNavigator::nbNext);
        QVERIFY(!enabled(nav, TDBNavigator::nbNext));
        QVERIFY(!enabled(nav, TDBNavigator::nbLast));
        QCOMPARE(env.dm->rez->recNo(), 0);
    }

    void buttonsInOrderShareTheWidth() {
        TDBNavigator nav;
        nav.resize(300, 25);
        nav.setVisibleButtons(TDBNavigator::nbFirst | TDBNavigator::nbPrior | TDBNavigator::nbNext |
                              TDBNavigator::nbLast);
        nav.show();
        int x = -1;
        for (auto b :
             {TDBNavigator::nbFirst, TDBNavigator::nbPrior, TDBNavigator::nbNext, TDBNavigator::nbLast}) {
            QVERIFY(nav.button(b)->isVisible());
            QCOMPARE(nav.button(b)->width(), 75);
            QVERIFY(nav.button(b)->x() > x);
            x = nav.button(b)->x();
        }
        QVERIFY(!nav.button(TDBNavigator::nbInsert)->isVisible());
        QVERIFY(nav.button(TDBNavigator::nbDelete)->toolTip().isEmpty());
        // Only the two moving buttons repeat while held: 400 ms, then every 100 ms.
        QVERIFY(nav.button(TDBNavigator::nbNext)->autoRepeat());
        QCOMPARE(nav.button(TDBNavigator::nbPrior)->autoRepeatDelay(), 400);
        QCOMPARE(nav.button(TDBNavigator::nbPrior)->autoRepeatInterval(), 100);
        QVERIFY(!nav.button(TDBNavigator::nbLast)->autoRepeat());
    }

    void editPostCancelAndRefresh() {
        Env env;
        TDBNavigator nav(&env.window);
        nav.setDataSource(QStringLiteral("DataSource3"));
        Table* tema = env.dm->tema;
        nav.act(TDBNavigator::nbEdit);
        QCOMPARE(tema->state(), Table::State::Edit);
        QVERIFY(!enabled(nav, TDBNavigator::nbEdit));
        QVERIFY(enabled(nav, TDBNavigator::nbPost));
        QVERIFY(enabled(nav, TDBNavigator::nbCancel));
        tema->setValue(1, QStringLiteral("Лады"));
        nav.act(TDBNavigator::nbCancel);
        QCOMPARE(tema->state(), Table::State::Browse);
        QCOMPARE(tema->asText(1), QStringLiteral("Нотная грамота"));
        nav.act(TDBNavigator::nbEdit);
        tema->setValue(1, QStringLiteral("Лады"));
        nav.act(TDBNavigator::nbPost);
        nav.act(TDBNavigator::nbRefresh);
        QCOMPARE(tema->asText(1), QStringLiteral("Лады"));
        nav.act(TDBNavigator::nbLast);
        QCOMPARE(tema->recNo(), 2);
        nav.act(TDBNavigator::nbPrior);
        QCOMPARE(tema->recNo(), 1);
        nav.act(TDBNavigator::nbFirst);
        QCOMPARE(tema->recNo(), 0);
    }

    void deleteCancelKeepsAndOkDiscardsANewRecord() {
        Env env;
        TDBNavigator nav(&env.window);
        nav.setDataSource(QStringLiteral("DataSource3"));
        Table* tema = env.dm->tema;
        nav.act(TDBNavigator::nbInsert);
        QCOMPARE(tema->state(), Table::State::Insert);
        QCOMPARE(tema->recordCount(), 4);
        env.dialogs.setNextConfirm(false);
        nav.act(TDBNavigator::nbDelete);
        QCOMPARE(env.dialogs.texts(QStringLiteral("confirm")), QStringList{QStringLiteral("Delete record?")});
        QCOMPARE(tema->state(), Table::State::Insert);
        QCOMPARE(tema->recordCount(), 4);
        env.dialogs.setNextConfirm(true);
        nav.act(TDBNavigator::nbDelete);
        QCOMPARE(tema->state(), Table::State::Browse);
        QCOMPARE(tema->recordCount(), 3);
        tema->refresh();
        QCOMPARE(tema->recordCount(), 3);
        QVERIFY(env.dialogs.failures().isEmpty());
        // A stored record goes after OK.
        nav.act(TDBNavigator::nbLast);
        nav.act(TDBNavigator::nbDelete);
        tema->refresh();
        QCOMPARE(tema->recordCount(), 2);
    }

    void keyboardMovesTheMarkAndSpacePresses() {
        Env env;
        env.show();
        TDBNavigator nav(&env.window);
        nav.setGeometry(0, 0, 300, 25);
        nav.setDataSource(QStringLiteral("DataSource3"));
        nav.setVisibleButtons(TDBNavigator::nbFirst | TDBNavigator::nbNext | TDBNavigator::nbLast);
        nav.show();
        nav.setFocus();
        QVERIFY(nav.hasFocus());
        QCOMPARE(nav.focusedButton(), TDBNavigator::nbFirst);
        QTest::keyClick(&nav, Qt::Key_Left);
        QCOMPARE(nav.focusedButton(), TDBNavigator::nbFirst);
        QTest::keyClick(&nav, Qt::Key_Right); // the hidden nbPrior is passed over
        QCOMPARE(nav.focusedButton(), TDBNavigator::nbNext);
        QTest::keyClick(&nav, Qt::Key_Space);
        QCOMPARE(env.dm->tema->recNo(), 1);
        QTest::keyClick(&nav, Qt::Key_Right);
        QTest::keyClick(&nav, Qt::Key_Right);
        QCOMPARE(nav.focusedButton(), TDBNavigator::nbLast);
        QTest::keyClick(&nav, Qt::Key_Space);
        QCOMPARE(env.dm->tema->recNo(), 2);
    }
};

// ---------------------------------------------------------------------------------------------------------
// The bound text label and the bound check box.
class TextAndCheckBoxTest : public QObject {
    Q_OBJECT

private slots:
    void textFollowsTheCursorAndKeepsAmpersands() {
        Env env;
        TDBText text(&env.window);
        text.setGeometry(0, 0, 60, 16);
        text.setDataSource(QStringLiteral("DataSource4"));
        text.setDataField(schema::questions::text);
        QCOMPARE(text.text(), QStringLiteral("Сколько линеек в нотном стане?"));
        QCOMPARE(text.size(), QSize(60, 16)); // a long text is cut, the label keeps its size
        QVERIFY(!text.wordWrap());
        env.dm->quest->next();
        QCOMPARE(text.text(), QStringLiteral("Как называется знак повышения на полтона?"));
        env.dm->quest->edit();
        env.dm->quest->setValue(1, QStringLiteral("До & ре"));
        QCOMPARE(text.text(), QStringLiteral("До & ре"));
        QCOMPARE(text.textFormat(), Qt::PlainText);
        env.dm->quest->cancel();
        // A topic without questions leaves the label empty; so does an unknown field.
        env.dm->tema->last();
        QCOMPARE(env.dm->quest->recordCount(), 0);
        QCOMPARE(text.text(), QString());
        env.dm->tema->first();
        text.setDataField(QStringLiteral("нет"));
        QCOMPARE(text.text(), QString());
    }

    void checkBoxShowsTickedClearAndGreyed() {
        Env env;
        TDBCheckBox box(&env.window);
        QCOMPARE(box.checkState(), Qt::Unchecked); // nothing bound
        box.setDataSource(QStringLiteral("DataSource5"));
        box.setDataField(schema::answers::correct);
        box.setCaption(QStringLiteral("Правильный"));
        QCOMPARE(box.text(), QStringLiteral("Правильный"));
        QCOMPARE(box.checkState(), Qt::Checked);
        env.dm->ans->next();
        QCOMPARE(box.checkState(), Qt::Unchecked);
        env.dm->ans->edit();
        env.dm->ans->setValue(3, QVariant());
        QCOMPARE(box.checkState(), Qt::PartiallyChecked);
        env.dm->ans->cancel();
        // A text field: the ";"-separated entries decide, letter case ignored.
        box.setDataSource(QStringLiteral("DataSource1"));
        box.setDataField(schema::pupils::firstName);
        box.setValueChecked(QStringLiteral("пётр;АННА"));
        box.setValueUnchecked(QStringLiteral("Мария"));
        QCOMPARE(box.checkState(), Qt::Checked); // Анна
        env.dm->ych->next();
        QCOMPARE(box.checkState(), Qt::PartiallyChecked); // Иван
        env.dm->ych->next();
        QCOMPARE(box.checkState(), Qt::Unchecked); // Мария
    }

    void clickTogglesAndFocusLossWrites() {
        Env env;
        env.show();
        TDBCheckBox box(&env.window);
        QLineEdit other(&env.window);
        box.setGeometry(0, 0, 120, 20);
        other.setGeometry(0, 40, 120, 20);
        box.setDataSource(QStringLiteral("DataSource5"));
        box.setDataField(schema::answers::correct);
        box.show();
        other.show();
        Table* ans = env.dm->ans;
        box.setFocus();
        QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(8, 10));
        QCOMPARE(ans->state(), Table::State::Edit);
        QCOMPARE(box.checkState(), Qt::Unchecked);
        QVERIFY(box.isPending());
        QCOMPARE(ans->value(3).toBool(), true); // not written yet
        other.setFocus();
        QVERIFY(!box.isPending());
        QCOMPARE(ans->value(3).toBool(), false);
        QVERIFY(ans->modified());
        ans->post();
        // Greyed becomes ticked; Esc throws a toggle away.
        ans->edit();
        ans->setValue(3, QVariant());
        box.setFocus();
        QTest::keyClick(&box, Qt::Key_Space);
        QCOMPARE(box.checkState(), Qt::Checked);
        QTest::keyClick(&box, Qt::Key_Escape);
        QVERIFY(!box.isPending());
        QCOMPARE(box.checkState(), Qt::PartiallyChecked);
        QVERIFY(ans->isNull(3));
        ans->cancel();
        // A closed table: a click changes nothing.
        ans->close();
        QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(8, 10));
        QCOMPARE(box.checkState(), Qt::Unchecked);
        QVERIFY(!box.isPending());
    }

    void aToggleIsWrittenWhenTheNavigatorPosts() {
        Env env;
        env.show();
        TDBCheckBox box(&env.window);
        TDBNavigator nav(&env.window);
        box.setDataSource(QStringLiteral("DataSource5"));
        box.setDataField(schema::answers::correct);
        nav.setDataSource(QStringLiteral("DataSource5"));
        box.show();
        box.setFocus();
        QTest::keyClick(&box, Qt::Key_Space);
        QVERIFY(box.isPending());
        nav.act(TDBNavigator::nbPost);
        QCOMPARE(env.dm->ans->state(), Table::State::Browse);
        env.dm->ans->refresh();
        QCOMPARE(env.dm->ans->value(3).toBool(), false);
        // Moving by the navigator posts a toggle too.
        QTest::keyClick(&box, Qt::Key_Space);
        nav.act(TDBNavigator::nbNext);
        env.dm->ans->refresh();
        env.dm->ans->first();
        QCOMPARE(env.dm->ans->value(3).toBool(), true);
    }
};

// ---------------------------------------------------------------------------------------------------------
// The lookup combo box over the topics.
class LookupComboTest : public QObject {
    Q_OBJECT

    Env* env = nullptr;
    TDBLookupComboBox* box = nullptr;

    void make(Env& e) {
        env = &e;
        box = new TDBLookupComboBox(&e.window);
        box->setGeometry(10, 10, 200, 22);
        box->setListSource(QStringLiteral("DataSource3"));
        box->setKeyField(schema::topicKey);
        box->setListField(schema::topics::name);
        e.show();
        box->setFocus();
    }

private slots:
    void showsNothingUntilChosen() {
        Env e;
        make(e);
        QCOMPARE(box->text(), QString());
        QVERIFY(box->keyValue().isNull());
        // Down with the list closed chooses the first topic, then the next one.
        press(Qt::Key_Down);
        QCOMPARE(box->keyValue().toInt(), 1);
        QCOMPARE(box->text(), QStringLiteral("Нотная грамота"));
        press(Qt::Key_Down);
        QCOMPARE(box->text(), QStringLiteral("Ключи"));
        QCOMPARE(e.dm->tema->recNo(), 1);
        QCOMPARE(e.dm->quest->recordCount(), 1); // the questions follow the topic
        press(Qt::Key_Up);
        QCOMPARE(box->text(), QStringLiteral("Нотная грамота"));
    }

    void listEscLeavesTheCursorOnTheHighlightedRow() {
        Env e;
        make(e);
        press(Qt::Key_Down); // first topic chosen
        press(Qt::Key_Down, Qt::AltModifier);
        QVERIFY(box->isListOpen());
        QCOMPARE(box->list()->visibleRows(), 3);
        press(Qt::Key_Down);
        press(Qt::Key_Down);
        QCOMPARE(e.dm->tema->recNo(), 2);
        press(Qt::Key_Escape);
        QVERIFY(!box->isListOpen());
        QCOMPARE(box->text(), QStringLiteral("Нотная грамота"));
        QCOMPARE(box->keyValue().toInt(), 1);
        QCOMPARE(e.dm->tema->recNo(), 2);
        // Enter accepts the highlighted row.
        box->openList();
        QCOMPARE(e.dm->tema->recNo(), 0); // the list starts on the key's row
        press(Qt::Key_Down);
        press(Qt::Key_Return);
        QCOMPARE(box->text(), QStringLiteral("Ключи"));
        QCOMPARE(box->keyValue().toInt(), 2);
    }

    void clickInTheListAccepts() {
        Env e;
        make(e);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(20, 10));
        QVERIFY(box->isListOpen());
        QCOMPARE(e.dm->tema->recNo(), 0); // no key: the first row
        LookupList* list = box->list();
        const QPoint third(20, list->contentsRect().top() + 2 * list->rowHeight() + list->rowHeight() / 2);
        QTest::mouseClick(list, Qt::LeftButton, {}, third);
        QVERIFY(!box->isListOpen());
        QCOMPARE(box->text(), QStringLiteral("Композиторы"));
        QCOMPARE(e.dm->tema->recNo(), 2);
    }

    void typingSearchesByTheBeginning() {
        Env e;
        make(e);
        typeText(QStringLiteral("к"));
        QCOMPARE(box->text(), QStringLiteral("Ключи"));
        typeText(QStringLiteral("О"));
        QCOMPARE(box->text(), QStringLiteral("Композиторы"));
        QCOMPARE(box->searchText(), QStringLiteral("кО"));
        typeText(QStringLiteral("щ")); // nothing begins so: dropped
        QCOMPARE(box->searchText(), QStringLiteral("кО"));
        QCOMPARE(box->text(), QStringLiteral("Композиторы"));
        press(Qt::Key_Backspace);
        QCOMPARE(box->searchText(), QString());
        typeText(QStringLiteral("н"));
        QCOMPARE(box->text(), QStringLiteral("Нотная грамота"));
        press(Qt::Key_Escape);
        QCOMPARE(box->searchText(), QString());
        QCOMPARE(e.dm->tema->recNo(), 0);
    }

    void theListShowsAtMostSevenRows() {
        QString rows = TestDatabase::smallRowsSql();
        for (int id = 4; id <= 12; ++id)
            rows += QStringLiteral("INSERT INTO \"Тема\" VALUES (%1, 'Тема %1');").arg(id);
        Env e(rows);
        make(e);
        press(Qt::Key_Down, Qt::AltModifier);
        QCOMPARE(box->list()->visibleRows(), LookupList::MaxRows);
        QCOMPARE(box->list()->height(), 7 * box->list()->rowHeight() + 2 * box->list()->frameWidth());
        QCOMPARE(box->list()->width(), box->width());
        press(Qt::Key_End);
        QCOMPARE(e.dm->tema->recNo(), 11);
        QCOMPARE(box->list()->topRow(), 5);
        press(Qt::Key_Escape);
    }

    void searchTextHoldsAtMost32Characters() {
        Env e(TestDatabase::smallRowsSql() +
              QStringLiteral("INSERT INTO \"Тема\" VALUES (4, '%1');").arg(QString(40, QLatin1Char('a'))));
        make(e);
        typeText(QString(40, QLatin1Char('a')));
        QCOMPARE(box->searchText().size(), TDBLookupComboBox::SearchMaxLength);
        QCOMPARE(box->keyValue().toInt(), 4);
    }
};

// ---------------------------------------------------------------------------------------------------------
// The record grid: columns, layout shared through the table, keys, typed text and lookup cells.
class GridTest : public QObject {
    Q_OBJECT

    static TDBGrid* makeGrid(Env& e, const QString& source, QRect geometry = {0, 0, 700, 200}) {
        auto* grid = new TDBGrid(&e.window);
        grid->setGeometry(geometry);
        grid->setDataSource(source);
        grid->show();
        return grid;
    }

private slots:
    void columnsAreTheVisibleFieldsWithTheirTitles() {
        Env e;
        TDBGrid* grid = makeGrid(e, QStringLiteral("DataSource6"));
        const QStringList titles{"Фамилия", "Имя", "Класс", "Тема", "Дата", "Баллы", "Оценка"};
        QCOMPARE(grid->model()->columnCount(), titles.size());
        for (int c = 0; c < titles.size(); ++c)
            QCOMPARE(columnTitle(grid, c), titles[c]);
        QCOMPARE(grid->model()->rowCount(), 4);
        QCOMPARE(cellText(grid, 0, 0), QStringLiteral("Петрова"));
        QCOMPARE(cellText(grid, 1, 3), QStringLiteral("Ключи"));
        QCOMPARE(cellText(grid, 1, 6), QStringLiteral("3"));
        QVERIFY(grid->model()->index(1, 6).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
                Qt::AlignRight);
        QVERIFY(grid->model()->index(1, 5).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
                Qt::AlignLeft);
        // Widths: display width in average characters, or the title when that is wider.
        const int avg = grid->fontMetrics().averageCharWidth();
        QCOMPARE(grid->columnWidth(3), 15 * avg + TDBGrid::CellMargin);
        QVERIFY(grid->columnWidth(2) >=
                QFontMetrics(grid->titleFont()).horizontalAdvance(schema::pupils::className));
        grid->setFixedColor(Qt::yellow);
        grid->setTitleFont(QFont(QStringLiteral("Liberation Serif"), 14));
        QCOMPARE(grid->fixedColor(), QColor(Qt::yellow));
        QCOMPARE(grid->horizontalHeader()->font().pointSize(), 14);
    }

    void followsTheDataModuleWhenItComesLater() {
        TestDatabase db(TestDatabase::smallRowsSql());
        RecordingDialogs dialogs;
        TDBGrid grid;
        grid.setDataSource(QStringLiteral("DataSource5"));
        QCOMPARE(grid.model()->rowCount(), 0);
        QCOMPARE(grid.model()->columnCount(), 0);
        TDataModule11 dm;
        QCOMPARE(grid.model()->columnCount(), 2);
        QCOMPARE(grid.model()->rowCount(), 3);
        dm.ans->close();
        QCOMPARE(grid.model()->rowCount(), 0);
        dm.ans->open();
        QCOMPARE(cellText(&grid, 0, 0), QStringLiteral("5"));
    }

    void ctrlTabLeavesTheGrid() {
        Env e;
        e.show();
        TDBGrid* grid = makeGrid(e, QStringLiteral("DataSource5"));
        QLineEdit other(&e.window);
        other.setGeometry(0, 300, 100, 20);
        other.show();
        grid->setFocus();
        typeText(QStringLiteral("8"));
        press(Qt::Key_Tab, Qt::ControlModifier);
        QVERIFY(other.hasFocus());
        QCOMPARE(e.dm->ans->asText(1), QStringLiteral("8")); // written on the way out
        e.dm->ans->cancel();
    }

    void anEmptyTableShowsOneEmptyRow() {
        Env e(QString{});
        e.show();
        TDBGrid* grid = makeGrid(e, QStringLiteral("DataSource3"));
        grid->setFocus();
        QCOMPARE(grid->model()->rowCount(), 1);
        QCOMPARE(grid->model()->columnCount(), 1);
        QCOMPARE(cellText(grid, 0, 0), QString());
        press(Qt::Key_Delete, Qt::ControlModifier);
        QVERIFY(e.dialogs.shown.isEmpty());
        press(Qt::Key_Down);
        QCOMPARE(e.dm->tema->state(), Table::State::Insert);
        QCOMPARE(e.dm->tema->recordCount(), 1);
        typeText(QStringLiteral("Ритм"));
        press(Qt::Key_Return);
        press(Qt::Key_Up); // leaving the row posts it
        QCOMPARE(e.dm->tema->state(), Table::State::Browse);
        e.dm->tema->refresh();
        QCOMPARE(e.dm->tema->recordCount(), 1);
        QCOMPARE(e.dm->tema->asText(1), QStringLiteral("Ритм"));
    }

    void downAppendsAndUpDiscardsAnUntouchedNewRecord() {
        Env e;
        e.show();
        TDBGrid* grid = makeGrid(e, QStringLiteral("DataSource3"));
        grid->setFocus();
        Table* tema = e.dm->tema;
        press(Qt::Key_Down);
        press(Qt::Key_Down);
        QCOMPARE(tema->recNo(), 2);
        press(Qt::Key_Down);
        QCOMPARE(tema->state(), Table::State::Insert);
        QCOMPARE(tema->recordCount(), 4);
        QCOMPARE(tema->recNo(), 3);
        press(Qt::Key_Down); // no second new record
        QCOMPARE(tema->recordCount(), 4);
        press(Qt::Key_Up);
        QCOMPARE(tema->state(), Table::State::Browse);
        QCOMPARE(tema->recordCount(), 3);
        QCOMPARE(tema->recNo(), 2);
        // Ctrl+Home / Ctrl+End, Page keys.
        press(Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(tema->recNo(), 0);
        press(Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(tema->recNo(), 2);
        press(Qt::Key_PageUp);
        QCOMPARE(tema->recNo(), 0);
        press(Qt::Key_PageDown);
        QCOMPARE(tema->recNo(), 2);
        // Insert puts a new record before the current one; Down away from it discards it.
        press(Qt::Key_Up);
        press(Qt::Key_Insert);
        QCOMPARE(tema->state(), Table::State::Insert);
        QCOMPARE(tema->recNo(), 1);
        press(Qt::Key_Down);
        QCOMPARE(tema->state(), Table::State::Browse);
        QCOMPARE(tema->recordCount(), 3);
        QCOMPARE(tema->asText(1), QStringLiteral("Ключи"));
    }

    void typedTextIsWrittenAndPostedWhenTheRowIsLeft() {
        Env e;
        e.show();
        TDBGrid* grid = makeGrid(e, QStringLiteral("DataSource3"));
        grid->setFocus();
        Table* tema = e.dm->tema;
        typeText(QStringLiteral("Лады"));
        QVERIFY(grid->cellEditor());
        QCOMPARE(grid->cellEditor()->text(),
                 QStringLiteral("Лады")); // the old text was selected and replaced
        QCOMPARE(tema->state(), Table::State::Edit);
        QCOMPARE(tema->asText(1), QStringLiteral("Нотная грамота")); // not written yet
        press(Qt::Key_Down);
        QCOMPARE(tema->state(), Table::State::Browse);
        QCOMPARE(tema->recNo(), 1);
        tema->refresh();
        tema->first();
        QCOMPARE(tema->asText(1), QStringLiteral("Лады"));
        // F2 opens the editor without typing; Enter closes it; an untouched record is only cancelled.
        press(Qt::Key_F2);
        QVERIFY(grid->cellEditor());
        QCOMPARE(tema->state(), Table::State::Browse);
        press(Qt::Key_Return);
        QVERIFY(!grid->cellEditor());
    }

    void escTwice() {
        Env e;
        e.show();
        TDBGrid* grid = makeGrid(e, QStringLiteral("DataSource3"));
        grid->setFocus();
        Table* tema = e.dm->tema;
        typeText(QStringLiteral("Лад"));
        press(Qt::Key_Escape); // the typed text goes
        QVERIFY(!grid->cellEditor());
        QCOMPARE(tema->state(), Table::State::Edit);
        QCOMPARE(tema->asText(1), QStringLiteral("Нотная грамота"));
        press(Qt::Key_Escape); // then the edit
        QCOMPARE(tema->state(), Table::State::Browse);
        // Text written by Enter is thrown away by the record's cancel.
        typeText(QStringLiteral("X"));
        press(Qt::Key_Return);
        QCOMPARE(tema->asText(1), QStringLiteral("X"));
        press(Qt::Key_Escape);
        QCOMPARE(tema->asText(1), QStringLiteral("Нотная грамота"));
    }

    void aNewRecordStartsWithNoEditorAndEmptyCells() {
        Env e;
        e.show();
        TDBGrid* grid = makeGrid(e, QStringLiteral("DataSource3"));
        TDBNavigator nav(&e.window);
        nav.setGeometry(0, 300, 240, 25);
        nav.setDataSource(QStringLiteral("DataSource3"));
        nav.show();
        grid->setFocus();
        typeText(QStringLiteral("AAA"));
        QTest::mouseClick(nav.button(TDBNavigator::nbPost), Qt::LeftButton);
        QTest::mouseClick(nav.button(TDBNavigator::nbInsert), Qt::LeftButton);
        QCOMPARE(e.dm->tema->state(), Table::State::Insert);
        QVERIFY(!grid->cellEditor());
        QCOMPARE(grid->model()->index(e.dm->tema->recNo(), 0).data().toString(), QString());
        grid->setFocus();
        typeText(QStringLiteral("B"));
        QTest::mouseClick(nav.button(TDBNavigator::nbPost), Qt::LeftButton);
        QCOMPARE(e.dm->tema->asText(1), QStringLiteral("B"));
    }

    // The view watches its scroll bars too: they keep the style's look, not the fixed cells' colour.
    void scrollBarsAreDrawnAsScrollBars() {
        Env e;
        e.show();
        TDBGrid* grid = makeGrid(e, QStringLiteral("DataSource6"), {0, 0, 200, 60});
        grid->setFixedColor(Qt::yellow);
        QScrollBar* bar = grid->verticalScrollBar();
        QVERIFY(bar->isVisible());
        const QImage shown = bar->grab().toImage();
        int fixed = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                fixed += shown.pixelColor(x, y) == QColor(Qt::yellow);
        QVERIFY2(fixed < shown.width() * shown.height() / 10, qPrintable(QString::number(fixed)));
    }

    // With the real failure box: after its OK the keys go to the cell editor again.
    void focusIsBackInTheEditorAfterTheFailureBox() {
        Env e;
        e.show();
        TDBGrid* grid = makeGrid(e, QStringLiteral("DataSource6"));
        grid->setFocus();
        grid->setCurrentColumn(6); // Оценка
        typeText(QStringLiteral("4-"));
        setDialogs(nullptr);
        bool boxShown = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            boxShown = box != nullptr;
            if (box)
                box->buttons().first()->click();
        });
        press(Qt::Key_Return);
        setDialogs(&e.dialogs);
        QVERIFY(boxShown);
        QTRY_COMPARE(QApplication::focusWidget(), grid->cellEditor());
        press(Qt::Key_Escape);
        press(Qt::Key_Escape);
        QCOMPARE(e.dm->rez->state(), Table::State::Browse);
    }

    void integerAndDateAreRefusedWithTheirMessages() {
        Env e;
        e.show();
        TDBGrid* grid = makeGrid(e, QStringLiteral("DataSource6"));
        grid->setFocus();
        Table* rez = e.dm->rez;
        grid->setCurrentColumn(6);      // Оценка
        typeText(QStringLiteral("4x")); // "x" cannot be typed in an integer cell
        QCOMPARE(grid->cellEditor()->text(), QStringLiteral("4"));
        typeText(QStringLiteral("-+1"));
        press(Qt::Key_Return);
        QCOMPARE(e.dialogs.failures().size(), 1);
        QCOMPARE(e.dialogs.failures()[0],
                 QStringLiteral("'4-+1' is not a valid integer value for field 'Оценка'"));
        QVERIFY(grid->cellEditor()); // still open with the typed text
        QCOMPARE(grid->cellEditor()->text(), QStringLiteral("4-+1"));
        press(Qt::Key_Down); // leaving the row writes again: refused, the cursor stays
        QCOMPARE(e.dialogs.failures().size(), 2);
        QCOMPARE(rez->recNo(), 0);
        press(Qt::Key_Escape);
        press(Qt::Key_Escape);
        QCOMPARE(rez->state(), Table::State::Browse);
        // An emptied integer cell stores null.
        typeText(QStringLiteral("4"));
        press(Qt::Key_Backspace);
        press(Qt::Key_Return);
        QVERIFY(rez->isNull(7));
        press(Qt::Key_Escape);
        grid->setCurrentColumn(4); // Дата
        e.dialogs.clear();
        typeText(QStringLiteral("32.13.2026"));
        press(Qt::Key_Return);
        QCOMPARE(e.dialogs.failures().size(), 1);
        // The failure report adds the full stop.
        QCOMPARE(e.dialogs.failures()[0], QStringLiteral("'32.13.2026' is not a valid date and time."));
        press(Qt::Key_Escape);
        press(Qt::Key_Escape);
        QCOMPARE(rez->state(), Table::State::Browse);
    }

    void yesNoCellAndTheCheckBox() {
        Env e;
        e.show();
        TDBGrid* grid = makeGrid(e, QStringLiteral("DataSource5"));
        TDBCheckBox box(&e.window);
        box.setGeometry(0, 220, 100, 20);
        box.setDataSource(QStringLiteral("DataSource5"));
        box.setDataField(schema::answers::correct);
        box.show();
        grid->setFocus();
        Table* ans = e.dm->ans;
        grid->setCurrentColumn(1); // статус
        typeText(QStringLiteral("f"));
        press(Qt::Key_Return);
        QCOMPARE(ans->value(3), QVariant(false));
        QCOMPARE(box.checkState(), Qt::Unchecked);
        typeText(QStringLiteral("T"));
        press(Qt::Key_Return);
        QCOMPARE(ans->value(3), QVariant(true));
        QCOMPARE(box.checkState(), Qt::Checked);
        typeText(QStringLiteral("x"));
        press(Qt::Key_Return);
        QCOMPARE(e.dialogs.failures().size(), 1);
        QCOMPARE(e.dialogs.failures()[0],
                 QStringLiteral("'x' is not a valid boolean value for field 'статус'"));
        press(Qt::Key_Escape);
        typeText(QStringLiteral("t"));
        press(Qt::Key_Backspace);
        press(Qt::Key_Return);
        QVERIFY(ans->isNull(3));
        QCOMPARE(box.checkState(), Qt::PartiallyChecked);
        QCOMPARE(cellText(grid, 0, 1), QString());
        ans->cancel();
    }

    void deleteByCtrlDeleteAsksFirst() {
        Env e;
        e.show();
        TDBGrid* grid = makeGrid(e, QStringLiteral("DataSource3"));
        grid->setFocus();
        press(Qt::Key_Insert);
        e.dialogs.setNextConfirm(false);
        press(Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(e.dialogs.texts(QStringLiteral("confirm")).size(), 1);
        QCOMPARE(e.dm->tema->state(), Table::State::Insert);
        press(Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(e.dm->tema->state(), Table::State::Browse);
        QCOMPARE(e.dm->tema->recordCount(), 3);
    }

    void focusLossDiscardsOnlyAnUntouchedNewRecord() {
        Env e;
        e.show();
        TDBGrid* grid = makeGrid(e, QStringLiteral("DataSource5"));
        QLineEdit other(&e.window);
        other.setGeometry(0, 300, 100, 20);
        other.show();
        grid->setFocus();
        Table* ans = e.dm->ans;
        press(Qt::Key_Insert);
        QCOMPARE(ans->recordCount(), 4);
        other.setFocus();
        QCOMPARE(ans->state(), Table::State::Browse);
        QCOMPARE(ans->recordCount(), 3);
        grid->setFocus();
        press(Qt::Key_Insert);
        typeText(QStringLiteral("7")); // written when the focus leaves
        other.setFocus();
        QCOMPARE(ans->state(), Table::State::Insert);
        QCOMPARE(ans->asText(1), QStringLiteral("7"));
        ans->cancel();
    }

    void tabGoesThroughTheCellsAndOnToTheNextRow() {
        Env e;
        e.show();
        TDBGrid* grid = makeGrid(e, QStringLiteral("DataSource5"));
        grid->setFocus();
        press(Qt::Key_Tab);
        QCOMPARE(grid->currentColumn(), 1);
        press(Qt::Key_Tab);
        QCOMPARE(grid->currentColumn(), 0);
        QCOMPARE(e.dm->ans->recNo(), 1);
        press(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(grid->currentColumn(), 1);
        QCOMPARE(e.dm->ans->recNo(), 0);
        QVERIFY(grid->hasFocus());
        press(Qt::Key_Left);
        QCOMPARE(grid->currentColumn(), 0);
        press(Qt::Key_Right);
        QCOMPARE(grid->currentColumn(), 1);
    }

    void aClickMovesTheCursorAndASecondClickEdits() {
        Env e;
        e.show();
        TDBGrid* grid = makeGrid(e, QStringLiteral("DataSource6"));
        clickRow(grid, 2, 5);
        QCOMPARE(e.dm->rez->recNo(), 2);
        QCOMPARE(grid->currentColumn(), 5);
        QVERIFY(!grid->cellEditor());
        clickRow(grid, 2, 5);
        QVERIFY(grid->cellEditor());
        QCOMPARE(grid->cellEditor()->text(), QStringLiteral("0"));
    }

    void aWidenedOrMovedColumnShowsInEveryGridOfTheTable() {
        Env e;
        e.show();
        TDBGrid* first = makeGrid(e, QStringLiteral("DataSource6"));
        TDBGrid* second = makeGrid(e, QStringLiteral("DataSource6"), {0, 210, 700, 200});
        const int avg = first->fontMetrics().averageCharWidth();
        first->horizontalHeader()->resizeSection(3, 30 * avg + TDBGrid::CellMargin);
        QCOMPARE(e.dm->rez->displayWidth(4), 30);
        QCOMPARE(second->columnWidth(3), first->columnWidth(3));
        QCOMPARE(second->columnWidth(3), 30 * avg + TDBGrid::CellMargin);
        // Moving "Оценка" to the front changes the column order of both grids, never the field positions.
        first->horizontalHeader()->moveSection(6, 0);
        QCOMPARE(columnTitle(first, 0), schema::results::grade);
        QCOMPARE(columnTitle(second, 0), schema::results::grade);
        QCOMPARE(columnTitle(second, 1), schema::pupils::surname);
        QCOMPARE(e.dm->rez->field(7).name, schema::results::grade);
        QCOMPARE(e.dm->rez->field(5).name, schema::results::date);
        QCOMPARE(cellText(second, 0, 0), QStringLiteral("5"));
        QCOMPARE(first->horizontalHeader()->visualIndex(0), 0);
    }

    void lookupCellChoosesThroughTheListTable() {
        Env e;
        e.show();
        TDBGrid* grid = makeGrid(e, QStringLiteral("DataSource6"));
        grid->setFocus();
        Table* rez = e.dm->rez;
        Table* tema = e.dm->tema;
        grid->setCurrentColumn(3);     // Тема, from id_темы
        typeText(QStringLiteral("x")); // not typed
        QVERIFY(grid->cellEditor());
        QCOMPARE(grid->cellEditor()->text(), QStringLiteral("Нотная грамота"));
        QCOMPARE(rez->state(), Table::State::Browse);
        press(Qt::Key_Down, Qt::AltModifier);
        QVERIFY(grid->lookupList()->isVisible());
        QCOMPARE(tema->recNo(), 0); // the row of the record's key
        press(Qt::Key_Down);
        press(Qt::Key_Down);
        press(Qt::Key_Escape); // closed without a change
        QCOMPARE(rez->state(), Table::State::Browse);
        QCOMPARE(tema->recNo(), 2);
        press(Qt::Key_Down, Qt::AltModifier);
        QCOMPARE(tema->recNo(), 0);
        press(Qt::Key_Down);
        press(Qt::Key_Return);
        QCOMPARE(rez->state(), Table::State::Edit);
        QCOMPARE(rez->value(schema::topicKey).toInt(), 2);
        QCOMPARE(rez->displayText(4), QStringLiteral("Ключи"));
        QCOMPARE(grid->cellEditor()->text(), QStringLiteral("Ключи"));
        QCOMPARE(tema->recNo(), 1);
        press(Qt::Key_Down);
        rez->refresh();
        rez->first();
        QCOMPARE(rez->value(schema::topicKey).toInt(), 2);
    }
};

// ---------------------------------------------------------------------------------------------------------
// A window made of the widgets over the real data module: a grid, a navigator and a check box over the
// answers and a lookup combo box over the topics.
class DemonstrationTest : public QObject {
    Q_OBJECT

private slots:
    void answersAndTopicsTogether() {
        Env e;
        TDBLookupComboBox topics(&e.window);
        topics.setGeometry(10, 10, 300, 22);
        topics.setListSource(QStringLiteral("DataSource3"));
        topics.setKeyField(schema::topicKey);
        topics.setListField(schema::topics::name);
        TDBText question(&e.window);
        question.setGeometry(10, 40, 400, 18);
        question.setDataSource(QStringLiteral("DataSource4"));
        question.setDataField(schema::questions::text);
        TDBGrid grid(&e.window);
        grid.setGeometry(10, 64, 420, 150);
        grid.setDataSource(QStringLiteral("DataSource5"));
        grid.setFixedColor(QColor(0xC0, 0xDC, 0xC0));
        grid.setTitleFont(QFont(QStringLiteral("Liberation Sans"), 10, QFont::Bold));
        TDBNavigator nav(&e.window);
        nav.setGeometry(10, 220, 300, 25);
        nav.setDataSource(QStringLiteral("DataSource5"));
        TDBCheckBox box(&e.window);
        box.setGeometry(320, 222, 110, 20);
        box.setDataSource(QStringLiteral("DataSource5"));
        box.setDataField(schema::answers::correct);
        box.setCaption(QStringLiteral("Верный"));
        e.show();

        topics.setFocus();
        press(Qt::Key_Down);
        press(Qt::Key_Down); // "Ключи": its one question and two answers
        QCOMPARE(question.text(), QStringLiteral("Какой ключ называют ключом соль?"));
        QCOMPARE(grid.model()->rowCount(), 2);
        QCOMPARE(cellText(&grid, 0, 0), QStringLiteral("Скрипичный"));
        QCOMPARE(box.checkState(), Qt::Checked);
        press(&nav, TDBNavigator::nbNext);
        QCOMPARE(box.checkState(), Qt::Unchecked);
        QCOMPARE(e.dm->ans->recNo(), 1);
        grid.setFocus();
        press(Qt::Key_Up);
        QCOMPARE(box.checkState(), Qt::Checked);
        press(&nav, TDBNavigator::nbEdit);
        QVERIFY(nav.button(TDBNavigator::nbPost)->isEnabled());
        e.window.repaint();
        if (const QString dir = qEnvironmentVariable("ESUN_SCREENSHOT_DIR"); !dir.isEmpty())
            e.window.grab().save(dir + QStringLiteral("/widgets.png"));
        press(&nav, TDBNavigator::nbCancel);
        QCOMPARE(e.dm->ans->state(), Table::State::Browse);
        QVERIFY(e.dialogs.failures().isEmpty());
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (!testbackend::missing().isEmpty()) { // the run on the server skips as a whole
        std::printf("SKIP   : %s\n", qPrintable(testbackend::missing()));
        return 0;
    }
    int failed = 0;
    NavigatorTest navigator;
    TextAndCheckBoxTest textAndCheckBox;
    LookupComboTest lookup;
    GridTest grid;
    DemonstrationTest demonstration;
    for (QObject* test :
         std::initializer_list<QObject*>{&navigator, &textAndCheckBox, &lookup, &grid, &demonstration})
        failed += QTest::qExec(test, argc, argv);
    return failed;
}

#include "test_widgets.moc"
