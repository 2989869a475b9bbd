#pragma once

#include <QDate>

// The program's one clock: the day a result is stored and a report is dated. Tests fix the day through it, so
// that a run across midnight compares with the day the program used.
namespace programclock {

QDate today();
// From now on today() gives `day`; an invalid date gives the system's day back.
void setTodayForTesting(const QDate& day);

} // namespace programclock
