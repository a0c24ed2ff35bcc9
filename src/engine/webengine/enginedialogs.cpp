#include "enginedialogs.h"

#include "browserpage.h"
#include "browserview.h"
#include "webenginebrowser.h"

#include "../../core/userfolders.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QEventLoop>
#include <QWebEngineDownloadRequest>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPointer>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace EngineDialogs {
namespace {

QPrinter &sharedPrinter()
{
    static QPrinter printer(QPrinter::HighResolution);
    return printer;
}

QString suggestedFileName(const WebEngineBrowser *browser, const QString &suffix)
{
    QString name = browser->LocationName().trimmed();
    name.replace(QRegularExpression(QStringLiteral("[\\\\/:*?\"<>|\\x00-\\x1f]")), QStringLiteral("_"));
    while (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    if (name.isEmpty())
        name = QStringLiteral("网页");
    return name.left(100) + suffix;
}

} // namespace

void saveAs(WebEngineBrowser *browser)
{
    QString filter;
    const QString path = QFileDialog::getSaveFileName(
        browser->window(), QStringLiteral("保存网页"), QDir(UserFolders::downloads()).filePath(suggestedFileName(browser, QStringLiteral(".html"))),
        QStringLiteral("网页，全部 (*.htm *.html);;网页，仅 HTML (*.htm *.html);;Web 档案，单个文件 (*.mht *.mhtml)"),
        &filter);
    if (path.isEmpty())
        return;
    QWebEngineDownloadRequest::SavePageFormat format = QWebEngineDownloadRequest::CompleteHtmlSaveFormat;
    if (filter.contains(QLatin1String("仅 HTML")))
        format = QWebEngineDownloadRequest::SingleHtmlSaveFormat;
    else if (filter.contains(QLatin1String("mht")))
        format = QWebEngineDownloadRequest::MimeHtmlSaveFormat;
    browser->page()->save(path, format);
}

void print(WebEngineBrowser *browser)
{
    QPrinter &printer = sharedPrinter();
    printer.setDocName(browser->LocationName());
    // Printing to a file proposes one named after the page, in the folder of the last one or
    // the download folder, not wherever the program was started. A real printer stays the
    // choice where there is one.
    if (printer.outputFormat() == QPrinter::PdfFormat || QPrinterInfo::availablePrinters().isEmpty()) {
        const QString last = printer.outputFileName();
        const QString folder = last.isEmpty() ? UserFolders::downloads() : QFileInfo(last).absolutePath();
        printer.setOutputFileName(QDir(folder).filePath(suggestedFileName(browser, QStringLiteral(".pdf"))));
    }
    QPrintDialog dialog(&printer, browser->window());
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
        // The engine writes the file itself: its text stays text that can be found and
        // copied, where printing through the view paints every page as one big picture.
        browser->page()->printToPdf(printer.outputFileName(), printer.pageLayout(), printer.pageRanges());
        return;
    }
    browser->view()->print(&printer);
}

void printPreview(WebEngineBrowser *browser)
{
    QPrintPreviewDialog dialog(&sharedPrinter(), browser->window());
    QPointer<BrowserView> view = browser->view();
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [view](QPrinter *printer) {
        if (!view)
            return;
        // Printing through the view is asynchronous, the preview wants its pages now: the
        // one nested loop of the program waits here for the engine to finish.
        QEventLoop loop;
        QObject::connect(view, &QWebEngineView::printFinished, &loop, &QEventLoop::quit);
        QObject::connect(view, &QObject::destroyed, &loop, &QEventLoop::quit);
        view->print(printer);
        loop.exec();
    });
    dialog.exec();
}

void pageSetup(WebEngineBrowser *browser)
{
    QPageSetupDialog dialog(&sharedPrinter(), browser->window());
    dialog.exec();
}

void properties(WebEngineBrowser *browser)
{
    const QString script = QStringLiteral(
        "(function(){var d=document;return {type:d.contentType||'',charset:d.characterSet||'',"
        "modified:d.lastModified||'',size:(d.documentElement?d.documentElement.outerHTML.length:0)};})()");
    QPointer<WebEngineBrowser> guard = browser;
    browser->runDocumentScript(script, [guard](const QVariant &result) {
        if (!guard)
            return;
        const QVariantMap info = result.toMap();
        const QUrl url(guard->LocationURL());
        QDialog dialog(guard->window());
        dialog.setWindowTitle(QStringLiteral("属性"));
        auto *form = new QFormLayout;
        auto addRow = [form](const QString &label, const QString &value) {
            auto *text = new QLabel(value);
            // Titles and addresses come from the page: never markup.
            text->setTextFormat(Qt::PlainText);
            text->setTextInteractionFlags(Qt::TextSelectableByMouse);
            text->setWordWrap(true);
            form->addRow(label, text);
        };
        addRow(QStringLiteral("标题:"), guard->LocationName());
        addRow(QStringLiteral("地址:"), url.toString());
        addRow(QStringLiteral("协议:"), url.scheme());
        addRow(QStringLiteral("类型:"), info.value(QStringLiteral("type")).toString());
        addRow(QStringLiteral("字符集:"), info.value(QStringLiteral("charset")).toString());
        addRow(QStringLiteral("大小:"), QStringLiteral("%1 字符").arg(info.value(QStringLiteral("size")).toLongLong()));
        addRow(QStringLiteral("修改日期:"), info.value(QStringLiteral("modified")).toString());
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        auto *layout = new QVBoxLayout(&dialog);
        layout->addLayout(form);
        layout->addWidget(buttons);
        dialog.exec();
    });
}

} // namespace EngineDialogs
