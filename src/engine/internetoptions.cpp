#include "internetoptions.h"

#include "../core/safefile.h"

#include <QSettings>
#include <QStandardPaths>

namespace InternetOptions {
namespace {

QString path()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/sablix/InternetOptions.ini");
}

QSettings store()
{
    return QSettings(path(), QSettings::IniFormat);
}

const QString kHomePage = QStringLiteral("Main/HomePage");

} // namespace

QString homePage()
{
    // QSettings opens the file by name and waits on a FIFO: a file we would not read is not
    // handed to it.
    const QString stored = SafeFile::acceptable(path()) ? store().value(kHomePage).toString().trimmed() : QString();
    return stored.isEmpty() ? QStringLiteral("about:blank") : stored;
}

void setHomePage(const QString &address)
{
    if (!SafeFile::acceptable(path()))
        return;
    QSettings settings = store();
    settings.setValue(kHomePage, address.trimmed());
}

} // namespace InternetOptions
