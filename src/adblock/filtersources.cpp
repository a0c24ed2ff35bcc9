#include "filtersources.h"

#include "../core/listfile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace FilterSources {

QStringList packagedLists()
{
    QString folder = qEnvironmentVariable("SABLIX_FILTER_LISTS");
    if (folder.isEmpty())
        folder = QStringLiteral("/usr/share/chromium/extensions/ublock-origin/assets/thirdparties/easylist");
    return {folder + QStringLiteral("/easylist.txt"), folder + QStringLiteral("/easyprivacy.txt")};
}

QString userRules()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/sablix/filters.txt");
}

QString subscriptionsFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/sablix/subscriptions.txt");
}

QString subscriptionFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/sablix/lists");
}

QString subscriptionCopy(const QString &address)
{
    const QByteArray name = QCryptographicHash::hash(address.trimmed().toUtf8(), QCryptographicHash::Sha1).toHex();
    return subscriptionFolder() + QLatin1Char('/') + QString::fromLatin1(name.left(16)) + QStringLiteral(".txt");
}

QStringList all()
{
    QStringList files = packagedLists();
    for (const QString &address : ListFile::load(subscriptionsFile()).value_or(QStringList())) {
        const QString copy = subscriptionCopy(address);
        if (!address.trimmed().isEmpty() && QFileInfo::exists(copy))
            files << copy;
    }
    files << userRules();
    return files;
}

} // namespace FilterSources
