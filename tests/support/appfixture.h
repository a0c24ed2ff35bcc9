#pragma once

#include "window/mainform.h"
#include "app/program.h"
#include "engine/scriptedbrowser.h"
#include "instance/forwardingrules.h"
#include "pages/formwebbrowser.h"
#include "statusbar/statusline.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

class QDialog;

class AddressBar;
class AdScrubber;
class PopupFilter;
class OpenPageLists;
class PageTabs;
class RecentlyClosedList;
class SearchBar;
class TSetForm;

// The program as start-up makes it (the composition root) in a fresh program folder, with
// the scripted engine behind every page.
class AppFixture
{
public:
    // Config.ini gets these bytes first when given; pages come from `engine`, or from the
    // scripted engine when none is given.
    explicit AppFixture(const QByteArray &configIni = {}, EngineFactory *engine = nullptr);
    // With files in the program folder before it starts (relative path, bytes).
    AppFixture(const QList<QPair<QString, QByteArray>> &files, const QByteArray &configIni = {},
               EngineFactory *engine = nullptr, const std::function<void(const QString &)> &plant = {});
    // With whatever `plant` puts into the program folder (given) before it starts: what no
    // bytes can say, a FIFO or a link.
    struct Planted
    {
        std::function<void(const QString &folder)> plant;
    };
    explicit AppFixture(const Planted &planted);
    ~AppFixture();

    std::unique_ptr<Program> program;
    TQORMainForm *main = nullptr;
    TFormWebbrowser *pages = nullptr;
    ScriptedEngine engine;

    PageTabs *tabs() const { return program->tabs(); }
    AddressBar *addressBar() const { return program->addressBar(); }
    SearchBar *searchBar() const { return program->searchBar(); }
    RecentlyClosedList *recentlyClosed() const { return program->recentlyClosed(); }
    PopupFilter *popupFilter() const { return program->popupFilter(); }
    AdScrubber *adScrubber() const { return program->adScrubber(); }
    OpenPageLists *openPageLists() const { return program->openPageLists(); }
    TSetForm *clock() const { return program->clock(); }
    StatusLine *status() const { return program->status(); }
    // A menu item or key action by its object name, as a person or a screen reader finds it.
    QAction *item(const char *name) const;
    // A widget of the window by its object name, found the same way.
    template <typename T = QWidget> T *widget(const char *name) const
    {
        return main->findChild<T *>(QLatin1String(name));
    }
    // Whether a tool button shows the picture another holds (back and forward take theirs
    // from hidden holders: enabled SBL1 and SBL2, greyed SBH1 and SBH2).
    bool showsPictureOf(const char *button, const char *holder) const;
    QString statusText(int panel) const;

    // Set by the filter tests: the programs made from now on load the lists they chose.
    static bool s_filterListsChosen;

    QString folder() const { return m_dir.path() + QLatin1Char('/'); }
    QString path(const QString &relative) const { return folder() + relative; }
    bool exists(const QString &relative) const;
    QByteArray bytes(const QString &relative) const;
    // A list file's lines, GB18030-decoded; empty when the file is missing.
    QStringList lines(const QString &relative) const;
    QString configValue(const QString &key) const;

    ScriptedBrowser *browser(int index) const;
    ScriptedBrowser *active() const;
    // Opens a blank page the way the user does (Ctrl+B) and commits its navigation.
    ScriptedBrowser *openBlankPage();
    // Opens a page showing `url`; it becomes the active page.
    ScriptedBrowser *openPage(const QString &url, const QString &title = {});
    // Shows the window and waits until it is the active one; false when it never became so.
    bool showActive();
    // The pages' captions, as the strip shows them once it caught up.
    QStringList captions() const;
    QString addressText() const;
    void setAddressText(const QString &text);

private:
    QTemporaryDir m_dir;
};

// Acts on the next modal dialog as soon as it shows (a person answering it); the dialog is
// rejected when `act` leaves it open.
void whenDialogShows(std::function<void(QDialog *)> act);

// Writes bytes to a file, creating its folder; true when all of them were written.
bool writeFile(const QString &path, const QByteArray &bytes);

// The scripted engine answers scripts in the order they were asked: true once an answer
// asked of `page` now has come, and with it every answer asked before (of any page).
bool scriptAnswersArrived(ScriptedBrowser *page);
