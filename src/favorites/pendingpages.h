#pragma once

#include <QStringList>

// Pages not open but still to be kept in the open-page lists (the last run's pages while
// their restore is offered), as list lines.
class PendingPages
{
public:
    virtual ~PendingPages() = default;
    virtual QStringList pendingLines() const = 0;
};
