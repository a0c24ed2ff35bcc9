#pragma once

#include <QString>
#include <Qt>

#include <optional>

// What typed text becomes as an address, tested in this order: a scheme is kept as typed;
// a drive or absolute path becomes a file address; text with a dot, or "localhost", gets
// "http://"; anything else is a search of the first engine, its words percent-encoded.
namespace AddressNormalizer {

QString normalize(const QString &trimmedText);

// Ctrl+Enter, Alt+Enter and Shift+Enter complete "abc" to www.abc.com / .net / .com.cn;
// any other set of modifiers completes nothing.
std::optional<QString> complete(const QString &trimmedText, Qt::KeyboardModifiers modifiers);

// Text dropped on the window: an address to open in a new page, or nothing (search it).
std::optional<QString> droppedAddress(const QString &text);

} // namespace AddressNormalizer
