#include "configstore.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

ConfigStore::ConfigStore(QString filePath) : m_filePath(std::move(filePath)) {}

bool ConfigStore::exists() const
{
    return QFileInfo(m_filePath).isFile();
}

IniDocument ConfigStore::read() const
{
    QFile file(m_filePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return IniDocument(file.readAll());
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
    // Read again before every write: another instance or a person may have changed the file.
    IniDocument document = read();
    bool changed = false;
    for (const auto &[key, value] : values) {
        if (document.value(section, key) == value)
            continue;
        document.setValue(section, key, value);
        changed = true;
    }
    // What the file holds already is not written again.
    if (!changed)
        return true;

    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(document.bytes()) != document.bytes().size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
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
