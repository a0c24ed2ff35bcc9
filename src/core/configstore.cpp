#include "configstore.h"

#include "safefile.h"
#include "storageproblems.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

ConfigStore::ConfigStore(QString filePath) : m_filePath(std::move(filePath)) {}

bool ConfigStore::exists() const
{
    return QFileInfo(m_filePath).isFile();
}

IniDocument ConfigStore::read() const
{
    return load().value_or(IniDocument());
}

std::optional<IniDocument> ConfigStore::load(QString *error) const
{
    // Nothing there: the first write makes the file. A link or anything but a regular file
    // is not read, and so never written over.
    std::optional<QByteArray> bytes = SafeFile::read(m_filePath, error);
    if (!bytes)
        return std::nullopt;
    return IniDocument(std::move(*bytes));
}

QString ConfigStore::readString(const QString &section, const QString &key,
                                const QString &fallback) const
{
    return read().value(section, key).value_or(fallback);
}

int ConfigStore::readInteger(const QString &section, const QString &key, int fallback) const
{
    const auto text = read().value(section, key);
    return text ? parseLenientInteger(*text, fallback) : fallback;
}

bool ConfigStore::writeString(const QString &section, const QString &key, const QString &value)
{
    return writeStrings(section, {{key, value}});
}

bool ConfigStore::writeStrings(const QString &section, const QList<std::pair<QString, QString>> &values)
{
    QList<Value> all = m_unsaved;
    for (const auto &[key, value] : values)
        all.append({section, key, value});
    return writeValues(all);
}

bool ConfigStore::writeUnsaved()
{
    return m_unsaved.isEmpty() || writeValues(m_unsaved);
}

bool ConfigStore::writeValues(const QList<Value> &values)
{
    QString error;
    const bool written = [&] {
        // Read again before every write: another instance or a person may have changed the
        // file. One that cannot be read is left as it is: writing it from nothing would drop
        // every other setting.
        std::optional<IniDocument> document = load(&error);
        if (!document)
            return false;
        bool changed = false;
        for (const Value &v : values) {
            if (document->value(v.section, v.key) == v.value)
                continue;
            document->setValue(v.section, v.key, v.value);
            changed = true;
        }
        // What the file holds already is not written again.
        if (!changed)
            return true;

        return SafeFile::replace(m_filePath, document->bytes(), &error);
    }();

    if (written) {
        m_unsaved.clear();
    } else {
        // The newest value of a key is the one to keep.
        QList<Value> kept;
        for (const Value &v : values) {
            kept.erase(std::remove_if(kept.begin(), kept.end(),
                                      [&](const Value &k) {
                                          return k.section.compare(v.section, Qt::CaseInsensitive) == 0 &&
                                                 k.key.compare(v.key, Qt::CaseInsensitive) == 0;
                                      }),
                       kept.end());
            kept.append(v);
        }
        m_unsaved = kept;
    }
    if (m_problems)
        m_problems->report(m_filePath, written, error, [this] { writeUnsaved(); });
    return written;
}

int parseLenientInteger(const QString &text, int fallback)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    int value = 0;
    if (trimmed.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        value = trimmed.mid(2).toInt(&ok, 16);
    else
        value = trimmed.toInt(&ok, 10);
    return ok ? value : fallback;
}

std::optional<int> parseStrictInteger(const QString &text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}
