#include "pagecaption.h"

#include "../core/textcodec.h"

namespace PageCaption {

QString leftChars(const QString &text, qsizetype count)
{
    if (text.size() <= count)
        return text;
    if (count > 0 && text.at(count - 1).isHighSurrogate())
        --count;
    return text.left(count);
}

QString fullTitle(const QString &title)
{
    if (title.size() > 52)
        return leftChars(title, 52) + QStringLiteral("...");
    return title;
}

QString shortTitle(const QString &title)
{
    QString caption;
    if (title.size() <= 10 || title.trimmed().toLower() == QLatin1String("about:blank"))
        caption = title;
    else
        caption = leftChars(title, 8) + QStringLiteral("..");

    const int bytes = TextCodec::byteLength(caption);
    if (bytes < 10) {
        const int blanks = 10 - bytes;
        const int before = (blanks + 1) / 2;
        caption = QString(before, QLatin1Char(' ')) + caption + QString(blanks - before, QLatin1Char(' '));
    }
    if (caption.toLower() == QLatin1String("about:blank"))
        caption = kBlankCaption;
    return caption;
}

QString tabText(const QString &caption)
{
    QString text = caption;
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace PageCaption
