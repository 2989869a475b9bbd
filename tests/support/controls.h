#pragma once

#include "data/widgets/dbnavigator.h"
#include "materials/mediaplayer.h"

#include <QString>
#include <QStringList>

class TDBGrid;

// The program's own controls driven as a user drives them: the grid, the navigator, the media bar and the
// answers of the test window.

// A grid's column titles, and the column with a title.
QString columnTitle(TDBGrid* grid, int column);
QStringList columnTitles(TDBGrid* grid);
int columnOf(TDBGrid* grid, const QString& title);

// The text a grid's cell shows, by column number or by column title.
QString cellText(TDBGrid* grid, int row, int column);
QString cellText(TDBGrid* grid, int row, const QString& title);

// A click on a grid's data cell, which makes its row the current record.
void clickRow(TDBGrid* grid, int row, int column = 0);

// Types into the current cell as a user does: the first character opens the editor, Enter writes the text
// (without `enter` the text stays in the open editor).
void typeIntoCell(TDBGrid* grid, const QString& text, bool enter = true);

// A click on a navigator's button, which must be enabled; and whether it is.
void press(TDBNavigator* navigator, TDBNavigator::Button which);
bool enabled(const TDBNavigator& navigator, TDBNavigator::Button which);

// A click on one of the media bar's buttons, where it draws it.
void clickButton(TMediaPlayer* bar, TMediaPlayer::Button button);

// Picks an answer in the test window as the pupil does: a click on its radio button (the nth item with that
// text, for answers that share one).
void chooseAnswer(const QString& text, int nth = 0);
