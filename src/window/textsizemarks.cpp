#include "textsizemarks.h"

#include "../engine/embeddedwb.h"
#include "../pages/formwebbrowser.h"

#include <QAction>
#include <QActionGroup>

TextSizeMarks::TextSizeMarks(TFormWebbrowser *pages, const QList<QAction *> &items, QObject *parent)
    : QObject(parent), m_pages(pages), m_items(items)
{
}

void TextSizeMarks::showOfActivePage()
{
    const TFormWebbrowser::PageView *active = m_pages->activePage();
    std::optional<int> level;
    if (active && active->browser()->Document()) {
        QVariant answer;
        active->browser()->ExecWB(TEmbeddedWB::ExecZoom, TEmbeddedWB::OptionDontPromptUser, QVariant(), &answer);
        if (answer.isValid())
            level = answer.toInt();
    }
    show(level);
}

void TextSizeMarks::show(std::optional<int> level)
{
    if (level && *level >= 0 && *level < m_items.size())
        m_mark = level;
    // The item the user picked checked itself: without an answer the last mark comes back.
    if (m_mark) {
        m_items.at(*m_mark)->setChecked(true);
        return;
    }
    for (QAction *item : m_items) {
        if (!item->isChecked())
            continue;
        QActionGroup *group = item->actionGroup();
        const auto policy = group ? group->exclusionPolicy() : QActionGroup::ExclusionPolicy::Exclusive;
        if (group)
            group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
        item->setChecked(false);
        if (group)
            group->setExclusionPolicy(policy);
    }
}
