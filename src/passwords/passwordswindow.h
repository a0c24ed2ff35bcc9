#pragma once

#include <QDialog>

class Passwords;
class QListWidget;
class QPushButton;
class QTreeWidget;

// 密码管理: the saved logins by site and user name, their passwords shown only when asked
// (after a question), deleted one by one or all (after a question), exported to a CSV file
// after a warning that it is not encrypted; and the sites never to save for.
class PasswordsWindow : public QDialog
{
    Q_OBJECT

public:
    PasswordsWindow(Passwords *passwords, QWidget *parent = nullptr);

    void reload();

private:
    void showPassword();
    void removeChosen();
    void removeAll();
    void exportCsv();
    void removeNeverSite();

    Passwords *m_passwords;
    QTreeWidget *m_logins;
    QListWidget *m_never;
    QPushButton *m_show;
    QPushButton *m_remove;
    QPushButton *m_removeAll;
    QPushButton *m_export;
    QPushButton *m_removeNever;
};
