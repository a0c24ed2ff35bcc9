// sablix-filters: asks the browser's ad filter what it decides about requests.
//   sablix-filters [--list FILE]... [--rule TEXT] [--hide HOST] [--stats]
// Reads lines "URL<TAB>PAGE_URL<TAB>TYPE" from standard input and answers each with
// "block" or "allow", a tab and the deciding rule as written (empty when none matched);
// with --rule, "match" or "nomatch"; malformed lines get "error" and the reason.
#include "filterset.h"
#include "filtersources.h"

#include <QCoreApplication>

#include <cstdio>
#include <iostream>
#include <string>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: sablix-filters [--list FILE]... [--rule TEXT] [--hide HOST] [--stats]\n");
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList lists;
    QString rule;
    QString hideHost;
    bool ruleGiven = false;
    bool stats = false;
    const QStringList arguments = app.arguments().mid(1);
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--list") && i + 1 < arguments.size())
            lists << arguments.at(++i);
        else if (argument == QLatin1String("--rule") && i + 1 < arguments.size()) {
            rule = arguments.at(++i);
            ruleGiven = true;
        } else if (argument == QLatin1String("--hide") && i + 1 < arguments.size())
            hideHost = arguments.at(++i);
        else if (argument == QLatin1String("--stats"))
            stats = true;
        else
            return usage();
    }

    FilterSet set;
    if (ruleGiven) {
        set.addLine(rule.toStdString());
        if (set.counts().network + set.counts().hiding == 0) {
            std::fprintf(stderr, "sablix-filters: the rule is not applied: %s\n",
                         set.skipReasons().empty() ? "not a rule" : set.skipReasons().begin()->first.c_str());
            return 1;
        }
    } else {
        if (lists.isEmpty())
            lists = FilterSources::all();
        for (const QString &path : lists) {
            // The browser's own user file need not exist.
            if (!set.addListFile(path) && path != FilterSources::userRules())
                std::fprintf(stderr, "sablix-filters: cannot read %s\n", qPrintable(path));
        }
    }
    set.finish();

    if (stats) {
        std::fprintf(stderr, "network rules %zu, hiding rules %zu, skipped %zu\n", set.counts().network,
                     set.counts().hiding, set.counts().skipped);
        for (const auto &[reason, count] : set.skipReasons())
            std::fprintf(stderr, "  skipped %zu: %s\n", count, reason.c_str());
    }

    if (!hideHost.isEmpty()) {
        const QString page = hideHost.contains(QLatin1String("://")) ? hideHost : QStringLiteral("http://") + hideHost + QLatin1Char('/');
        for (const std::string &selector : set.hidingSelectors(page.toStdString()))
            std::cout << selector << '\n';
        return 0;
    }

    std::ios::sync_with_stdio(false);
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t first = line.find('\t');
        const size_t second = first == std::string::npos ? std::string::npos : line.find('\t', first + 1);
        if (second == std::string::npos || line.find('\t', second + 1) != std::string::npos) {
            std::cout << "error\texpected URL<TAB>PAGE_URL<TAB>TYPE\n";
            continue;
        }
        const std::string_view text(line);
        const std::string_view url = text.substr(0, first);
        const std::string_view page = text.substr(first + 1, second - first - 1);
        RequestType type;
        if (url.find("://") == std::string_view::npos) {
            std::cout << "error\tnot an address: " << url << '\n';
            continue;
        }
        if (!requestTypeFromName(text.substr(second + 1), type)) {
            std::cout << "error\tunknown type: " << text.substr(second + 1) << '\n';
            continue;
        }
        if (ruleGiven) {
            std::cout << (set.anyMatch(url, page, type) ? "match" : "nomatch") << '\n';
            continue;
        }
        const FilterSet::Decision decision = set.decide(url, page, type);
        std::cout << (decision.block ? "block" : "allow") << '\t' << (decision.rule ? decision.rule->text : std::string_view())
                  << '\n';
    }
    return 0;
}
