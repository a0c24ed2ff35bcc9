#include "userfolders.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace UserFolders {
namespace {

// The folder the desktop names, or empty when it cannot say (no xdg-user-dir) or names a
// folder that is not there.
QString fromTheDesktop(const QString &name)
{
    QProcess process;
    process.start(QStringLiteral("xdg-user-dir"), {name});
    if (!process.waitForFinished(3000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

} // namespace

QString downloads()
{
    const QString folder = fromTheDesktop(QStringLiteral("DOWNLOAD"));
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

QString desktop()
{
    const QString folder = fromTheDesktop(QStringLiteral("DESKTOP"));
    return !folder.isEmpty() ? folder : QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

} // namespace UserFolders
