#pragma once

#include "owntable.h"

// The answer log of the file: each test (попытки), the questions it walks (вопросы_попытки) and every answer
// given (ответы_попытки); docs/database.md. The lab server keeps the same through its own functions.
namespace attemptstables {

inline const QString attempts = QStringLiteral("попытки");
inline const QString questions = QStringLiteral("вопросы_попытки");
inline const QString answers = QStringLiteral("ответы_попытки");
inline const QString plays = QStringLiteral("прослушивания");

// How a file keeps the log's times (начало, время): the computer's local time, to the second.
inline const QString timeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss");

// Test states.
enum State { Running = 0, Finished = 1, TimedOut = 2, Abandoned = 3 };

const OwnTable& definition(); // all three, made together
// How often each question's clip was played in a test; made apart, when a clip is first played, since a file
// may hold the three without it.
const OwnTable& playsDefinition();

} // namespace attemptstables
