#include "safefile.h"

#include <QFile>
#include <QMutex>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SafeFile {
namespace {

// From this size on, the pages of what is read are made at once.
constexpr qsizetype kPopulateBytes = 1024 * 1024;

QMutex g_handlerLock;
RefusalHandler g_handler;

void refuse(const QString &path, const QString &reason, QString *error)
{
    if (error)
        *error = reason;
    RefusalHandler handler;
    {
        QMutexLocker locker(&g_handlerLock);
        handler = g_handler;
    }
    if (handler)
        handler(path, reason);
}

QString tooLarge(qint64 maxBytes)
{
    return QStringLiteral("大于 %1 KiB").arg(maxBytes / 1024);
}

} // namespace

QString refusedKind(unsigned int mode)
{
    if (S_ISREG(mode))
        return {};
    if (S_ISLNK(mode))
        return QStringLiteral("是链接");
    if (S_ISFIFO(mode))
        return QStringLiteral("是管道");
    if (S_ISDIR(mode))
        return QStringLiteral("是文件夹");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("是设备");
    return QStringLiteral("不是普通文件");
}

void setRefusalHandler(RefusalHandler handler)
{
    QMutexLocker locker(&g_handlerLock);
    g_handler = std::move(handler);
}

std::optional<QByteArray> read(const QString &path, QString *error, qint64 maxBytes)
{
    const QByteArray name = QFile::encodeName(path);
    // Not blocking: a FIFO opens at once instead of waiting for a writer. Not following a
    // link: what is read is the file of ours, not where someone pointed it.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int failure = errno;
        if (failure == ENOENT || failure == ENOTDIR)
            return QByteArray();
        struct stat info {};
        if (failure == ELOOP && ::lstat(name.constData(), &info) == 0 && S_ISLNK(info.st_mode)) {
            refuse(path, refusedKind(info.st_mode), error);
            return std::nullopt;
        }
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(failure));
        return std::nullopt;
    }
    struct stat info {};
    QString refusal;
    if (::fstat(fd, &info) != 0)
        refusal = QString::fromLocal8Bit(std::strerror(errno));
    else if (const QString kind = refusedKind(info.st_mode); !kind.isEmpty())
        refusal = kind;
    else if (info.st_size > maxBytes)
        refusal = tooLarge(maxBytes);
    if (!refusal.isEmpty()) {
        ::close(fd);
        refuse(path, refusal, error);
        return std::nullopt;
    }
    // Read to the end rather than to the size the file claims (files under /proc claim
    // none), and never past the bound; straight into the array, whose pages a large file
    // has made in one call rather than one fault at a time, in large pages where the system
    // allows (the filters' cache, some 13 MB, is read this way on every start; in small pages,
    // copying it in and checking it cost a cold start three times as long).
    QByteArray bytes;
    bytes.resize(qsizetype(qMin<qint64>(info.st_size, maxBytes)) + 1);
#ifdef MADV_POPULATE_WRITE
    if (bytes.size() >= kPopulateBytes) {
        const auto page = quintptr(::sysconf(_SC_PAGESIZE));
        const quintptr begin = (quintptr(bytes.data()) + page - 1) & ~(page - 1);
        const quintptr end = quintptr(bytes.data() + bytes.size()) & ~(page - 1);
        if (end > begin) {
            ::madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE); // a hint too
            ::madvise(reinterpret_cast<void *>(begin), end - begin, MADV_POPULATE_WRITE); // a hint: may fail
        }
    }
#endif
    qsizetype have = 0;
    for (;;) {
        if (have == bytes.size()) {
            if (have > maxBytes) {
                ::close(fd);
                refuse(path, tooLarge(maxBytes), error);
                return std::nullopt;
            }
            bytes.resize(qsizetype(qMin<qint64>(qMax<qint64>(2 * qint64(have), 65536), maxBytes + 1)));
        }
        const ssize_t got = ::read(fd, bytes.data() + have, size_t(bytes.size() - have));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int failure = errno;
            ::close(fd);
            if (error)
                *error = QString::fromLocal8Bit(std::strerror(failure));
            return std::nullopt;
        }
        if (got == 0)
            break;
        have += got;
    }
    // The array never holds more than the bound and one byte, and a full one was refused
    // above: what was read fits.
    bytes.truncate(have);
    ::close(fd);
    return bytes;
}

bool acceptable(const QString &path, qint64 maxBytes)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR;
    QString refusal = refusedKind(info.st_mode);
    if (refusal.isEmpty() && info.st_size > maxBytes)
        refusal = tooLarge(maxBytes);
    if (refusal.isEmpty())
        return true;
    refuse(path, refusal, nullptr);
    return false;
}

bool replace(const QString &path, const QByteArray &bytes, QString *error)
{
    // QSaveFile writes to a link's target: a link planted at one of our files would have us
    // overwrite whatever it points at. What read() refuses is not written either.
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) == 0) {
        if (const QString kind = refusedKind(info.st_mode); !kind.isEmpty()) {
            refuse(path, kind, error);
            return false;
        }
    }
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    if (error)
        *error = file.errorString();
    file.cancelWriting();
    return false;
}

} // namespace SafeFile
