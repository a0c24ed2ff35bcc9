#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// Chinese text found by its pinyin: "xinwen", "xw" and "xinw" all find "新闻头条". The
// readings come from the dictionary of the rime-data-pinyin-simp package; a character with
// several readings (行: xing, hang) matches by any of them.
//
// What matches: typed Latin letters cut into pieces, one piece per character in a row of the
// text; a piece is the character's whole reading, its first letter, or its zh/ch/sh, and the
// last piece may be any beginning of the reading (it is still being typed). A Latin letter of
// the text is a character whose reading is itself ("qqyx" finds "QQ邮箱"). A match starts at
// a Chinese character or at the first letter of a Latin word, in a stretch of the text that
// holds Chinese; anything but Chinese and Latin letters ends a stretch.
//
// An index finds the candidates by keys; `matches` says which of them match. Keys, from each
// place a match may start (kKeyUnits characters at most): the first letters ("xwtt"), and the
// whole first reading followed by the first letters of the rest ("xinwtt"). A polyphonic
// character multiplies a key: past kMaxCombinations a key is cut short and ends in '*'.
class Pinyin
{
public:
    static constexpr int kKeyUnits = 6;
    static constexpr int kMaxCombinations = 16;
    // Keys of one text, at most: a long title is keyed from its beginning.
    static constexpr int kMaxKeys = 256;
    // Longer typed text is not looked for by pinyin.
    static constexpr int kMaxQuery = 64;

    // The readings Debian ships; SABLIX_PINYIN_DICTIONARY names another file (tests).
    static QString defaultDictionary();
    // Read once, on first use, by whichever thread asks first; empty when the file is missing.
    static const Pinyin &shared();

    explicit Pinyin(const QString &dictionary);

    bool isEmpty() const { return m_readings.isEmpty(); }
    // The readings of a character, most common first; empty for one it does not know.
    QList<QByteArray> readings(char32_t c) const;

    // Text looked for by pinyin: two to kMaxQuery Latin letters and nothing else.
    static bool isQuery(const QString &text);
    bool matches(const QString &query, const QString &text) const;

    QStringList keys(const QString &text) const;
    // Where an index finds the candidates for `query`: keys beginning with one of `prefixes`,
    // and keys equal to one of `exact` (keys cut short for their many readings).
    struct Lookup
    {
        QStringList prefixes;
        QStringList exact;
    };
    Lookup lookup(const QString &query) const;

private:
    struct Unit
    {
        QList<QByteArray> readings;
        // A Chinese character, or the first letter of a Latin word.
        bool startsMatch = false;
    };
    // The stretches of text that hold Chinese, as characters with their readings.
    QList<QList<Unit>> stretches(const QString &text) const;
    bool isSyllablePrefix(const QByteArray &text) const;

    QHash<char32_t, QList<QByteArray>> m_readings;
    QList<QByteArray> m_syllables;
};
