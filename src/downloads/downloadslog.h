#pragma once

#include <QLoggingCategory>

// Diagnostics of this folder, for a user to turn on alone:
// QT_LOGGING_RULES="sablix.downloads.debug=true". Warnings show by default.
inline const QLoggingCategory &lcDownloads()
{
    static const QLoggingCategory category("sablix.downloads", QtWarningMsg);
    return category;
}
