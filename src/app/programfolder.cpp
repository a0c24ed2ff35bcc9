#include "programfolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace ProgramFolder {

QString withSlash(const QString &path)
{
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

QString locate()
{
    const QString home = qEnvironmentVariable("SABLIX_HOME");
    if (!home.isEmpty()) {
        QDir().mkpath(home);
        return withSlash(QDir(home).absolutePath());
    }
    // Read from the process itself: this runs before the application object exists.
    const QString exeFolder = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    if (::access(QFile::encodeName(exeFolder).constData(), W_OK) == 0)
        return withSlash(exeFolder);
    const QString fallback =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/sablix";
    QDir().mkpath(fallback);
    return withSlash(fallback);
}

} // namespace ProgramFolder
