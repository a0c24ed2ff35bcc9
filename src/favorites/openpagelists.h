#pragma once

#include <QObject>
#include <QStringList>

class TQORMainForm;

// The running record of the open pages: Data/OpenURLList.lst on every save,
// Data/OpenURLList2.lst with mode 2 (more than two pages open, or the window closing),
// and TrueClose "0" while a run with more than two pages is under way.
class OpenPageLists : public QObject
{
    Q_OBJECT

public:
    explicit OpenPageLists(TQORMainForm *mainForm);

    void save(int mode);
    // One line per listed page: title + "#" + address, in tab order.
    QStringList currentLines() const;

private:
    TQORMainForm *m_main;
};
