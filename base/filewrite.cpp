#include "filewrite.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace files {

namespace {

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path);
}

QString russianReason(const WriteError& error) {
    switch (error.code) {
    case notRegularFile:
        return QStringLiteral("это не файл, а канал или устройство; выберите другое имя");
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return QStringLiteral("на диске не хватает места");
    case EACCES:
    case EPERM:
    case EROFS:
        return QStringLiteral("нет права на запись");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("такой папки нет");
    case EISDIR:
        return QStringLiteral("так называется папка");
    case ENAMETOOLONG:
        return QStringLiteral("слишком длинное имя");
    case ENOMEM:
        return QStringLiteral("не хватает памяти");
    case 0:
        return QStringLiteral("ошибка записи (%1)").arg(error.detail);
    default:
        return QStringLiteral("ошибка записи (%1)").arg(QString::fromLocal8Bit(std::strerror(error.code)));
    }
}

// The system's input-output messages for the failures a small file write can meet.
QString englishReason(const WriteError& error) {
    switch (error.code) {
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("Path not found");
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case notRegularFile:
        return QStringLiteral("File access denied");
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return QStringLiteral("Disk full");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("Too many open files");
    case ENAMETOOLONG:
        return QStringLiteral("Invalid filename");
    default:
        return QStringLiteral("I/O error %1").arg(error.code);
    }
}

// A new, empty file in `folder` under a name of its own (".NAME.XXXX.part"), created exclusively; its open
// descriptor, and its path in `path`. Throws WriteError.
int reserve(const QString& folder, const QString& name, QString& path) {
    // Room for the rest of the name within the 255 bytes a file name may have.
    const QString stem = encoded(name).size() > 200 ? name.left(50) : name;
    for (;;) {
        path = folder +
               QStringLiteral("/.%1.%2.part").arg(stem).arg(QRandomGenerator::global()->generate(), 0, 36);
        const int fd = ::open(encoded(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST)
            throw WriteError{systemError(), {}};
    }
}

} // namespace

QString reason(const WriteError& error, Wording wording) {
    return wording == Wording::English ? englishReason(error) : russianReason(error);
}

QString saveFailureText(const QString& path, const WriteError& error) {
    return QStringLiteral("Не удалось сохранить файл «%1»: %2").arg(path, reason(error));
}

QString saveTarget(const QString& path) {
    QString current = QFileInfo(path).absoluteFilePath();
    for (int links = 0;; ++links) {
        struct stat status {};
        if (::lstat(encoded(current).constData(), &status) != 0) {
            if (errno != ENOENT)
                throw WriteError{systemError(), {}};
            // A new file: its folder must be there.
            if (::stat(encoded(QFileInfo(current).absolutePath()).constData(), &status) != 0)
                throw WriteError{systemError(), {}};
            if (!S_ISDIR(status.st_mode))
                throw WriteError{ENOTDIR, {}};
            return current;
        }
        if (S_ISDIR(status.st_mode))
            throw WriteError{EISDIR, {}};
        if (S_ISREG(status.st_mode))
            return current;
        if (!S_ISLNK(status.st_mode))
            throw WriteError{notRegularFile, {}};
        // The link is kept; the file it points to is replaced.
        if (links == 40)
            throw WriteError{ELOOP, {}};
        QByteArray link(4096, Qt::Uninitialized);
        const ssize_t length = ::readlink(encoded(current).constData(), link.data(), size_t(link.size()));
        if (length < 0)
            throw WriteError{systemError(), {}};
        const QString to = QFile::decodeName(link.left(length));
        current = to.startsWith(u'/') ? to : QFileInfo(current).absolutePath() + u'/' + to;
    }
}

int folderWriteError(const QString& folder) {
    // Tried as SQLite will do it: a new file made there.
    try {
        QString probe;
        ::close(reserve(folder, QStringLiteral("probe"), probe));
        ::unlink(encoded(probe).constData());
        return 0;
    } catch (const WriteError& e) {
        return e.code;
    }
}

AtomicFile::AtomicFile(const QString& path) : m_target(saveTarget(path)) {
    const QFileInfo target(m_target);
    m_fd = reserve(target.absolutePath(), target.fileName(), m_temporary);
    QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

AtomicFile::~AtomicFile() {
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_committed)
        ::unlink(encoded(m_temporary).constData());
}

qint64 AtomicFile::size() const {
    struct stat status {};
    return m_fd >= 0 && ::fstat(m_fd, &status) == 0 ? qint64(status.st_size) : 0;
}

bool AtomicFile::truncate() {
    return m_fd >= 0 && ::ftruncate(m_fd, 0) == 0 && seek(0);
}

qint64 AtomicFile::writeData(const char* data, qint64 length) {
    qint64 done = 0;
    while (done < length) {
        const ssize_t written =
            m_fd < 0 ? -1 : ::pwrite(m_fd, data + done, size_t(length - done), pos() + done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (m_error == 0)
                m_error = written < 0 && m_fd >= 0 ? systemError() : EIO;
            setErrorString(reason({m_error, {}}));
            return -1;
        }
        done += written;
    }
    return done;
}

void AtomicFile::commit() {
    QIODevice::close();
    if (m_fd >= 0) {
        const int closed = ::close(m_fd);
        m_fd = -1;
        if (closed != 0 && m_error == 0)
            m_error = systemError();
    }
    if (m_error != 0)
        throw WriteError{m_error, {}};
    struct stat old {};
    if (::stat(encoded(m_target).constData(), &old) == 0)
        ::chmod(encoded(m_temporary).constData(), old.st_mode & 07777);
    if (::rename(encoded(m_temporary).constData(), encoded(m_target).constData()) != 0)
        throw WriteError{systemError(), {}};
    m_committed = true;
}

} // namespace files
