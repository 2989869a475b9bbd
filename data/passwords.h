#pragma once

#include <QString>

namespace passwords {

// Whether `typed` is the password kept as `stored`: the text itself, as the program has always kept it, or a
// bcrypt hash ("$2b$…", as the lab server keeps passwords and writes them back into a file).
bool matches(const QString& typed, const QString& stored);

} // namespace passwords
