#include "grid.h"

#include "data/widgets/dbgrid.h"
#include "tests/support/input.h"

#include <QAbstractButton>
#include <QLineEdit>
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

void typeIntoCell(TDBGrid* grid, const QString& text) {
    typeText(grid, text.left(1));
    QWidget* editor = grid->cellEditor();
    QVERIFY(editor);
    typeText(editor, text.mid(1));
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
