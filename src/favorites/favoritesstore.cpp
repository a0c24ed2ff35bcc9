#include "favoritesstore.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

#include <functional>

namespace {

const QString kSuffix = QStringLiteral(".url");

QString shortcutText(const QString &url)
{
    return QStringLiteral("[InternetShortcut]\r\nURL=") + url + QStringLiteral("\r\n");
}

bool writeAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

QString htmlEscaped(const QString &text)
{
    return text.toHtmlEscaped();
}

// Entities of the bookmark format: the named ones it uses, and numeric ones.
QString htmlUnescaped(QString text)
{
    static const QRegularExpression numeric(QStringLiteral("&#(x?)([0-9a-fA-F]{1,6});"));
    QRegularExpressionMatch match;
    qsizetype from = 0;
    while ((match = numeric.match(text, from)).hasMatch()) {
        bool ok = false;
        const uint code = match.captured(1).isEmpty() ? match.captured(2).toUInt(&ok, 10) : match.captured(2).toUInt(&ok, 16);
        const QString replacement = ok && code > 0 && code <= 0x10FFFF ? QString::fromUcs4(reinterpret_cast<const char32_t *>(&code), 1)
                                                                        : QString();
        text.replace(match.capturedStart(), match.capturedLength(), replacement);
        from = match.capturedStart() + replacement.size();
    }
    text.replace(QLatin1String("&lt;"), QLatin1String("<"));
    text.replace(QLatin1String("&gt;"), QLatin1String(">"));
    text.replace(QLatin1String("&quot;"), QLatin1String("\""));
    text.replace(QLatin1String("&#39;"), QLatin1String("'"));
    text.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return text;
}

} // namespace

FavoritesStore::FavoritesStore(const QString &root, QObject *parent) : QObject(parent), m_root(QDir(root).absolutePath())
{
}

QString FavoritesStore::defaultRoot()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/sablix/Favorites");
}

QString FavoritesStore::safeName(const QString &title)
{
    QString name;
    for (const QChar c : title.simplified()) {
        const bool forbidden = c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control ||
                               c.category() == QChar::Other_Format;
        name += forbidden ? QLatin1Char('_') : c;
    }
    while (name.startsWith(QLatin1Char('.')) || name.startsWith(QLatin1Char(' ')))
        name.remove(0, 1);
    if (name.size() > kMaxNameLength) {
        qsizetype cut = kMaxNameLength;
        if (name.at(cut - 1).isHighSurrogate())
            --cut;
        name.truncate(cut);
    }
    name = name.trimmed();
    return name.isEmpty() ? QStringLiteral("未命名") : name;
}

bool FavoritesStore::openable(const QString &url)
{
    const QString scheme = QUrl(url.trimmed()).scheme().toLower();
    return !url.trimmed().isEmpty() && scheme != QLatin1String("javascript") && scheme != QLatin1String("data") &&
           scheme != QLatin1String("vbscript");
}

QString FavoritesStore::readShortcut(const QString &path)
{
    QFile file(path);
    if (file.size() > kMaxShortcutBytes || !file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.read(kMaxShortcutBytes);
    if (bytes.contains('\0'))
        return {};
    bool inSection = false;
    for (QByteArray line : bytes.split('\n')) {
        line = line.trimmed();
        if (line.startsWith('[')) {
            inSection = line.compare("[InternetShortcut]", Qt::CaseInsensitive) == 0;
            continue;
        }
        if (inSection && line.size() > 4 && line.left(4).compare("URL=", Qt::CaseInsensitive) == 0)
            return QString::fromUtf8(line.mid(4)).trimmed();
    }
    return {};
}

bool FavoritesStore::within(const QString &path) const
{
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    return absolute == m_root || absolute.startsWith(m_root + QLatin1Char('/'));
}

FavoritesStore::Folder FavoritesStore::readFolder(const QString &path, const QString &name, int depth) const
{
    Folder folder{name, path, {}, {}};
    if (depth > kMaxDepth)
        return folder;
    const QDir dir(path);
    for (const QFileInfo &entry : dir.entryInfoList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                                                    QDir::Name | QDir::DirsFirst | QDir::IgnoreCase)) {
        if (entry.isDir()) {
            folder.folders << readFolder(entry.absoluteFilePath(), entry.fileName(), depth + 1);
        } else if (entry.fileName().endsWith(kSuffix, Qt::CaseInsensitive)) {
            const QString url = readShortcut(entry.absoluteFilePath());
            if (!url.isEmpty())
                folder.favorites << Favorite{entry.completeBaseName(), url, entry.absoluteFilePath()};
        }
    }
    return folder;
}

FavoritesStore::Folder FavoritesStore::tree() const
{
    return readFolder(m_root, QStringLiteral("收藏夹"), 0);
}

QStringList FavoritesStore::addresses() const
{
    QStringList list;
    std::function<void(const Folder &)> collect = [&](const Folder &folder) {
        for (const Favorite &favorite : folder.favorites)
            if (openable(favorite.url))
                list << favorite.url;
        for (const Folder &sub : folder.folders)
            collect(sub);
    };
    collect(tree());
    return list;
}

QString FavoritesStore::freeName(const QString &folder, const QString &name, const QString &suffix) const
{
    QString candidate = folder + QLatin1Char('/') + name + suffix;
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = folder + QLatin1Char('/') + name + QStringLiteral(" (%1)").arg(n) + suffix;
    return candidate;
}

QString FavoritesStore::add(const QString &folder, const QString &name, const QString &url)
{
    const QString into = folder.isEmpty() ? m_root : folder;
    if (!within(into) || url.trimmed().isEmpty() || url.contains(QLatin1Char('\n')) || url.contains(QLatin1Char('\r')))
        return {};
    QDir().mkpath(into);
    const QString path = freeName(into, safeName(name), kSuffix);
    if (!writeAtomically(path, shortcutText(url.trimmed()).toUtf8()))
        return {};
    if (!m_batch)
        emit changed();
    return path;
}

QString FavoritesStore::createFolder(const QString &parent, const QString &name)
{
    const QString into = parent.isEmpty() ? m_root : parent;
    if (!within(into))
        return {};
    const QString path = freeName(into, safeName(name), QString());
    if (!QDir().mkpath(path))
        return {};
    if (!m_batch)
        emit changed();
    return path;
}

QString FavoritesStore::rename(const QString &path, const QString &newName)
{
    const QFileInfo info(path);
    if (!within(path) || QDir::cleanPath(info.absoluteFilePath()) == m_root || !info.exists())
        return {};
    const QString suffix = info.isDir() ? QString() : kSuffix;
    const QString target = freeName(info.absolutePath(), safeName(newName), suffix);
    if (!QFile::rename(path, target))
        return {};
    emit changed();
    return target;
}

QString FavoritesStore::move(const QString &path, const QString &toFolder)
{
    const QFileInfo info(path);
    const QString into = toFolder.isEmpty() ? m_root : toFolder;
    const QString cleanPath = QDir::cleanPath(info.absoluteFilePath());
    if (!within(path) || !within(into) || cleanPath == m_root || !info.exists())
        return {};
    // A folder does not go into itself.
    if (info.isDir() && (QDir::cleanPath(into) == cleanPath || QDir::cleanPath(into).startsWith(cleanPath + QLatin1Char('/'))))
        return {};
    const QString suffix = info.isDir() ? QString() : kSuffix;
    const QString base = info.isDir() ? info.fileName() : info.completeBaseName();
    const QString target = freeName(into, base, suffix);
    if (!QFile::rename(path, target))
        return {};
    emit changed();
    return target;
}

bool FavoritesStore::remove(const QString &path)
{
    const QFileInfo info(path);
    if (!within(path) || QDir::cleanPath(info.absoluteFilePath()) == m_root || !info.exists())
        return false;
    const bool removed = info.isDir() ? QDir(path).removeRecursively() : QFile::remove(path);
    if (removed)
        emit changed();
    return removed;
}

FavoritesStore::ImportResult FavoritesStore::importBookmarkFile(const QString &file, const QString &intoFolder)
{
    ImportResult result;
    QFile in(file);
    if (in.size() > kMaxBookmarkFileBytes || !in.open(QIODevice::ReadOnly))
        return result;
    const QString text = QString::fromUtf8(in.read(kMaxBookmarkFileBytes));
    QStringList folders{intoFolder.isEmpty() ? m_root : intoFolder};
    if (!within(folders.first()))
        return result;
    QDir().mkpath(folders.first());
    m_batch = true;

    // A tolerant walk over the tags that matter: <H3> names the folder the next <DL> opens,
    // </DL> closes one, <A HREF> is a bookmark. Everything else is passed over.
    static const QRegularExpression tag(QStringLiteral("<(/?)(dl|h3|a)\\b([^>]*)>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression href(QStringLiteral("href\\s*=\\s*(\"([^\"]*)\"|'([^']*)')"),
                                         QRegularExpression::CaseInsensitiveOption);
    QString pendingFolder;
    bool sawFirstList = false;
    QRegularExpressionMatchIterator it = tag.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const bool closing = !match.captured(1).isEmpty();
        const QString name = match.captured(2).toLower();
        const qsizetype end = match.capturedEnd();
        auto textUntilClose = [&](const QString &element) {
            const qsizetype close = text.indexOf(QStringLiteral("</") + element, end, Qt::CaseInsensitive);
            return htmlUnescaped(text.mid(end, close < 0 ? 0 : qMin<qsizetype>(close - end, 1000))).simplified();
        };
        if (name == QLatin1String("h3") && !closing) {
            pendingFolder = textUntilClose(QStringLiteral("h3"));
        } else if (name == QLatin1String("dl") && !closing) {
            if (!sawFirstList) {
                sawFirstList = true; // the list of the file itself
                pendingFolder.clear();
                continue;
            }
            if (folders.size() > kMaxDepth) {
                result.skipped++;
                folders << folders.last();
            } else {
                const QString made = createFolder(folders.last(), pendingFolder.isEmpty() ? QStringLiteral("文件夹") : pendingFolder);
                folders << (made.isEmpty() ? folders.last() : made);
            }
            pendingFolder.clear();
        } else if (name == QLatin1String("dl") && closing) {
            if (folders.size() > 1)
                folders.removeLast();
        } else if (name == QLatin1String("a") && !closing) {
            const QRegularExpressionMatch link = href.match(match.captured(3));
            const QString url = htmlUnescaped(link.captured(2) + link.captured(3)).trimmed();
            const QString title = textUntilClose(QStringLiteral("a"));
            if (result.imported >= kMaxImported || !link.hasMatch() || url.isEmpty() || !openable(url) ||
                add(folders.last(), title.isEmpty() ? url : title, url).isEmpty())
                result.skipped++;
            else
                result.imported++;
        }
    }
    m_batch = false;
    emit changed();
    return result;
}

bool FavoritesStore::exportBookmarkFile(const QString &file) const
{
    QString html = QStringLiteral("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                                  "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
                                  "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n");
    std::function<void(const Folder &, int)> write = [&](const Folder &folder, int depth) {
        const QString indent(depth * 4, QLatin1Char(' '));
        html += indent + QStringLiteral("<DL><p>\n");
        for (const Folder &sub : folder.folders) {
            html += indent + QStringLiteral("    <DT><H3>") + htmlEscaped(sub.name) + QStringLiteral("</H3>\n");
            write(sub, depth + 1);
        }
        for (const Favorite &favorite : folder.favorites)
            html += indent + QStringLiteral("    <DT><A HREF=\"") + htmlEscaped(favorite.url) + QStringLiteral("\">") +
                    htmlEscaped(favorite.name) + QStringLiteral("</A>\n");
        html += indent + QStringLiteral("</DL><p>\n");
    };
    write(tree(), 0);
    return writeAtomically(file, html.toUtf8());
}

FavoritesStore::ImportResult FavoritesStore::importShortcutFolder(const QString &folder, const QString &intoFolder)
{
    ImportResult result;
    const QString into = intoFolder.isEmpty() ? m_root : intoFolder;
    if (!within(into))
        return result;
    const QDir source(folder);
    m_batch = true;
    std::function<void(const QString &, const QString &, int)> copy = [&](const QString &from, const QString &to, int depth) {
        if (depth > kMaxDepth)
            return;
        for (const QFileInfo &entry : QDir(from).entryInfoList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot | QDir::NoSymLinks)) {
            if (entry.isDir()) {
                const QString made = createFolder(to, entry.fileName());
                if (!made.isEmpty())
                    copy(entry.absoluteFilePath(), made, depth + 1);
                continue;
            }
            const QString url = entry.fileName().endsWith(kSuffix, Qt::CaseInsensitive) ? readShortcut(entry.absoluteFilePath())
                                                                                         : QString();
            if (result.imported >= kMaxImported || url.isEmpty() || !openable(url) ||
                add(to, entry.completeBaseName(), url).isEmpty())
                result.skipped++;
            else
                result.imported++;
        }
    };
    if (source.exists())
        copy(source.absolutePath(), into, 0);
    m_batch = false;
    emit changed();
    return result;
}
