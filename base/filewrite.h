#pragma once

#include "failure.h"
#include "writeerror.h"

#include <QIODevice>
#include <QString>

// Writing a file whole or not at all, and what a refused write means for the user: the one way the program
// writes its files (the report, PDF, print to a file, the results export, Connect.ini).
namespace files {

// Most messages are Russian sentences of the program's own; Connect.ini's failures speak the system's
// English input-output messages ("File access denied").
enum class Wording { Russian, English };

// Why a write failed, to close a sentence: "на диске не хватает места", or "Disk full".
QString reason(const WriteError& error, Wording wording = Wording::Russian);

// "Не удалось сохранить файл «path»: <reason>" (the failure report adds the full stop).
QString saveFailureText(const QString& path, const WriteError& error);

// Runs `step`; a write it meets refused becomes the failure the user sees, naming `path`.
template <typename Step> decltype(auto) reportingSaveFailure(const QString& path, Step&& step) {
    try {
        return step();
    } catch (const WriteError& e) {
        throw Failure(saveFailureText(path, e));
    }
}

// The file a save to `path` writes: `path` itself, or the file its symbolic link points to (followed to the
// end). Throws WriteError for a target that is a folder (EISDIR) or no plain file (notRegularFile), and for
// a new file whose folder is missing (ENOENT, ENOTDIR).
QString saveTarget(const QString& path);

// The error that making a file in `folder` meets (a folder one may not write in, a read-only file system),
// 0 when it may be made. SQLite makes its journal beside the database, so a database whose folder fails
// this cannot store anything.
int folderWriteError(const QString& folder);

// A new file that takes the place of the target only when commit() succeeds. It is written in a temporary
// file beside the target (".NAME.XXXX.part", created exclusively, so nobody else has it open): through this
// device, or by a library that opens temporaryPath() by name. Dropped uncommitted, the temporary file is
// removed and the target stays as it was.
class AtomicFile final : public QIODevice {
public:
    // Checks the target (saveTarget) and makes the temporary file: a save that cannot succeed fails here,
    // before anything is written. Throws WriteError.
    explicit AtomicFile(const QString& path);
    ~AtomicFile() override;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    const QString& target() const { return m_target; }
    const QString& temporaryPath() const { return m_temporary; }
    // The error number of the first write through this device that failed, 0 when none did.
    int writeError() const { return m_error; }
    // Empties the file for writing it afresh.
    bool truncate();
    // Puts the file in the target's place, with the permissions of the file it replaces; throws WriteError
    // (a write through this device that failed included).
    void commit();

    bool isSequential() const override { return false; }
    qint64 size() const override;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 length) override;

private:
    QString m_target;
    QString m_temporary;
    int m_fd = -1;
    int m_error = 0;
    bool m_committed = false;
};

} // namespace files
