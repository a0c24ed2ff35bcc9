#pragma once

#include <QString>
#include <QStringList>

// Spelling in text fields: which dictionaries the engine reads, which of them check, and the
// words the user added. The words are the user's own (one a line, UTF-8, in
// $XDG_CONFIG_HOME/sablix/SpellingWords.txt); the engine is handed them when it starts.
namespace Spelling {

// The folder of the engine's dictionaries (.bdic): the program's own, converted from the
// system's Hunspell dictionaries when it was built, else the system's converted ones.
// SABLIX_DICTIONARIES overrides both. Empty when there is none.
QString dictionaryFolder();
// The languages of that folder, by file name ("en-US" for en-US.bdic), sorted.
QStringList installedLanguages();
// What checks: the user's choice (SpellingLanguages.ini) of what is installed; without a
// choice, American English when it is there, else the first.
QStringList chosenLanguages();
void setChosenLanguages(const QStringList &languages);
// "en-US" shown as the user reads it ("英语(美国)"), with the code beside it.
QString languageName(const QString &language);

QString userWordsPath();
QStringList userWords();
// A word is one run of letters (an apostrophe and a hyphen inside count), at most 99
// characters; anything else is not taken. True once the file holds it.
bool addUserWord(const QString &word);
bool isAcceptableWord(const QString &word);

} // namespace Spelling
