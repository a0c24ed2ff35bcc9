#include "clockformat.h"

namespace ClockFormat {

namespace {

// Part n of a date and time, added to `text` digit by digit: the clock expands a format each
// second, and this is most of it.
void appendPart(QString &text, int n, QDate date, QTime time)
{
    const auto twoDigits = [&text](int value) {
        text += QChar(u'0' + value / 10);
        text += QChar(u'0' + value % 10);
    };
    switch (n) {
    case 1:
        text += QString::number(date.year());
        break;
    case 2:
        twoDigits(date.month());
        break;
    case 3:
        twoDigits(date.day());
        break;
    case 4:
        twoDigits(time.hour());
        break;
    case 5:
        twoDigits(time.minute());
        break;
    case 6:
        twoDigits(time.second());
        break;
    default:
        break;
    }
}

} // namespace

QString datePart(int n, const QDateTime &now)
{
    QString text;
    if (now.isValid())
        appendPart(text, n, now.date(), now.time());
    return text;
}

QString expand(const QString &format, const QDateTime &now)
{
    const QDate date = now.date();
    const QTime time = now.time();
    QString text;
    text.reserve(format.size() * 2);
    for (QChar c : format) {
        const char16_t u = c.unicode();
        if (u >= u'A' && u <= u'F') {
            if (now.isValid())
                appendPart(text, int(u - u'A') + 1, date, time);
        } else if (u == u'-' || u == u':' || u == u'_')
            text += c;
    }
    return text;
}

} // namespace ClockFormat
