#include "partfile.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace PartFile {

QString keptPath(const QString &part)
{
    const QFileInfo info(part);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".keep");
}

namespace {

bool sameFile(const QByteArray &a, const QByteArray &b)
{
    struct stat x {}, y {};
    return ::stat(a.constData(), &x) == 0 && ::stat(b.constData(), &y) == 0 && x.st_ino == y.st_ino && x.st_dev == y.st_dev;
}

} // namespace

bool hold(const QString &arriving, const QString &part)
{
    const QByteArray kept = QFile::encodeName(keptPath(part));
    const QByteArray file = QFile::encodeName(arriving);
    if (!QFileInfo::exists(arriving))
        return false;
    if (sameFile(kept, file))
        return true;
    // Whatever else holds the name is not this download's file.
    ::unlink(kept.constData());
    // A hard link: the same file, so nothing is copied and every byte written shows in both.
    return ::link(file.constData(), kept.constData()) == 0;
}

void restore(const QString &part)
{
    const QString kept = keptPath(part);
    const QString engineFile = part + QStringLiteral(".download");
    const QByteArray from = QFile::encodeName(kept);
    const QByteArray to = QFile::encodeName(part);
    // The most that arrived. An attempt that began and broke off between two looks has no
    // hidden name: the engine's own file, where the engine left it, holds what it brought.
    const QByteArray engineBytes = QFile::encodeName(engineFile);
    if (QFileInfo::exists(engineFile) && !sameFile(from, engineBytes) && QFileInfo(engineFile).size() >= QFileInfo(kept).size() &&
        (!QFileInfo::exists(part) || sameFile(to, from))) {
        if (::rename(engineBytes.constData(), to.constData()) == 0) {
            ::unlink(from.constData());
            return;
        }
    }
    if (!QFileInfo::exists(kept))
        return;
    // The engine may have tried again after an earlier break: the hidden name holds the
    // attempt that brought the most.
    if (::rename(from.constData(), to.constData()) != 0) {
        // Nothing hidden keeps the space of a file that could not be brought back.
        ::unlink(from.constData());
        return;
    }
    // Both names of one file: rename leaves them both, and the hidden one is not needed.
    if (sameFile(from, to))
        ::unlink(from.constData());
    QFile::remove(engineFile);
}

void release(const QString &part)
{
    QFile::remove(keptPath(part));
}

void dropOrphan(const QString &part)
{
    if (!QFileInfo::exists(part) && !QFileInfo::exists(part + QStringLiteral(".download")))
        release(part);
}

bool unused(const QString &part)
{
    // QFileInfo::exists follows links: a dangling one holds the name as well.
    auto there = [](const QString &path) { return QFileInfo(path).isSymLink() || QFileInfo::exists(path); };
    return !there(part) && !there(part + QStringLiteral(".download")) && !there(keptPath(part));
}

} // namespace PartFile
