#pragma once

#include <QLoggingCategory>

// Diagnostics of this folder, for a user to turn on alone:
// QT_LOGGING_RULES="sablix.adblock.debug=true". Warnings show by default.
inline const QLoggingCategory &lcAdblock()
{
    static const QLoggingCategory category("sablix.adblock", QtWarningMsg);
    return category;
}
