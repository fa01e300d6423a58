#include "platform/AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AtomicFile {

namespace {

bool fail(QString* error, const QString& what)
{
    if (error)
        *error = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

bool writeAll(int fd, const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

} // namespace

bool write(const QString& path, const QByteArray& data, mode_t mode, QString* error)
{
    const QByteArray target = QFile::encodeName(path);
    // A short temporary name: the target's own name may already be as long
    // as the file system allows.
    QByteArray temp = QFile::encodeName(QFileInfo(path).absolutePath()) + "/.brevant-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return fail(error, QStringLiteral("cannot create a temporary file beside ") + path);
    ::fchmod(fd, mode);
    if (!writeAll(fd, data.constData(), data.size()) || ::fsync(fd) != 0) {
        const int saved = errno;
        ::close(fd);
        ::unlink(temp.constData());
        errno = saved;
        return fail(error, QStringLiteral("cannot write ") + path);
    }
    if (::close(fd) != 0 || ::rename(temp.constData(), target.constData()) != 0) {
        const int saved = errno;
        ::unlink(temp.constData());
        errno = saved;
        return fail(error, QStringLiteral("cannot replace ") + path);
    }
    // Make the rename itself durable.
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    const int dirFd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

} // namespace AtomicFile
