#include "clock.h"

namespace programclock {

namespace {
QDate fixedDay;
} // namespace

QDate today() {
    return fixedDay.isValid() ? fixedDay : QDate::currentDate();
}

void setTodayForTesting(const QDate& day) {
    fixedDay = day;
}

} // namespace programclock
