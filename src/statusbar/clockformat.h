#pragma once

#include <QDateTime>
#include <QString>

// The status-bar clock's text: "A-B-C_D:E:F" expanded one character at a time, the letters
// standing for year, month, day, hour, minute and second, the rest for themselves.
namespace ClockFormat {

inline const QString kFormat = QStringLiteral("A-B-C_D:E:F");

// Part n (1 to 6) of the date and time: the year as it is, the others in two digits;
// any other n gives empty text.
QString datePart(int n, const QDateTime &now);

// Every part from the one reading `now`: parts read one by one could straddle a second (or
// midnight) and show a time that never was.
QString expand(const QString &format, const QDateTime &now);

} // namespace ClockFormat
