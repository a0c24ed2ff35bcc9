#include "instanceprotocol.h"

#include <QDir>

#include <sys/stat.h>
#include <unistd.h>

namespace InstanceProtocol {
namespace {

// The user's runtime folder; without one, a folder of the user's own in the temp folder.
// A folder there that someone else made is not used: lock and socket would be theirs.
QString runtimeFolder()
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!folder.isEmpty() && QDir(folder).exists())
        return folder;
    folder = QDir::tempPath() + QStringLiteral("/sablix-%1").arg(::getuid());
    const QByteArray native = QFile::encodeName(folder);
    ::mkdir(native.constData(), 0700);
    struct stat info = {};
    if (::lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid())
        return QString();
    ::chmod(native.constData(), 0700);
    return folder;
}

} // namespace

Unframed unframe(QByteArrayView received)
{
    Unframed result;
    if (received.size() < 2)
        return result;
    const int length = (uchar(received[0]) << 8) | uchar(received[1]);
    if (length > kMaxPayload) {
        result.status = Unframed::Bad;
        return result;
    }
    if (received.size() < 2 + length)
        return result;
    result.status = Unframed::Message;
    result.used = 2 + length;
    result.text = QString::fromUtf8(received.sliced(2, length)).left(kMaxChars);
    return result;
}

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
    const QString folder = runtimeFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/sablix.lock");
}

QString socketPath()
{
    const QString folder = runtimeFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/sablix.socket");
}

} // namespace InstanceProtocol
