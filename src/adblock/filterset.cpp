#include "filterset.h"

#include "filterregex.h"
#include "filtersources.h"
#include "registrabledomain.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <atomic>
#include <set>
#include <unordered_set>

namespace {

// Addresses are cut into runs of these; a rule is filed under one run it must contain.
bool tokenChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '%' || (c >= 'A' && c <= 'Z');
}

uint64_t tokenHash(std::string_view token)
{
    uint64_t hash = 1469598103934665603ull;
    for (char c : token) {
        const char lower = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
        hash = (hash ^ uint64_t(static_cast<unsigned char>(lower))) * 1099511628211ull;
    }
    return hash;
}

// Each run of token characters, with where it starts and ends.
template <typename Visit> void forEachRun(std::string_view text, Visit visit)
{
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && !tokenChar(text[i]))
            ++i;
        const size_t start = i;
        while (i < text.size() && tokenChar(text[i]))
            ++i;
        if (i > start)
            visit(start, i);
    }
}

template <typename Visit> void forEachToken(std::string_view text, Visit visit)
{
    forEachRun(text, [&](size_t start, size_t end) { visit(text.substr(start, end - start)); });
}

// The host and every domain above it ("a.b.c", "b.c", "c") until `visit` says it is done.
template <typename Visit> void forEachDomainOf(std::string_view host, Visit visit)
{
    for (size_t dot = 0; !host.empty() && dot != std::string_view::npos;) {
        if (visit(host.substr(dot)))
            return;
        dot = host.find('.', dot);
        if (dot != std::string_view::npos)
            ++dot;
    }
}

// The runs of a rule's pattern that an address matching it must hold whole.
std::vector<std::string_view> ruleTokens(const NetworkRule &rule)
{
    std::vector<std::string_view> tokens;
    if (rule.regex)
        return tokens;
    const std::string_view pattern = rule.pattern;
    forEachRun(pattern, [&](size_t start, size_t end) {
        const bool leftBound = start > 0 ? pattern[start - 1] != '*' : (rule.hostAnchor || rule.startAnchor);
        const bool rightBound = end < pattern.size() ? pattern[end] != '*' : rule.endAnchor;
        if (leftBound && rightBound && end - start >= 2)
            tokens.push_back(pattern.substr(start, end - start));
    });
    return tokens;
}

bool separator(char c)
{
    return !tokenChar(c) && c != '_' && c != '-' && c != '.' && c != '%';
}

// A piece of pattern between wildcards, at exactly this place of the address. '^' is a
// separator, or the end of the address when it is the piece's last character.
bool pieceAt(std::string_view piece, std::string_view url, size_t at)
{
    if (at > url.size())
        return false;
    const size_t room = url.size() - at;
    size_t length = piece.size();
    if (length > room) {
        if (length != room + 1 || piece.back() != '^')
            return false;
        length = room;
    }
    for (size_t i = 0; i < length; ++i) {
        const char p = piece[i];
        if (p == '^' ? !separator(url[at + i]) : p != url[at + i])
            return false;
    }
    return true;
}

size_t pieceLength(std::string_view piece, std::string_view url, size_t at)
{
    return std::min(piece.size(), url.size() - at);
}

// The first place from `from` on where the piece matches; npos when nowhere.
size_t findPiece(std::string_view piece, std::string_view url, size_t from)
{
    if (piece.empty())
        return from;
    if (piece.find('^') == std::string_view::npos) {
        if (from > url.size())
            return std::string_view::npos;
        const void *found = ::memmem(url.data() + from, url.size() - from, piece.data(), piece.size());
        return found ? size_t(static_cast<const char *>(found) - url.data()) : std::string_view::npos;
    }
    const char first = piece.front();
    for (size_t at = from; at <= url.size(); ++at) {
        if (first != '^') {
            const size_t found = url.find(first, at);
            if (found == std::string_view::npos)
                return std::string_view::npos;
            at = found;
        }
        if (pieceAt(piece, url, at))
            return at;
    }
    return std::string_view::npos;
}

// The pieces after the first, from `from` on: each at its first place, the last one at
// the very end when the pattern is anchored there.
bool restMatches(std::string_view pattern, size_t star, std::string_view url, size_t from, bool endAnchor)
{
    while (star != std::string_view::npos) {
        const size_t next = pattern.find('*', star + 1);
        const std::string_view piece = pattern.substr(star + 1, next == std::string_view::npos ? std::string_view::npos
                                                                                              : next - star - 1);
        if (next == std::string_view::npos && endAnchor) {
            // Where the last piece must begin for it to end the address.
            for (size_t at = url.size() >= piece.size() ? url.size() - piece.size() : 0; at <= url.size() && at + 1 >= from;
                 ++at) {
                if (at >= from && pieceAt(piece, url, at) && at + pieceLength(piece, url, at) == url.size())
                    return true;
                if (at == url.size())
                    break;
            }
            return false;
        }
        const size_t at = findPiece(piece, url, from);
        if (at == std::string_view::npos)
            return false;
        from = at + pieceLength(piece, url, at);
        star = next;
    }
    return !endAnchor || from == url.size();
}

// The pattern with its first piece exactly at `at`, the rest after it.
bool anchoredAt(std::string_view pattern, std::string_view url, size_t at, bool endAnchor)
{
    const size_t star = pattern.find('*');
    const std::string_view first = pattern.substr(0, star);
    if (!pieceAt(first, url, at))
        return false;
    const size_t end = at + pieceLength(first, url, at);
    if (star == std::string_view::npos)
        return !endAnchor || end == url.size();
    return restMatches(pattern, star, url, end, endAnchor);
}

// Where the host of an address begins and ends.
std::pair<size_t, size_t> hostBounds(std::string_view url)
{
    const size_t scheme = url.find("://");
    if (scheme == std::string_view::npos)
        return {0, 0};
    size_t begin = scheme + 3;
    size_t end = url.find_first_of("/?#", begin);
    if (end == std::string_view::npos)
        end = url.size();
    if (const size_t at = url.substr(begin, end - begin).rfind('@'); at != std::string_view::npos)
        begin += at + 1;
    if (begin < end && url[begin] == '[') {
        const size_t close = url.find(']', begin);
        return {begin, close != std::string_view::npos && close < end ? close + 1 : end};
    }
    if (const size_t colon = url.substr(begin, end - begin).find(':'); colon != std::string_view::npos)
        end = begin + colon;
    return {begin, end};
}

std::string hostOf(std::string_view url)
{
    const auto [begin, end] = hostBounds(url);
    std::string host = lowered(url.substr(begin, end - begin));
    while (!host.empty() && host.back() == '.')
        host.pop_back();
    return host;
}

constexpr size_t kSelectorsPerRule = 100;

// Rules of at most kSelectorsPerRule selectors each: a selector the engine rejects voids
// only its own rule.
std::string styleSheet(const std::vector<std::string> &selectors)
{
    std::string sheet;
    for (size_t i = 0; i < selectors.size(); i += kSelectorsPerRule) {
        for (size_t j = i; j < std::min(selectors.size(), i + kSelectorsPerRule); ++j) {
            if (j > i)
                sheet += ',';
            sheet += selectors[j];
        }
        sheet += "{display:none!important}\n";
    }
    return sheet;
}
constexpr size_t kRegexUrlLimit = 4096;

// Three characters of lower-case text, packed; never 0, which means none.
uint32_t gramAt(const char *text)
{
    return (uint32_t(1) << 24) | (uint32_t(static_cast<unsigned char>(text[0])) << 16) |
           (uint32_t(static_cast<unsigned char>(text[1])) << 8) | uint32_t(static_cast<unsigned char>(text[2]));
}

// The distinct grams of a literal, in order.
std::vector<uint32_t> gramsOf(std::string_view literal)
{
    std::vector<uint32_t> grams;
    for (size_t i = 0; i + 3 <= literal.size(); ++i) {
        const uint32_t gram = gramAt(literal.data() + i);
        if (std::find(grams.begin(), grams.end(), gram) == grams.end())
            grams.push_back(gram);
    }
    return grams;
}

// A line that may be a rule (for counting what a list held past its cap).
bool mayBeRule(std::string_view line)
{
    const size_t first = line.find_first_not_of(" \t");
    return first != std::string_view::npos && line[first] != '!' && line[first] != '[';
}

} // namespace

struct FilterSet::Request
{
    std::string lower;
    std::string_view asIs;
    size_t hostBegin = 0;
    size_t hostEnd = 0;
    std::string_view host; // in `lower`, without a final dot
    std::string pageHost;
    RequestType type = RequestType::Other;
    mutable int thirdParty = -1;

    Request(std::string_view url, std::string_view pageUrl, RequestType requestType)
        : lower(lowered(url)), asIs(url), type(requestType)
    {
        std::tie(hostBegin, hostEnd) = hostBounds(lower);
        host = std::string_view(lower).substr(hostBegin, hostEnd - hostBegin);
        while (!host.empty() && host.back() == '.')
            host.remove_suffix(1);
        if (!pageUrl.empty())
            pageHost = hostOf(pageUrl);
    }

    bool isThirdParty() const
    {
        if (thirdParty < 0)
            thirdParty = !pageHost.empty() && !RegistrableDomain::sameSite(host, pageHost);
        return thirdParty == 1;
    }
};

uint64_t FilterSet::nextSerial()
{
    static std::atomic<uint64_t> serial{0};
    return ++serial;
}

std::optional<FilterSet::Counts> FilterSet::addListFile(const QString &path, QString *problem)
{
    const std::optional<QByteArray> text = FilterSources::read(path, FilterSources::kMaxListBytes, problem);
    if (!text)
        return std::nullopt;
    return addList(std::string_view(text->constData(), size_t(text->size())));
}

FilterSet::Counts FilterSet::addList(std::string_view text)
{
    // Rules added line by line before this list make a list of their own.
    placeRules(m_listBegin);
    const Counts before = m_counts;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(start, end - start);
        if (m_counts.network + m_counts.hiding - before.network - before.hiding < kMaxRulesPerList)
            addLine(line);
        else if (mayBeRule(line))
            ++m_counts.dropped;
        start = end + 1;
    }
    placeRules(m_listBegin);
    return {m_counts.network - before.network, m_counts.hiding - before.hiding, m_counts.skipped - before.skipped,
            m_counts.dropped - before.dropped};
}

size_t FilterSet::placeRules(size_t first)
{
    // Grams nearly every address holds are the last choice for a rule.
    static const auto *const common = [] {
        auto *grams = new std::unordered_set<uint32_t>;
        for (const char *text : {"htt", "ttp", "tps", "ps:", "p:/", "s:/", "://", "www", "ww.", ".co", "com", "om/",
                                 ".js", ".cn", "net", ".ne", "/ww", "//w"})
            grams->insert(gramAt(text));
        return grams;
    }();
    std::unordered_map<uint32_t, uint32_t> frequency;
    for (size_t i = first; i < m_rules.size(); ++i)
        if (m_rules[i].regex)
            for (uint32_t gram : gramsOf(m_rules[i].regex->literal))
                ++frequency[gram];
    std::unordered_map<uint32_t, uint32_t> placed;
    std::unordered_map<std::string, uint32_t> bySite;
    std::vector<bool> left(m_rules.size() - first, false);
    size_t unindexed = 0;
    size_t dropped = 0;
    // Whether the rule finds a place in the index that keeps it from most requests.
    auto place = [&](NetworkRule &rule) {
        if (NetworkRule::Regex *regex = rule.regex.get()) {
            // The rarest of its grams that has room.
            regex->gram = 0;
            uint64_t best = UINT64_MAX;
            for (uint32_t gram : gramsOf(regex->literal)) {
                if (placed[gram] >= kRegexPerGram)
                    continue;
                const uint64_t score = frequency[gram] + (common->count(gram) ? uint64_t(1) << 32 : 0);
                if (score < best) {
                    best = score;
                    regex->gram = gram;
                }
            }
            if (regex->gram)
                ++placed[regex->gram];
            return regex->gram != 0;
        }
        if (rule.domains && !rule.domains->included.empty()) {
            for (const std::string &site : rule.domains->included)
                if (bySite[site] >= kRulesPerSite)
                    return false;
            for (const std::string &site : rule.domains->included)
                ++bySite[site];
            return true;
        }
        return !ruleTokens(rule).empty();
    };
    for (size_t i = first; i < m_rules.size(); ++i) {
        // A rule that only switches another off is never looked at.
        if (m_rules[i].badFilter || place(m_rules[i]))
            continue;
        if (++unindexed > kMaxUnindexedPerList) {
            left[i - first] = true;
            ++dropped;
        }
    }
    if (dropped) {
        size_t kept = first;
        for (size_t i = first; i < m_rules.size(); ++i)
            if (!left[i - first])
                m_rules[kept++] = std::move(m_rules[i]);
        m_rules.erase(m_rules.begin() + ptrdiff_t(kept), m_rules.end());
        m_counts.network -= dropped;
        m_counts.dropped += dropped;
    }
    m_listBegin = m_rules.size();
    return dropped;
}

void FilterSet::addLine(std::string_view line)
{
    ParsedLine parsed = FilterRule::parse(line);
    switch (parsed.kind) {
    case ParsedLine::Kind::Nothing:
        break;
    case ParsedLine::Kind::Unsupported:
        ++m_counts.skipped;
        ++m_skipReasons[parsed.reason];
        break;
    case ParsedLine::Kind::Network:
        parsed.network.text = m_text.keep(parsed.network.text);
        parsed.network.pattern = m_text.keep(parsed.pattern);
        m_rules.push_back(std::move(parsed.network));
        ++m_counts.network;
        break;
    case ParsedLine::Kind::Hiding:
        parsed.hiding.text = m_text.keep(parsed.hiding.text);
        parsed.hiding.selector = m_text.keep(parsed.hiding.selector);
        m_hiding.push_back(std::move(parsed.hiding));
        ++m_counts.hiding;
        break;
    }
}

void FilterSet::indexRules(std::vector<uint32_t> ids, RuleIndex &index)
{
    // Tokens that nearly every address holds are the last choice for a rule. Never destroyed:
    // a list still loading on its worker when the program ends goes on using it while the
    // exit runs the destructors of statics.
    static const auto *const common = new std::unordered_set<std::string_view>{
        "http", "https", "www", "com", "net", "org", "cn", "js", "html", "htm", "php", "css",
        "png", "jpg", "gif", "static", "img", "images", "api", "cdn", "min", "index", "id", "v"};
    auto weight = [&](std::string_view token, uint32_t count) {
        return uint64_t(count) + (common->count(token) ? 1000000u : 0u);
    };
    std::unordered_map<uint64_t, Bucket> byToken;
    std::unordered_map<uint64_t, Bucket> byGram;
    std::unordered_map<uint64_t, uint32_t> frequency;
    for (uint32_t id : ids)
        for (std::string_view token : ruleTokens(m_rules[id]))
            ++frequency[tokenHash(token)];
    for (uint32_t id : ids) {
        const NetworkRule &rule = m_rules[id];
        if (rule.regex && rule.regex->gram) {
            byGram[rule.regex->gram].push_back(id);
            continue;
        }
        // A rule that names the sites it applies on is looked at on those sites only.
        if (rule.domains && !rule.domains->included.empty()) {
            for (const std::string &site : rule.domains->included)
                index.bySite[site].push_back(id);
            continue;
        }
        const std::vector<std::string_view> tokens = ruleTokens(rule);
        if (tokens.empty()) {
            index.untokenized.push_back(id);
            continue;
        }
        std::string_view best = tokens.front();
        for (std::string_view token : tokens) {
            const uint64_t score = weight(token, frequency[tokenHash(token)]);
            const uint64_t bestScore = weight(best, frequency[tokenHash(best)]);
            if (score < bestScore || (score == bestScore && token.size() > best.size()))
                best = token;
        }
        byToken[tokenHash(best)].push_back(id);
    }
    index.byToken.build(byToken);
    index.byGram.build(byGram);
}

void FilterSet::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    placeRules(m_listBegin);

    // $badfilter switches off the rule written the same way without it.
    std::set<std::string, std::less<>> switchedOff;
    for (const NetworkRule &rule : m_rules) {
        if (!rule.badFilter)
            continue;
        std::string text(rule.text);
        for (const char *form : {",badfilter", "badfilter,", "$badfilter"})
            if (const size_t at = text.find(form); at != std::string::npos)
                text.erase(at, std::char_traits<char>::length(form));
        switchedOff.insert(text);
    }

    for (NetworkRule &rule : m_rules)
        if (rule.domains)
            rule.domains->index();
    std::vector<uint32_t> blocking;
    std::vector<uint32_t> exceptions;
    std::vector<uint32_t> pageExceptions;
    std::vector<uint32_t> important;
    for (uint32_t id = 0; id < m_rules.size(); ++id) {
        const NetworkRule &rule = m_rules[id];
        if (rule.badFilter || switchedOff.count(rule.text))
            continue;
        if (rule.exception) {
            if (rule.types)
                exceptions.push_back(id);
            if (rule.wholeDocument || rule.noHiding || rule.noGenericHiding)
                pageExceptions.push_back(id);
        } else if (rule.important) {
            important.push_back(id);
        } else {
            blocking.push_back(id);
        }
    }
    indexRules(std::move(blocking), m_blocking);
    indexRules(std::move(exceptions), m_exceptions);
    indexRules(std::move(pageExceptions), m_pageExceptions);
    indexRules(std::move(important), m_important);
    indexTokenBits();

    std::set<std::string, std::less<>> globallyExcepted;
    for (uint32_t id = 0; id < m_hiding.size(); ++id) {
        const HidingRule &rule = m_hiding[id];
        if (rule.exception) {
            m_hidingExceptions[std::string(rule.selector)].push_back(id);
            if (rule.domains.included.empty() && rule.domains.excluded.empty())
                globallyExcepted.emplace(rule.selector);
            continue;
        }
        if (rule.domains.included.empty())
            m_genericHiding.push_back(id);
        for (const std::string &domain : rule.domains.included)
            m_hidingByDomain[domain].push_back(id);
    }
    std::vector<std::string> generic;
    std::unordered_set<std::string> genericSelectors;
    for (uint32_t id : m_genericHiding) {
        const HidingRule &rule = m_hiding[id];
        for (const std::string &domain : rule.domains.excluded)
            m_genericExceptionDomains.insert(domain);
        genericSelectors.emplace(rule.selector);
        if (!globallyExcepted.count(rule.selector))
            generic.emplace_back(rule.selector);
    }
    for (const auto &[selector, ids] : m_hidingExceptions)
        if (genericSelectors.count(selector))
            for (uint32_t id : ids)
                for (const std::string &domain : m_hiding[id].domains.included)
                    m_genericExceptionDomains.insert(domain);
    m_genericStyleSheet = styleSheet(generic);
}

void FilterSet::indexTokenBits()
{
    m_tokenBits.assign(kTokenBits / 64, 0);
    for (const RuleIndex *index : {&m_blocking, &m_exceptions, &m_pageExceptions, &m_important})
        index->byToken.forEach([this](uint64_t hash, std::span<const uint32_t>) {
            m_tokenBits[(hash & (kTokenBits - 1)) >> 6] |= uint64_t(1) << (hash & 63);
        });
}

bool FilterSet::ruleMatches(const NetworkRule &rule, const Request &request)
{
    // The cheap tests first; a regular expression is the dearest of all.
    if (!(rule.types & typeBit(request.type)))
        return false;
    if (rule.regex)
        return domainsMatch(rule, request) && patternMatches(rule, request) && partyMatches(rule, request);
    return patternMatches(rule, request) && domainsMatch(rule, request) && partyMatches(rule, request);
}

bool FilterSet::patternMatches(const NetworkRule &rule, const Request &request)
{
    if (rule.regex) {
        if (request.asIs.size() > kRegexUrlLimit)
            return false;
        if (!rule.regex->literal.empty() && request.lower.find(rule.regex->literal) == std::string::npos)
            return false;
        return rule.regex->expression->matches(request.asIs);
    }
    const std::string_view url = rule.matchCase ? request.asIs : std::string_view(request.lower);
    const std::string_view pattern = rule.pattern;

    if (rule.hostLength) {
        // The host is named: it is that host or one below it, and the rest follows the host.
        const std::string_view named = pattern.substr(0, rule.hostLength);
        const std::string_view host = request.host;
        if (host.size() < named.size() || host.substr(host.size() - named.size()) != named ||
            (host.size() > named.size() && host[host.size() - named.size() - 1] != '.'))
            return false;
        return anchoredAt(pattern.substr(rule.hostLength), url, request.hostBegin + host.size(), rule.endAnchor);
    }
    if (rule.hostAnchor) {
        // At the start of the host, or after one of its dots.
        for (size_t at = request.hostBegin; at < request.hostEnd; ++at) {
            if (at != request.hostBegin && url[at - 1] != '.')
                continue;
            if (anchoredAt(pattern, url, at, rule.endAnchor))
                return true;
        }
        return false;
    }
    if (rule.startAnchor)
        return anchoredAt(pattern, url, 0, rule.endAnchor);
    const size_t star = pattern.find('*');
    const std::string_view first = pattern.substr(0, star);
    if (star == std::string_view::npos && rule.endAnchor)
        return url.size() >= first.size() && pieceAt(first, url, url.size() - first.size());
    // The first place the first piece is found is the best one for the rest.
    const size_t at = findPiece(first, url, 0);
    return at != std::string_view::npos && anchoredAt(pattern, url, at, rule.endAnchor);
}

bool FilterSet::domainsMatch(const NetworkRule &rule, const Request &request)
{
    if (!rule.domains || rule.domains->empty())
        return true;
    return request.pageHost.empty() ? rule.domains->included.empty() : rule.domains->appliesTo(request.pageHost);
}

bool FilterSet::partyMatches(const NetworkRule &rule, const Request &request)
{
    switch (rule.party) {
    case NetworkRule::Party::Any:
        return true;
    case NetworkRule::Party::ThirdOnly:
        return request.isThirdParty();
    case NetworkRule::Party::FirstOnly:
        return !request.isThirdParty();
    }
    return true;
}

template <typename Pick> const NetworkRule *FilterSet::firstInBuckets(const RuleIndex &index, const Request &request,
                                                                     Pick pick) const
{
    // The buckets the address's rules may stand in: by the address's tokens, the rules with
    // no token, then by the page's site and every domain above it.
    const NetworkRule *found = nullptr;
    forEachToken(request.lower, [&](std::string_view token) {
        if (found)
            return;
        const uint64_t hash = tokenHash(token);
        if (!mayHold(hash))
            return;
        if (const std::span<const uint32_t> bucket = index.byToken.find(hash); !bucket.empty())
            found = pick(bucket);
    });
    if (found)
        return found;
    // Regular expressions by the grams of the address; a place met twice is looked at once.
    if (index.byGram.size() && request.asIs.size() <= kRegexUrlLimit) {
        std::vector<std::span<const uint32_t>> buckets;
        for (size_t i = 0; i + 3 <= request.lower.size(); ++i)
            if (const std::span<const uint32_t> bucket = index.byGram.find(gramAt(request.lower.data() + i));
                !bucket.empty())
                buckets.push_back(bucket);
        if (buckets.size() > 1) {
            const auto less = [](std::span<const uint32_t> a, std::span<const uint32_t> b) { return a.data() < b.data(); };
            const auto same = [](std::span<const uint32_t> a, std::span<const uint32_t> b) { return a.data() == b.data(); };
            std::sort(buckets.begin(), buckets.end(), less);
            buckets.erase(std::unique(buckets.begin(), buckets.end(), same), buckets.end());
        }
        for (std::span<const uint32_t> bucket : buckets)
            if ((found = pick(bucket)))
                return found;
    }
    if ((found = pick(index.untokenized)))
        return found;
    forEachDomainOf(request.pageHost, [&](std::string_view domain) {
        if (const auto it = index.bySite.find(std::string(domain)); it != index.bySite.end())
            found = pick(it->second);
        return found != nullptr;
    });
    return found;
}

const NetworkRule *FilterSet::firstMatch(const RuleIndex &index, const Request &request) const
{
    return firstInBuckets(index, request, [&](std::span<const uint32_t> bucket) -> const NetworkRule * {
        for (uint32_t id : bucket)
            if (ruleMatches(m_rules[id], request))
                return &m_rules[id];
        return nullptr;
    });
}

const NetworkRule *FilterSet::pageException(const Request &page, bool NetworkRule::*what) const
{
    return firstInBuckets(m_pageExceptions, page, [&](std::span<const uint32_t> bucket) -> const NetworkRule * {
        for (uint32_t id : bucket) {
            const NetworkRule &rule = m_rules[id];
            if (rule.*what && domainsMatch(rule, page) && patternMatches(rule, page) && partyMatches(rule, page))
                return &rule;
        }
        return nullptr;
    });
}

bool FilterSet::pageExcepted(std::string_view pageUrl) const
{
    if (pageUrl.empty())
        return false;
    const Request page(pageUrl, pageUrl, RequestType::Document);
    return pageException(page, &NetworkRule::wholeDocument) != nullptr;
}

FilterSet::Decision FilterSet::decide(std::string_view url, std::string_view pageUrl, RequestType type,
                                      std::string_view topLevelUrl) const
{
    // A page the lists spare (an @@...$document exception) loads everything. The requests
    // of one page come together: the last page's answer is kept, per thread.
    auto excepted = [this](std::string_view pageText) -> const NetworkRule * {
        if (pageText.empty())
            return nullptr;
        thread_local uint64_t cachedSet = 0;
        thread_local std::string cachedPage;
        thread_local const NetworkRule *cachedAnswer = nullptr;
        if (cachedSet == m_serial && cachedPage == pageText)
            return cachedAnswer;
        const Request page(pageText, pageText, RequestType::Document);
        cachedAnswer = pageException(page, &NetworkRule::wholeDocument);
        cachedSet = m_serial;
        cachedPage.assign(pageText);
        return cachedAnswer;
    };
    if (const NetworkRule *exception = excepted(topLevelUrl))
        return {false, exception};
    if (pageUrl != topLevelUrl)
        if (const NetworkRule *exception = excepted(pageUrl))
            return {false, exception};
    const Request request(url, pageUrl, type);
    if (const NetworkRule *rule = firstMatch(m_important, request))
        return {true, rule};
    const NetworkRule *blocking = firstMatch(m_blocking, request);
    if (!blocking)
        return {};
    if (const NetworkRule *exception = firstMatch(m_exceptions, request))
        return {false, exception};
    return {true, blocking};
}

const NetworkRule *FilterSet::anyMatch(std::string_view url, std::string_view pageUrl, RequestType type) const
{
    const Request request(url, pageUrl, type);
    for (const NetworkRule &rule : m_rules)
        if (!rule.badFilter && ruleMatches(rule, request))
            return &rule;
    const Request page(url, url, RequestType::Document);
    for (const NetworkRule &rule : m_rules)
        if ((rule.wholeDocument || rule.noHiding || rule.noGenericHiding) && domainsMatch(rule, page) &&
            patternMatches(rule, page) && partyMatches(rule, page))
            return &rule;
    return nullptr;
}

void FilterSet::chooseDomainRules(const std::string &host, std::set<uint32_t> &chosen) const
{
    forEachDomainOf(host, [&](std::string_view domain) {
        if (const auto it = m_hidingByDomain.find(std::string(domain)); it != m_hidingByDomain.end())
            for (uint32_t id : it->second)
                if (m_hiding[id].domains.appliesTo(host))
                    chosen.insert(id);
        return false;
    });
}

std::vector<std::string> FilterSet::hidingSelectors(std::string_view pageUrl) const
{
    std::vector<std::string> selectors;
    const Request page(pageUrl, pageUrl, RequestType::Document);
    if (pageException(page, &NetworkRule::wholeDocument) || pageException(page, &NetworkRule::noHiding))
        return selectors;
    const bool generic = !pageException(page, &NetworkRule::noGenericHiding);
    const std::string host(page.host);

    auto excepted = [&](std::string_view selector) {
        const auto it = m_hidingExceptions.find(std::string(selector));
        if (it == m_hidingExceptions.end())
            return false;
        for (uint32_t id : it->second) {
            const DomainList &domains = m_hiding[id].domains;
            if (domains.empty() || (!host.empty() && domains.appliesTo(host)))
                return true;
        }
        return false;
    };
    std::set<uint32_t> chosen;
    if (generic)
        for (uint32_t id : m_genericHiding)
            if (host.empty() ? m_hiding[id].domains.empty() : m_hiding[id].domains.appliesTo(host))
                chosen.insert(id);
    chooseDomainRules(host, chosen);
    for (uint32_t id : chosen)
        if (!excepted(m_hiding[id].selector))
            selectors.emplace_back(m_hiding[id].selector);
    return selectors;
}

std::string FilterSet::hidingStyleSheet(std::string_view pageUrl) const
{
    const Request page(pageUrl, pageUrl, RequestType::Document);
    const std::string host(page.host);
    bool special = false;
    forEachDomainOf(host, [&](std::string_view domain) {
        special = m_genericExceptionDomains.count(std::string(domain)) > 0;
        return special;
    });
    if (special || pageException(page, &NetworkRule::wholeDocument) || pageException(page, &NetworkRule::noHiding) ||
        pageException(page, &NetworkRule::noGenericHiding))
        return styleSheet(hidingSelectors(pageUrl));

    // The common case: the generic sheet, made once, and what the host's domains add.
    std::vector<std::string> specific;
    std::set<uint32_t> chosen;
    chooseDomainRules(host, chosen);
    for (uint32_t id : chosen) {
        const std::string_view selector = m_hiding[id].selector;
        bool excepted = false;
        if (const auto it = m_hidingExceptions.find(std::string(selector)); it != m_hidingExceptions.end())
            for (uint32_t exception : it->second)
                excepted = excepted || m_hiding[exception].domains.empty() || m_hiding[exception].domains.appliesTo(host);
        if (!excepted)
            specific.emplace_back(selector);
    }
    return m_genericStyleSheet + styleSheet(specific);
}

