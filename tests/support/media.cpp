#include "media.h"

#include <QtTest>

void clickButton(TMediaPlayer* bar, TMediaPlayer::Button button) {
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->buttonRect(button).center());
}
