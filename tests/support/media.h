#pragma once

#include "materials/mediaplayer.h"

// A click on one of the media bar's buttons, where it draws it.
void clickButton(TMediaPlayer* bar, TMediaPlayer::Button button);
