#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

// The status-bar clock's text: "A-B-C_D:E:F" expanded one character at a time, the letters
// standing for year, month, day, hour, minute and second, the rest for themselves.
namespace ClockFormat {

inline const QString kFormat = QStringLiteral("A-B-C_D:E:F");

// Part n (1 to 6) of the date and time: the year as it is, the others in two digits;
// any other n gives empty text.
QString datePart(int n, const QDateTime &now);

// Each part reads the clock anew, as a tick does.
QString expand(const QString &format, const std::function<QDateTime()> &clock);

} // namespace ClockFormat
