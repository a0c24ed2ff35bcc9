#include "mainform.h"

#include "../adblock/filterswitches.h"
#include "../engine/embeddedwb.h"
#include "../favorites/openpagelists.h"
#include "../navigation/addressbar.h"
#include "../navigation/searchbar.h"
#include "../pages/formwebbrowser.h"
#include "../statusbar/setform.h"
#include "../tabs/pagetabs.h"
#include "../tabs/recentlyclosed.h"
#include "aboutbox.h"
#include "listfile.h"
#include "messagefilter.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QTimer>

#include <cstdlib>

namespace {

const QString kProductCaption = QStringLiteral("sablix 浏览器");

bool isAcceptedForwardedAddress(const QString &text)
{
    for (const char *prefix : {"http://", "https://", "file://", "ftp://", "www."})
        if (text.startsWith(QLatin1String(prefix), Qt::CaseInsensitive))
            return true;
    return text.contains(QLatin1String(".htm"), Qt::CaseInsensitive);
}

} // namespace

TQORMainForm::TQORMainForm(const QString &programFolder, QWidget *parent)
    : QMainWindow(parent), m_programFolder(programFolder),
      m_config(programFolder + QStringLiteral("Config.ini"))
{
    setObjectName(QStringLiteral("TQORMainForm"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    // The designed bounds, before the stored ones apply.
    move(10, 57);
    resize(793, 509);

    buildWidgets();
    buildMenus();

    m_filters = new FilterSwitches(this);
    m_recentlyClosed = new RecentlyClosedList(this);
    m_tabs = new PageTabs(this);
    m_addressBar = new AddressBar(this);
    m_searchBar = new SearchBar(this);
    m_openPageLists = new OpenPageLists(this);
    m_messageFilter = new MessageFilter(this);
    qApp->installEventFilter(m_messageFilter);

    FormCreate();
}

TQORMainForm::~TQORMainForm()
{
    qApp->removeEventFilter(m_messageFilter);
}

void TQORMainForm::FormCreate()
{
    // Any failure here leaves the window usable; the steps after it still run.
    try {
        menuItem("NSetBrowserQOR")->setText(QStringLiteral("设置 sablix 为默认浏览器"));
        menuItem("NBrowserHomePage")->setText(QStringLiteral("sablix 主页"));
        menuItem("NBrowserBBS")->setText(QStringLiteral("sablix 论坛"));
        setWindowTitle(kProductCaption);

        LoadRunData();
        // Global hot keys come with the application-messages work.
        QDir().mkpath(dataFolder());
        m_recentlyClosed->load();
        m_tempFolder = m_programFolder + QStringLiteral("Temp/");
        QDir().mkpath(m_tempFolder);
    } catch (...) {
    }
    setAcceptDrops(true);
    QDir().mkpath(dataFolder());
}

void TQORMainForm::LoadRunData()
{
    const IniDocument ini = m_config.read();
    auto read = [&ini](const char *key, const QString &fallback) {
        return ini.value(kRunData, QString::fromLatin1(key)).value_or(fallback);
    };

    // The order matters: a bound or SearchOn that is not an integer ends the load at that
    // step, and the steps after it keep their designed values.
    [&] {
        const QString windowMax = read("WindowMax", QStringLiteral("1"));
        const QString searchOn = read("SearchOn", QStringLiteral("1"));

        const auto top = parseStrictInteger(read("MainFormTop", QStringLiteral("57")));
        if (!top)
            return;
        move(x(), *top);
        const auto left = parseStrictInteger(read("MainFormLeft", QStringLiteral("10")));
        if (!left)
            return;
        move(*left, y());
        const auto width = parseStrictInteger(read("MainFormWidth", QStringLiteral("793")));
        if (!width)
            return;
        resize(*width, height());
        const auto height = parseStrictInteger(read("MainFormHeight", QStringLiteral("509")));
        if (!height)
            return;
        resize(this->width(), *height);

        const QString stopPopup = read("StopPopup", QStringLiteral("1"));
        const QString stopFloatAd = read("StopFloatAd", QStringLiteral("1"));
        const QString stopFlashAd = read("StopFlashAd", QStringLiteral("1"));

        m_leftClickSleepTime = parseLenientInteger(read("LClickSleepTime", QStringLiteral("500")), 500);
        m_rightClickSleepTime = parseLenientInteger(read("RClickSleepTime", QStringLiteral("3000")), 3000);

        if (read("PanelExtended2", QStringLiteral("1")) == QLatin1String("0"))
            PanelExtended2->hide();
        if (read("PanelExtended3", QStringLiteral("1")) == QLatin1String("0")) {
            // The layouts give the room of the hidden buttons to the address box.
            PanelPN->hide();
            PanelRS->hide();
        }

        const auto engine = parseStrictInteger(searchOn);
        if (!engine)
            return;
        m_searchBar->applyStartupEngine(*engine);

        if (windowMax.trimmed() == QLatin1String("1"))
            m_startMaximized = true;

        m_filters->applyAtStartup(stopPopup.trimmed() == QLatin1String("1"),
                                  stopFloatAd.trimmed() == QLatin1String("1"),
                                  stopFlashAd.trimmed() == QLatin1String("1"));
    }();
}

void TQORMainForm::attachPages(TFormWebbrowser *pages)
{
    m_pages = pages;
}

void TQORMainForm::attachSetForm(TSetForm *setForm)
{
    m_setForm = setForm;
}

void TQORMainForm::showAsConfigured()
{
    // A window placed entirely off every screen (a screen that is gone, a bad value) comes
    // back to its designed place, where the user can see it.
    const QRect frame(pos(), size());
    bool visibleSomewhere = false;
    for (QScreen *screen : QGuiApplication::screens())
        visibleSomewhere = visibleSomewhere || screen->availableGeometry().intersects(frame);
    if (!visibleSomewhere && !QGuiApplication::screens().isEmpty())
        move(10, 57);

    if (m_startMaximized)
        setWindowState(windowState() | Qt::WindowMaximized);
    show();
}

void TQORMainForm::finishStartup()
{
    m_startupDone = true;
}

void TQORMainForm::saveWindowBounds()
{
    // Four keys, one replacement of the file: a resize comes many times a second.
    m_config.writeStrings(kRunData, {{QStringLiteral("MainFormTop"), QString::number(y())},
                                     {QStringLiteral("MainFormLeft"), QString::number(x())},
                                     {QStringLiteral("MainFormWidth"), QString::number(width())},
                                     {QStringLiteral("MainFormHeight"), QString::number(height())}});
}

void TQORMainForm::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    // Start-up's own placement is not written: a first run leaves no Config.ini behind
    // until the user changes something.
    if (m_startupDone && !m_closed)
        saveWindowBounds();
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
        if (m_setForm)
            m_setForm->stopClock();
        return;
    }
    if (before & Qt::WindowMinimized) {
        m_windowState = StateRestored;
        if (m_setForm)
            m_setForm->startClock();
        if (m_pages)
            m_pages->FocusActiveDocument();
    }
    if (!m_startupDone)
        return;
    // Maximise writes "1"; a restore to the normal size writes "0". Coming back from the
    // task bar to a maximised window is not a restore of its size and writes nothing.
    if ((now & Qt::WindowMaximized) && !(before & Qt::WindowMaximized))
        m_config.writeString(kRunData, QStringLiteral("WindowMax"), QStringLiteral("1"));
    else if (!(now & Qt::WindowMaximized) && (before & Qt::WindowMaximized))
        m_config.writeString(kRunData, QStringLiteral("WindowMax"), QStringLiteral("0"));
}

void TQORMainForm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_setForm && !(windowState() & Qt::WindowMinimized))
        m_setForm->startClock();
}

void TQORMainForm::hideEvent(QHideEvent *event)
{
    QMainWindow::hideEvent(event);
    if (m_setForm)
        m_setForm->stopClock();
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

void TQORMainForm::handleInstanceMessage(const QString &text)
{
    // A window on its way out opens nothing more.
    if (m_closed)
        return;
    try {
        const QString name = text.left(255);
        if (name.contains(QLatin1String("0***0"))) {
            if (!isVisible()) {
                show();
                bringUp();
            } else if (m_windowState == StateMinimized) {
                restoreFromMinimized();
                bringUp();
                m_windowState = StateBroughtUp;
            }
            return;
        }
        const QString trimmed = name.trimmed();
        if (trimmed.isEmpty() || !isAcceptedForwardedAddress(trimmed))
            return;
        if (m_windowState == StateMinimized) {
            restoreFromMinimized();
            bringUp();
            m_windowState = StateBroughtUp;
        } else if (!isVisible()) {
            show();
            bringUp();
        }
        // The same address forwarded twice in a row opens once; closing a page clears this.
        const QString key = trimmed + QLatin1Char('#');
        if (key != m_lastForwardedAddress.trimmed()) {
            m_addressBar->openAddress(trimmed);
            m_lastForwardedAddress = key;
        }
    } catch (...) {
    }
}

void TQORMainForm::closeSubsidiaryWindows()
{
    if (m_aboutBox)
        m_aboutBox->close();
}

void TQORMainForm::NAboutClick()
{
    AboutBox box(this);
    m_aboutBox = &box;
    box.setWindowTitle(kProductCaption);
    box.exec();
}

void TQORMainForm::ActionTestExecute()
{
    if (!m_pages || m_pages->count() == 0)
        return;
    if (const auto *page = m_pages->activePage(); page && !page->browser->Document())
        QMessageBox::information(this, kProductCaption, QStringLiteral("Document is nil."));
}

void TQORMainForm::FormClose()
{
    m_closing = true;
    m_config.writeString(kRunData, QStringLiteral("TrueClose"), QStringLiteral("1"));
    try {
        if (m_pages && m_pages->count() > 0) {
            m_openPageLists->save(2);
        } else {
            QFile::remove(dataFile(QStringLiteral("OpenURLList.lst")));
            QFile::remove(dataFile(QStringLiteral("OpenURLList2.lst")));
        }
        ListFile::save(dataFile(QStringLiteral("Url.lst")), m_addressBar->history());
        ListFile::save(dataFile(QStringLiteral("SearchHistory.lst")), m_searchBar->history());
    } catch (...) {
    }
    m_config.writeString(kRunData, QStringLiteral("TrueClose"), QStringLiteral("1"));
}

void TQORMainForm::closeEvent(QCloseEvent *event)
{
    if (!m_closed) {
        m_closed = true;
        try {
            FormClose();
        } catch (...) {
            std::_Exit(EXIT_FAILURE);
        }
    }
    event->accept();
    emit closed();
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
    try {
        m_addressBar->dropText(event->mimeData()->text());
    } catch (...) {
    }
    // The source always hears that the drop succeeded.
    event->acceptProposedAction();
}
