"""The browsing history in the real program: visited pages reach History.sqlite, Ctrl+Shift+H
shows them by day, the search box filters them and Enter opens one as Go does; a history
file that is no database is moved aside, kept, and a new one is started; a pipe put where the
file goes is refused, and the program still ends."""

import os
import shutil
import sqlite3
import stat

from sablixtest import PageServer, SablixTestCase, open_page_lines, page, wait_for, xdotool, main

HISTORY = os.path.join(os.environ["XDG_DATA_HOME"], "sablix", "History.sqlite")


def kept():
    """{address: (title, visits)} as the file holds them now (read-only, beside the writer)."""
    if not os.path.exists(HISTORY):
        return {}
    db = sqlite3.connect("file:%s?mode=ro" % HISTORY, uri=True)
    try:
        return {row[0]: (row[1], row[2]) for row in db.execute("SELECT address, title, visits FROM pages")}
    except sqlite3.OperationalError:
        return {}
    finally:
        db.close()


def shot(name):
    """A screenshot of the display into $SABLIX_SCREENSHOTS when it is set."""
    folder = os.environ.get("SABLIX_SCREENSHOTS")
    if folder and shutil.which("import"):
        os.makedirs(folder, exist_ok=True)
        os.system("import -window root %s" % os.path.join(folder, name))


class History(SablixTestCase):
    def setUp(self):
        super().setUp()
        self.server = PageServer({"/news.html": page("今日新闻头条", "<p>news</p>"),
                                  "/mail.html": page("&lt;b&gt;Mail&lt;/b&gt;", "<p>mail</p>")})

    def test_visits_are_kept_and_the_window_opens_them(self):
        news, mail = self.server.url("/news.html"), self.server.url("/mail.html")
        self.app = self.start()
        self.app.go(news)
        wait_for(lambda: "今日新闻头条#" + news in open_page_lines(), what="the news page")
        self.app.go(mail)
        wait_for(lambda: mail in kept(), what="the visits in the history file")
        wait_for(lambda: news in kept(), what="the first visit in the history file")
        self.assertEqual(kept()[news], ("今日新闻头条", 1))
        self.assertEqual(kept()[mail][0], "<b>Mail</b>")

        self.app.key("ctrl+shift+h")
        window = wait_for(lambda: xdotool("search", "--onlyvisible", "--name", "^历史记录$", check=False),
                          what="the history window").split()[0]
        xdotool("windowfocus", "--sync", window)
        shot("history-window.png")
        # The search box has the keyboard: typing filters, Enter opens the first match.
        xdotool("type", "--delay", "25", "news.h")
        shot("history-window-search.png")
        xdotool("key", "--clearmodifiers", "Return")
        # The mail page shows a document: Go opens the news page in a new one.
        wait_for(lambda: open_page_lines().count("今日新闻头条#" + news) == 2, what="the news page opened again")
        wait_for(lambda: kept().get(news, ("", 0))[1] == 2, what="the second visit counted")
        # Esc puts the window away; the browser has the keys again.
        xdotool("key", "--clearmodifiers", "Escape")
        wait_for(lambda: not xdotool("search", "--onlyvisible", "--name", "^历史记录$", check=False),
                 what="the history window to close")
        self.assertEqual(self.app.exit(), 0)
        # Everything gathered was written before the end.
        self.assertEqual(len(kept()), 2)

    def test_a_file_that_is_no_history_is_moved_aside_and_kept(self):
        os.makedirs(os.path.dirname(HISTORY), exist_ok=True)
        garbage = b"not a database at all\n" * 100
        with open(HISTORY, "wb") as f:
            f.write(garbage)
        news = self.server.url("/news.html")
        self.app = self.start()
        folder = os.path.dirname(HISTORY)
        aside = wait_for(lambda: [n for n in os.listdir(folder) if n.startswith("History-damaged-")],
                         what="the damaged file moved aside")
        with open(os.path.join(folder, aside[0]), "rb") as f:
            self.assertEqual(f.read(), garbage)
        self.app.go(news)
        wait_for(lambda: news in kept(), what="the visit in the new history file")
        self.assertEqual(self.app.exit(), 0)

    def test_a_pipe_where_the_file_goes_is_refused_and_the_program_ends(self):
        os.makedirs(os.path.dirname(HISTORY), exist_ok=True)
        os.mkfifo(HISTORY)
        news = self.server.url("/news.html")
        # The status line's texts go to the log, where the test reads them.
        os.environ["QT_LOGGING_RULES"] = "sablix.status.info=true"
        try:
            self.app = self.start()
            wait_for(lambda: "不记录历史" in self.app.log(), what="the status line's note on the history")
            self.app.go(news)
            wait_for(lambda: "今日新闻头条#" + news in open_page_lines(), what="the page, browsed without a history")
            self.assertEqual(self.app.exit(), 0)
            # Left as it was; the next start is not held up by the last one either.
            self.assertTrue(stat.S_ISFIFO(os.lstat(HISTORY).st_mode))
            self.app = self.start()
            self.assertEqual(self.app.exit(), 0)
        finally:
            os.environ.pop("QT_LOGGING_RULES", None)


if __name__ == "__main__":
    main()
