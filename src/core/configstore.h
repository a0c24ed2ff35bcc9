#pragma once

#include "inidocument.h"

#include <QString>

#include <optional>

class StorageProblems;

// Config.ini beside the program: every read names a default, every write goes straight to
// the file (one key per write) and replaces it atomically, so a crash or a full disk
// leaves the previous file whole. A write that fails is kept and goes into the next write
// (or the retry of the problems channel), so the file catches up with the live values.
class ConfigStore
{
public:
    explicit ConfigStore(QString filePath);

    // Where failed writes are reported; none by default.
    void setProblems(StorageProblems *problems) { m_problems = problems; }

    const QString &filePath() const { return m_filePath; }
    bool exists() const;

    // The whole file as it is now; a missing or unreadable file gives an empty document.
    IniDocument read() const;
    // The same, but an existing file that cannot be read gives nothing (and the reason):
    // only a missing file is an empty document.
    std::optional<IniDocument> load(QString *error = nullptr) const;

    QString readString(const QString &section, const QString &key, const QString &fallback) const;
    int readInteger(const QString &section, const QString &key, int fallback) const;

    // Returns false when the file could not be read or replaced; callers keep their live
    // value. An existing file that cannot be read is never replaced.
    bool writeString(const QString &section, const QString &key, const QString &value);
    // Several keys of one section in one replacement of the file, in order: the result
    // is that of writing them one after another.
    bool writeStrings(const QString &section, const QList<std::pair<QString, QString>> &values);

    // Values whose write failed, not yet in the file.
    bool hasUnsaved() const { return !m_unsaved.isEmpty(); }
    // Writes them now; true when none is left.
    bool writeUnsaved();

private:
    struct Value
    {
        QString section, key, value;
    };
    bool writeValues(const QList<Value> &values);

    QString m_filePath;
    StorageProblems *m_problems = nullptr;
    QList<Value> m_unsaved;
};

inline const QString kRunData = QStringLiteral("RunData");

// Decimal text, or hexadecimal after "0x"; anything else gives the fallback.
int parseLenientInteger(const QString &text, int fallback);

// Decimal text only (surrounding blanks allowed); anything else gives nothing.
std::optional<int> parseStrictInteger(const QString &text);
