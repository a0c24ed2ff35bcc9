#pragma once

#include <QByteArray>
#include <QString>

// What a second start says to the running instance over the per-user local socket: one
// text per message (an address, or "0***0"), and one byte back once it was handled.
namespace InstanceProtocol {

constexpr int kMaxChars = 255;           // as much as an atom name holds
constexpr int kMaxPayload = kMaxChars * 4; // UTF-8 of 255 UTF-16 units
constexpr char kHandled = 'K';
inline const QString kBringUp = QStringLiteral("0***0");

// Two bytes of length (big-endian), then the text in UTF-8, cut to 255 characters.
QByteArray frame(const QString &text);

// The first message at the start of `received`: Incomplete while more has to come, Bad for
// a length no message may have (the connection is then ended); `used` bytes make it up.
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
