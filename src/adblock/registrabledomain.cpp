#include "registrabledomain.h"

#include <libpsl.h>

namespace RegistrableDomain {
namespace {

const psl_ctx_t *context()
{
    // The list the system keeps up to date, else the one built into the library; read
    // once, then shared by every thread (the library only reads it).
    static const psl_ctx_t *const loaded = [] {
        const psl_ctx_t *latest = psl_latest(nullptr);
        return latest ? latest : psl_builtin();
    }();
    return loaded;
}

} // namespace

std::string of(std::string_view host)
{
    // A page's requests name the same few hosts again and again: the last answers are
    // kept, per thread.
    struct Known
    {
        std::string host;
        std::string domain;
    };
    thread_local Known known[16];
    thread_local unsigned next = 0;
    for (const Known &entry : known)
        if (!entry.host.empty() && entry.host == host)
            return entry.domain;
    const std::string terminated(host);
    const psl_ctx_t *psl = context();
    const char *domain = psl ? psl_registrable_domain(psl, terminated.c_str()) : nullptr;
    Known &entry = known[next++ % 16];
    entry.host = terminated;
    entry.domain = domain ? std::string(domain) : terminated;
    return entry.domain;
}

bool sameSite(std::string_view first, std::string_view second)
{
    if (first == second)
        return true;
    return of(first) == of(second);
}

} // namespace RegistrableDomain
