#include "filterrule.h"

#include "filterregex.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<std::pair<std::string_view, RequestType>, 17> kTypeNames{{
    {"script", RequestType::Script},
    {"image", RequestType::Image},
    {"stylesheet", RequestType::Stylesheet},
    {"css", RequestType::Stylesheet},
    {"xmlhttprequest", RequestType::XmlHttpRequest},
    {"xhr", RequestType::XmlHttpRequest},
    {"subdocument", RequestType::Subdocument},
    {"frame", RequestType::Subdocument},
    {"font", RequestType::Font},
    {"media", RequestType::Media},
    {"ping", RequestType::Ping},
    {"websocket", RequestType::WebSocket},
    {"document", RequestType::Document},
    {"doc", RequestType::Document},
    {"object", RequestType::Object},
    {"object-subrequest", RequestType::Object},
    {"other", RequestType::Other},
}};

// Options that lists use and this program does not apply: the rule is skipped.
constexpr std::array<std::string_view, 24> kUnappliedOptions{
    "popup", "popunder", "csp", "rewrite", "redirect", "redirect-rule", "removeparam", "queryprune", "method",
    "denyallow", "to", "header", "permissions", "urltransform", "replace", "genericblock", "strict1p", "strict3p",
    "cname", "empty", "mp4", "inline-script", "inline-font", "all"};

// Extended selectors of other blockers: Chromium cannot apply them (one of them in a
// group of selectors would void the whole group).
constexpr std::array<std::string_view, 22> kUnsupportedSelectorParts{
    ":-abp-", ":has(", ":has-text(", ":contains(", ":xpath(", ":matches-css", ":upward(", ":remove(",
    ":style(", ":min-text-length(", ":watch-attr(", ":others(", ":if(", ":if-not(", ":matches-path(",
    ":matches-attr(", ":matches-media(", ":matches-prop(", ":nth-ancestor(", ":spath(", ":remove-attr(",
    ":remove-class("};

std::string_view trimmed(std::string_view text)
{
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool asciiOnly(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

ParsedLine unsupported(std::string reason)
{
    ParsedLine line;
    line.kind = ParsedLine::Kind::Unsupported;
    line.reason = std::move(reason);
    return line;
}

// "a.com|~b.com" (options) or "a.com,~b.com" (hiding rules); false on what cannot be a
// domain (an entity like "google.*").
bool parseDomains(std::string_view text, char separator, DomainList &list)
{
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view item = trimmed(text.substr(start, end - start));
        start = end + 1;
        if (item.empty())
            continue;
        const bool negated = item.front() == '~';
        if (negated)
            item.remove_prefix(1);
        if (item.empty() || item.find_first_of("*/ ") != std::string_view::npos || item.back() == '.' || !asciiOnly(item))
            return false;
        (negated ? list.excluded : list.included).push_back(lowered(item));
    }
    return true;
}

// A selector must not be able to end the style rule it goes into, nor swallow the next
// one: no braces or comments outside quotes, quotes closed, no escape at the very end.
bool selectorStaysInItsRule(std::string_view selector)
{
    char quote = 0;
    for (size_t i = 0; i < selector.size(); ++i) {
        const char c = selector[i];
        if (c == '\\') {
            if (++i >= selector.size())
                return false;
            continue;
        }
        if (quote) {
            if (c == quote)
                quote = 0;
            continue;
        }
        if (c == '"' || c == '\'')
            quote = c;
        else if (c == '{' || c == '}' || c == ';' || (c == '/' && i + 1 < selector.size() && selector[i + 1] == '*'))
            return false;
    }
    return quote == 0;
}

ParsedLine parseHiding(std::string_view line, size_t at)
{
    const std::string_view domains = line.substr(0, at);
    std::string_view marker = line.substr(at);
    HidingRule rule;
    rule.text = line;
    size_t markerLength = 2;
    if (marker.substr(0, 3) == "#@#") {
        rule.exception = true;
        markerLength = 3;
    } else if (marker.substr(0, 3) == "#?#" || marker.substr(0, 4) == "#@?#") {
        return unsupported("extended selector");
    } else if (marker.substr(0, 3) == "#$#" || marker.substr(0, 4) == "#@$#") {
        return unsupported("snippet");
    } else if (marker.substr(0, 3) == "#%#" || marker.substr(0, 4) == "#@%#") {
        return unsupported("script injection");
    }
    const std::string_view selector = trimmed(line.substr(at + markerLength));
    if (selector.empty())
        return unsupported("empty selector");
    if (selector.substr(0, 4) == "+js(" || selector.front() == '^')
        return unsupported("scriptlet or HTML filter");
    for (std::string_view part : kUnsupportedSelectorParts)
        if (selector.find(part) != std::string_view::npos)
            return unsupported("selector the engine cannot apply");
    if (!selectorStaysInItsRule(selector))
        return unsupported("selector that could leave its style rule");
    if (!parseDomains(domains, ',', rule.domains))
        return unsupported("domain the rule cannot name");
    rule.selector = selector;
    ParsedLine parsed;
    parsed.kind = ParsedLine::Kind::Hiding;
    parsed.hiding = std::move(rule);
    return parsed;
}

// Where an element-hiding marker begins, when the text before it can be a list of domains.
size_t hidingMarker(std::string_view line)
{
    size_t at = 0;
    while ((at = line.find('#', at)) != std::string_view::npos) {
        const std::string_view rest = line.substr(at);
        const bool marker = rest.substr(0, 2) == "##" || rest.substr(0, 3) == "#@#" || rest.substr(0, 3) == "#?#" ||
                            rest.substr(0, 3) == "#$#" || rest.substr(0, 3) == "#%#" || rest.substr(0, 4) == "#@?#" ||
                            rest.substr(0, 4) == "#@$#" || rest.substr(0, 4) == "#@%#";
        if (marker)
            return line.substr(0, at).find_first_of("/|@\"!$^") == std::string_view::npos ? at : std::string_view::npos;
        ++at;
    }
    return std::string_view::npos;
}

bool applyOption(std::string_view option, NetworkRule &rule, uint32_t &included, uint32_t &excluded, std::string &why)
{
    const bool negated = !option.empty() && option.front() == '~';
    if (negated)
        option.remove_prefix(1);
    std::string_view value;
    if (const size_t equals = option.find('='); equals != std::string_view::npos) {
        value = option.substr(equals + 1);
        option = option.substr(0, equals);
    }
    const std::string name = lowered(option);

    RequestType type;
    if (requestTypeFromName(name, type) && value.empty()) {
        (negated ? excluded : included) |= typeBit(type);
        if (type == RequestType::Document && !negated && rule.exception)
            rule.wholeDocument = true;
        return true;
    }
    if ((name == "third-party" || name == "3p") && value.empty()) {
        rule.party = negated ? NetworkRule::Party::FirstOnly : NetworkRule::Party::ThirdOnly;
        return true;
    }
    if ((name == "first-party" || name == "1p") && value.empty()) {
        rule.party = negated ? NetworkRule::Party::ThirdOnly : NetworkRule::Party::FirstOnly;
        return true;
    }
    if ((name == "domain" || name == "from") && !negated) {
        if (!rule.domains)
            rule.domains = std::make_unique<DomainList>();
        if (value.empty() || !parseDomains(value, '|', *rule.domains)) {
            why = "domain the rule cannot name";
            return false;
        }
        return true;
    }
    const bool unapplied = std::find(kUnappliedOptions.begin(), kUnappliedOptions.end(), name) != kUnappliedOptions.end();
    if (negated || !value.empty()) {
        why = (unapplied ? "option is not applied here: " : "option not understood: ") + std::string(negated ? "~" : "") +
              name;
        return false;
    }
    if (name == "important") {
        rule.important = true;
        return true;
    }
    if (name == "match-case") {
        rule.matchCase = true;
        return true;
    }
    if (name == "badfilter") {
        rule.badFilter = true;
        return true;
    }
    if (rule.exception && (name == "elemhide" || name == "ehide")) {
        rule.noHiding = true;
        return true;
    }
    if (rule.exception && (name == "generichide" || name == "ghide")) {
        rule.noGenericHiding = true;
        return true;
    }
    why = (unapplied ? "option is not applied here: " : "option not understood: ") + name;
    return false;
}

} // namespace

std::string lowered(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return out;
}

bool requestTypeFromName(std::string_view name, RequestType &type)
{
    for (const auto &[text, value] : kTypeNames) {
        if (text == name) {
            type = value;
            return true;
        }
    }
    return false;
}

const char *requestTypeName(RequestType type)
{
    for (const auto &[text, value] : kTypeNames)
        if (value == type)
            return text.data();
    return "other";
}

bool hostWithin(std::string_view host, std::string_view domain)
{
    if (host.size() < domain.size() || host.substr(host.size() - domain.size()) != domain)
        return false;
    return host.size() == domain.size() || host[host.size() - domain.size() - 1] == '.';
}

void DomainList::index()
{
    constexpr size_t kLong = 8;
    if (included.size() > kLong)
        includedSet = std::make_shared<const std::unordered_set<std::string>>(included.begin(), included.end());
    if (excluded.size() > kLong)
        excludedSet = std::make_shared<const std::unordered_set<std::string>>(excluded.begin(), excluded.end());
}

bool DomainList::appliesTo(std::string_view host) const
{
    if (includedSet || excludedSet) {
        // From the most specific name down: the first one named decides.
        auto named = [](const std::vector<std::string> &list, const std::shared_ptr<const std::unordered_set<std::string>> &set,
                        const std::string &name) {
            if (set)
                return set->count(name) > 0;
            return std::find(list.begin(), list.end(), name) != list.end();
        };
        std::string name(host);
        for (;;) {
            if (named(excluded, excludedSet, name))
                return false;
            if (named(included, includedSet, name))
                return true;
            const size_t dot = name.find('.');
            if (dot == std::string::npos)
                break;
            name.erase(0, dot + 1);
        }
        return included.empty();
    }
    // The most specific name decides: "a.com|~b.a.com" applies on a.com but not b.a.com.
    size_t bestInclude = 0;
    size_t bestExclude = 0;
    for (const std::string &domain : included)
        if (hostWithin(host, domain))
            bestInclude = std::max(bestInclude, domain.size());
    for (const std::string &domain : excluded)
        if (hostWithin(host, domain))
            bestExclude = std::max(bestExclude, domain.size());
    if (bestExclude > bestInclude)
        return false;
    return included.empty() || bestInclude > 0;
}

namespace FilterRule {

bool regexIsSafe(std::string_view pattern)
{
    if (pattern.size() > 512)
        return false;
    // Back references and look-arounds are what an automaton cannot do. A group with a
    // repetition or an alternative inside that is repeated itself is what backtracks
    // without bound, and many repetitions in a row multiply the work on a long address.
    struct Group
    {
        bool risky = false; // repeats or branches inside
    };
    std::vector<Group> groups;
    bool previousRisky = false; // the item just before a quantifier is a risky group
    bool escaped = false;
    bool inClass = false;
    int repetitions = 0;
    // Two unbounded repetitions with nothing required between them ("a*b*", "x+.*")
    // share one stretch of the address in every way there is to split it.
    bool unboundedSeen = false;
    int requiredSince = 0; // items since the last unbounded repetition that must be there
    auto item = [&] { ++requiredSince; };
    // A quantifier on the item just read; false when it makes the pattern unsafe.
    auto quantified = [&](bool optional, bool unbounded) {
        --requiredSince; // the item itself is counted again below when it must be there
        if (unbounded) {
            if (unboundedSeen && requiredSince <= 0)
                return false;
            unboundedSeen = true;
            requiredSince = 0;
        } else if (!optional) {
            ++requiredSince;
        }
        return true;
    };
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (escaped) {
            escaped = false;
            if (c >= '1' && c <= '9')
                return false;
            previousRisky = false;
            item();
            continue;
        }
        if (c == '\\') {
            escaped = true;
            continue;
        }
        if (inClass) {
            inClass = c != ']';
            if (!inClass)
                item();
            continue;
        }
        switch (c) {
        case '[':
            inClass = true;
            previousRisky = false;
            break;
        case '(':
            if (pattern.substr(i, 3) == "(?=" || pattern.substr(i, 3) == "(?!" || pattern.substr(i, 4) == "(?<=" ||
                pattern.substr(i, 4) == "(?<!")
                return false;
            groups.push_back({});
            previousRisky = false;
            // "(?:" and the like: the mark is the group's, not a quantifier.
            if (i + 1 < pattern.size() && pattern[i + 1] == '?')
                ++i;
            break;
        case ')': {
            if (groups.empty())
                return false;
            const bool risky = groups.back().risky;
            groups.pop_back();
            if (risky && !groups.empty())
                groups.back().risky = true;
            previousRisky = risky;
            // The group as a whole is the item a quantifier after it repeats.
            item();
            continue;
        }
        case '|':
            if (!groups.empty())
                groups.back().risky = true;
            previousRisky = false;
            // Another branch starts afresh.
            unboundedSeen = false;
            requiredSince = 0;
            break;
        case '*':
        case '+':
        case '{': {
            bool optional = c == '*';
            bool unbounded = c != '{';
            if (c == '{') {
                const size_t close = pattern.find('}', i);
                if (close == std::string_view::npos)
                    return false;
                const std::string_view bounds = pattern.substr(i + 1, close - i - 1);
                optional = !bounds.empty() && bounds.front() == '0';
                unbounded = !bounds.empty() && bounds.back() == ',';
                i = close;
            }
            if (previousRisky || ++repetitions > 4 || !quantified(optional, unbounded))
                return false;
            if (!groups.empty())
                groups.back().risky = true;
            previousRisky = false;
            // A lazy or possessive mark belongs to the quantifier.
            if (i + 1 < pattern.size() && (pattern[i + 1] == '?' || pattern[i + 1] == '+'))
                ++i;
            break;
        }
        case '?':
            if (!quantified(true, false))
                return false;
            previousRisky = false;
            break;
        case '^':
        case '$':
            previousRisky = false;
            break;
        default:
            previousRisky = false;
            item();
            break;
        }
    }
    return !escaped && !inClass && groups.empty();
}

std::string requiredLiteral(std::string_view pattern)
{
    std::string best;
    std::string run;
    int depth = 0;
    auto endRun = [&] {
        if (run.size() > best.size())
            best = run;
        run.clear();
    };
    auto plain = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view("/-_:=&%,!@;'\"<>").find(c) != std::string_view::npos;
    };
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        char literal = 0;
        if (c == '\\') {
            if (++i >= pattern.size())
                break;
            const char escaped = pattern[i];
            // An escaped punctuation mark stands for itself; \d, \w and the like do not.
            if (!((escaped >= 'a' && escaped <= 'z') || (escaped >= 'A' && escaped <= 'Z') ||
                  (escaped >= '0' && escaped <= '9')))
                literal = escaped;
        } else if (c == '[') {
            // A class: one of several characters, none certain.
            for (++i; i < pattern.size() && pattern[i] != ']'; ++i)
                if (pattern[i] == '\\')
                    ++i;
            endRun();
            continue;
        } else if (c == '(') {
            ++depth;
            endRun();
            continue;
        } else if (c == ')') {
            --depth;
            endRun();
            continue;
        } else if (c == '|') {
            if (depth == 0)
                return {}; // an alternative at the top: nothing is certain
            continue;
        } else if (c == '*' || c == '?' || (c == '{' && i + 1 < pattern.size() && pattern[i + 1] == '0')) {
            // The item before is optional.
            if (!run.empty())
                run.pop_back();
            endRun();
            continue;
        } else if (c == '+' || c == '{') {
            // Repeated at least once: the item is there, but the run cannot go on past it.
            endRun();
            continue;
        } else if (plain(c)) {
            literal = c;
        }
        if (depth > 0 || !literal) {
            endRun(); // inside a group, or '.', '^', '$', a class escape
            continue;
        }
        run.push_back(literal >= 'A' && literal <= 'Z' ? char(literal - 'A' + 'a') : literal);
    }
    endRun();
    return best.size() >= 3 ? best : std::string();
}

ParsedLine parse(std::string_view raw)
{
    if (raw.size() > kMaxLineLength)
        return unsupported("line too long");
    const std::string_view line = trimmed(raw);
    if (line.empty() || line.front() == '!' || line.front() == '[')
        return {};
    for (char c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return unsupported("control characters");

    if (const size_t marker = hidingMarker(line); marker != std::string_view::npos)
        return parseHiding(line, marker);

    NetworkRule rule;
    rule.text = line;
    std::string_view body = line;
    if (body.substr(0, 2) == "@@") {
        rule.exception = true;
        body.remove_prefix(2);
    }

    std::string_view options;
    const bool wholeRegex = body.size() >= 2 && body.front() == '/' && body.back() == '/';
    if (!wholeRegex) {
        size_t dollar = std::string_view::npos;
        if (body.front() == '/' && body.size() > 2)
            dollar = body.rfind("/$") == std::string_view::npos ? std::string_view::npos : body.rfind("/$") + 1;
        if (dollar == std::string_view::npos)
            dollar = body.rfind('$');
        if (dollar != std::string_view::npos) {
            options = body.substr(dollar + 1);
            body = body.substr(0, dollar);
        }
    }

    uint32_t included = 0;
    uint32_t excluded = 0;
    size_t start = 0;
    while (start < options.size()) {
        size_t end = options.find(',', start);
        if (end == std::string_view::npos)
            end = options.size();
        const std::string_view option = trimmed(options.substr(start, end - start));
        start = end + 1;
        if (option.empty())
            continue;
        std::string why;
        if (!applyOption(option, rule, included, excluded, why))
            return unsupported(why);
    }
    if (included)
        rule.types = included & ~excluded;
    else if (rule.wholeDocument || rule.noHiding || rule.noGenericHiding)
        rule.types = 0; // an exception for the page, not for its requests
    else
        rule.types = kDefaultTypes & ~excluded;

    ParsedLine parsed;
    if (body.size() >= 2 && body.front() == '/' && body.back() == '/') {
        const std::string_view expression = body.substr(1, body.size() - 2);
        if (!regexIsSafe(expression))
            return unsupported("regular expression that could backtrack without bound");
        std::shared_ptr<const FilterRegex> regex = FilterRegex::compile(expression, rule.matchCase);
        if (!regex)
            return unsupported("invalid regular expression");
        rule.regex = std::make_unique<NetworkRule::Regex>(NetworkRule::Regex{std::move(regex), requiredLiteral(expression)});
    } else {
        if (body.substr(0, 2) == "||") {
            rule.hostAnchor = true;
            body.remove_prefix(2);
        } else if (!body.empty() && body.front() == '|') {
            rule.startAnchor = true;
            body.remove_prefix(1);
        }
        if (!body.empty() && body.back() == '|') {
            rule.endAnchor = true;
            body.remove_suffix(1);
        }
        if (!asciiOnly(body))
            return unsupported("address pattern that is not ASCII");
        if (body.find('|') != std::string_view::npos)
            return unsupported("anchor inside the pattern");
        std::string pattern;
        pattern.reserve(body.size());
        for (char c : body)
            if (c != '*' || pattern.empty() || pattern.back() != '*')
                pattern.push_back(c);
        // A leading or trailing wildcard says what no anchor says.
        while (!pattern.empty() && pattern.front() == '*') {
            pattern.erase(pattern.begin());
            rule.startAnchor = rule.hostAnchor = false;
        }
        while (!pattern.empty() && pattern.back() == '*') {
            pattern.pop_back();
            rule.endAnchor = false;
        }
        if (!rule.matchCase)
            pattern = lowered(pattern);
        if (rule.hostAnchor) {
            // "||ads.example.com^..." names a whole host (or the end of one); "||ads.exam"
            // does not, nor does "||ads.*.com".
            const size_t end = pattern.find_first_of("^/*:?");
            const bool hostEnds = end == std::string::npos ? rule.endAnchor : pattern[end] != '*';
            const size_t length = end == std::string::npos ? pattern.size() : end;
            if (hostEnds && length > 0 && length < 0xffff)
                rule.hostLength = uint16_t(length);
        }
        parsed.pattern = std::move(pattern);
    }

    parsed.kind = ParsedLine::Kind::Network;
    parsed.network = std::move(rule);
    return parsed;
}

} // namespace FilterRule
