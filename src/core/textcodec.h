#pragma once

#include <QByteArray>
#include <QString>

// The program's files are in GB18030: it writes the same bytes as GBK for every GBK
// character, so files stay readable where GBK is expected, and it can hold any title.
namespace TextCodec {

QByteArray encode(QStringView text);

// Invalid byte sequences become U+FFFD; nothing after them is lost.
QString decode(QByteArrayView bytes);

// Bytes the text takes in GB18030: 1 for ASCII, 2 for a GBK character, 4 for the rest.
int byteLength(QStringView text);

bool isValidUtf8(QByteArrayView bytes);

} // namespace TextCodec
