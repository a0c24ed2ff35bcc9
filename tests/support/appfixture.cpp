#include "appfixture.h"

#include "adblock/filterlists.h"
#include "core/listfile.h"
#include "core/textcodec.h"
#include "navigation/addressbar.h"
#include "navigation/addressbox.h"
#include "statusbar/statusline.h"
#include "tabs/pagetabs.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTabWidget>
#include <QApplication>
#include <QDialog>
#include <QTest>

#include <memory>
#include <QPointer>
#include <QTimer>
#include <QToolButton>

namespace {

// Answers not yet given; a program's end drops them, since they hold on to a test's state.
QList<QPointer<QTimer>> &pendingAnswers()
{
    static QList<QPointer<QTimer>> answers;
    return answers;
}

} // namespace

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

bool AppFixture::s_filterListsChosen = false;

AppFixture::AppFixture(const QByteArray &configIni, EngineFactory *engine) : AppFixture({}, configIni, engine)
{
}

AppFixture::AppFixture(const Planted &planted) : AppFixture({}, QByteArray(), nullptr, planted.plant)
{
}

AppFixture::AppFixture(const QList<QPair<QString, QByteArray>> &files, const QByteArray &configIni,
                       EngineFactory *engine, const std::function<void(const QString &)> &plant)
{
    if (plant)
        plant(folder());
    for (const auto &[relative, bytes] : files) {
        QDir().mkpath(QFileInfo(path(relative)).absolutePath());
        writeFile(path(relative), bytes);
    }
    if (!configIni.isNull())
        writeFile(path(QStringLiteral("Config.ini")), configIni);
    // The ad filter's lists are the filter tests' business (they choose them first, with
    // FilterLists::defaultSources); elsewhere none is loaded.
    if (!s_filterListsChosen)
        FilterLists::defaultSources() = [] { return QStringList(); };
    program = std::make_unique<Program>(folder(), engine ? engine : &this->engine);
    program->start();
    main = program->mainForm();
    pages = program->pages();
}

AppFixture::~AppFixture()
{
    for (const QPointer<QTimer> &answer : std::as_const(pendingAnswers()))
        delete answer.data();
    pendingAnswers().clear();
    program->shutdown();
    program.reset();
}

QAction *AppFixture::item(const char *name) const
{
    return main->findChild<QAction *>(QLatin1String(name));
}

bool AppFixture::showsPictureOf(const char *button, const char *holder) const
{
    return widget<QToolButton>(button)->icon().cacheKey() == widget<QToolButton>(holder)->icon().cacheKey();
}

QString AppFixture::statusText(int panel) const
{
    return program->status()->text(panel);
}

bool AppFixture::exists(const QString &relative) const
{
    return QFileInfo::exists(path(relative));
}

QByteArray AppFixture::bytes(const QString &relative) const
{
    QFile file(path(relative));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList AppFixture::lines(const QString &relative) const
{
    return ListFile::load(path(relative)).value_or(QStringList());
}

QString AppFixture::configValue(const QString &key) const
{
    return program->config().read().value(kRunData, key).value_or(QStringLiteral("<missing>"));
}

ScriptedBrowser *AppFixture::browser(int index) const
{
    const TFormWebbrowser::PageView *record = pages->page(index);
    return record ? qobject_cast<ScriptedBrowser *>(record->browser()) : nullptr;
}

ScriptedBrowser *AppFixture::active() const
{
    return browser(TFormWebbrowser::kActivePage);
}

bool AppFixture::showActive()
{
    main->show();
    main->activateWindow();
    return QTest::qWaitForWindowActive(main);
}

ScriptedBrowser *AppFixture::openBlankPage()
{
    if (!tabs()->NAddNewBlankClick())
        return nullptr;
    ScriptedBrowser *page = active();
    page->commitNavigation(QStringLiteral("about:blank"));
    return page;
}

ScriptedBrowser *AppFixture::openPage(const QString &url, const QString &title)
{
    ScriptedBrowser *page = openBlankPage();
    if (!page)
        return nullptr;
    addressBar()->openAddress(url);
    page = active();
    page->commitNavigation(QString(), title);
    return page;
}

QStringList AppFixture::captions() const
{
    QStringList list;
    for (int i = 0; i < pages->count(); ++i)
        list << pages->page(i)->caption();
    return list;
}

QString AppFixture::addressText() const
{
    return program->addressBox()->box()->currentText();
}

void AppFixture::setAddressText(const QString &text)
{
    program->addressBox()->box()->setEditText(text);
}

void whenDialogShows(std::function<void(QDialog *)> act)
{
    auto *poll = new QTimer;
    pendingAnswers() << poll;
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll->stop();
        poll->deleteLater();
        act(dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
    poll->start();
}

bool scriptAnswersArrived(ScriptedBrowser *page)
{
    auto answered = std::make_shared<bool>(false);
    page->runDocumentScript(QStringLiteral("true"), [answered](const QVariant &) { *answered = true; });
    return QTest::qWaitFor([&] { return *answered; }, 5000);
}
