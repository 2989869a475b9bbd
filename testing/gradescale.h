#pragma once

// Turning a test's counts into the school grade.
namespace gradescale {

// The whole part of correct / questions × 100, truncated. Computed in floating point, so a topic without
// questions fails as the division does: "Invalid floating point operation." for 0 ÷ 0 and
// "Floating point division by zero." otherwise.
int percentage(int correct, int questions);

// The lowest percentage of the grades 3, 4 and 5.
struct Boundaries {
    int pass3 = 66;
    int pass4 = 76;
    int pass5 = 86;
};

// The grade scale, by default: 0-65 → 2, 66-75 → 3, 76-85 → 4, 86 and above → 5. Above 100 can happen when
// several answer records of a question carry the same correct text; it is still full marks.
int grade(int percentage, const Boundaries& boundaries = {});

} // namespace gradescale
