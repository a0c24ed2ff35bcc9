#pragma once

#include "inidocument.h"

#include <QString>

#include <optional>

// Config.ini beside the program: every read names a default, every write goes straight to
// the file (one key per write) and replaces it atomically, so a crash or a full disk
// leaves the previous file whole.
class ConfigStore
{
public:
    explicit ConfigStore(QString filePath);

    const QString &filePath() const { return m_filePath; }
    bool exists() const;

    // The whole file as it is now; a missing or unreadable file gives an empty document.
    IniDocument read() const;

    QString readString(const QString &section, const QString &key, const QString &fallback) const;
    int readInteger(const QString &section, const QString &key, int fallback) const;

    // Returns false when the file could not be replaced; callers keep their live value.
    bool writeString(const QString &section, const QString &key, const QString &value);
    // Several keys of one section in one replacement of the file, in order: the result
    // is that of writing them one after another.
    bool writeStrings(const QString &section, const QList<std::pair<QString, QString>> &values);

private:
    QString m_filePath;
};

inline const QString kRunData = QStringLiteral("RunData");

// Decimal text, or hexadecimal after "0x"; anything else gives the fallback.
int parseLenientInteger(const QString &text, int fallback);

// Decimal text only (surrounding blanks allowed); anything else gives nothing.
std::optional<int> parseStrictInteger(const QString &text);
