#include "forwardingrules.h"

#include "instancelog.h"
#include "instanceprotocol.h"

ForwardingRules::ForwardingRules(QObject *parent) : QObject(parent)
{
}

bool ForwardingRules::isAddress(const QString &text)
{
    for (const char *prefix : {"http://", "https://", "file://", "ftp://", "www."})
        if (text.startsWith(QLatin1String(prefix), Qt::CaseInsensitive))
            return true;
    return text.contains(QLatin1String(".htm"), Qt::CaseInsensitive);
}

void ForwardingRules::handle(const QString &text)
{
    if (m_stopped) {
        qCDebug(lcInstance) << "a forwarded message came while closing; not opened";
        return;
    }
    // Only the message itself: an address may well carry the same characters.
    if (text == InstanceProtocol::kBringUp) {
        emit bringUpRequested();
        return;
    }
    // Whole: the protocol bounds its length, and a cut address would be another page.
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || !isAddress(trimmed))
        return;
    emit bringUpRequested();
    // The same address forwarded twice in a row opens once.
    const QString key = trimmed + QLatin1Char('#');
    if (key != m_lastAddress.trimmed()) {
        emit openRequested(trimmed);
        m_lastAddress = key;
    }
}
