#include "textcodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace TextCodec {

QByteArray encode(QStringView text)
{
    QStringEncoder encoder("GB18030");
    if (!encoder.isValid())
        return text.toUtf8();
    return encoder.encode(text);
}

QString decode(QByteArrayView bytes)
{
    bool ascii = true;
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return QString::fromLatin1(bytes);

    QStringDecoder decoder("GB18030");
    if (!decoder.isValid())
        return QString::fromUtf8(bytes);
    // A stateful decoder keeps an incomplete trailing sequence pending instead of
    // replacing it. A line feed is never part of a multi-byte sequence, so appending one
    // flushes whatever is pending as U+FFFD; the line feed itself is removed again.
    QByteArray terminated;
    terminated.reserve(bytes.size() + 1);
    terminated.append(bytes.data(), bytes.size());
    terminated.append('\n');
    QString text = decoder.decode(terminated);
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

int byteLength(QStringView text)
{
    int bytes = 0;
    bool allAscii = true;
    for (QChar c : text) {
        if (c.unicode() >= 0x80) {
            allAscii = false;
            break;
        }
        ++bytes;
    }
    if (allAscii)
        return bytes;
    return int(encode(text).size());
}

bool isValidUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString ignored = decoder.decode(bytes);
    Q_UNUSED(ignored);
    return !decoder.hasError();
}

} // namespace TextCodec
