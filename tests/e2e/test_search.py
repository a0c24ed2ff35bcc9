"""Typed words reach the search engine whole: "+", "&", "#" and "%" are part of the words.
Both engines point at a server on 127.0.0.1 here (SABLIX_SEARCH_ORIGIN)."""

import os
import urllib.parse

from sablixtest import PageServer, SablixTestCase, data_file, page, read_lines, wait_for, main


class Search(SablixTestCase):
    def setUp(self):
        super().setUp()
        self.server = PageServer({"/baidu": page("结果")})
        os.environ["SABLIX_SEARCH_ORIGIN"] = self.server.url("")

    def tearDown(self):
        os.environ.pop("SABLIX_SEARCH_ORIGIN", None)
        super().tearDown()

    def searched_words(self, count):
        """The words of the first `count` searches the server saw, decoded as a server does."""
        def arrived():
            queries = [urllib.parse.urlsplit(path).query for path in self.server.requests
                       if path.startswith("/baidu?")]
            return queries if len(queries) >= count else None
        queries = wait_for(arrived, what="%d searches at the server" % count)
        words = []
        for query in queries:
            fields = urllib.parse.parse_qs(query, keep_blank_values=True)
            self.assertEqual(fields.get("ie"), ["utf-8"], query)
            words.append(fields["word"][0])
        return words

    def test_typed_words_arrive_whole(self):
        self.app = self.start()
        # The search box (F6, then Tab), and a bare word in the address box.
        self.app.key("F6", "Tab")
        self.app.type("C++ AT&T")
        self.app.key("Return")
        self.assertEqual(self.searched_words(1), ["C++ AT&T"])
        self.app.go("C# 100%")
        self.assertEqual(self.searched_words(2), ["C++ AT&T", "C# 100%"])
        self.assertEqual(self.app.exit(), 0)
        # The history keeps the words as typed.
        self.assertEqual(read_lines(data_file("SearchHistory.lst")), ["C++ AT&T"])


if __name__ == "__main__":
    main()
