#include "instanceprotocol.h"

#include <QDir>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

namespace InstanceProtocol {
namespace {

// The user's runtime folder; without one, a folder of the user's own in the temp folder.
QString runtimeFolder()
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QDir(folder).exists()) {
        folder = QDir::tempPath() + QStringLiteral("/sablix-%1").arg(::getuid());
        QDir().mkpath(folder);
        ::chmod(QFile::encodeName(folder).constData(), 0700);
    }
    return folder;
}

} // namespace

QByteArray frame(const QString &text)
{
    QString cut = text.left(kMaxChars);
    if (!cut.isEmpty() && cut.back().isHighSurrogate())
        cut.chop(1);
    const QByteArray payload = cut.toUtf8();
    QByteArray bytes;
    bytes.append(char((payload.size() >> 8) & 0xff));
    bytes.append(char(payload.size() & 0xff));
    bytes.append(payload);
    return bytes;
}

QString lockPath()
{
    return runtimeFolder() + QStringLiteral("/sablix.lock");
}

QString socketPath()
{
    return runtimeFolder() + QStringLiteral("/sablix.socket");
}

} // namespace InstanceProtocol
