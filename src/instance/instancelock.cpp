#include "instancelock.h"

#include "instanceprotocol.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

InstanceLock::~InstanceLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool InstanceLock::acquire()
{
    const QString lockPath = InstanceProtocol::lockPath();
    if (lockPath.isEmpty())
        return false;
    const QByteArray path = QFile::encodeName(lockPath);
    m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0)
        return false;
    const bool alone = ::flock(m_fd, LOCK_EX | LOCK_NB) == 0;
    ::flock(m_fd, LOCK_SH);
    return !alone;
}
