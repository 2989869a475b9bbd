#pragma once

#include <QString>

namespace appinfo {
// The executable's file name up to its first ".", every letter after the first in lower case.
QString title();
QString titleFromFileName(const QString& fileName);
// The folder of the running executable with a trailing separator.
QString programFolder();
// Tests point the program folder elsewhere (a Cyrillic folder, a folder without write permission).
void setProgramFolderForTesting(const QString& folder);
} // namespace appinfo
