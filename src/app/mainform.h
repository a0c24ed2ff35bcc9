#pragma once

#include "configstore.h"

#include <QMainWindow>
#include <QPointer>

class AddressBar;
class FilterSwitches;
class MessageFilter;
class OpenPageLists;
class PageTabs;
class QComboBox;
class QLabel;
class QListWidget;
class QMenu;
class QStatusBar;
class QTabWidget;
class QTimer;
class QToolBar;
class QToolButton;
class RecentlyClosedList;
class SearchBar;
class TFormWebbrowser;
class TSetForm;

// The main window: tool bar with the address, search and new/close panels, the page
// control, the status bar and the menus. It owns the controllers of the tab strip, the
// address and search bars and the recently closed list, and carries the program-wide
// values of a run.
class TQORMainForm : public QMainWindow
{
    Q_OBJECT

public:
    // Window state of a run: 2 while minimised, 1 after a restore, 0 after the program
    // brought the window up itself.
    enum WindowStateValue { StateBroughtUp = 0, StateRestored = 1, StateMinimized = 2 };

    explicit TQORMainForm(const QString &programFolder, QWidget *parent = nullptr);
    ~TQORMainForm() override;

    // Start-up creates the page collection and the clock form after the main window.
    void attachPages(TFormWebbrowser *pages);
    void attachSetForm(TSetForm *setForm);
    // Shows the window as the loaded settings say (maximised or not).
    void showAsConfigured();

    const QString &programFolder() const { return m_programFolder; }
    QString dataFolder() const { return m_programFolder + QStringLiteral("Data/"); }
    const QString &tempFolder() const { return m_tempFolder; }
    QString dataFile(const QString &name) const { return dataFolder() + name; }
    ConfigStore &config() { return m_config; }

    bool closing() const { return m_closing; }
    int windowStateValue() const { return m_windowState; }
    QString lastForwardedAddress() const { return m_lastForwardedAddress; }
    void clearLastForwardedAddress() { m_lastForwardedAddress.clear(); }
    int leftClickSleepTime() const { return m_leftClickSleepTime; }
    int rightClickSleepTime() const { return m_rightClickSleepTime; }

    TFormWebbrowser *pages() const { return m_pages; }
    PageTabs *tabs() const { return m_tabs; }
    AddressBar *addressBar() const { return m_addressBar; }
    SearchBar *searchBar() const { return m_searchBar; }
    RecentlyClosedList *recentlyClosed() const { return m_recentlyClosed; }
    FilterSwitches *filters() const { return m_filters; }
    OpenPageLists *openPageLists() const { return m_openPageLists; }
    MessageFilter *messageFilter() const { return m_messageFilter; }
    TSetForm *setForm() const { return m_setForm; }

    void setStatusText(int panel, const QString &text);
    QString statusText(int panel) const;
    QWidget *statusPanel(int panel) const;

    // A message from a second instance: an address to open, or "0***0" to come up.
    void handleInstanceMessage(const QString &text);
    // Closes the windows that belong to the main window (the about box).
    void closeSubsidiaryWindows();
    // From here on resizes and maximise/restore are the user's and are written to Config.ini.
    void finishStartup();

    QAction *menuItem(const char *name) const;

    // The tool bar and its panels.
    QToolBar *ToolBarAddress = nullptr;
    QWidget *PanelAddress = nullptr;
    QWidget *PanelPN = nullptr;
    QToolButton *SBP = nullptr;
    QToolButton *SBN = nullptr;
    QWidget *PanelAddress_ = nullptr;
    QLabel *LabelAddress = nullptr;
    QComboBox *CBURL = nullptr;
    QToolButton *BBGO = nullptr;
    QWidget *PanelRS = nullptr;
    QToolButton *SBRefresh = nullptr;
    QToolButton *SBStop = nullptr;
    QWidget *PanelSearch = nullptr;
    QComboBox *ComboBoxSearch = nullptr;
    QToolButton *SBSearch = nullptr;
    QToolButton *SBSearchOn = nullptr;
    QWidget *PanelExtended2 = nullptr;
    QToolButton *SBAddNew = nullptr;
    QToolButton *SBCloseCurrentPage = nullptr;
    // The client area.
    QWidget *PanelMainClient = nullptr;
    QTabWidget *PageControl = nullptr;
    QListWidget *ListBoxNewly = nullptr;
    QWidget *PanelImages = nullptr;
    QToolButton *SBL1 = nullptr;
    QToolButton *SBL2 = nullptr;
    QToolButton *SBH1 = nullptr;
    QToolButton *SBH2 = nullptr;
    QStatusBar *StatusBar = nullptr;
    // Menus that are not part of the main menu.
    QMenu *PopupMenuPcl = nullptr;
    QMenu *PopupMenuSearch = nullptr;
    QMenu *PopupMenuNewly = nullptr;
    QTimer *TimerClearAd = nullptr;

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void buildWidgets();
    void buildMenus();
    void FormCreate();
    void LoadRunData();
    void FormClose();
    void saveWindowBounds();
    void bringUp();
    void restoreFromMinimized();
    void NAboutClick();
    void ActionTestExecute();

    QString m_programFolder;
    QString m_tempFolder;
    ConfigStore m_config;
    bool m_closing = false;
    bool m_closed = false;
    bool m_startupDone = false;
    bool m_startMaximized = false;
    int m_windowState = StateBroughtUp;
    QString m_lastForwardedAddress;
    int m_leftClickSleepTime = 500;
    int m_rightClickSleepTime = 3000;

    QLabel *m_statusPanels[4] = {};
    QPointer<QWidget> m_aboutBox;

    TFormWebbrowser *m_pages = nullptr;
    TSetForm *m_setForm = nullptr;
    PageTabs *m_tabs = nullptr;
    AddressBar *m_addressBar = nullptr;
    SearchBar *m_searchBar = nullptr;
    RecentlyClosedList *m_recentlyClosed = nullptr;
    FilterSwitches *m_filters = nullptr;
    OpenPageLists *m_openPageLists = nullptr;
    MessageFilter *m_messageFilter = nullptr;
};
