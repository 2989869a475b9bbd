#include "gradescale.h"

#include "base/failure.h"

#include <QString>

#include <cmath>

namespace gradescale {

int percentage(int correct, int questions) {
    if (questions == 0)
        throw Failure(correct == 0 ? QStringLiteral("Invalid floating point operation.")
                                   : QStringLiteral("Floating point division by zero."));
    // Multiplying before dividing keeps whole percentages whole (29 of 100 is 29, not 28.999…).
    return static_cast<int>(std::trunc(correct * 100.0 / questions));
}

int grade(int percentage, const Boundaries& boundaries) {
    if (percentage < boundaries.pass3)
        return 2;
    if (percentage < boundaries.pass4)
        return 3;
    if (percentage < boundaries.pass5)
        return 4;
    return 5;
}

} // namespace gradescale
