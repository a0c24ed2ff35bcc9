#include "downloadnames.h"

#include "partfile.h"

#include <QDir>
#include <QFileInfo>

namespace DownloadNames {

QString safe(const QString &suggested)
{
    QString name = suggested;
    // Only the last part: "../../.bashrc" and "a\\b" name no folder here.
    name = name.mid(qMax(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\'))) + 1);
    QString clean;
    for (const QChar c : name)
        clean += (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format) ? QLatin1Char('_') : c;
    clean = clean.trimmed();
    while (clean.startsWith(QLatin1Char('.')))
        clean.remove(0, 1);
    clean = clean.trimmed();
    if (clean.isEmpty())
        return QStringLiteral("下载");
    // Most file systems hold 255 bytes in a name; ".part" is added while it arrives.
    constexpr int kMaxBytes = 200;
    if (clean.toUtf8().size() > kMaxBytes) {
        const QString suffix = QFileInfo(clean).suffix().left(16);
        QString base = suffix.isEmpty() ? clean : clean.left(clean.size() - suffix.size() - 1);
        while (!base.isEmpty() && (base + QLatin1Char('.') + suffix).toUtf8().size() > kMaxBytes)
            base.chop(base.size() >= 2 && base.at(base.size() - 1).isLowSurrogate() ? 2 : 1);
        clean = suffix.isEmpty() ? base : base + QLatin1Char('.') + suffix;
    }
    return clean;
}

QString freePath(const QString &folder, const QString &name)
{
    const QDir dir(folder);
    auto taken = [&](const QString &candidate) {
        // Its ".part", and the engine's file for that, hold the name as well.
        return QFileInfo::exists(dir.filePath(candidate)) || QFileInfo::exists(dir.filePath(candidate + QStringLiteral(".part"))) ||
               QFileInfo::exists(dir.filePath(candidate + QStringLiteral(".part.download")));
    };
    if (!taken(name))
        return dir.filePath(name);
    const QFileInfo info(name);
    const QString suffix = info.suffix();
    const QString base = suffix.isEmpty() ? name : name.left(name.size() - suffix.size() - 1);
    for (int n = 2;; ++n) {
        const QString candidate = base + QStringLiteral(" (%1)").arg(n) + (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
        if (!taken(candidate))
            return dir.filePath(candidate);
    }
}

QString partPath(const QString &finalPath)
{
    QString part = finalPath + QStringLiteral(".part");
    for (int n = 2; !PartFile::unused(part); ++n)
        part = finalPath + QStringLiteral(".%1.part").arg(n);
    return part;
}

} // namespace DownloadNames
