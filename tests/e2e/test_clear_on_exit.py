"""Clearing on exit with the real program: a page on 127.0.0.1 stores one token of its own in
each kind of storage a site has (a cookie, localStorage, sessionStorage, IndexedDB, the Cache
API, a service worker's script and its icon's address). After the close, by every way out,
no token is found in any file under the home folder, the per-user folders or the program
folder. Without clearing, every token is found (the search can see each kind)."""

import struct
import time
import uuid
import zlib

from sablixtest import PageServer, SablixTestCase, wait_for, where_found, write_config, xdotool, main

KINDS = ("cookie", "local", "session", "indexeddb", "cache", "worker", "icon")

STORE_PAGE = """<html><head><title>Storing</title></head><body><script>
(async function () {
  const t = await (await fetch('/tokens.json')).json();
  document.cookie = 'c' + t.cookie + '=1; Max-Age=86400; Path=/';
  localStorage.setItem('k', t.local);
  sessionStorage.setItem('k', t.session);
  await new Promise((done, failed) => {
    const open = indexedDB.open('db', 1);
    open.onupgradeneeded = () => open.result.createObjectStore('s');
    open.onerror = failed;
    open.onsuccess = () => {
      const tx = open.result.transaction('s', 'readwrite');
      tx.objectStore('s').put(t.indexeddb, 'k');
      tx.oncomplete = done;
      tx.onerror = failed;
    };
  });
  await (await caches.open('c')).put('/cached', new Response(t.cache));
  await navigator.serviceWorker.register('/worker.js');
  await navigator.serviceWorker.ready;
  const icon = document.createElement('link');
  icon.rel = 'icon';
  icon.href = '/icon.png?' + t.icon;
  document.head.appendChild(icon);
  fetch('/stored');
})().catch(error => { fetch('/failed?' + encodeURIComponent(error)); });
</script></body></html>"""


def png():
    """A one-pixel picture, for the icon."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 1, 1, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(b"\x00\xff\x00\x00")) + chunk(b"IEND", b""))


class ClearOnExit(SablixTestCase):
    def setUp(self):
        super().setUp()
        self.tokens = {kind: uuid.uuid4().hex for kind in KINDS}
        tokens = "{%s}" % ", ".join('"%s": "%s"' % item for item in self.tokens.items())
        worker = "// %s\nself.addEventListener('fetch', () => {});\n" % self.tokens["worker"]
        self.server = PageServer({"/store.html": STORE_PAGE, "/tokens.json": tokens, "/worker.js": worker,
                                  "/icon.png": png()},
                                 types={"/tokens.json": "application/json", "/worker.js": "application/javascript",
                                        "/icon.png": "image/png"}, no_store=True)

    def run_that_stores(self, clean_on_exit):
        """A run that loads the page and waits until it stored every token; the running program."""
        write_config("[RunData]\nCleanOnExit=%d\n" % clean_on_exit)
        app = self.start()
        app.go(self.server.url("/store.html"))
        wait_for(lambda: [path for path in self.server.requests if path.startswith(("/stored", "/failed"))], timeout=30,
                 what="the page to store its tokens")
        self.assertIn("/stored", self.server.requests)
        # The engine asks for the icon once the page has loaded.
        wait_for(lambda: [path for path in self.server.requests if path.startswith("/icon.png")], what="the icon")
        return app

    def assertNoTokenLeft(self):
        self.assertEqual(where_found(self.tokens), {})

    def test_without_clearing_every_token_stays_and_a_close_at_once_then_clears_them(self):
        self.assertEqual(self.run_that_stores(clean_on_exit=0).exit(), 0)
        found = where_found(self.tokens)
        self.assertEqual(sorted(found), sorted(KINDS), found)
        # Started, and closed as soon as the window shows, before the start's deferred work.
        write_config("[RunData]\nCleanOnExit=1\n")
        started = time.monotonic()
        app = self.start()
        self.assertEqual(app.exit(), 0)
        took = time.monotonic() - started
        # Start, clearing and the close: a few seconds, not the clearing's bound.
        self.assertLess(took, 15, "the run took %.1f s" % took)
        self.assertNoTokenLeft()

    def test_the_close_clears_every_token(self):
        self.assertEqual(self.run_that_stores(clean_on_exit=1).exit(), 0)
        self.assertNoTokenLeft()

    def test_the_boss_key_clears_every_token(self):
        app = self.run_that_stores(clean_on_exit=1)
        xdotool("key", "--clearmodifiers", "ctrl+alt+k")
        self.assertEqual(app.wait(15), 0)
        self.assertNoTokenLeft()


if __name__ == "__main__":
    main()
