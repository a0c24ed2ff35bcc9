#pragma once

#include <QDialog>

// The about box: product name, version, a link to the product's web site and one that
// starts a mail to its maker.
class AboutBox : public QDialog
{
    Q_OBJECT

public:
    explicit AboutBox(QWidget *parent = nullptr);
};
