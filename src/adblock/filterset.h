#pragma once

#include "bulkallocator.h"
#include "filterrule.h"
#include "textstore.h"
#include "tokenindex.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// The rules of all lists, compiled for matching: network rules indexed by a token each
// must find in an address, element-hiding rules by domain. Built once (off the interface
// thread), then only read, from any thread.
class FilterSet
{
public:
    struct Counts
    {
        size_t network = 0;
        size_t hiding = 0;
        size_t skipped = 0; // lines understood as rules that cannot be applied, or malformed
        size_t dropped = 0; // rules left out because their list holds more than can be matched fast
    };

    // What one list may bring. A rule that the index cannot keep from most requests (a
    // regular expression without a literal it must contain, a pattern without a token and
    // naming no site) is looked at on every request, and so these are kept to a few; no more
    // than kRegexPerGram regular expressions of a list share one place of the index, nor
    // kRulesPerSite rules one site.
    static constexpr size_t kMaxRulesPerList = 300000;
    static constexpr size_t kMaxUnindexedPerList = 256;
    static constexpr size_t kRegexPerGram = 16;
    static constexpr size_t kRulesPerSite = 256;

    struct Decision
    {
        bool block = false;
        const NetworkRule *rule = nullptr; // the deciding rule; none when nothing matched
    };

    // Adds a list's text; returns what it held.
    Counts addList(std::string_view text);
    // A list file as it is on disk; none (nothing added), with the reason, when it cannot
    // be read or is not a list file of a sane size.
    std::optional<Counts> addListFile(const QString &path, QString *problem = nullptr);
    void addLine(std::string_view line);
    // Indexes what was added; the set is read-only from here on.
    void finish();

    const Counts &counts() const { return m_counts; }
    // Why lines were skipped, with how many each (for the command-line tool).
    const std::unordered_map<std::string, size_t> &skipReasons() const { return m_skipReasons; }

    // `url` and `pageUrl` (the page or frame that asks) encoded as the engine sends them;
    // `topLevelUrl` is the page in the tab, whose exceptions count as well. Either page
    // may be empty.
    Decision decide(std::string_view url, std::string_view pageUrl, RequestType type,
                    std::string_view topLevelUrl = {}) const;
    // Any rule, blocking or exception, whose pattern and options fit the request, whatever
    // the others decide.
    const NetworkRule *anyMatch(std::string_view url, std::string_view pageUrl, RequestType type) const;
    // The page is spared everything: an @@...$document exception covers it.
    bool pageExcepted(std::string_view pageUrl) const;
    // The selectors that hide elements on pages of `pageUrl`.
    std::vector<std::string> hidingSelectors(std::string_view pageUrl) const;
    // The same as a style sheet that hides them and is never read as anything else.
    std::string hidingStyleSheet(std::string_view pageUrl) const;

private:
    friend class FilterCache;
    struct Request;
    using Bucket = std::vector<uint32_t>;

    static bool ruleMatches(const NetworkRule &rule, const Request &request);
    static bool patternMatches(const NetworkRule &rule, const Request &request);
    static bool domainsMatch(const NetworkRule &rule, const Request &request);
    static bool partyMatches(const NetworkRule &rule, const Request &request);
    // An index of rules: by a token each must find in an address, and, for rules that
    // name the sites they apply on, by those sites instead.
    struct RuleIndex
    {
        TokenIndex byToken;
        TokenIndex byGram; // regular expressions, by three characters of their literal
        Bucket untokenized;
        std::unordered_map<std::string, Bucket> bySite;
    };
    const NetworkRule *firstMatch(const RuleIndex &index, const Request &request) const;
    // The hiding rules named for the host or a domain above it that apply to the host.
    void chooseDomainRules(const std::string &host, std::set<uint32_t> &chosen) const;
    // The first rule `pick` takes from the buckets the request's rules may stand in.
    template <typename Pick>
    const NetworkRule *firstInBuckets(const RuleIndex &index, const Request &request, Pick pick) const;
    const NetworkRule *pageException(const Request &page, bool NetworkRule::*what) const;
    void indexRules(std::vector<uint32_t> ids, RuleIndex &index);
    // Chooses where the regular expressions of the list begun at `first` are indexed, and
    // leaves out what the index cannot keep from most requests past the list's allowance;
    // returns how many were left out.
    size_t placeRules(size_t first);
    size_t m_listBegin = 0; // the first rule of the list being added
    void indexTokenBits();

    TextStore m_text; // what the rules' texts view
    std::vector<NetworkRule, BulkAllocator<NetworkRule>> m_rules;
    std::vector<HidingRule, BulkAllocator<HidingRule>> m_hiding;
    Counts m_counts;
    std::unordered_map<std::string, size_t> m_skipReasons;

    // Which token hashes any index holds (one bit each, by the hash's low bits): most of an
    // address's tokens open no bucket and are passed over without a lookup.
    std::vector<uint64_t> m_tokenBits;
    bool mayHold(uint64_t hash) const
    {
        const uint64_t bit = hash & (kTokenBits - 1);
        return m_tokenBits[bit >> 6] & (uint64_t(1) << (bit & 63));
    }
    static constexpr uint64_t kTokenBits = uint64_t(1) << 20;

    RuleIndex m_blocking;
    RuleIndex m_exceptions;
    RuleIndex m_pageExceptions; // $document, $elemhide, $generichide exceptions
    RuleIndex m_important;

    std::vector<uint32_t> m_genericHiding;                        // no domains named
    std::unordered_map<std::string, std::vector<uint32_t>> m_hidingByDomain; // included domains
    std::unordered_map<std::string, std::vector<uint32_t>> m_hidingExceptions; // by selector
    // Every generic rule but those excepted everywhere; hosts named by an exclusion or an
    // exception of a generic rule get a sheet of their own.
    std::string m_genericStyleSheet;
    // Tells this set from any other, also one made later at the same address.
    const uint64_t m_serial = nextSerial();
    static uint64_t nextSerial();
    std::unordered_set<std::string> m_genericExceptionDomains;
    bool m_finished = false;
};
