#pragma once

#include "filterset.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

// The parsed lists kept between runs, so that a start reads rules instead of parsing
// lists: a versioned binary file with a checksum, valid for the lists it was made from
// (each file's size, time and identity; the user's own rules by their hash). Anything
// else (another version, a damaged, cut or foreign file, a list changed since) is not
// used, and the lists are parsed again.
class FilterCache
{
public:
    static constexpr char kMagic[8] = {'S', 'B', 'X', 'F', 'L', 'T', 'R', 'S'};
    static constexpr quint32 kVersion = 4;
    // A set larger than this is not kept (its lists are parsed at each start, off the
    // interface thread), and a larger file is not read.
    static constexpr qint64 kMaxBytes = 64 * 1024 * 1024;

    // $XDG_CACHE_HOME/sablix/filters.cache
    static QString defaultPath();
    // What the lists are now, as the cache names them: a change to any of them changes it.
    static QByteArray sourcesKey(const QStringList &files, const QString &userRules);

    // The set kept in `path` for these lists, finished; none when there is none that fits.
    // `problem` says why a file that is there was not even read (not a regular file, too large).
    static std::shared_ptr<FilterSet> load(const QString &path, const QByteArray &key, QString *problem = nullptr);
    // Keeps a finished set (replacing the file whole); false when it could not be written.
    static bool save(const QString &path, const QByteArray &key, const FilterSet &set);

    // The rules as bytes, and back (exposed for the tests and the benchmark).
    static QByteArray encode(const FilterSet &set);
    static std::shared_ptr<FilterSet> decode(QByteArrayView bytes);
    static quint64 checksum(QByteArrayView bytes);
};
