#include "internetoptions.h"

#include <QSettings>
#include <QStandardPaths>

namespace InternetOptions {
namespace {

QSettings store()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QSettings(folder + QStringLiteral("/sablix/InternetOptions.ini"), QSettings::IniFormat);
}

const QString kHomePage = QStringLiteral("Main/HomePage");

} // namespace

QString homePage()
{
    const QString stored = store().value(kHomePage).toString().trimmed();
    return stored.isEmpty() ? QStringLiteral("about:blank") : stored;
}

void setHomePage(const QString &address)
{
    QSettings settings = store();
    settings.setValue(kHomePage, address.trimmed());
}

} // namespace InternetOptions
