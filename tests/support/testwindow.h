#pragma once

#include <QString>

// Picks an answer in the test window as the pupil does: a click on its radio button (the nth item with that
// text, for answers that share one).
void chooseAnswer(const QString& text, int nth = 0);
