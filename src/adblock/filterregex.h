#pragma once

#include <memory>
#include <string>
#include <string_view>

// A /regular expression/ rule's expression, compiled with PCRE2 and matched under limits:
// a hostile expression costs at most a bounded amount of work per address, whatever the
// address, and a match that reaches a limit counts as no match.
class FilterRegex
{
public:
    // Backtracking steps and nesting one match may take; far above what any list's
    // expression needs on a real address (a few hundred), far below seconds of work.
    static constexpr unsigned kMatchLimit = 20000;
    static constexpr unsigned kDepthLimit = 200;
    // Steps of the expression one match may take in all, over every place it starts at:
    // the bound on the work, whatever the expression and the address.
    // An expression of the lists on a 4 KiB address takes a few thousand at most.
    static constexpr unsigned kStepBudget = 20000;

    // None when the expression does not compile.
    static std::shared_ptr<const FilterRegex> compile(std::string_view expression, bool matchCase);
    ~FilterRegex();

    bool matches(std::string_view subject) const;
    const std::string &expression() const { return m_expression; }
    bool matchCase() const { return m_matchCase; }

private:
    FilterRegex() = default;
    void *m_code = nullptr; // pcre2_code_8
    std::string m_expression;
    bool m_matchCase = false;
};
