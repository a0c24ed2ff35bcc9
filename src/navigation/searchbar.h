#pragma once

#include <QObject>
#include <QStringList>

class TQORMainForm;

// The search bar: sends the query, unencoded, to the chosen engine in the current page
// when it is blank, otherwise in a new page; keeps the search history; lets the user pick
// the engine, stored as SearchOn.
class SearchBar : public QObject
{
    Q_OBJECT

public:
    enum EngineCode { FirstEngine = 1, SecondEngine = 3, NoEngineChecked = 5 };

    explicit SearchBar(TQORMainForm *mainForm);

    void Search();
    // Puts the text into the search box and searches it (dropped text).
    void searchText(const QString &text);
    void SBSearchOnClick();
    void NBaiduClick();
    void NYahooClick();
    void applyStartupEngine(int code);

    int engineCode() const { return m_engineCode; }
    QString queryAddress(const QString &query) const;
    QStringList history() const;

private:
    void chooseEngine(int code);

    TQORMainForm *m_main;
    int m_engineCode = FirstEngine;
};
