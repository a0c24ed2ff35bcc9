#include "spelling.h"

#include <algorithm>

#include "../core/safefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>
#include <QStandardPaths>

namespace Spelling {
namespace {

const char kWordsFile[] = "SpellingWords.txt";
const char kLanguagesFile[] = "SpellingLanguages.ini";
const QString kLanguagesKey = QStringLiteral("Spelling/Languages");
// Debian's converted dictionaries, where a package ships them.
const char kSystemFolder[] = "/usr/share/hunspell-bdic";
constexpr int kMaxWordLength = 99;
constexpr qint64 kMaxWordsBytes = 1 << 20;

QString configFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/sablix/");
}

bool hasDictionaries(const QString &folder)
{
    return !folder.isEmpty() && !QDir(folder).entryList({QStringLiteral("*.bdic")}, QDir::Files).isEmpty();
}

} // namespace

QString dictionaryFolder()
{
    const QString chosen = qEnvironmentVariable("SABLIX_DICTIONARIES");
    if (!chosen.isEmpty())
        return hasDictionaries(chosen) ? chosen : QString();
    const QString appDir = QCoreApplication::applicationDirPath();
    // Beside the program in the build, under share/ once installed.
    for (const QString &folder : {appDir + QStringLiteral("/qtwebengine_dictionaries"),
                                  appDir + QStringLiteral("/../share/sablix/dictionaries"),
                                  QString::fromLatin1(kSystemFolder)})
        if (hasDictionaries(folder))
            return QDir(folder).canonicalPath();
    return {};
}

QStringList installedLanguages()
{
    const QString folder = dictionaryFolder();
    if (folder.isEmpty())
        return {};
    QStringList languages;
    for (const QFileInfo &file : QDir(folder).entryInfoList({QStringLiteral("*.bdic")}, QDir::Files, QDir::Name))
        languages << file.completeBaseName();
    return languages;
}

QStringList chosenLanguages()
{
    const QStringList installed = installedLanguages();
    const QString path = configFolder() + QLatin1String(kLanguagesFile);
    QStringList chosen;
    if (SafeFile::acceptable(path))
        for (const QString &language : QSettings(path, QSettings::IniFormat).value(kLanguagesKey).toStringList())
            if (installed.contains(language))
                chosen << language;
    if (!chosen.isEmpty() || installed.isEmpty())
        return chosen;
    for (const char *english : {"en-US", "en_US"})
        if (installed.contains(QLatin1String(english)))
            return {QLatin1String(english)};
    return {installed.first()};
}

void setChosenLanguages(const QStringList &languages)
{
    const QString path = configFolder() + QLatin1String(kLanguagesFile);
    QDir().mkpath(configFolder());
    if (!SafeFile::acceptable(path))
        return;
    QSettings(path, QSettings::IniFormat).setValue(kLanguagesKey, languages);
}

QString languageName(const QString &language)
{
    QString code = language;
    code.replace(QLatin1Char('-'), QLatin1Char('_'));
    const QLocale locale(code);
    if (locale.language() == QLocale::C)
        return language;
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    QString name = chinese.languageToString(locale.language());
    if (code.contains(QLatin1Char('_')))
        name += QStringLiteral("(") + chinese.territoryToString(locale.territory()) + QStringLiteral(")");
    return name + QStringLiteral("  ") + language;
}

QString userWordsPath()
{
    return configFolder() + QLatin1String(kWordsFile);
}

QStringList userWords()
{
    const std::optional<QByteArray> bytes = SafeFile::read(userWordsPath(), nullptr, kMaxWordsBytes);
    QStringList words;
    if (!bytes)
        return words;
    for (const QString &line : QString::fromUtf8(*bytes).split(QLatin1Char('\n'))) {
        const QString word = line.trimmed();
        if (isAcceptableWord(word) && !words.contains(word))
            words << word;
    }
    return words;
}

bool isAcceptableWord(const QString &word)
{
    if (word.isEmpty() || word.size() > kMaxWordLength || !word.front().isLetter() || !word.back().isLetter())
        return false;
    return std::all_of(word.begin(), word.end(), [](QChar c) {
        return c.isLetter() || c.isMark() || c == QLatin1Char('\'') || c == QLatin1Char('-') || c == QChar(0x2019);
    });
}

bool addUserWord(const QString &word)
{
    if (!isAcceptableWord(word))
        return false;
    QStringList words = userWords();
    if (words.contains(word))
        return true;
    words << word;
    QDir().mkpath(configFolder());
    return SafeFile::replace(userWordsPath(), (words.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
}

} // namespace Spelling
