#pragma once

#include <QString>

class Connection;

// The program's own tables beside the school's six: a file gets one the first time the program needs it; on
// the school's server `muzyka_server setup` makes them. A database without them works as before.
namespace owntable {

// Whether the open database holds the table (names compared as the engine compares them).
bool exists(const Connection& connection, const QString& name);

// Makes the table on a file that lacks it with `fileDdl` (CREATE TABLE IF NOT EXISTS …). On the server a
// missing table is a Failure that tells to run the set-up again.
void ensure(Connection& connection, const QString& name, const QString& fileDdl);

} // namespace owntable
