#pragma once

#include <QDialog>

#include <functional>

class QAction;
class QLineEdit;
class QListWidget;
class QRadioButton;
class QSpinBox;
class StorageProblems;

// "Internet选项", in a window of its own: the home page that Go Home opens, the switches of
// the ad-blocking menu, the filter lists the user subscribes to, and the answers given to
// sites that asked to use a feature, and how long the browsing history is kept.
class InternetOptionsDialog : public QDialog
{
    Q_OBJECT

public:
    // `switches` are the menu's check items, shown and switched here as there;
    // `currentPage` gives the active page's address ("使用当前页").
    InternetOptionsDialog(const QList<QAction *> &switches, std::function<QString()> currentPage, QWidget *parent);

    QLineEdit *homePage() const { return m_homePage; }
    QListWidget *subscriptions() const { return m_subscriptions; }
    // The sites' permissions, as kept: one line each.
    QListWidget *permissions() const { return m_permissions; }
    // How many days the browsing history keeps.
    QSpinBox *historyDays() const { return m_historyDays; }
    void setHistoryDays(int days);
    // "启动时": the home page (false) or the pages of the last run (true).
    QRadioButton *restoreOnStart() const { return m_restoreOnStart; }
    void setRestoreOnStart(bool restore);
    // Stores what the dialog shows.
    void apply();
    // Where a failed write of the subscriptions is reported.
    void setStorageProblems(StorageProblems *problems) { m_problems = problems; }

signals:
    void subscriptionsChanged();
    // The user's own rules, to be opened in an editor.
    void editRulesRequested();
    // Applied with another number of days to keep the history.
    void historyDaysChanged(int days);
    // Applied with the other choice of what a start opens.
    void restoreOnStartChanged(bool restore);

private:
    void addSubscription();
    void showPermissions();
    void revokePermissions(const QList<class QListWidgetItem *> &items);

    std::function<QString()> m_currentPage;
    QLineEdit *m_homePage;
    QListWidget *m_subscriptions;
    QLineEdit *m_newSubscription;
    StorageProblems *m_problems = nullptr;
    QListWidget *m_permissions;
    QSpinBox *m_historyDays;
    int m_shownHistoryDays = 0;
    QRadioButton *m_startHome;
    QRadioButton *m_restoreOnStart;
    bool m_shownRestoreOnStart = false;
};
