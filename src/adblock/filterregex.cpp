#include "filterregex.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace {

// The work of one match, counted at every step of the expression (an automatic callout):
// the match limits count per starting place, and an expression without a fixed first
// character starts at every place of a long address.
struct Budget
{
    unsigned steps = 0;
};

int countStep(pcre2_callout_block *, void *data)
{
    Budget *budget = static_cast<Budget *>(data);
    // Below zero ends the whole match: it counts as no match.
    return ++budget->steps > FilterRegex::kStepBudget ? PCRE2_ERROR_MATCHLIMIT : 0;
}

// One match context and one match data block per thread: the engine asks from its own
// threads, and a match must not allocate on every request.
struct ThreadMatch
{
    pcre2_match_context *context = nullptr;
    pcre2_match_data *data = nullptr;
    Budget budget;

    ThreadMatch()
    {
        context = pcre2_match_context_create(nullptr);
        pcre2_set_match_limit(context, FilterRegex::kMatchLimit);
        pcre2_set_depth_limit(context, FilterRegex::kDepthLimit);
        pcre2_set_callout(context, &countStep, &budget);
        // The matched text is never read: one pair is all a match needs.
        data = pcre2_match_data_create(1, nullptr);
    }
    ~ThreadMatch()
    {
        pcre2_match_data_free(data);
        pcre2_match_context_free(context);
    }
};

} // namespace

std::shared_ptr<const FilterRegex> FilterRegex::compile(std::string_view expression, bool matchCase)
{
    int error = 0;
    PCRE2_SIZE offset = 0;
    // Bytes as they are: addresses come encoded, and an expression of the lists is never
    // refused for not being UTF-8. No JIT: the limits above hold only for the interpreter.
    pcre2_code *code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(expression.data()), expression.size(),
                                     (matchCase ? 0 : PCRE2_CASELESS) | PCRE2_NO_AUTO_CAPTURE | PCRE2_AUTO_CALLOUT, &error, &offset, nullptr);
    if (!code)
        return nullptr;
    std::shared_ptr<FilterRegex> regex(new FilterRegex);
    regex->m_code = code;
    regex->m_expression = std::string(expression);
    regex->m_matchCase = matchCase;
    return regex;
}

FilterRegex::~FilterRegex()
{
    pcre2_code_free(static_cast<pcre2_code *>(m_code));
}

bool FilterRegex::matches(std::string_view subject) const
{
    thread_local ThreadMatch match;
    if (!match.context || !match.data)
        return false;
    match.budget.steps = 0;
    const int result = pcre2_match(static_cast<const pcre2_code *>(m_code), reinterpret_cast<PCRE2_SPTR>(subject.data()),
                                   subject.size(), 0, 0, match.data, match.context);
    // Below zero: no match, or the limit was reached; neither blocks.
    return result >= 0;
}
