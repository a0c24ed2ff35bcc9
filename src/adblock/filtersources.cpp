#include "filtersources.h"

#include "../core/listfile.h"
#include "../core/safefile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FilterSources {

QStringList packagedLists()
{
    QString folder = qEnvironmentVariable("SABLIX_FILTER_LISTS");
    if (folder.isEmpty())
        folder = QStringLiteral("/usr/share/chromium/extensions/ublock-origin/assets/thirdparties/easylist");
    return {folder + QStringLiteral("/easylist.txt"), folder + QStringLiteral("/easyprivacy.txt")};
}

QString userRules()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/sablix/filters.txt");
}

QString subscriptionsFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/sablix/subscriptions.txt");
}

QString subscriptionFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/sablix/lists");
}

QString subscriptionCopy(const QString &address)
{
    const QByteArray name = QCryptographicHash::hash(address.trimmed().toUtf8(), QCryptographicHash::Sha1).toHex();
    return subscriptionFolder() + QLatin1Char('/') + QString::fromLatin1(name.left(16)) + QStringLiteral(".txt");
}

QString refusal(const QString &path, qint64 limit, bool *missing)
{
    if (missing)
        *missing = false;
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT && missing)
            *missing = true;
        return error == ELOOP ? QStringLiteral("是链接") : QString::fromLocal8Bit(::strerror(error));
    }
    struct stat info{};
    const bool statted = ::fstat(fd, &info) == 0;
    ::close(fd);
    if (!statted || !S_ISREG(info.st_mode))
        return QStringLiteral("不是普通文件");
    if (info.st_size > limit)
        return QStringLiteral("文件过大");
    return QString();
}

std::optional<QByteArray> read(const QString &path, qint64 limit, QString *problem)
{
    bool missing = false;
    QString why = refusal(path, limit, &missing);
    if (why.isEmpty()) {
        // What is there now was a regular file of a sane size a moment ago; the bytes come
        // through the program's one reader, and a file that grew meanwhile is refused too.
        std::optional<QByteArray> bytes = SafeFile::read(path, &why);
        if (bytes && bytes->size() <= limit)
            return bytes;
        if (bytes)
            why = QStringLiteral("文件过大");
    }
    if (problem)
        *problem = missing ? QString() : why;
    return std::nullopt;
}

QStringList all()
{
    QStringList files = packagedLists();
    // Read as a list is, so that a planted FIFO does not hold the window up.
    const QStringList addresses =
        ListFile::decode(read(subscriptionsFile(), kMaxListBytes).value_or(QByteArray()));
    for (const QString &address : addresses) {
        const QString copy = subscriptionCopy(address);
        if (!address.trimmed().isEmpty() && QFileInfo::exists(copy))
            files << copy;
    }
    files << userRules();
    return files;
}

} // namespace FilterSources
