#pragma once

#include <QLoggingCategory>

// Diagnostics of this folder, for a user to turn on alone:
// QT_LOGGING_RULES="sablix.passwords.debug=true". Warnings show by default. Never a password.
inline const QLoggingCategory &lcPasswords()
{
    static const QLoggingCategory category("sablix.passwords", QtWarningMsg);
    return category;
}
