#pragma once

#include <QString>

#include <functional>

class QObject;

// Makes sablix the desktop's default browser through the desktop's own tool (it needs the
// program's desktop entry); `report` gets what really happened, in Chinese.
void setAsDefaultBrowser(QObject *owner, std::function<void(const QString &)> report);
