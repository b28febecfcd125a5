#!/usr/bin/env python3
"""vkcdict edit end to end: the server over real sockets (ServerTest), and the
page in headless Chromium driven by Selenium (BrowserTest).

Usage: edit_test.py VKCDICT [unittest arguments]. VKCDICT may be a command
of several words separated by '|' (a Windows build run under Wine: WineTest). Without Chromium, its driver
or Selenium the browser tests are skipped, unless VKC_REQUIRE_BROWSER=1 (CI),
which makes that a failure. VKC_SCREENSHOT=PATH saves the main view there.
"""
import http.client
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

VKCDICT = None


def dictionary(records):
    """A dictionary text file (GBK bytes) of (eng, chi, remark) records."""
    out = b"Veskaloran VKCStringDict::SaveToTXTFileA Ver.0.19 2026-12-10 10:00:00\r\n\r\n\r\n"
    for n, (eng, chi, remark) in enumerate(records):
        out += b"\r\nmirok_res_No.%08d\r\n" % n
        for name, text in ((b"ENG", eng), (b"CHI", chi), (b"Remark00", remark)):
            out += b"mirok_res_" + name + b"_Start\r\n" + text.encode("gbk") + b"\r\nmirok_res_" + name + b"_End\r\n"
    return out + b"\r\n\r\n\r\nmirok_res_All_End\r\n"


XSS = "<img src=x onerror=window.pwned=1>"
RECORDS = [
    ("A traveller. May I come in?", "一个旅人。我可以进来吗？", ""),
    ("Ask about the ship", "", ""),
    ("Open the door %s", "开门", ""),          # a codes finding
    ("Talk to the Captain", "", ""),
    (XSS, "图片" + XSS, "remark " + XSS),
] + [("Line %03d of the story" % i, "故事第%d行" % i if i % 3 else "", "") for i in range(60)]


class Server:
    """vkcdict edit on a dictionary in a folder of its own."""

    def __init__(self, folder, records=RECORDS, args=()):
        self.folder = folder
        self.path = os.path.join(folder, "d.txt")
        if records is not None:
            with open(self.path, "wb") as f:
                f.write(dictionary(records))
        self.process = subprocess.Popen([*VKCDICT, "edit", "d.txt", "--no-browser", *args], cwd=folder,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        line = self.process.stdout.readline().decode()
        if not line.startswith("vkcdict: editing d.txt at http://"):
            self.process.wait(10)
            raise AssertionError("no start-up line: %r %r" % (line, self.process.stderr.read()))
        self.url = line.split(" at ", 1)[1].strip()
        self.base = self.url.split("/?token=")[0]
        self.token = self.url.split("token=")[1]
        self.port = int(self.base.rsplit(":", 1)[1])

    def request(self, method, target, body=None, headers=None, token=True):
        h = {"Host": "127.0.0.1:%d" % self.port}
        if token:
            h["X-Vkcdict-Token"] = self.token
        if body is not None:
            h.update({"Origin": self.base, "Content-Type": "application/json"})
        h.update(headers or {})
        c = http.client.HTTPConnection("127.0.0.1", self.port, timeout=30)
        c.request(method, target, body=body, headers=h)
        r = c.getresponse()
        data = r.read()
        c.close()
        return r.status, data

    def stop(self, sig=signal.SIGTERM):
        if self.process.poll() is None:
            self.process.send_signal(sig)
        status = self.process.wait(20)
        self.process.stdout.close()
        self.process.stderr.close()
        return status

    def read(self):
        with open(self.path, "rb") as f:
            return f.read()


def loads_whole(path, records=len(RECORDS)):
    """The loader loads every record, and the closing line is there (the
    sample's keys are not in order, which check also reports)."""
    r = subprocess.run([*VKCDICT, "check", path], capture_output=True)
    return (b", %d records loaded" % records) in r.stderr and b"closing line" not in r.stderr and \
        b"the load stops" not in r.stderr and b"NUL" not in r.stderr


def one_change(old, new):
    """The bytes that differ: (old part, new part), common prefix and suffix cut."""
    i = 0
    while i < min(len(old), len(new)) and old[i] == new[i]:
        i += 1
    j = 0
    while j < min(len(old), len(new)) - i and old[-1 - j] == new[-1 - j]:
        j += 1
    return old[i:len(old) - j], new[i:len(new) - j]


class ServerTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp()
        self.server = Server(self.folder)

    def tearDown(self):
        self.server.stop(signal.SIGKILL)
        shutil.rmtree(self.folder)

    def raw(self, data, wait=5):
        s = socket.create_connection(("127.0.0.1", self.server.port), timeout=wait)
        try:
            s.sendall(data)
        except (BrokenPipeError, ConnectionResetError):
            pass  # refused before the whole request went out: its answer is still there to read
        got = b""
        try:
            while True:
                piece = s.recv(65536)
                if not piece:
                    break
                got += piece
        except (socket.timeout, ConnectionResetError):
            pass
        s.close()
        return got

    def test_bad_requests_get_an_answer_and_change_nothing(self):
        before = self.server.read()
        host = b"Host: 127.0.0.1:%d\r\n" % self.server.port
        token = b"X-Vkcdict-Token: " + self.server.token.encode() + b"\r\n"
        big = b"{\"n\":1,\"version\":1,\"chi\":\"" + b"a" * (1 << 20) + b"\"}"
        cases = [
            ("body over 1 MiB", b"POST /api/commit HTTP/1.1\r\n" + host + token +
             b"Origin: " + self.server.base.encode() + b"\r\nContent-Type: application/json\r\n" +
             b"Content-Length: %d\r\n\r\n" % len(big) + big, b"413"),
            ("headers over the cap", b"GET /api/info HTTP/1.1\r\n" + host + token +
             b"X-Filler: " + b"x" * 20000 + b"\r\n\r\n", b"431"),
            ("not HTTP", b"HELLO\x00\x01\r\n\r\n", b"400"),
            ("a bad length", b"POST /api/commit HTTP/1.1\r\n" + host + b"Content-Length: -5\r\n\r\n", b"400"),
        ]
        for name, data, status in cases:
            answer = self.raw(data)
            self.assertTrue(answer.startswith(b"HTTP/1.1 " + status), (name, answer[:200]))
            self.assertIn(b"\"error\"", answer, name)
        self.assertEqual(self.server.read(), before)
        self.assertEqual(self.server.request("GET", "/api/info")[0], 200)

    def test_a_silent_client_is_dropped_and_blocks_no_one(self):
        s = socket.create_connection(("127.0.0.1", self.server.port))
        s.sendall(b"GET /api/info HTTP/1.1\r\n")  # and nothing more
        self.assertEqual(self.server.request("GET", "/api/info")[0], 200)
        s.settimeout(40)
        start = time.monotonic()
        self.assertEqual(s.recv(100), b"")  # closed by the server, without an answer
        self.assertLess(time.monotonic() - start, 39)
        s.close()

    def test_sigterm_stops_it_cleanly_and_a_busy_port_is_refused(self):
        busy = subprocess.run([*VKCDICT, "edit", "d.txt", "--no-browser", "--port", str(self.server.port)],
                              cwd=self.folder, capture_output=True, timeout=30)
        self.assertEqual(busy.returncode, 2)
        self.assertIn(b"the port is busy", busy.stderr)
        self.assertEqual(self.server.stop(signal.SIGTERM), 0)

    def test_kill_9_right_after_an_acknowledged_commit_loses_nothing(self):
        before = self.server.read()
        status, body = self.server.request("POST", "/api/commit",
                                           '{"n":1,"version":1,"chi":"询问那艘船\\n第二行"}'.encode())
        self.assertEqual(status, 200, body)
        self.server.process.kill()
        self.server.process.wait()
        after = self.server.read()
        self.assertEqual(one_change(before, after), (b"", "询问那艘船\r\n第二行".encode("gbk")))
        self.assertTrue(loads_whole(self.server.path))


class WineTest(unittest.TestCase):
    """The Windows build: it starts, serves its page and commits an edit over
    loopback."""

    def test_serves_the_page_and_commits(self):
        folder = tempfile.mkdtemp()
        server = Server(folder, records=RECORDS[:4])
        try:
            before = server.read()
            c = http.client.HTTPConnection("127.0.0.1", server.port, timeout=60)
            c.request("GET", server.url[len(server.base):], headers={"Host": "127.0.0.1:%d" % server.port})
            r = c.getresponse()
            r.read()
            self.assertEqual(r.status, 303)
            cookie = r.getheader("Set-Cookie").split(";")[0]
            c.request("GET", "/", headers={"Host": "127.0.0.1:%d" % server.port, "Cookie": cookie})
            r = c.getresponse()
            self.assertEqual(r.status, 200)
            self.assertIn(b'<script src="/app.js"', r.read())
            c.request("POST", "/api/commit", body='{"n":3,"version":1,"chi":"和船长谈谈"}'.encode(),
                      headers={"Host": "127.0.0.1:%d" % server.port, "Cookie": cookie, "Origin": server.base,
                               "Content-Type": "application/json"})
            r = c.getresponse()
            self.assertEqual(r.status, 200, r.read())
            c.close()
            self.assertEqual(one_change(before, server.read()), (b"", "和船长谈谈".encode("gbk")))
        finally:
            server.stop(signal.SIGKILL)
            shutil.rmtree(folder)


class BrowserTest(unittest.TestCase):
    driver = None

    @classmethod
    def setUpClass(cls):
        missing = None
        try:
            from selenium import webdriver  # noqa: F401
        except ImportError:
            missing = "python3-selenium"
        chromium = shutil.which("chromium") or shutil.which("chromium-browser")
        driver = shutil.which("chromedriver")
        if missing is None and not (chromium and driver):
            missing = "chromium and chromium-driver"
        if missing:
            if os.environ.get("VKC_REQUIRE_BROWSER") == "1":
                raise AssertionError("the browser tests need " + missing)
            raise unittest.SkipTest("needs " + missing)
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        options = webdriver.ChromeOptions()
        options.binary_location = chromium
        for arg in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--window-size=1400,900",
                    "--lang=zh-CN", "--host-resolver-rules=MAP evil.test 127.0.0.1"):
            options.add_argument(arg)
        options.add_experimental_option("prefs", {"intl.accept_languages": "zh-CN,zh"})
        cls.driver = webdriver.Chrome(service=Service(driver), options=options)
        cls.driver.set_script_timeout(30)

    @classmethod
    def tearDownClass(cls):
        if cls.driver:
            cls.driver.quit()

    def setUp(self):
        self.folder = tempfile.mkdtemp()
        with open(os.path.join(self.folder, "glossary.txt"), "wb") as f:
            f.write(dictionary([("Captain", "船长", "")]))
        with open(os.path.join(self.folder, "script.txt"), "wb") as f:
            f.write(("say [Talk to the Captain]\r\nshow \"%s\" %s\r\n" % (XSS, XSS)).encode("gbk"))
        self.server = Server(self.folder, args=("--glossary", "glossary.txt", "--script", "script.txt"))
        self.driver.get(self.server.url)
        self.wait(lambda d: d.find_elements("css selector", "#rows .row[data-n]"))

    def tearDown(self):
        self.server.stop(signal.SIGKILL)
        shutil.rmtree(self.folder)

    def wait(self, condition, timeout=15):
        from selenium.webdriver.support.ui import WebDriverWait
        return WebDriverWait(self.driver, timeout).until(condition)

    def el(self, css):
        return self.driver.find_element("css selector", css)

    def select(self, n):
        self.wait(lambda d: d.find_elements("css selector", '#rows .row[data-n="%d"]' % n)).pop().click()
        self.wait(lambda d: d.find_element("id", "recordTitle").text.startswith(("条目 %d " % n, "Record %d " % n)))

    def status(self):
        return self.el("#status").text

    def test_opens_with_records_and_progress_and_the_token_in_a_cookie(self):
        self.assertTrue(self.driver.current_url.endswith("/"), self.driver.current_url)
        self.assertNotIn("token", self.driver.current_url)
        self.assertIn("已翻译 %d / %d" % (sum(1 for r in RECORDS if r[1]), len(RECORDS)), self.el("#progress").text)
        rows = self.driver.find_elements("css selector", "#rows .row[data-n]")
        self.assertEqual(rows[0].text.split("\n")[1], RECORDS[0][0])
        cookie = self.driver.get_cookie("vkcdict_%d" % self.server.port)
        self.assertTrue(cookie["httpOnly"])
        self.assertEqual(cookie["sameSite"], "Strict")
        self.select(3)
        shot = os.environ.get("VKC_SCREENSHOT")
        if shot:
            self.driver.save_screenshot(shot)

    def test_translate_an_untranslated_record(self):
        from selenium.webdriver.common.keys import Keys
        from selenium.webdriver.support.ui import Select
        before = self.server.read()
        Select(self.el("#filter")).select_by_value("untranslated")
        self.wait(lambda d: d.find_element("id", "count").text == "显示 %d 条" % sum(1 for r in RECORDS if not r[1]))
        self.select(1)
        chi = self.el("textarea#chi")
        chi.send_keys("询问那艘船")
        chi.send_keys(Keys.CONTROL, Keys.ENTER)
        # Committed, then on to the next untranslated record.
        self.wait(lambda d: d.find_element("id", "recordTitle").text.startswith("条目 3 "))
        after = self.server.read()
        self.assertEqual(one_change(before, after), (b"", "询问那艘船".encode("gbk")))
        self.assertTrue(loads_whole(self.server.path))

    def test_a_character_outside_gbk_is_refused_and_named(self):
        before = self.server.read()
        self.select(1)
        self.el("#chi").send_keys("한")
        self.el("#commit").click()
        self.wait(lambda d: "U+D55C" in d.find_element("id", "status").text)
        self.assertIn("“한”", self.status())
        self.assertEqual(self.server.read(), before)
        self.assertEqual(self.el("#chi").get_attribute("value"), "한")

    def test_a_codes_finding_goes_once_fixed_and_a_glossary_hint_inserts(self):
        self.select(2)
        self.wait(lambda d: "codes" in d.find_element("id", "findings").text)
        chi = self.el("#chi")
        chi.send_keys(" %s")
        self.el("#commit").click()
        self.wait(lambda d: d.find_element("id", "status").text == "已保存。")
        self.assertNotIn("codes", self.el("#findings").text)
        self.assertIn("开门 %s".encode("gbk"), self.server.read())
        self.select(3)
        self.el("#glossary button.term").click()
        self.assertEqual(self.el("#chi").get_attribute("value"), "船长")
        # The script shows where the text occurs.
        self.assertIn("script.txt:1", self.el("#scripts").text)

    def test_a_file_changed_on_disk_is_not_overwritten(self):
        self.select(1)
        with open(self.server.path, "rb") as f:
            changed = f.read().replace(b"Line 001", b"Line one")
        with open(self.server.path, "wb") as f:
            f.write(changed)
        self.el("#chi").send_keys("询问")
        self.el("#commit").click()
        self.wait(lambda d: d.find_element("id", "reloadFile").is_displayed())
        self.assertEqual(self.server.read(), changed)
        self.assertEqual(self.el("#chi").get_attribute("value"), "询问")
        self.el("#reloadFile").click()
        self.wait(lambda d: not d.find_element("id", "reloadFile").is_displayed())
        self.assertEqual(self.el("#chi").get_attribute("value"), "询问")
        self.el("#commit").click()
        self.wait(lambda d: d.find_element("id", "status").text == "已保存。")
        self.assertEqual(one_change(changed, self.server.read()), (b"", "询问".encode("gbk")))

    def test_no_token_a_foreign_host_and_a_cross_origin_write_are_refused(self):
        before = self.server.read()
        self.driver.delete_all_cookies()
        self.driver.get(self.server.base + "/")
        self.assertIn("no valid token", self.driver.page_source)
        self.driver.get(self.server.url.replace("127.0.0.1", "evil.test"))
        self.assertIn("own address", self.driver.page_source)
        # A page of another origin posts a form-like write (no preflight).
        self.driver.get("about:blank")
        self.driver.execute_async_script("""
            const done = arguments[arguments.length - 1];
            fetch(arguments[0] + "/api/commit", {method: "POST", mode: "no-cors", credentials: "include",
                  headers: {"Content-Type": "text/plain"},
                  body: JSON.stringify({n: 1, version: 1, chi: "x"})}).then(() => done(), () => done());
        """, self.server.base)
        self.driver.get(self.server.url)
        self.wait(lambda d: d.find_elements("css selector", "#rows .row[data-n]"))
        self.assertEqual(self.server.read(), before)

    def test_html_in_texts_shows_literally(self):
        self.select(4)
        self.wait(lambda d: XSS in d.find_element("id", "eng").text)
        self.assertEqual(self.el("#chi").get_attribute("value"), "图片" + XSS)
        self.assertEqual(self.el("#remark").get_attribute("value"), "remark " + XSS)
        self.assertIn(XSS, self.el("#scripts").text)
        self.assertIn(XSS, self.el('#rows .row[data-n="4"]').text)
        self.assertEqual(self.driver.find_elements("css selector", "img"), [])
        self.assertIsNone(self.driver.execute_script("return window.pwned"))

    def test_kill_9_right_after_an_acknowledged_commit(self):
        before = self.server.read()
        self.select(3)
        self.el("#chi").send_keys("和船长谈谈")
        self.el("#commit").click()
        self.wait(lambda d: d.find_element("id", "status").text == "已保存。")
        self.server.process.kill()
        self.server.process.wait()
        self.assertEqual(one_change(before, self.server.read()), (b"", "和船长谈谈".encode("gbk")))
        self.assertTrue(loads_whole(self.server.path))


if __name__ == "__main__":
    VKCDICT = sys.argv.pop(1).split("|")
    VKCDICT[-1] = os.path.abspath(VKCDICT[-1])
    unittest.main()
