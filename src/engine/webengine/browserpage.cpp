#include "browserpage.h"

#include "framescripts.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

namespace {

QString captionFor(const QUrl &origin)
{
    const QString host = origin.host().isEmpty() ? origin.toString() : origin.host();
    return QStringLiteral("来自 %1 的网页消息").arg(host);
}

// The engine's own before-unload question, which it puts through javaScriptConfirm.
constexpr char kLeaveQuestion[] = "Are you sure you want to leave this page? Changes that you made may not be saved.";

} // namespace

QWidget *BrowserPage::dialogParent() const
{
    // The view, once the page has one; its window is the dialog's owner.
    return qobject_cast<QWidget *>(parent());
}

bool BrowserPage::showDialog(Kind kind, const QUrl &origin, const QString &message, QString *text)
{
    QDialog dialog(dialogParent());
    static const char *const names[] = {"PageAlert", "PageConfirm", "PagePrompt"};
    dialog.setObjectName(QLatin1String(names[kind]));
    dialog.setWindowTitle(captionFor(origin));
    auto *said = new QLabel(message, &dialog);
    said->setTextFormat(Qt::PlainText);
    said->setWordWrap(true);
    said->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *answer = kind == Prompt ? new QLineEdit(text ? *text : QString(), &dialog) : nullptr;
    auto *stop = new QCheckBox(QStringLiteral("阻止此页再显示对话框"), &dialog);
    stop->setObjectName(QStringLiteral("StopPageDialogs"));
    auto *buttons = new QDialogButtonBox(kind == Alert ? QDialogButtonBox::Ok : QDialogButtonBox::Ok | QDialogButtonBox::Cancel,
                                         &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    if (kind != Alert)
        buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(said);
    if (answer)
        layout->addWidget(answer);
    layout->addWidget(stop);
    layout->addWidget(buttons);
    if (answer)
        answer->setFocus();
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (stop->isChecked())
        m_dialogsStopped = true;
    if (answer && accepted && text)
        *text = answer->text();
    return accepted;
}

void BrowserPage::javaScriptAlert(const QUrl &securityOrigin, const QString &msg)
{
    if (!m_dialogsStopped)
        showDialog(Alert, securityOrigin, msg, nullptr);
}

bool BrowserPage::javaScriptConfirm(const QUrl &securityOrigin, const QString &msg)
{
    // The engine asks before-unload questions this way too, in English.
    const bool leaving = msg == QCoreApplication::translate("QWebEnginePage", kLeaveQuestion);
    if (m_dialogsStopped)
        return leaving; // a stopped page never keeps the user on it
    return showDialog(Confirm, securityOrigin, leaving ? QStringLiteral("确定要离开此页吗？您所做的更改可能不会保存。") : msg,
                      nullptr);
}

bool BrowserPage::javaScriptPrompt(const QUrl &securityOrigin, const QString &msg, const QString &defaultValue,
                                   QString *result)
{
    if (m_dialogsStopped)
        return false;
    QString text = defaultValue;
    if (!showDialog(Prompt, securityOrigin, msg, &text))
        return false;
    if (result)
        *result = text;
    return true;
}

QWebEnginePage *BrowserPage::createWindow(WebWindowType)
{
    // A request that newWindowRequested left unanswered was cancelled.
    return nullptr;
}

void BrowserPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
                                           const QString &message, int lineNumber,
                                           const QString &sourceID)
{
    QString posted;
    if (FrameScripts::take(message, &posted)) {
        emit frameMessage(posted);
        return;
    }
    if (level == ErrorMessageLevel)
        emit scriptError(message, lineNumber, sourceID);
}

bool BrowserPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    if (isMainFrame && navigationGate && !navigationGate(url))
        return false;
    if (isMainFrame) {
        // A new document may show its dialogs again.
        m_dialogsStopped = false;
        emit mainFrameNavigation(url);
    }
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}
