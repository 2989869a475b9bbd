#pragma once

#include <QString>

#include <cerrno>

// How a file write fails; header only, so that the separately built spreadsheet module can throw it too.
namespace files {

// A write the system refused, with its error number (errno), or 0 and a text of the writing library's own.
struct WriteError {
    int code = 0;
    QString detail;
};

// The error number of the system call that has just failed; EIO when it set none.
inline int systemError() {
    return errno != 0 ? errno : EIO;
}

// The code of a target that exists but is no plain file (a pipe, a device, a socket): writing over it would
// put a file in its place.
inline constexpr int notRegularFile = -1;

} // namespace files
