#pragma once

#include <QDialog>
#include <QStringList>

// The about box: product name, version, a link to the product's web site and one that
// starts a mail to its maker; below them, what it runs on.
class AboutBox : public QDialog
{
    Q_OBJECT

public:
    explicit AboutBox(const QStringList &engine = {}, QWidget *parent = nullptr);

    // Room the window manager's title bar takes besides the caption: icon, buttons, margins.
    static constexpr int kTitleBarRoom = 200;

protected:
    bool event(QEvent *event) override;

private:
    void fitCaption();
};
