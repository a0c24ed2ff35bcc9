#include "aboutbox.h"

#include "../navigation/weblinks.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QVBoxLayout>

AboutBox::AboutBox(const QStringList &engine, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    auto *layout = new QVBoxLayout(this);

    auto *product = new QLabel(QStringLiteral("<b>sablix 浏览器</b>"), this);
    product->setObjectName(QStringLiteral("ProductName"));
    auto *version = new QLabel(QStringLiteral("版本:1.3.2"), this);
    version->setObjectName(QStringLiteral("Version"));
    auto *site = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(WebLinks::productSite()), this);
    site->setObjectName(QStringLiteral("SiteLink"));
    site->setOpenExternalLinks(true);
    auto *mail = new QLabel(QStringLiteral("<a href=\"mailto:%1\">给作者写信</a>").arg(WebLinks::makerMail()), this);
    mail->setObjectName(QStringLiteral("MailLink"));
    mail->setOpenExternalLinks(true);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    for (QWidget *widget : {static_cast<QWidget *>(product), static_cast<QWidget *>(version),
                            static_cast<QWidget *>(site), static_cast<QWidget *>(mail),
                            static_cast<QWidget *>(buttons)})
        layout->addWidget(widget);
    if (!engine.isEmpty()) {
        auto *runsOn = new QLabel(engine.join(QLatin1Char('\n')), this);
        runsOn->setObjectName(QStringLiteral("EngineVersions"));
        runsOn->setTextFormat(Qt::PlainText);
        runsOn->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->insertWidget(layout->count() - 1, runsOn);
    }
    fitCaption();
}

bool AboutBox::event(QEvent *event)
{
    const bool handled = QDialog::event(event);
    if (event->type() == QEvent::WindowTitleChange)
        fitCaption();
    return handled;
}

void AboutBox::fitCaption()
{
    // A box only as wide as its lines left the title bar room for the caption's first
    // letter: it is made wide enough for the caption, in a bold title font, beside the
    // window manager's buttons.
    QFont title = font();
    title.setBold(true);
    const int caption = QFontMetrics(title).horizontalAdvance(windowTitle()) + kTitleBarRoom;
    setFixedSize(qMax(sizeHint().width(), caption), sizeHint().height());
}
