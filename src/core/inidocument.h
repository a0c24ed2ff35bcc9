#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

// An INI file held as its raw bytes. Reads scan the text; a write replaces or inserts the
// one line it changes and leaves every other byte as it was, so sections, keys, comments
// and odd lines that a person put into the file survive our writes untouched.
// Section and key names compare without regard to case; values are taken as they stand
// after the first "=" (no trimming: a leading blank is part of the value).
class IniDocument
{
public:
    IniDocument() = default;
    explicit IniDocument(QByteArray bytes);

    const QByteArray &bytes() const { return m_bytes; }
    bool isEmpty() const { return m_bytes.isEmpty(); }
    // The file's text is taken as UTF-8 (a byte-order mark, or valid UTF-8 with characters
    // beyond two bytes); otherwise as GB18030.
    bool isUtf8() const { return m_encoding == Encoding::Utf8; }

    // Keys of every section with this name, lower-cased; the first occurrence of a key wins.
    QHash<QString, QString> section(QStringView name) const;
    std::optional<QString> value(QStringView section, QStringView key) const;
    void setValue(const QString &section, const QString &key, const QString &value);

private:
    enum class Encoding { Gb18030, Utf8 };
    QString decodeLine(qsizetype start, qsizetype length) const;
    QByteArray encodeLine(const QString &text) const;

    QByteArray m_bytes;
    Encoding m_encoding = Encoding::Gb18030;
    qsizetype m_bodyStart = 0; // after a UTF-8 byte-order mark
};
