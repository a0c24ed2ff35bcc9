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

bool hold(const QString &arriving, const QString &part)
{
    const QString kept = keptPath(part);
    if (QFileInfo::exists(kept))
        return true;
    if (!QFileInfo::exists(arriving))
        return false;
    // A hard link: the same file, so nothing is copied and every byte written shows in both.
    return ::link(QFile::encodeName(arriving).constData(), QFile::encodeName(kept).constData()) == 0;
}

void restore(const QString &part)
{
    const QString kept = keptPath(part);
    if (!QFileInfo::exists(kept))
        return;
    // The latest attempt's bytes: the engine may have tried again after an earlier break.
    const QByteArray from = QFile::encodeName(kept);
    const QByteArray to = QFile::encodeName(part);
    if (::rename(from.constData(), to.constData()) != 0)
        return;
    // Both names of one file: rename leaves them both, and the hidden one is not needed.
    struct stat a {}, b {};
    if (::stat(from.constData(), &a) == 0 && ::stat(to.constData(), &b) == 0 && a.st_ino == b.st_ino && a.st_dev == b.st_dev)
        ::unlink(from.constData());
    QFile::remove(part + QStringLiteral(".download"));
}

void release(const QString &part)
{
    QFile::remove(keptPath(part));
}

} // namespace PartFile
