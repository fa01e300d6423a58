#include "chat/DccFiles.h"

#include "platform/Cp874.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <limits>
#include <utility>

namespace Zentrel {

namespace {

// File names hold at most 255 bytes; leave room for " (n)".
constexpr qsizetype kMaxNameBytes = 240;
constexpr qsizetype kMaxExtension = 16;

qsizetype utf8Size(const QString& text)
{
    return text.toUtf8().size();
}

// The stem and the extension (with its dot) of a name; a dot at the start
// does not begin an extension.
void splitExtension(const QString& name, QString* stem, QString* ext)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot > 0 && name.size() - dot <= kMaxExtension + 1) {
        *stem = name.left(dot);
        *ext = name.mid(dot);
    } else {
        *stem = name;
        ext->clear();
    }
}

} // namespace

TReceivedName ReceivedFileName(QByteArrayView offered)
{
    QString name = Cp874::toUnicode(offered);
    const qsizetype slash = qMax(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'));
    if (slash >= 0)
        name = name.mid(slash + 1);
    if (name.isEmpty())
        return {{}, "no file name"};
    if (name == u"." || name == u"..")
        return {{}, "not a file name"};
    for (QChar& c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = u'_';
    if (name.startsWith(u'.'))
        name[0] = u'_';
    if (utf8Size(name) > kMaxNameBytes) {
        QString stem;
        QString ext;
        splitExtension(name, &stem, &ext);
        while (!stem.isEmpty() && utf8Size(stem + ext) > kMaxNameBytes)
            stem.chop(stem.size() >= 2 && stem.back().isLowSurrogate() ? 2 : 1);
        name = stem + ext;
        if (utf8Size(name) > kMaxNameBytes || name.isEmpty())
            return {{}, "file name too long"};
    }
    return {name, {}};
}

bool PathOccupied(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

QString UniqueFileName(const QString& folder, const QString& name)
{
    if (!PathOccupied(folder + u'/' + name))
        return name;
    QString stem;
    QString ext;
    splitExtension(name, &stem, &ext);
    for (int n = 2; n < 10000; ++n) {
        const QString candidate = stem + QStringLiteral(" (%1)").arg(n) + ext;
        if (!PathOccupied(folder + u'/' + candidate))
            return candidate;
    }
    return {};
}

TDccSavePlan PlanDccSave(const QString& folder, const QString& name, quint64 offerSize,
                         const TDccUnfinished& unfinished)
{
    TDccSavePlan plan;
    plan.Folder = folder;
    plan.Name = name;
    plan.ExistingPath = folder + u'/' + name;
    struct stat st;
    const bool exists = ::lstat(QFile::encodeName(plan.ExistingPath).constData(), &st) == 0;
    if (exists && S_ISREG(st.st_mode) && offerSize > 0) {
        const quint64 local = quint64(st.st_size);
        if (local >= offerSize) {
            plan.Complete = true;
        } else if (local > 0 && !unfinished.Writing(plan.ExistingPath)) {
            // (A file another reception writes would get two writers.)
            plan.ResumeEnabled = true;
            plan.ResumePosition = local;
        }
    }
    const QString unique = UniqueFileName(folder, name);
    if (!unique.isEmpty())
        plan.ReceivePath = folder + u'/' + unique;
    return plan;
}

TDccAutoPlan PlanAutoReceive(const TDccSavePlan& plan, QByteArrayView offeredName,
                             quint64 offerSize, const TDccUnfinished& unfinished)
{
    TDccAutoPlan out;
    // The latest of them that left something to resume.
    for (const TDccUnfinished::Entry& e : unfinished.Resumable(offeredName, offerSize)) {
        struct stat st;
        if (offerSize > 0 && ::lstat(QFile::encodeName(e.Path).constData(), &st) == 0 &&
            S_ISREG(st.st_mode) && st.st_size > 0 && quint64(st.st_size) < offerSize) {
            out.Choice = TDccAutoChoice::Resume;
            out.Path = e.Path;
            out.ResumePosition = quint64(st.st_size);
            return out;
        }
    }
    if (plan.Complete) {
        out.SkipReason = "the file is already complete";
        return out;
    }
    if (plan.ReceivePath.isEmpty()) {
        out.SkipReason = "no free file name";
        return out;
    }
    out.Choice = TDccAutoChoice::Receive;
    out.Path = plan.ReceivePath;
    return out;
}

// ---------------------------------------------------------------------------
// TDccFile

TDccFile::~TDccFile()
{
    Close();
}

bool TDccFile::fail(const char* what)
{
    const int error = errno;
    error_ = QByteArray(what) + ": " + std::strerror(error);
    Close();
    errno = error;
    return false;
}

bool TDccFile::OpenRead(const QString& path)
{
    Close();
    path_ = path;
    // Non-blocking, so that a FIFO cannot hold up the open; refused below.
    fd_ = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0)
        return fail("cannot open");
    struct stat st;
    if (::fstat(fd_, &st) != 0)
        return fail("cannot read");
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return fail("not a plain file");
    }
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    size_ = quint64(st.st_size);
    return true;
}

bool TDccFile::CreateNew(const QString& path)
{
    Close();
    path_ = path;
    fd_ = ::open(QFile::encodeName(path).constData(),
                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ < 0)
        return fail("cannot create");
    size_ = 0;
    return true;
}

bool TDccFile::CreateUnique(const QString& folder, const QString& name)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QString free = UniqueFileName(folder, name);
        if (free.isEmpty()) {
            errno = EEXIST;
            return fail("no free name");
        }
        if (CreateNew(folder + u'/' + free))
            return true;
        if (errno != EEXIST)
            return false;
    }
    return false;
}

bool TDccFile::OpenResume(const QString& path, quint64 size)
{
    Close();
    path_ = path;
    // Non-blocking, so that a FIFO put there since cannot hold up the open
    // waiting for a reader; refused below.
    fd_ =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0)
        return fail("cannot open");
    struct stat st;
    if (::fstat(fd_, &st) != 0)
        return fail("cannot read");
    if (!S_ISREG(st.st_mode) || quint64(st.st_size) != size) {
        errno = ESTALE;
        return fail("the partial file changed");
    }
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    size_ = size;
    return Seek(size);
}

bool TDccFile::Seek(quint64 position)
{
    if (fd_ < 0) {
        errno = EBADF;
        error_ = "cannot seek: " + QByteArray(std::strerror(errno));
        return false;
    }
    if (seekFault_) {
        errno = std::exchange(seekFault_, 0);
        return fail("cannot seek");
    }
    if (position > quint64(std::numeric_limits<off_t>::max()) ||
        ::lseek(fd_, off_t(position), SEEK_SET) < 0) {
        if (position > quint64(std::numeric_limits<off_t>::max()))
            errno = EINVAL;
        return fail("cannot seek");
    }
    return true;
}

bool TDccFile::Write(QByteArrayView data)
{
    const char* p = data.data();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd_, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return fail("cannot write");
        }
        p += n;
        left -= n;
    }
    return true;
}

qint64 TDccFile::Read(char* buffer, qint64 length)
{
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, size_t(length));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            fail("cannot read");
            return -1;
        }
        return n;
    }
}

void TDccFile::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

} // namespace Zentrel
