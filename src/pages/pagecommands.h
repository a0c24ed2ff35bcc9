#pragma once

#include "blankpageopener.h"

#include "formwebbrowser.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>

class FindDialog;
class QWidget;

// The commands of the File, Edit and View menus that act on the active page: open a file,
// save, print, page setup, preview, mail, desktop shortcut, import and export, properties,
// the clipboard, find, editing in place, text size, zoom and the page's source. With no
// page, or before its first document, they do nothing, except where said.
class PageCommands : public QObject
{
    Q_OBJECT

public:
    PageCommands(TFormWebbrowser *pages, const QString &tempFolder, QWidget *window);

    void NOpenFileClick();
    // The hidden test command: says when the active page has no document.
    void ActionTestClick();
    void NSaveAsClick();
    void NPageSetupClick();
    void NPrintClick();
    void NPrintViewClick();
    void NNewMailClick();
    void NSendPageClick();
    void NSendLinkClick();
    void NImportClick();
    void NAttributeClick();
    void NCutClick();
    void NCopyClick();
    void NPasteClick();
    void NSelectAllClick();
    void NFindClick();
    void NEditSourceClick();
    // 0 (smallest) to 4 (largest).
    void setTextSize(int level);
    // 0.5 for 50% and so on.
    void setZoom(double factor);
    void NSourceClick();
    // The source the server sent (the engine's view-source:) in a new page, shown at once;
    // private for a private page.
    void NViewSourceClick();
    void viewSourceOf(const TEmbeddedWB *page);
    // The engine's developer tools for the active page.
    void NDeveloperToolsClick();

    // The file a page's source goes to: characters 8 to 17 of the address, what a file name
    // cannot hold replaced, in the temp folder; empty when no sound name is left.
    QString sourceFile(const QString &address) const;
    // The mail address that sends a page's link: subject and body encoded.
    static QUrl mailLink(const QString &title, const QString &address);
    // The link file for the desktop: a freedesktop "Link" entry.
    static QByteArray desktopLink(const QString &title, const QString &address);

    // How a file or an address goes to the desktop's own program; tests put in their own.
    std::function<bool(const QUrl &)> openExternally;
    // The open dialog's answer; tests put in their own.
    std::function<QString()> chooseFileToOpen;
    // The desktop folder (xdg-user-dir DESKTOP).
    std::function<QString()> desktopFolder;
    // Opens a new blank page as the blank-page command does.
    // Where Ctrl+O and the like get a page when none is there to take it.
    void setBlankPageOpener(BlankPageOpener *opener) { m_blankPages = opener; }

signals:
    // A web file chosen to open: into the address box and Go.
    void openFileRequested(const QString &file);
    void importExportRequested();
    // A text size was applied (or not): the menu's marks follow the engine's answer.
    void textSizeChanged();
    // A result for the status line.
    void statusMessage(const QString &text);

private:
    const TFormWebbrowser::PageView *documentPage() const;
    void exec(int command, int option);

    TFormWebbrowser *m_pages;
    QString m_tempFolder;
    QWidget *m_window;
    BlankPageOpener *m_blankPages = nullptr;
    QPointer<FindDialog> m_find;
};
