#include "pagerest.h"

#include "tabslog.h"

#include "../engine/embeddedwb.h"
#include "../core/safefile.h"
#include "../pages/formwebbrowser.h"

#include <QFile>

namespace {

// True when a form field holds text the user typed (its value differs from the page's).
const char kTypedText[] =
    "(function(){var f=document.querySelectorAll('input,textarea,select');"
    "for(var i=0;i<f.length;++i){var e=f[i];"
    "if(e.type==='hidden'||e.type==='submit'||e.type==='button')continue;"
    "if((e.type==='checkbox'||e.type==='radio')?e.checked!==e.defaultChecked:"
    "(e.tagName==='SELECT'?false:e.value!==e.defaultValue))return true;}"
    "var a=document.activeElement;return !!(a&&a.isContentEditable);})()";

// Memory is low when less than this share of it is available.
constexpr double kLowMemoryShare = 0.10;

} // namespace

PageRest::PageRest(TFormWebbrowser *pages, QObject *parent) : QObject(parent), m_pages(pages)
{
    memoryLow = &PageRest::systemMemoryLow;
    connect(pages, &TFormWebbrowser::activePageChanged, this, [this] {
        if (const TFormWebbrowser::PageView *record = m_pages->activePage())
            shown(record->browser());
    });
    m_timer.setInterval(kLookMs);
    connect(&m_timer, &QTimer::timeout, this, &PageRest::look);
    m_timer.start();
}

void PageRest::shown(TEmbeddedWB *page)
{
    m_lastShown[page].start();
}

void PageRest::look()
{
    const bool pressure = memoryLow && memoryLow();
    const TFormWebbrowser::PageView *active = m_pages->activePage();
    QHash<const TEmbeddedWB *, QElapsedTimer> seen;
    for (int i = 0; i < m_pages->count(); ++i) {
        TEmbeddedWB *page = m_pages->page(i)->browser();
        QElapsedTimer since = m_lastShown.value(page);
        if (!since.isValid() || page == active->browser())
            since.start();
        seen.insert(page, since);
        // A restored page that has not loaded yet has nothing to give back.
        if (page == active->browser() || !m_pages->page(i)->waitingAddress().isEmpty())
            continue;
        if (pressure || (m_idleMs > 0 && since.elapsed() >= m_idleMs))
            rest(page, pressure || page->rest() == TEmbeddedWB::Rest::Frozen);
    }
    // Closed pages drop out.
    m_lastShown = seen;
}

void PageRest::restNow(TEmbeddedWB *page, std::function<void(bool rested)> done)
{
    const TFormWebbrowser::PageView *active = m_pages->activePage();
    const int index = m_pages->indexOf(page);
    if (index < 0 || (active && active->browser() == page) || !m_pages->page(index)->waitingAddress().isEmpty()) {
        // A restored page that has not loaded yet already rests.
        done(index >= 0 && !m_pages->page(index)->waitingAddress().isEmpty());
        return;
    }
    rest(page, true, std::move(done));
}

void PageRest::rest(TEmbeddedWB *page, bool deep, std::function<void(bool rested)> done)
{
    auto finish = [done](bool rested) {
        if (done)
            done(rested);
    };
    const TEmbeddedWB::Rest target = deep ? TEmbeddedWB::Rest::Discarded : TEmbeddedWB::Rest::Frozen;
    if (page->rest() == target || page->rest() == TEmbeddedWB::Rest::Discarded)
        return finish(true);
    if (page->restAllowed() == TEmbeddedWB::Rest::Active)
        return finish(false);
    if (page->rest() == TEmbeddedWB::Rest::Frozen) {
        // Its scripts are stopped and it was looked at before it froze.
        page->setRest(target);
        return finish(page->rest() == target);
    }
    // Asked of the page first: the answer comes later, and the page may have been shown or
    // closed meanwhile.
    QPointer<TEmbeddedWB> guard(page);
    page->runDocumentScript(QString::fromLatin1(kTypedText), [this, guard, target, finish](const QVariant &typed) {
        if (!guard || typed.toBool() || m_pages->indexOf(guard) < 0)
            return finish(false);
        const TFormWebbrowser::PageView *active = m_pages->activePage();
        if ((active && active->browser() == guard) || guard->restAllowed() == TEmbeddedWB::Rest::Active)
            return finish(false);
        guard->setRest(target);
        qCDebug(lcTabs).noquote() << (target == TEmbeddedWB::Rest::Discarded ? "discarded" : "froze")
                                  << guard->LocationURL() << (guard->rest() == target ? "" : "(refused)");
        finish(guard->rest() == target);
    });
}

bool PageRest::systemMemoryLow()
{
    const std::optional<QByteArray> meminfo = SafeFile::read(QStringLiteral("/proc/meminfo"));
    if (!meminfo)
        return false;
    qint64 total = 0;
    qint64 available = -1;
    for (const QByteArray &line : meminfo->split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 2)
            continue;
        if (fields[0] == "MemTotal:")
            total = fields[1].toLongLong();
        else if (fields[0] == "MemAvailable:")
            available = fields[1].toLongLong();
    }
    return total > 0 && available >= 0 && double(available) < kLowMemoryShare * double(total);
}
