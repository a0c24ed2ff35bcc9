#pragma once

#include <QFont>
#include <QObject>
#include <QString>

#include <array>
#include <optional>

struct ActivePageState;
class ClockFace;
class QLabel;
class QProgressBar;
class QStatusBar;
class QTimer;

// The status bar's texts and the page-load progress bar, with one owner: panel 0 says what
// the active page is doing, panel 3 carries the clock. Everything shown here is plain text:
// titles and addresses come from pages and are never read as markup.
class StatusLine : public QObject
{
    Q_OBJECT

public:
    // Makes the four panels (400, 80, 60 and 60 pixels; the last takes the rest of the row).
    explicit StatusLine(QStatusBar *bar);
    // The same on a status bar of its own (StatusBar), for the window to place.
    StatusLine();

    // How long a held message stays ahead of the pages' own texts.
    static constexpr int kHoldMs = 6000;

    // What the pages say about themselves; held back while a held message shows.
    void showConnecting(const QString &address); // ">>正在连接地址:<address>"
    void showCompleted(const QString &title, const QString &address); // ">>完成:title<address>"
    void showPage(const QString &title, const QString &address); // ">>title<address>"
    void showPageMessage(const QString &text);
    void clear();
    // The page that has become the active one: what it is doing; the progress starts over.
    void showActivePage(const ActivePageState &state);
    // What the program says; it replaces a held message.
    void showMessage(const QString &text);
    // A message the pages' texts do not cover for `ms`; then the newest of them shows.
    void holdMessage(const QString &text, int ms = kHoldMs);
    bool isHolding() const;
    // Ends a held message now.
    void releaseHeld();
    void setClockText(const QString &text);
    // Panel 2: how many downloads run.
    void setDownloadsText(const QString &text);

    QString text(int panel) const;
    QLabel *panel(int index) const;

    // The first report only creates the bar, at position 0; later reports show it while
    // more than 2 remain and hide it otherwise.
    void progressChange(int progress, int maximum);
    void hideProgress();
    void resetProgress();
    QProgressBar *progressBar() const { return m_progress; }
    QStatusBar *bar() const { return m_bar; }

private:
    QStatusBar *m_bar;
    std::array<QLabel *, 4> m_panels{};
    ClockFace *m_clock = nullptr; // inside panel 3, of a fixed size
    QFont m_clockFont;          // the font its size was measured in
    QString m_clockShape;       // the text measured, each digit the font's widest
    char16_t m_widestDigit = u'0';

    QProgressBar *m_progress = nullptr;

    void setText(const QString &text);
    QTimer *m_hold = nullptr;
    std::optional<QString> m_afterHold; // the pages' newest text while holding
};
