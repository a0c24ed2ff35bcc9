#pragma once

#include <string>
#include <string_view>

// Registrable domains (example.co.uk for a.b.example.co.uk) from the public suffix list as
// the system ships it (libpsl), for telling third-party requests from first-party ones.
namespace RegistrableDomain {

// The registrable domain of a lower-case host; the host itself when it has none (an
// address, "localhost", a public suffix).
std::string of(std::string_view host);

// Two hosts of one site: the same registrable domain.
bool sameSite(std::string_view first, std::string_view second);

} // namespace RegistrableDomain
