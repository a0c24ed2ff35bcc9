#pragma once

#include <QString>
#include <QStringList>

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
// Every list the browser loads, in order: packaged, subscriptions that have a copy, the
// user's rules last.
QStringList all();

} // namespace FilterSources
