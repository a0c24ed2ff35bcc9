#pragma once

#include <QListWidget>

// The saved user names under a focused login field, over the page. It never takes the
// keyboard: typing goes on in the field.
class LoginList : public QListWidget
{
    Q_OBJECT

public:
    explicit LoginList(QWidget *page);
    void showUsers(const QStringList &users, const QRect &under);

signals:
    void chosen(int row);
};
