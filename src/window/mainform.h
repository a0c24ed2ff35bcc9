#pragma once

#include "../core/closeguard.h"

#include "commands.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>

class ConfigStore;
class QComboBox;
class QLabel;
class QListView;
class QMenu;
class QStatusBar;
class QTabWidget;
class QToolBar;
class QToolButton;
struct RunData;

// The main window: tool bar with the address, search and new/close panels, the page
// control, the status bar and the menus, built from the command table. It is a view: what
// its commands do is bound by the program's composition. It keeps its own bounds and the
// window values of a run.
class TQORMainForm : public QMainWindow
{
    Q_OBJECT

public:
    // Window state of a run: 2 while minimised, 1 after a restore, 0 after the program
    // brought the window up itself.
    enum WindowStateValue { StateBroughtUp = 0, StateRestored = 1, StateMinimized = 2 };

    explicit TQORMainForm(ConfigStore *config, QWidget *parent = nullptr);

    // The window's part of the loaded settings: bounds, hidden panels, maximised start.
    void applyRunData(const RunData &data);
    // Shows the window as the loaded settings say (maximised or not).
    void showAsConfigured();
    // From here on resizes and maximise/restore are the user's and are written to Config.ini.
    void finishStartup();

    CommandSet &commands() { return *m_commands; }
    QAction *command(Command id) const { return (*m_commands)[id]; }

    int windowStateValue() const { return m_windowState; }

    // Asked for by a second start: a minimised window is restored, a hidden one shown, and
    // it comes to the front.
    void comeForward();
    // The Y hot key: a minimised window comes back, a shown one hides, a hidden one shows.
    void showOrHideByHotKey();
    // The exit hot key: at once and without a question, but the orderly way (lists,
    // settings, the clearing on exit), as at any close.
    void exitByHotKey();
    // A notice bar across the window under the tool bar; it goes when it is deleted.
    void addNotice(QWidget *bar);
    // A bar of its own row under the address bar (the favorites bar); its driver shows it.
    void placeUnderAddressBar(QToolBar *bar);
    // Closes the windows that belong to the main window (the about box).
    void closeSubsidiaryWindows();
    // `engine`: the lines that say what the program runs on.
    void NAboutClick(const QStringList &engine = {});
    // Opens the 设置 menu with this item of it ready to choose.
    void showSettingsItem(Command id);
    // The orderly close without asking anything (the boss key): what is kept is saved and
    // the window goes, whatever runs.
    void closeWithoutQuestion();
    // Asked when the window is about to close, unless closed without question.
    void setCloseGuard(CloseGuard *guard) { m_closeGuard = guard; }

    // The status bar its driver made goes at the window's foot, with the grip to resize by.
    void placeStatusBar(QStatusBar *bar);

    // Back and forward show whether the active page can go there.
    void showHistoryState(bool backEnabled, bool forwardEnabled);

    // What the features drive, each handed to its one driver when the program is made: the
    // window lays them out, the driver decides what they show. Only the program's
    // composition takes them; everyone else finds a widget by its object name.
    struct DrivenWidgets
    {
        // The tool bar's.
        QComboBox *CBURL;
        QComboBox *ComboBoxSearch;
        QToolButton *SBSearch;
        QToolButton *SBSearchOn;
        // The client area.
        QWidget *PanelMainClient;
        QTabWidget *PageControl;
        QListView *ListBoxNewly;
        // Menus that are not part of the main menu.
        QMenu *PopupMenuPcl;
        QMenu *PopupMenuSearch;
        QMenu *PopupMenuNewly;
    };
    DrivenWidgets drivenWidgets() const;

signals:
    // The close has begun: the program saves what it keeps, then the window goes.
    void closing();
    void closed();
    void textDropped(const QString &text);
    void minimized();
    void restored();
    void becameVisible();
    void becameHidden();
    // The "广告屏蔽" menu is about to open: it shows the active page's filter state.
    void filterMenuAboutToShow();
    // The tool bar's Go (转到), back and forward.
    void goClicked();
    void backClicked();
    void forwardClicked();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // The tool bar's panels and the buttons the window binds to its own commands or signals.
    QToolBar *ToolBarAddress = nullptr;
    QWidget *PanelAddress = nullptr;
    QWidget *PanelPN = nullptr;
    QToolButton *SBP = nullptr;
    QToolButton *SBN = nullptr;
    QWidget *PanelAddress_ = nullptr;
    QLabel *LabelAddress = nullptr;
    QToolButton *BBGO = nullptr;
    QWidget *PanelRS = nullptr;
    QToolButton *SBRefresh = nullptr;
    QToolButton *SBStop = nullptr;
    QWidget *PanelSearch = nullptr;
    QWidget *PanelExtended2 = nullptr;
    QToolButton *SBAddNew = nullptr;
    QToolButton *SBCloseCurrentPage = nullptr;
    // Hidden; they hold back's and forward's pictures, enabled (L) and greyed (H).
    QWidget *PanelImages = nullptr;
    QToolButton *SBL1 = nullptr;
    QToolButton *SBL2 = nullptr;
    QToolButton *SBH1 = nullptr;
    QToolButton *SBH2 = nullptr;
    QMenu *NPopup = nullptr;
    // What the features drive (see DrivenWidgets).
    QComboBox *CBURL = nullptr;
    QComboBox *ComboBoxSearch = nullptr;
    QToolButton *SBSearch = nullptr;
    QToolButton *SBSearchOn = nullptr;
    QWidget *PanelMainClient = nullptr;
    QTabWidget *PageControl = nullptr;
    QListView *ListBoxNewly = nullptr;
    QMenu *PopupMenuPcl = nullptr;
    QMenu *PopupMenuSearch = nullptr;
    QMenu *PopupMenuNewly = nullptr;

    CloseGuard *m_closeGuard = nullptr;
    void buildWidgets();
    void buildMenus();
    void followNormalBounds();
    void saveWindowBounds();
    void finishClose();
    void bringUp();
    void restoreFromMinimized();

    ConfigStore *m_config;
    CommandSet *m_commands = nullptr;
    bool m_closed = false;
    bool m_startupDone = false;
    bool m_startMaximized = false;
    int m_windowState = StateBroughtUp;
    // Where and how large the window is when neither maximised nor minimised: what is
    // stored, so that the next start restores to it.
    QRect m_normalBounds;
    QRect m_savedBounds;
    QPointer<QWidget> m_aboutBox;
};
