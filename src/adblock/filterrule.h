#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

class FilterRegex;

// What a request is, in the words of the filter lists' type options.
enum class RequestType : uint8_t {
    Script,
    Image,
    Stylesheet,
    XmlHttpRequest,
    Subdocument,
    Font,
    Media,
    Ping,
    WebSocket,
    Document,
    Object,
    Other,
    Count
};

constexpr uint32_t typeBit(RequestType type)
{
    return 1u << uint32_t(type);
}
constexpr uint32_t kAllTypes = (1u << uint32_t(RequestType::Count)) - 1;
// A rule without type options applies to every request but the page's own document.
constexpr uint32_t kDefaultTypes = kAllTypes & ~typeBit(RequestType::Document);

// The type named as the lists name it ("script", "xmlhttprequest", ...); false when unknown.
// ASCII letters in lower case; other bytes (UTF-8 too) as they are.
std::string lowered(std::string_view text);
bool requestTypeFromName(std::string_view name, RequestType &type);
const char *requestTypeName(RequestType type);

// Domains of a $domain= option or of an element-hiding rule: the rule applies on these
// (and their subdomains), never on the excluded ones.
struct DomainList
{
    std::vector<std::string> included;
    std::vector<std::string> excluded;
    // Long lists (some rules name hundreds of sites) are looked up by name instead.
    std::shared_ptr<const std::unordered_set<std::string>> includedSet;
    std::shared_ptr<const std::unordered_set<std::string>> excludedSet;

    bool empty() const { return included.empty() && excluded.empty(); }
    // True when a page of `host` (lower-case) is one the rule applies to.
    bool appliesTo(std::string_view host) const;
    // Makes the lookup sets of a long list.
    void index();
};

// host is `domain` itself or one of its subdomains.
bool hostWithin(std::string_view host, std::string_view domain);

struct NetworkRule
{
    enum class Party : uint8_t { Any, ThirdOnly, FirstOnly };

    struct Regex
    {
        std::shared_ptr<const FilterRegex> expression;
        std::string literal; // lower-case text every address the expression matches holds
        // Three characters of the literal, packed, that the rule is indexed by; 0 when the
        // rule is not indexed by its literal (it has none, or its list filled the place).
        uint32_t gram = 0;
    };

    // Views of text its set keeps; as parsed, the text views the line and the pattern is
    // left to whoever keeps the rule (see ParsedLine).
    std::string_view text;    // as written in its list
    std::string_view pattern; // lower-case (unless matchCase), without anchors; '*' and '^' special
    std::unique_ptr<Regex> regex; // for /regular expression/ rules
    std::unique_ptr<DomainList> domains; // $domain=; none for most rules
    uint32_t types = kDefaultTypes;
    Party party = Party::Any;
    bool exception = false;
    bool important = false;
    bool matchCase = false;
    bool hostAnchor = false;  // "||"
    bool startAnchor = false; // "|" at the start
    bool endAnchor = false;   // "|" at the end
    // For "||": how many characters of the pattern name the end of a host (the pattern
    // goes on with a separator, a "/" or nothing); 0 when the pattern does not say.
    uint16_t hostLength = 0;
    // Exceptions only: what the matching page is spared of.
    bool wholeDocument = false;  // $document: nothing is blocked or hidden on it
    bool noHiding = false;       // $elemhide
    bool noGenericHiding = false; // $generichide
    bool badFilter = false;      // $badfilter: switches off the rule written like it
};

struct HidingRule
{
    // Views, as NetworkRule's.
    std::string_view text;
    std::string_view selector;
    DomainList domains;
    bool exception = false; // #@#
};

// One line of a list, read. The rules' texts view the line parsed; the network rule's
// pattern, made anew, is in `pattern` alone, for whoever keeps the rule to set its view.
struct ParsedLine
{
    enum class Kind { Nothing, Network, Hiding, Unsupported };
    Kind kind = Kind::Nothing;
    NetworkRule network;
    std::string pattern;
    HidingRule hiding;
    std::string reason; // why an unsupported line was skipped
};

namespace FilterRule {

// Lines longer than this are skipped: no list writes rules this long.
constexpr size_t kMaxLineLength = 8192;

// Comments, headers and blank lines give Nothing; a rule the program does not understand,
// or cannot apply safely, gives Unsupported with the reason; it is never guessed.
ParsedLine parse(std::string_view line);

// A regular expression rule is taken only when it cannot backtrack without bound: no back
// references, no repeated group that itself repeats, no two unbounded repetitions in a row
// (`[a-z]*[a-z]*` tries every way to split a run between them), bounded length.
bool regexIsSafe(std::string_view pattern);

// The longest run of plain characters a regular expression requires wherever it matches
// (outside groups, before any alternative); empty when there is none to be sure of.
std::string requiredLiteral(std::string_view pattern);

} // namespace FilterRule
