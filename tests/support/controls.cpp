#include "controls.h"

#include "data/widgets/dbgrid.h"
#include "testing/form3.h"
#include "testing/radiogroup.h"
#include "tests/support/input.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

QString columnTitle(TDBGrid* grid, int column) {
    return grid->model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
}

QStringList columnTitles(TDBGrid* grid) {
    QStringList titles;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        titles << columnTitle(grid, c);
    return titles;
}

int columnOf(TDBGrid* grid, const QString& title) {
    return columnTitles(grid).indexOf(title);
}

QString cellText(TDBGrid* grid, int row, int column) {
    return grid->model()->index(row, column).data().toString();
}

QString cellText(TDBGrid* grid, int row, const QString& title) {
    return cellText(grid, row, columnOf(grid, title));
}

void clickRow(TDBGrid* grid, int row, int column) {
    const QRect cell = grid->visualRect(grid->model()->index(row, column));
    QVERIFY(cell.isValid());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
}

void typeIntoCell(TDBGrid* grid, const QString& text, bool enter) {
    typeText(grid, text.left(1));
    QWidget* editor = grid->cellEditor();
    QVERIFY(editor);
    typeText(editor, text.mid(1));
    if (enter)
        QTest::keyClick(editor, Qt::Key_Return);
}

void press(TDBNavigator* navigator, TDBNavigator::Button which) {
    QAbstractButton* button = navigator->button(which);
    QVERIFY(button);
    QVERIFY2(button->isEnabled(), "navigator button disabled");
    QTest::mouseClick(button, Qt::LeftButton);
}

bool enabled(const TDBNavigator& navigator, TDBNavigator::Button which) {
    return navigator.button(which)->isEnabled();
}

void clickButton(TMediaPlayer* bar, TMediaPlayer::Button button) {
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->buttonRect(button).center());
}

void chooseAnswer(const QString& text, int nth) {
    const QStringList items = Form3->RadioGroup1->items();
    int index = -1;
    for (int i = 0, seen = 0; i < items.size(); ++i)
        if (items.at(i) == text && seen++ == nth)
            index = i;
    QVERIFY2(index >= 0, qPrintable(text));
    Form3->RadioGroup1->button(index)->click();
    QCOMPARE(Form3->RadioGroup1->itemIndex(), index);
}
