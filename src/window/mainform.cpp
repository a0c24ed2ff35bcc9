#include "mainform.h"

#include "aboutbox.h"
#include "../core/configstore.h"
#include "../core/rundata.h"

#include <malloc.h>

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString kProductCaption = QStringLiteral("sablix 浏览器");

} // namespace

TQORMainForm::TQORMainForm(ConfigStore *config, QWidget *parent) : QMainWindow(parent), m_config(config)
{
    setObjectName(QStringLiteral("TQORMainForm"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowTitle(kProductCaption);
    // The designed bounds, before the stored ones apply.
    move(10, 57);
    resize(793, 509);
    m_normalBounds = QRect(pos(), size());

    m_commands = new CommandSet(this);
    buildWidgets();
    buildMenus();
    // The new and close page buttons and stop and refresh do what their commands do.
    const std::pair<QToolButton *, Command> buttons[] = {{SBAddNew, Command::NAddNewBlank},
                                                         {SBCloseCurrentPage, Command::NCloseCurrent},
                                                         {SBStop, Command::NStop},
                                                         {SBRefresh, Command::NRefresh}};
    for (const auto &[button, id] : buttons)
        connect(button, &QAbstractButton::clicked, command(id), &QAction::trigger);
    connect(NPopup, &QMenu::aboutToShow, this, &TQORMainForm::filterMenuAboutToShow);
    connect(BBGO, &QAbstractButton::clicked, this, &TQORMainForm::goClicked);
    connect(SBP, &QAbstractButton::clicked, this, &TQORMainForm::backClicked);
    connect(SBN, &QAbstractButton::clicked, this, &TQORMainForm::forwardClicked);
    setAcceptDrops(true);
}

void TQORMainForm::applyRunData(const RunData &data)
{
    if (data.top)
        move(x(), *data.top);
    if (data.left)
        move(*data.left, y());
    if (data.width)
        resize(*data.width, height());
    if (data.height)
        resize(width(), *data.height);
    if (data.hidePanelExtended2)
        PanelExtended2->hide();
    if (data.hidePanelExtended3) {
        // The layouts give the room of the hidden buttons to the address box.
        PanelPN->hide();
        PanelRS->hide();
    }
    m_startMaximized = data.windowMax;
    m_normalBounds = QRect(pos(), size());
}

void TQORMainForm::showHistoryState(bool backEnabled, bool forwardEnabled)
{
    SBP->setIcon(backEnabled ? SBL1->icon() : SBH1->icon());
    SBN->setIcon(forwardEnabled ? SBL2->icon() : SBH2->icon());
}

void TQORMainForm::showAsConfigured()
{
    // A window placed entirely off every screen (a screen that is gone, a bad value) comes
    // back to its designed place, where the user can see it.
    const QRect frame(pos(), size());
    bool visibleSomewhere = false;
    for (QScreen *screen : QGuiApplication::screens())
        visibleSomewhere = visibleSomewhere || screen->availableGeometry().intersects(frame);
    if (!visibleSomewhere && !QGuiApplication::screens().isEmpty()) {
        move(10, 57);
        m_normalBounds.moveTopLeft(pos());
    }

    if (m_startMaximized)
        setWindowState(windowState() | Qt::WindowMaximized);
    show();
}

void TQORMainForm::finishStartup()
{
    m_startupDone = true;
}

void TQORMainForm::followNormalBounds()
{
    // A maximised window's bounds are the screen's (its corner may even lie off it, at
    // -1): they are not the window's own, which a restore and the next start come back to.
    if (!(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)))
        m_normalBounds = QRect(pos(), size());
    // Start-up's own placement is not written: the bounds are stored once the user
    // changes them.
    if (m_startupDone && !m_closed)
        saveWindowBounds();
}

void TQORMainForm::saveWindowBounds()
{
    // A drag moves the window many times a second; only a change is written.
    if (m_normalBounds == m_savedBounds)
        return;
    m_savedBounds = m_normalBounds;
    // Four keys, one replacement of the file.
    const QRect &b = m_normalBounds;
    m_config->writeStrings(kRunData, {{QStringLiteral("MainFormTop"), QString::number(b.y())},
                                     {QStringLiteral("MainFormLeft"), QString::number(b.x())},
                                     {QStringLiteral("MainFormWidth"), QString::number(b.width())},
                                     {QStringLiteral("MainFormHeight"), QString::number(b.height())}});
}

void TQORMainForm::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    followNormalBounds();
}

void TQORMainForm::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    // The window's place is kept as well as its size: a window moved, or restored by a
    // window manager that moves it after resizing it, opens where it was left.
    followNormalBounds();
}

void TQORMainForm::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    const auto before = static_cast<QWindowStateChangeEvent *>(event)->oldState();
    const auto now = windowState();

    if (now & Qt::WindowMinimized) {
        m_windowState = StateMinimized;
        emit minimized();
        return;
    }
    if (before & Qt::WindowMinimized) {
        m_windowState = StateRestored;
        emit restored();
    }
    // The geometry of a restore may have come before the state saying so.
    followNormalBounds();
    if (!m_startupDone)
        return;
    // Maximise writes "1"; a restore to the normal size writes "0". Coming back from the
    // task bar to a maximised window is not a restore of its size and writes nothing.
    if ((now & Qt::WindowMaximized) && !(before & Qt::WindowMaximized))
        m_config->writeString(kRunData, QStringLiteral("WindowMax"), QStringLiteral("1"));
    else if (!(now & Qt::WindowMaximized) && (before & Qt::WindowMaximized))
        m_config->writeString(kRunData, QStringLiteral("WindowMax"), QStringLiteral("0"));
}

void TQORMainForm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!(windowState() & Qt::WindowMinimized))
        emit becameVisible();
}

void TQORMainForm::hideEvent(QHideEvent *event)
{
    QMainWindow::hideEvent(event);
    emit becameHidden();
}

void TQORMainForm::restoreFromMinimized()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
}

void TQORMainForm::bringUp()
{
    raise();
    activateWindow();
}

void TQORMainForm::comeForward()
{
    if (m_windowState == StateMinimized) {
        restoreFromMinimized();
        bringUp();
        m_windowState = StateBroughtUp;
    } else if (!isVisible()) {
        show();
        bringUp();
    }
}

void TQORMainForm::showOrHideByHotKey()
{
    // The clock follows: hiding stops it, showing and restoring start it.
    if (isVisible()) {
        if (m_windowState == StateMinimized) {
            restoreFromMinimized();
            bringUp();
        } else {
            closeSubsidiaryWindows();
            hide();
        }
        // What a hidden or restored program no longer needs goes back to the system.
        ::malloc_trim(0);
        return;
    }
    show();
    bringUp();
    m_windowState = StateBroughtUp;
    ::malloc_trim(0);
}

void TQORMainForm::exitByHotKey()
{
    // Queued, so that the close does not run inside the native event filter.
    hide();
    QMetaObject::invokeMethod(this, &TQORMainForm::closeWithoutQuestion, Qt::QueuedConnection);
}

void TQORMainForm::addNotice(QWidget *bar)
{
    static_cast<QVBoxLayout *>(PanelMainClient->layout())->insertWidget(0, bar);
}

void TQORMainForm::placeUnderAddressBar(QToolBar *bar)
{
    addToolBarBreak(Qt::TopToolBarArea);
    addToolBar(Qt::TopToolBarArea, bar);
}

void TQORMainForm::closeSubsidiaryWindows()
{
    if (m_aboutBox)
        m_aboutBox->close();
}

void TQORMainForm::NAboutClick(const QStringList &engine)
{
    AboutBox box(engine, this);
    m_aboutBox = &box;
    box.setWindowTitle(kProductCaption);
    box.exec();
}

void TQORMainForm::showSettingsItem(Command id)
{
    QMenu *settings = menuBar()->findChild<QMenu *>(QStringLiteral("NSet"));
    if (!settings)
        return;
    const QRect title = menuBar()->actionGeometry(settings->menuAction());
    settings->popup(menuBar()->mapToGlobal(title.bottomLeft()));
    settings->setActiveAction(command(id));
}

void TQORMainForm::closeWithoutQuestion()
{
    // Not through close(): a close already waiting on a question would swallow this one.
    hide();
    finishClose();
}

void TQORMainForm::finishClose()
{
    if (!m_closed) {
        m_closed = true;
        emit closing();
    }
    emit closed();
}

void TQORMainForm::closeEvent(QCloseEvent *event)
{
    // The boss key may end the program while the question is still open.
    if (!m_closed && m_closeGuard && !m_closeGuard->mayClose() && !m_closed) {
        event->ignore();
        return;
    }
    event->accept();
    finishClose();
}

void TQORMainForm::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasText() && event->possibleActions() != Qt::IgnoreAction)
        event->acceptProposedAction();
}

void TQORMainForm::dragMoveEvent(QDragMoveEvent *event)
{
    if (event->mimeData()->hasText())
        event->acceptProposedAction();
}

void TQORMainForm::dropEvent(QDropEvent *event)
{
    emit textDropped(event->mimeData()->text());
    // The source always hears that the drop succeeded.
    event->acceptProposedAction();
}
