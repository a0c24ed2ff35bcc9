#include "neversites.h"

#include "../core/safefile.h"
#include "passwordslog.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

NeverSites::NeverSites()
    : NeverSites(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                 QStringLiteral("/sablix/PasswordNeverSites.txt"))
{
}

NeverSites::NeverSites(const QString &path) : m_path(path)
{
    const std::optional<QByteArray> bytes = SafeFile::read(path, nullptr, 1024 * 1024);
    if (!bytes)
        return;
    for (const QString &line : QString::fromUtf8(*bytes).split(QLatin1Char('\n'))) {
        const QString origin = line.trimmed();
        if (!origin.isEmpty() && !m_origins.contains(origin))
            m_origins.append(origin);
    }
}

bool NeverSites::add(const QString &origin)
{
    if (origin.isEmpty() || m_origins.contains(origin))
        return true;
    m_origins.append(origin);
    return write();
}

bool NeverSites::remove(const QString &origin)
{
    if (!m_origins.removeAll(origin))
        return true;
    return write();
}

bool NeverSites::write()
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QByteArray bytes;
    for (const QString &origin : std::as_const(m_origins))
        bytes += origin.toUtf8() + '\n';
    QString error;
    if (!SafeFile::replace(m_path, bytes, &error)) {
        qCWarning(lcPasswords).noquote() << "the never-save list could not be written:" << error;
        return false;
    }
    return true;
}
