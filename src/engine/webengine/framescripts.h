#pragma once

class QString;
class QWebEnginePage;

// The program's scripts for every frame, in its own world, and the way back from them: a
// console line that starts with a secret of this run. Only scripts of that world know it,
// so a page cannot pass its own messages off as theirs.
namespace FrameScripts {

void add(const QString &source);
// Puts every script into the page (for the documents it opens from now on).
void install(QWebEnginePage *page);
// A console line of one of our scripts: the message it posted (JSON) into `message`.
bool take(const QString &consoleLine, QString *message);

} // namespace FrameScripts
