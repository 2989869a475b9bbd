#pragma once

#include <QtGlobal>

#include <sys/resource.h>

// Faults of the file system that a test can make for itself, root or not.

// While the object lives, every write of this process that would make a file longer than `bytes` fails as on
// a full disk (EFBIG, "на диске не хватает места"), whatever writes it (the program, SQLite, a library).
// Pipes and terminals are not affected, so the test's own output still goes out.
class FullDisk {
public:
    explicit FullDisk(qint64 bytes = 0);
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int) = nullptr;
};

// While the object lives, the calling thread is held to permission bits even when it runs as root (it gives
// up CAP_DAC_OVERRIDE), so a folder of mode 0555 is unwritable for it as for a pupil. Nothing changes for
// other users, who are held to them anyway.
class PermissionBitsHold {
public:
    PermissionBitsHold();
    ~PermissionBitsHold();
    PermissionBitsHold(const PermissionBitsHold&) = delete;
    PermissionBitsHold& operator=(const PermissionBitsHold&) = delete;

private:
    bool m_dropped = false;
};
