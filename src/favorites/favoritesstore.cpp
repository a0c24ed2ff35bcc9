#include "favoritesstore.h"

#include "../core/safefile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

#include <functional>
#include <optional>

namespace {

const QString kSuffix = QStringLiteral(".url");

QString shortcutText(const QString &url)
{
    return QStringLiteral("[InternetShortcut]\r\nURL=") + url + QStringLiteral("\r\n");
}

bool writeAtomically(const QString &path, const QByteArray &bytes)
{
    return SafeFile::replace(path, bytes);
}

// A file that was not there: nothing is replaced, so it needs no temporary file and no
// sync to disk (thousands of them in an import would each wait for the disk).
bool writeNew(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    if (file.write(bytes) == bytes.size() && file.flush())
        return true;
    file.remove();
    return false;
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
    const std::optional<QByteArray> read = SafeFile::read(path, nullptr, kMaxShortcutBytes);
    if (!read)
        return {};
    const QByteArray &bytes = *read;
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
    if (!QFileInfo::exists(candidate))
        return candidate;
    const QString key = candidate;
    int n = m_batch ? qMax(2, m_nextFreeNumber.value(key)) : 2;
    for (;; ++n) {
        candidate = folder + QLatin1Char('/') + name + QStringLiteral(" (%1)").arg(n) + suffix;
        if (!QFileInfo::exists(candidate))
            break;
    }
    if (m_batch)
        m_nextFreeNumber.insert(key, n + 1);
    return candidate;
}

QString FavoritesStore::add(const QString &folder, const QString &name, const QString &url)
{
    const QString into = folder.isEmpty() ? m_root : folder;
    if (!within(into) || url.trimmed().isEmpty() || url.contains(QLatin1Char('\n')) || url.contains(QLatin1Char('\r')))
        return {};
    QDir().mkpath(into);
    const QString path = freeName(into, safeName(name), kSuffix);
    const QByteArray bytes = shortcutText(url.trimmed()).toUtf8();
    if (!(m_batch ? writeNew(path, bytes) : writeAtomically(path, bytes)))
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

QString FavoritesStore::moveInto(const QString &path, const QString &toFolder)
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

namespace {

// The first href="..." or href='...' of a tag's attributes. A quote that never closes is
// looked for once: the walk stays one pass over the text, whatever the attributes hold.
std::optional<QString> hrefOf(QStringView attributes)
{
    const qsizetype size = attributes.size();
    bool doubleUnclosed = false, singleUnclosed = false;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = attributes.indexOf(u"href", from, Qt::CaseInsensitive);
        if (at < 0)
            return std::nullopt;
        from = at + 1;
        qsizetype i = at + 4;
        while (i < size && attributes.at(i).isSpace())
            ++i;
        if (i >= size || attributes.at(i) != QLatin1Char('='))
            continue;
        ++i;
        while (i < size && attributes.at(i).isSpace())
            ++i;
        if (i >= size)
            return std::nullopt;
        const QChar quote = attributes.at(i);
        const bool isDouble = quote == QLatin1Char('"');
        if ((!isDouble && quote != QLatin1Char('\'')) || (isDouble ? doubleUnclosed : singleUnclosed))
            continue;
        const qsizetype close = attributes.indexOf(quote, i + 1);
        if (close >= 0)
            return attributes.mid(i + 1, close - i - 1).toString();
        (isDouble ? doubleUnclosed : singleUnclosed) = true;
    }
}

} // namespace

FavoritesStore::ImportResult FavoritesStore::importBookmarkFile(const QString &file, const QString &intoFolder)
{
    ImportResult result;
    // The file the user chose: a link they chose is followed, to the file it names.
    const QFileInfo chosen(file);
    const std::optional<QByteArray> bytes =
        SafeFile::read(chosen.isSymLink() ? chosen.canonicalFilePath() : file, nullptr, kMaxBookmarkFileBytes);
    if (!bytes)
        return result;
    const QString text = QString::fromUtf8(*bytes);
    QStringList folders{intoFolder.isEmpty() ? m_root : intoFolder};
    if (!within(folders.first()))
        return result;
    QDir().mkpath(folders.first());
    m_batch = true;

    // A tolerant walk over the tags that matter: <H3> names the folder the next <DL> opens,
    // </DL> closes one, <A HREF> is a bookmark. Everything else is passed over. Every
    // search below only moves forward through the text, so a hostile file (thousands of
    // "<a" without ">" or "</a>") costs one pass, not one pass per tag.
    const qsizetype size = text.size();
    qsizetype tagEnd = -1; // the next ">" at or after the tag being read
    // The next "</a" and "</h3" at or after a position; -2 for not looked for yet.
    struct NextClose
    {
        QString element;
        qsizetype at = -2;
    };
    NextClose closeA{QStringLiteral("</a")}, closeH3{QStringLiteral("</h3")};
    auto textUntilClose = [&](NextClose &close, qsizetype from) {
        if (close.at != -1 && close.at < from)
            close.at = text.indexOf(close.element, from, Qt::CaseInsensitive);
        const qsizetype at = close.at;
        return htmlUnescaped(text.mid(from, at < 0 ? 0 : qMin<qsizetype>(at - from, 1000))).simplified();
    };
    auto isNameChar = [](QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); };

    QString pendingFolder;
    bool sawFirstList = false;
    int foldersMade = 0;
    qsizetype pos = 0;
    while (pos < size) {
        const qsizetype open = text.indexOf(QLatin1Char('<'), pos);
        if (open < 0)
            break;
        if (tagEnd < open) {
            tagEnd = text.indexOf(QLatin1Char('>'), open);
            if (tagEnd < 0)
                break; // no tag can end any more
        }
        pos = open + 1;
        qsizetype at = open + 1;
        const bool closing = at < size && text.at(at) == QLatin1Char('/');
        if (closing)
            ++at;
        qsizetype nameEnd = at;
        while (nameEnd < size && isNameChar(text.at(nameEnd)))
            ++nameEnd;
        const QString name = text.mid(at, nameEnd - at).toLower();
        if (name != QLatin1String("a") && name != QLatin1String("dl") && name != QLatin1String("h3"))
            continue;
        const QString attributes = text.mid(nameEnd, tagEnd - nameEnd);
        const qsizetype end = tagEnd + 1;
        pos = end;

        if (name == QLatin1String("h3") && !closing) {
            pendingFolder = textUntilClose(closeH3, end);
        } else if (name == QLatin1String("dl") && !closing) {
            if (!sawFirstList) {
                sawFirstList = true; // the list of the file itself
                pendingFolder.clear();
                continue;
            }
            if (folders.size() > kMaxDepth || foldersMade >= kMaxImportedFolders) {
                result.skipped++;
                folders << folders.last();
            } else {
                const QString made = createFolder(folders.last(), pendingFolder.isEmpty() ? QStringLiteral("文件夹") : pendingFolder);
                foldersMade += made.isEmpty() ? 0 : 1;
                folders << (made.isEmpty() ? folders.last() : made);
            }
            pendingFolder.clear();
        } else if (name == QLatin1String("dl") && closing) {
            if (folders.size() > 1)
                folders.removeLast();
        } else if (name == QLatin1String("a") && !closing) {
            if (result.imported >= kMaxImported) {
                result.skipped++;
                continue;
            }
            const std::optional<QString> link = hrefOf(attributes);
            const QString url = htmlUnescaped(link.value_or(QString())).trimmed();
            const QString title = textUntilClose(closeA, end);
            if (!link || url.isEmpty() || !openable(url) ||
                add(folders.last(), title.isEmpty() ? url : title, url).isEmpty())
                result.skipped++;
            else
                result.imported++;
        }
    }
    m_nextFreeNumber.clear();
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
