#pragma once

#include "conversion.h"

#include <QString>

// Converting Access files out of the program's process. A damaged file can make libmdb loop or allocate
// without end, so the reading runs in a child process, the converter (`mdb_import` beside the executable, in
// its child mode), bounded in time and memory; a file that goes beyond the bounds is damaged.
namespace accessdb {

// What a conversion may take: wall-clock and CPU seconds, and the child's address space.
struct Bounds {
    int seconds;
    int megabytes;
};
inline constexpr Bounds conversionBounds{20, 1024};

// Converts in a bounded child process. Throws Failure with a whole Russian sentence naming the file.
Converted convertBounded(const QString& accessPath, int codePage = 0);

// Writes the converted database as `target`, which must not exist yet.
Report convertFile(const QString& accessPath, const QString& target, int codePage = 0);

// Converts an Access file where it lies: the original is kept byte for byte under the name `keptName()`
// gives, and the converted database takes the original's name, so that a program opening that name finds
// its own format from now on. On failure the folder is as it was, and the same file (its path, size and
// time of change) is not tried again while the program runs: the failure is given again.
struct InPlace {
    QString original;  // where the Access file is kept now
    QString converted; // the converted database: the name the Access file had
    // The one message that tells the user where each file is.
    QString notice() const;
};
InPlace convertInPlace(const QString& path);

// The first free name beside `path` for keeping the original: Primer.mdb gives Primer.access.mdb, then
// Primer.access-2.mdb and so on.
QString keptName(const QString& path);

// The converter's side of convertBounded(): converts in this process and writes the outcome to standard
// output for the parent; returns the exit code.
int runConverterChild(const QString& accessPath, int codePage);

} // namespace accessdb
