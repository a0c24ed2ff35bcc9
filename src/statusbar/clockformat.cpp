#include "clockformat.h"

namespace ClockFormat {

QString datePart(int n, const QDateTime &now)
{
    if (!now.isValid())
        return QString();
    const QDate date = now.date();
    const QTime time = now.time();
    auto twoDigits = [](int value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); };
    switch (n) {
    case 1:
        return QString::number(date.year());
    case 2:
        return twoDigits(date.month());
    case 3:
        return twoDigits(date.day());
    case 4:
        return twoDigits(time.hour());
    case 5:
        return twoDigits(time.minute());
    case 6:
        return twoDigits(time.second());
    default:
        return QString();
    }
}

QString expand(const QString &format, const QDateTime &now)
{
    QString text;
    for (QChar c : format) {
        const char16_t u = c.unicode();
        if (u >= u'A' && u <= u'F')
            text += datePart(int(u - u'A') + 1, now);
        else if (u == u'-' || u == u':' || u == u'_')
            text += c;
    }
    return text;
}

} // namespace ClockFormat
