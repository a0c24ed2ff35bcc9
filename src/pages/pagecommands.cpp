#include "pagecommands.h"

#include "../core/safefile.h"
#include "../core/userfolders.h"

#include "../engine/embeddedwb.h"
#include "finddialog.h"
#include "formwebbrowser.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>

namespace {

// A name for a file from page text: nothing a file name cannot hold, no leading dots, not
// too long; empty when nothing is left.
QString fileNameFrom(const QString &text, int maxLength)
{
    QString name;
    for (const QChar c : text) {
        const bool forbidden = QStringLiteral("/\\\\:*?\"<>|").contains(c) || c.category() == QChar::Other_Control ||
                               c.category() == QChar::Other_Format;
        name += forbidden ? QLatin1Char('_') : c;
    }
    while (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    name = name.trimmed();
    if (name.size() > maxLength)
        name.truncate(name.at(maxLength - 1).isHighSurrogate() ? maxLength - 1 : maxLength);
    return name;
}

} // namespace

PageCommands::PageCommands(TFormWebbrowser *pages, const QString &tempFolder, QWidget *window)
    : QObject(window), openExternally([](const QUrl &url) { return QDesktopServices::openUrl(url); }),
      chooseFileToOpen([window] {
          return QFileDialog::getOpenFileName(window, QStringLiteral("打开文件"), QString(),
                                              QStringLiteral("HTML文件(*.htm *.html);;图片文件(*.jpg *.jpeg *.gif *.bmp);;所有文件(*)"));
      }),
      desktopFolder(&UserFolders::desktop), m_pages(pages), m_tempFolder(tempFolder), m_window(window)
{
}

const TFormWebbrowser::PageView *PageCommands::documentPage() const
{
    const TFormWebbrowser::PageView *active = m_pages->activePage();
    return active && active->browser()->Document() ? active : nullptr;
}

void PageCommands::exec(int command, int option)
{
    if (const TFormWebbrowser::PageView *page = documentPage())
        page->browser()->ExecWB(command, option);
}

void PageCommands::NOpenFileClick()
{
    const QString file = chooseFileToOpen();
    if (file.isEmpty() || !QFileInfo::exists(file))
        return;
    static const QStringList web{QStringLiteral(".HTM"), QStringLiteral(".HTML"), QStringLiteral(".ASP"),
                                 QStringLiteral(".ASPX"), QStringLiteral(".PHP"), QStringLiteral(".JSP"),
                                 QStringLiteral(".JPG"), QStringLiteral(".JPEG"), QStringLiteral(".BMP"),
                                 QStringLiteral(".GIF")};
    const QString suffix = QFileInfo(file).suffix();
    if (!suffix.isEmpty() && web.contains(QLatin1Char('.') + suffix.toUpper()))
        emit openFileRequested(file.trimmed());
    else
        openExternally(QUrl::fromLocalFile(file));
}

void PageCommands::NSaveAsClick()
{
    exec(TEmbeddedWB::ExecSaveAs, TEmbeddedWB::OptionDoDefault);
    m_pages->FocusActiveDocument();
}

void PageCommands::NPageSetupClick()
{
    exec(TEmbeddedWB::ExecPageSetup, TEmbeddedWB::OptionDoDefault);
    m_pages->FocusActiveDocument();
}

void PageCommands::NPrintClick()
{
    exec(TEmbeddedWB::ExecPrint, TEmbeddedWB::OptionDoDefault);
}

void PageCommands::NPrintViewClick()
{
    exec(TEmbeddedWB::ExecPrintPreview, TEmbeddedWB::OptionDoDefault);
}

void PageCommands::NAttributeClick()
{
    exec(TEmbeddedWB::ExecProperties, TEmbeddedWB::OptionDoDefault);
}

void PageCommands::NCutClick()
{
    exec(TEmbeddedWB::ExecCut, TEmbeddedWB::OptionPromptUser);
}

void PageCommands::NCopyClick()
{
    exec(TEmbeddedWB::ExecCopy, TEmbeddedWB::OptionPromptUser);
}

void PageCommands::NPasteClick()
{
    exec(TEmbeddedWB::ExecPaste, TEmbeddedWB::OptionPromptUser);
}

void PageCommands::NSelectAllClick()
{
    exec(TEmbeddedWB::ExecSelectAll, TEmbeddedWB::OptionPromptUser);
}

QUrl PageCommands::mailLink(const QString &title, const QString &address)
{
    // Encoded: an "&" or "#" in the title or the address must not end the field it is in.
    return QUrl::fromEncoded("mailto:?Subject=" + QUrl::toPercentEncoding(title) + "&Body=" +
                             QUrl::toPercentEncoding(address));
}

void PageCommands::NSendPageClick()
{
    if (const TFormWebbrowser::PageView *page = documentPage())
        openExternally(mailLink(page->title(), page->browser()->LocationURL()));
}

void PageCommands::NNewMailClick()
{
    // The page's text goes into a new message, after its address; a mail address has room
    // for the beginning of it only.
    const TFormWebbrowser::PageView *page = documentPage();
    if (!page)
        return;
    QPointer<TEmbeddedWB> browser = page->browser();
    const QString title = page->title();
    browser->runDocumentScript(QStringLiteral("document.body ? document.body.innerText : ''"),
                               [this, browser, title](const QVariant &text) {
                                   if (!browser)
                                       return;
                                   const QString body = browser->LocationURL() + QStringLiteral("\n\n") +
                                                        text.toString().left(1500);
                                   openExternally(mailLink(title, body));
                               });
}

QByteArray PageCommands::desktopLink(const QString &title, const QString &address)
{
    // One line each: a line break in a title must not start another key.
    QString name = title.simplified();
    QString url = address;
    url.remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    return QStringLiteral("[Desktop Entry]\nVersion=1.0\nType=Link\nName=%1\nIcon=text-html\nURL=%2\n")
        .arg(name.isEmpty() ? url : name, url)
        .toUtf8();
}

void PageCommands::NSendLinkClick()
{
    const TFormWebbrowser::PageView *page = documentPage();
    if (!page)
        return;
    const QString folder = desktopFolder();
    const QString address = page->browser()->LocationURL();
    QString name = fileNameFrom(page->title().isEmpty() ? address : page->title(), 80);
    if (name.isEmpty())
        name = QStringLiteral("网页");
    QDir().mkpath(folder);
    QString path = folder + QLatin1Char('/') + name + QStringLiteral(".desktop");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = folder + QLatin1Char('/') + name + QStringLiteral(" (%1).desktop").arg(n);
    if (SafeFile::replace(path, desktopLink(page->title(), address))) {
        QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
        emit statusMessage(QStringLiteral("已在桌面建立快捷方式: ") + QFileInfo(path).fileName());
    } else {
        emit statusMessage(QStringLiteral("无法在桌面建立快捷方式: ") + folder);
    }
}

void PageCommands::NImportClick()
{
    // Works on an empty page: one is made first when there is none with a document. A page
    // made here is loading its blank document already; it does not need another beside it.
    if (m_pages->count() == 0) {
        if (!m_blankPages || !m_blankPages->openBlankPage())
            return;
    } else if (!documentPage() && m_blankPages) {
        m_blankPages->openBlankPage();
    }
    emit importExportRequested();
}

void PageCommands::NFindClick()
{
    if (!documentPage())
        return;
    if (!m_find)
        m_find = new FindDialog(m_pages, m_window);
    m_find->show();
    m_find->raise();
    m_find->activateWindow();
    m_find->textField()->setFocus();
    m_find->textField()->selectAll();
}

void PageCommands::NEditSourceClick()
{
    if (const TFormWebbrowser::PageView *page = documentPage())
        page->browser()->runDocumentScript(QStringLiteral("(function () {"
                                                        " document.designMode = 'on';"
                                                        " if (document.body) document.body.setAttribute('contentEditable', 'true');"
                                                        " document.execCommand('Underline', false, null);"
                                                        "})();"));
}

void PageCommands::setTextSize(int level)
{
    if (const TFormWebbrowser::PageView *page = documentPage())
        page->browser()->ExecWB(TEmbeddedWB::ExecZoom, TEmbeddedWB::OptionDontPromptUser, qBound(0, level, 4));
    emit textSizeChanged();
}

void PageCommands::setZoom(double factor)
{
    if (const TFormWebbrowser::PageView *page = documentPage())
        page->browser()->runDocumentScript(QStringLiteral("if (document.body) document.body.style.zoom = %1;")
                                             .arg(QString::number(factor, 'g', 3)));
}

QString PageCommands::sourceFile(const QString &address) const
{
    // Characters 8 to 17: what follows "http://" in most addresses.
    const QString name = fileNameFrom(address.mid(7, 10), 10);
    if (name.isEmpty())
        return {};
    const QString path = QDir(m_tempFolder).absoluteFilePath(name + QStringLiteral(".txt"));
    // Whatever the name held, the file lies in the temp folder.
    if (QFileInfo(path).absolutePath() != QDir(m_tempFolder).absolutePath())
        return {};
    return path;
}

void PageCommands::NSourceClick()
{
    const TFormWebbrowser::PageView *page = m_pages->activePage();
    if (!page || !page->browser()->Document() || page->address() == QLatin1String("init.htm"))
        return;
    if (page->browser()->isPrivate()) {
        // Nothing of a private page is written anywhere: its source shows in a private page
        // of its own, made by the engine.
        viewSourceOf(page->browser());
        return;
    }
    const QString path = sourceFile(page->browser()->LocationURL());
    if (path.isEmpty())
        return;
    QPointer<PageCommands> self = this;
    page->browser()->runDocumentScript(QStringLiteral("document.body ? document.body.outerHTML : ''"),
                                     [self, path](const QVariant &html) {
                                         if (!self)
                                             return;
                                         QDir().mkpath(QFileInfo(path).absolutePath());
                                         if (!SafeFile::replace(path, html.toString().toUtf8())) {
                                             emit self->statusMessage(QStringLiteral("无法写入源文件: ") + path);
                                             return;
                                         }
                                         self->openExternally(QUrl::fromLocalFile(path));
                                     });
}

void PageCommands::NViewSourceClick()
{
    if (const TFormWebbrowser::PageView *page = m_pages->activePage())
        viewSourceOf(page->browser());
}

void PageCommands::viewSourceOf(const TEmbeddedWB *page)
{
    if (!page || !page->Document() || m_pages->indexOf(page) < 0)
        return;
    const QString address = page->LocationURL();
    static const QLatin1String viewSource("view-source:");
    if (address.isEmpty() || address == QLatin1String("about:blank") || address == QLatin1String("init.htm"))
        return;
    const int pages = m_pages->count();
    m_pages->OpenUrlInNewPage(address.startsWith(viewSource, Qt::CaseInsensitive) ? address : viewSource + address,
                              page->isPrivate());
    // Asked for, so shown at once.
    if (m_pages->count() > pages) {
        m_pages->activatePage(m_pages->newPageIndex());
        m_pages->announceActivePage();
    }
}

void PageCommands::NDeveloperToolsClick()
{
    if (const TFormWebbrowser::PageView *page = m_pages->activePage())
        page->browser()->showDeveloperTools();
}

void PageCommands::ActionTestClick()
{
    if (const TFormWebbrowser::PageView *page = m_pages->activePage(); page && !page->browser()->Document())
        QMessageBox::information(m_window, QStringLiteral("sablix 浏览器"), QStringLiteral("Document is nil."));
}
