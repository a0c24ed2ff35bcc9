#include "openpagelists.h"

#include "../app/listfile.h"
#include "../app/mainform.h"
#include "../engine/embeddedwb.h"
#include "../navigation/addressbar.h"
#include "../pages/formwebbrowser.h"

OpenPageLists::OpenPageLists(TQORMainForm *mainForm) : QObject(mainForm), m_main(mainForm) {}

QStringList OpenPageLists::currentLines() const
{
    QStringList lines;
    const TFormWebbrowser *pages = m_main->pages();
    for (int i = 0; pages && i < pages->count(); ++i) {
        const TFormWebbrowser::PageRecord *record = pages->page(i);
        QString title = record->title.trimmed();
        if (title.isEmpty() || title == QLatin1String("about:blank"))
            title = record->browser->LocationName();
        const QString address = record->browser->LocationURL();
        if (title.trimmed().isEmpty() || address.trimmed().isEmpty() ||
            address.trimmed().toLower() == QLatin1String("about:blank"))
            continue;
        lines << ListFile::join(title, address);
    }
    return lines;
}

void OpenPageLists::save(int mode)
{
    try {
        const TFormWebbrowser *pages = m_main->pages();
        if (!pages || pages->count() == 0)
            return;
        const QStringList lines = currentLines();
        // A failed write ends the save; the next finished document tries again.
        if (!ListFile::save(m_main->dataFile(QStringLiteral("OpenURLList.lst")), lines))
            return;
        if (mode == 2) {
            if (!ListFile::save(m_main->dataFile(QStringLiteral("OpenURLList2.lst")), lines))
                return;
            const QStringList history = m_main->addressBar()->history();
            if (!history.isEmpty() && !ListFile::save(m_main->dataFile(QStringLiteral("Url.lst")), history))
                return;
        }
        if (mode != 1 && !m_main->closing())
            m_main->config().writeString(kRunData, QStringLiteral("TrueClose"), QStringLiteral("0"));
    } catch (...) {
    }
}
