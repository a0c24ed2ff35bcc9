#pragma once

#include <QStringList>

// Pages not open but still to be kept in the open-page lists (the last run's pages while
// their restore is offered), as list lines.
class PendingPages
{
public:
    virtual ~PendingPages() = default;
    virtual QStringList pendingLines() const = 0;
    // Their lines of the state list, in the same order (OpenPageLists::stateLine).
    virtual QStringList pendingStateLines() const = 0;
};
