#include "developertools.h"

#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

DeveloperTools::DeveloperTools(QWebEnginePage *inspected, QWidget *owner)
    : QWidget(owner, Qt::Window), m_inspected(inspected)
{
    setObjectName(QStringLiteral("DeveloperTools"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_view = new QWebEngineView(this);
    // The tools' own page, in the inspected page's profile (a private page's tools keep
    // nothing either).
    auto *tools = new QWebEnginePage(inspected->profile(), m_view);
    m_view->setPage(tools);
    layout->addWidget(m_view);
    inspected->setDevToolsPage(tools);
    resize(900, 600);
}

DeveloperTools::~DeveloperTools()
{
    // Before the tools' page goes: the inspected page no longer points at it.
    if (m_inspected && m_inspected->devToolsPage() == m_view->page())
        m_inspected->setDevToolsPage(nullptr);
}

void DeveloperTools::showTitle(const QString &pageTitle)
{
    setWindowTitle(QStringLiteral("开发者工具 - ") + pageTitle);
}
