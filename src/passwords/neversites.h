#pragma once

#include <QString>
#include <QStringList>

// The sites whose passwords the user said never to save ("从不"): one origin a line, UTF-8,
// in $XDG_CONFIG_HOME/sablix/PasswordNeverSites.txt. Origins only, never a secret.
class NeverSites
{
public:
    NeverSites();
    explicit NeverSites(const QString &path);

    bool contains(const QString &origin) const { return m_origins.contains(origin); }
    const QStringList &origins() const { return m_origins; }
    // Each writes the file at once; false when it could not be written (the list holds it).
    bool add(const QString &origin);
    bool remove(const QString &origin);
    QString path() const { return m_path; }

private:
    bool write();

    QString m_path;
    QStringList m_origins;
};
