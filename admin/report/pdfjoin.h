#pragma once

#include <array>

class QIODevice;

namespace report {

// Two PDF files as QPdfWriter writes them (objects one after another, one cross-reference table, one page
// tree) joined into one written to `out`: the pages of the first, then those of the second. Both are read a
// piece at a time. False when either is not of that form (`out` may then hold a part) or a file fails.
bool joinPdfs(const std::array<QIODevice*, 2>& files, QIODevice& out);

} // namespace report
