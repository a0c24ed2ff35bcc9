#pragma once

#include <QObject>

#include <functional>

class History;
class QAbstractItemView;
class QComboBox;
class QLineEdit;
class QStandardItemModel;
class QTreeView;

// Suggestions from the history while the user types in an address box: a list under the
// box (under the typed addresses' own list when that is open) of matching entries, title
// and address, the most visited and most recent first. It never takes the keyboard: the
// box's own keys stay the box's. Down and Up walk the list only while it is the one list
// open, Enter opens the entry walked to (plain Enter with none chosen is the box's Go, and
// Enter with modifiers is always the box's), Esc closes it.
class HistorySuggestions : public QObject
{
    Q_OBJECT

public:
    static constexpr int kRows = 8;

    HistorySuggestions(History *history, QComboBox *box, QObject *parent = nullptr);
    ~HistorySuggestions() override;

    // Off for this box: nothing is suggested (a private page's box).
    void setEnabled(bool enabled);
    bool isEnabled() const { return m_enabled; }
    // Asked at each keystroke; false suggests nothing this time (the active page is private).
    void setAllowed(std::function<bool()> allowed) { m_allowed = std::move(allowed); }

    QTreeView *popup() const { return m_popup; }
    QStandardItemModel *model() const { return m_model; }
    // Suggests for `text` now, as a keystroke does.
    void update(const QString &text);
    void hide();

signals:
    void chosen(const QString &address);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QAbstractItemView *typedList() const;
    bool otherListOpen() const;
    void place();
    void choose(int row);
    void walk(int step);

    History *m_history;
    QComboBox *m_box;
    QLineEdit *m_edit;
    QTreeView *m_popup;
    QStandardItemModel *m_model;
    // What the filter watches, as plain addresses: an event can reach the filter while one of
    // them is being destroyed (with the window), when it is no longer of its own type and
    // must be neither cast nor asked anything.
    QObject *m_watchedEdit;
    QObject *m_watchedBox;
    QObject *m_watchedBoxList; // the box's own drop-down list
    bool m_enabled = true;
    std::function<bool()> m_allowed;
};
