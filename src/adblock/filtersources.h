#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// Where the filter lists are: EasyList and EasyPrivacy as the system ships them, the copies
// of the lists the user subscribed to, and the user's own rules.
namespace FilterSources {

// The packaged lists (the folder can be moved with SABLIX_FILTER_LISTS, for tests).
QStringList packagedLists();
// $XDG_CONFIG_HOME/sablix/filters.txt: the user's own rules, and the sites not filtered.
QString userRules();
// $XDG_CONFIG_HOME/sablix/subscriptions.txt: one list address per line.
QString subscriptionsFile();
// The folder where fetched lists are kept ($XDG_CACHE_HOME/sablix/lists).
QString subscriptionFolder();
// The file a fetched list is kept in.
QString subscriptionCopy(const QString &address);
// The largest list file read (the largest real lists are a few MiB).
constexpr qint64 kMaxListBytes = 16 * 1024 * 1024;

// A file of the filter's own (a list, the user's rules, the compiled cache), read only when it
// is a regular file of at most `limit` bytes: opened without waiting (a FIFO or a device
// planted in its place never holds the load up) and without following a link at its name.
// None otherwise, with the reason in `problem`; a file that is not there is none with no
// reason.
std::optional<QByteArray> read(const QString &path, qint64 limit, QString *problem = nullptr);
// The same test without the reading: why the file would be refused ("" when it would not);
// `missing` says whether it is simply not there.
QString refusal(const QString &path, qint64 limit, bool *missing = nullptr);

// Every list the browser loads, in order: packaged, subscriptions that have a copy, the
// user's rules last.
QStringList all();

} // namespace FilterSources
