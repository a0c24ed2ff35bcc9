#include "addressnormalizer.h"

#include "weblinks.h"

namespace AddressNormalizer {
namespace {

bool startsWithScheme(const QString &text)
{
    for (const char *scheme : {"http://", "https://", "file://", "ftp://"})
        if (text.startsWith(QLatin1String(scheme), Qt::CaseInsensitive))
            return true;
    return false;
}

bool hasNonAscii(const QString &text)
{
    for (QChar c : text)
        if (c.unicode() >= 0x80)
            return true;
    return false;
}

} // namespace

QString normalize(const QString &t)
{
    if (startsWithScheme(t))
        return t;
    // A drive path (C:\dir): the first ":" is the second character.
    if (t.size() >= 2 && t.indexOf(QLatin1Char(':')) == 1) {
        const qsizetype lastIndex = t.size() - 1;
        if (t.indexOf(QLatin1Char('\\')) == lastIndex || t.indexOf(QLatin1Char('/')) == lastIndex)
            return QStringLiteral("file://") + t;
        return QStringLiteral("file://") + t + QLatin1Char('/');
    }
    // An absolute path of this system.
    if (t.startsWith(QLatin1Char('/')))
        return QStringLiteral("file://") + t;
    if (t.contains(QLatin1Char('.')))
        return QStringLiteral("http://") + t;
    if (t.toLower() == QLatin1String("localhost"))
        return QStringLiteral("http://") + t;
    return WebLinks::searchAddress(WebLinks::firstEngineQuery(), t);
}

std::optional<QString> complete(const QString &t, Qt::KeyboardModifiers modifiers)
{
    const Qt::KeyboardModifiers relevant =
        modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (relevant == Qt::ControlModifier)
        return QStringLiteral("http://www.") + t + QStringLiteral(".com/");
    if (relevant == Qt::AltModifier)
        return QStringLiteral("http://www.") + t + QStringLiteral(".net/");
    if (relevant == Qt::ShiftModifier)
        return QStringLiteral("http://www.") + t + QStringLiteral(".com.cn/");
    return std::nullopt;
}

std::optional<QString> droppedAddress(const QString &text)
{
    if (hasNonAscii(text))
        return std::nullopt;
    const bool www = text.startsWith(QLatin1String("www."), Qt::CaseInsensitive);
    if (!startsWithScheme(text) && !www && !text.contains(QLatin1Char('.')))
        return std::nullopt;
    return www ? QStringLiteral("http://") + text : text;
}

} // namespace AddressNormalizer
