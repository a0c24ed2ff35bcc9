#include "instanceforwarder.h"

#include "instanceprotocol.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>

#include <cstdio>

namespace InstanceForwarder {

QString resolveArgument(const QString &argument)
{
    if (argument.contains(QLatin1String("://")) || QDir::isAbsolutePath(argument))
        return argument;
    const QFileInfo file(argument);
    return file.exists() ? file.absoluteFilePath() : argument;
}

int forward(const QStringList &arguments, int waitMs)
{
    const QString path = InstanceProtocol::socketPath();
    const QDeadlineTimer deadline(waitMs);
    QLocalSocket socket;
    // The running instance may still be starting: wait for its window to listen.
    for (;;) {
        socket.connectToServer(path);
        if (socket.waitForConnected(int(qMin<qint64>(1000, qMax<qint64>(1, deadline.remainingTime())))))
            break;
        socket.abort();
        if (deadline.hasExpired()) {
            std::fprintf(stderr, "sablix: another sablix is running but its window did not answer within %d s; nothing was handed over.\n",
                         waitMs / 1000);
            return 1;
        }
        QThread::msleep(100);
    }

    QStringList texts;
    for (const QString &argument : arguments)
        texts << resolveArgument(argument);
    if (texts.isEmpty())
        texts << InstanceProtocol::kBringUp;

    bool everything = true;
    for (const QString &text : texts) {
        const QByteArray framed = InstanceProtocol::frame(text);
        if (framed.isEmpty()) {
            std::fprintf(stderr, "sablix: an address of %lld characters is longer than sablix takes (%d); it was not handed over.\n",
                         qlonglong(text.size()), InstanceProtocol::kMaxChars);
            everything = false;
            continue;
        }
        socket.write(framed);
        bool answered = socket.waitForBytesWritten(waitMs);
        while (answered && socket.bytesAvailable() < 1)
            answered = socket.waitForReadyRead(waitMs);
        if (!answered) {
            std::fprintf(stderr, "sablix: the running sablix stopped answering; not every address was handed over.\n");
            return 1;
        }
        socket.read(1);
    }
    socket.disconnectFromServer();
    return everything ? 0 : 1;
}

} // namespace InstanceForwarder
