#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

// One field of an address's query, decoded the way a web server decodes a form: fields part
// at "&", "+" is a blank, then percent-decoding as UTF-8. Empty when the key is missing.
inline QString formField(const QString &address, const QString &key)
{
    const QByteArray query = QUrl(address, QUrl::StrictMode).query(QUrl::FullyEncoded).toLatin1();
    for (QByteArray field : query.split('&')) {
        field.replace('+', ' ');
        const qsizetype eq = field.indexOf('=');
        if (eq >= 0 && QUrl::fromPercentEncoding(field.left(eq)) == key)
            return QUrl::fromPercentEncoding(field.mid(eq + 1));
    }
    return {};
}
