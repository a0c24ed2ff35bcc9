#pragma once

#include <QString>

// How a page title becomes a tab caption and a recorded title.
namespace PageCaption {

inline const QString kBlankCaption = QStringLiteral("   空白页   ");

// The first 52 characters + "..." for a longer title.
QString fullTitle(const QString &title);

// At most 10 characters (8 + ".." when longer), padded with blanks to 10 bytes as the
// local code page counts them, the odd blank on the left; "about:blank" reads "空白页".
QString shortTitle(const QString &title);

// A pinned tab's caption: the first character a reader sees of the title (a letter with its
// marks, a pair of surrogates), "空" for a blank page.
QString pinnedCaption(const QString &title);

// What the tab strip is given for a caption: "&" stands for itself, not a mnemonic.
QString tabText(const QString &caption);

// Text a page supplied (a title), shown so that it cannot reorder what stands around it: a
// directional isolate, with the text's own isolates balanced inside it (a stray closing mark
// of its own would end ours early, one it leaves open would take in what follows). Text
// with no right-to-left letter and no directional mark is given back as it is.
QString isolated(const QString &text);

// Cuts text to `count` UTF-16 units without splitting a surrogate pair.
QString leftChars(const QString &text, qsizetype count);

} // namespace PageCaption
