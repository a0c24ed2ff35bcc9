#pragma once

#include <QByteArray>
#include <QString>

// What a second start says to the running instance over the per-user local socket: one
// text per message (an address, or "0***0"), and one byte back once it was handled.
namespace InstanceProtocol {

// The longest text a message carries, in UTF-16 units. Addresses arrive whole or not at
// all: a cut address is another page.
constexpr int kMaxChars = 64 * 1024;
// UTF-8 takes at most three bytes per UTF-16 unit (four for a surrogate pair).
constexpr int kMaxPayload = kMaxChars * 3;
// A length below this goes in two bytes, as every sablix has framed it; a longer one in
// four with the top bit set, which an older listener turns away as too long.
constexpr int kShortLimit = 0x8000;
constexpr int kMaxFrame = 4 + kMaxPayload;
constexpr char kHandled = 'K';
inline const QString kBringUp = QStringLiteral("0***0");

// The length (big-endian, two bytes or four as above), then the text in UTF-8. Empty for a
// text longer than kMaxChars: it cannot be sent whole.
QByteArray frame(const QString &text);

// The first message at the start of `received`: Incomplete while more has to come, Bad for
// a length no message may have or a text over kMaxChars (the connection is then ended);
// `used` bytes make it up.
struct Unframed
{
    enum Status { Incomplete, Bad, Message } status = Incomplete;
    qsizetype used = 0;
    QString text;
};
Unframed unframe(QByteArrayView received);

// Empty when there is no safe place for them: every start then runs on its own.
QString lockPath();
QString socketPath();

} // namespace InstanceProtocol
