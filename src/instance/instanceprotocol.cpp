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
    const bool longForm = uchar(received[0]) & 0x80;
    const qsizetype header = longForm ? 4 : 2;
    if (received.size() < header)
        return result;
    qint64 length = 0;
    for (qsizetype i = 0; i < header; ++i)
        length = (length << 8) | uchar(received[i]);
    if (longForm)
        length &= 0x7fffffff;
    if (length > kMaxPayload) {
        result.status = Unframed::Bad;
        return result;
    }
    if (received.size() < header + length)
        return result;
    QString text = QString::fromUtf8(received.sliced(header, length));
    if (text.size() > kMaxChars) {
        result.status = Unframed::Bad;
        return result;
    }
    result.status = Unframed::Message;
    result.used = header + length;
    result.text = std::move(text);
    return result;
}

QByteArray frame(const QString &text)
{
    if (text.size() > kMaxChars)
        return {};
    const QByteArray payload = text.toUtf8();
    const qsizetype length = payload.size();
    QByteArray bytes;
    if (length < kShortLimit) {
        bytes.append(char((length >> 8) & 0xff));
    } else {
        bytes.append(char(((length >> 24) & 0x7f) | 0x80));
        bytes.append(char((length >> 16) & 0xff));
        bytes.append(char((length >> 8) & 0xff));
    }
    bytes.append(char(length & 0xff));
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
