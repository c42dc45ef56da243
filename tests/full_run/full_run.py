#!/usr/bin/python3
"""Runs the real netupdate from start to exit, the way the host application
starts it, against a real Firebird database file and a real HTTP server on
loopback, and answers its dialogs with key presses as a person would. The
texts of the dialogs are read through the accessibility interface, as a
screen reader reads them.

Usage: full_run.py NETUPDATE SCREENSHOT_DIR CASE   (cases: see CASES below)
It brings its own virtual display and D-Bus session.
"""

import os
import re
import socket
import subprocess
import sys
import tempfile
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

ROOT = os.path.realpath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests"))
from http_peers import PAGE_PATH, SAMPLE_PAGE, RawServer, Site  # noqa: E402,F401
WINDOW_CAPTION = "NAV üzemanyagár letöltő"
APPLICATION_TITLE = "NAV üzemanyagár netupdate"
SKIPPED = 77
# Generous: the sanitizer build starts slowly; nothing waits this long when all is well.
TIMEOUT = 60

# The sample page's prices (January to December) by NAV category, and the
# demo database's fuel types (testdata/demo_data.sql) that they price.
PAGE_PRICES = {
    "Benzin ESZ-95": [366, 371, 362, 368, 377, 392, 389, 385, 391, 398, 396, 374],
    "Gázolaj": [379, 383, 376, 374, 381, 397, 394, 392, 401, 409, 412, 398],
    "Keverék": [388, 392, 386, 391, 399, 411, 408, 404, 410, 417, 415, 396],
    "LPG autógáz": [241, 243, 238, 236, 239, 245, 247, 249, 252, 257, 259, 254],
}
DEMO_FUELS = {  # UZAID: (own name, NAV category)
    1: ("Benzin 95 oktános", "Benzin ESZ-95"),
    2: ("Dízel", "Gázolaj"),
    3: ("Keverék 1:40", "Keverék"),
    4: ("Autógáz", "LPG autógáz"),
}
DEMO_ROWS = [
    (1, "2018-01-01", "362.00", "KE", "Benzin 95 oktános", "kézi rögzítés"),
    (2, "2018-03-01", "376.00", "AA", "Dízel", "NAV ÁR"),
    (4, "2018-02-01", "240.50", "KE", "Autógáz", "kézi rögzítés"),
    (5, "2018-01-01", "45.00", "KE", "Villamos energia", "kézi rögzítés"),
]


class Failure(Exception):
    pass


class AccessibilityUnanswered(Failure):
    """The accessibility registry never listed the dialog. Now and then its
    first call in a fresh session times out and it stays blind for the whole
    session; a broken dialog fails the same way in the next session too."""


# The exit code of a session whose accessibility registry stayed blind.
BLIND_SESSION = 75


def check(condition, message):
    if not condition:
        raise Failure(message)


def check_equal(actual, expected, what):
    check(actual == expected, f"{what}:\n  actual:   {actual!r}\n  expected: {expected!r}")


class Database:
    """A demo database of the host (scripts/create-demo-db), opened by the
    embedded engine from this process only while netupdate is not running."""

    def __init__(self, directory):
        self.path = os.path.join(directory, "user.fdb")
        subprocess.run([os.path.join(ROOT, "scripts", "create-demo-db"), self.path],
                       check=True, stdout=subprocess.DEVNULL)

    def isql(self, script):
        result = subprocess.run(
            ["isql-fb", "-q", "-user", "SYSDBA", "-ch", "UTF8", self.path],
            input="SET HEADING OFF;\n" + script, capture_output=True, text=True, check=True)
        check(result.stderr.strip() == "", f"isql-fb: {result.stderr}")
        return result.stdout

    def rows(self):
        """UZAAR, one tuple per row, in a fixed order."""
        out = self.isql(
            "SELECT UZAID || '|' || DATUM || '|' || CAST(UZAAR AS NUMERIC(15, 2)) || '|' ||"
            " COALESCE(JELLEG, '') || '|' || COALESCE(UZANEV, '') || '|' || COALESCE(MEGJ, '')"
            " FROM UZAAR;\n")
        rows = []
        for line in out.splitlines():
            if line.strip():
                fields = line.strip().split("|")
                rows.append((int(fields[0]), *fields[1:]))
        return sorted(rows)


def firebird_server():
    """host/port of the server scripts/firebird-server starts, or None."""
    port = int(os.environ.get("NETUPDATE_FIREBIRD_PORT", "3050"))
    try:
        socket.create_connection(("127.0.0.1", port), timeout=2).close()
    except OSError:
        return None
    return "127.0.0.1" if port == 3050 else f"127.0.0.1/{port}"


def nav_row(uzaid, month):
    name, category = DEMO_FUELS[uzaid]
    price = PAGE_PRICES[category][month - 1]
    return (uzaid, f"2018-{month:02d}-01", f"{price}.00", "AA", name, "NAV ÁR")


def all_nav_rows():
    return [nav_row(uzaid, month) for uzaid in DEMO_FUELS for month in range(1, 13)]


class Netupdate:
    def __init__(self, program, shots, args, workdir, link, wrap=()):
        self.shots = shots
        self.workdir = workdir
        env = dict(os.environ, NETUPDATE_PAGE_URL=link, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        self.process = subprocess.Popen([*wrap, program, *args], cwd=workdir, env=env)

    @property
    def pid(self):
        return self.process.pid

    def find_window(self, caption):
        """Waits for a visible window of ours with this exact caption."""
        try:
            out = subprocess.run(
                ["xdotool", "search", "--all", "--sync", "--onlyvisible", "--pid", str(self.pid),
                 "--name", "^" + re.escape(caption) + "$"],
                capture_output=True, text=True, timeout=TIMEOUT).stdout
        except subprocess.TimeoutExpired:
            out = ""
        check(out.strip() != "", f'no window "{caption}" appeared')
        return out.split()[0]

    def dialog(self, caption, shot=None):
        """The text of the open dialog with this caption, as a screen reader
        gets it; the dialog is saved as a picture when shot is given."""
        window = self.find_window(caption)
        if shot:
            subprocess.run(["import", "-window", window, os.path.join(self.shots, shot)],
                           check=True)
        # The accessible tree follows the window a moment later than X maps it.
        deadline = time.monotonic() + TIMEOUT
        while time.monotonic() < deadline:
            text = accessible_dialog_text(self.pid, caption)
            if text is not None:
                return window, text
            time.sleep(0.05)
        raise AccessibilityUnanswered(f'dialog "{caption}" has no readable text')

    def press(self, window, key):
        subprocess.run(["xdotool", "windowfocus", "--sync", window], check=True)
        subprocess.run(["xdotool", "key", key], check=True)

    def answer(self, caption, key, shot=None):
        window, text = self.dialog(caption, shot)
        self.press(window, key)
        self.wait_closed(window)
        return text

    def wait_closed(self, window):
        """Until the answered dialog is off the screen: the next question
        has the same caption and must not be mistaken for this one."""
        deadline = time.monotonic() + TIMEOUT
        while time.monotonic() < deadline:
            state = subprocess.run(["xwininfo", "-id", window], capture_output=True, text=True)
            if state.returncode != 0 or "IsViewable" not in state.stdout:
                return
            time.sleep(0.05)
        raise Failure(f"window {window} stayed open after the key press")

    def exit_code(self):
        try:
            return self.process.wait(timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            raise Failure("netupdate did not end (a dialog nobody expected?)")

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()

    def page_files(self):
        return sorted(name for name in os.listdir(self.workdir) if name.endswith(".html"))


def accessible_dialog_text(pid, caption):
    desktop = Atspi.get_desktop(0)
    # The list of programs is asked for afresh on every look: a first asking
    # that timed out (a busy program, a slow sanitizer build) would otherwise
    # leave it empty for good.
    desktop.clear_cache()
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is None or app.get_process_id() != pid:
            continue
        for j in range(app.get_child_count()):
            window = app.get_child_at_index(j)
            if window is None or window.get_name() != caption:
                continue
            labels = [child.get_name() for child in children(window)
                      if child.get_role() == Atspi.Role.LABEL and child.get_name()]
            if labels:
                return "\n".join(labels)
    return None


def children(node):
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            yield child
            yield from children(child)


def lines(text):
    """A message as the dialog shows it: CR LF, CR and LF each break a line."""
    return text.replace("\r\n", "\n").replace("\r", "\n")


def download_error(link, message):
    return lines("Hiba történt a weboldal megnyitása közben:\r\n\r\n" + link + "\r\n\r\n"
                 + "Hibaüzenet: " + message)


def question(category, date, stored, nav):
    return lines(f"Az alábbi üzemanyag típusnál: {category} a {date} dátumhoz rögzített ár: "
                 f"{stored} eltér a NAV által megadott ártól: {nav}\r\r"
                 "Kívánja az NAV által megadott árat rögzíteni?")


def start(program, shots, work, db, link, args=None):
    """netupdate as the host application starts it, on a local database."""
    return Netupdate(program, shots, args or [db.path, "SYSDBA", "masterkey"], work, link)


def case_success(program, shots, work):
    """No stored prices: everything is inserted without a question."""
    db = Database(work)
    db.isql("DELETE FROM UZAAR;\nCOMMIT;\n")
    site = Site(os.path.join(work, "site"))
    run = start(program, shots, work, db, site.url)
    try:
        window = run.find_window(WINDOW_CAPTION)
        subprocess.run(["import", "-window", window, os.path.join(shots, "main-window.png")],
                       check=True)
        check_equal(run.exit_code(), 1, "exit code")
    finally:
        run.kill()
        site.close()
    check_equal(site.requests, [f"GET {PAGE_PATH} HTTP/1.1"], "requests")
    check_equal(run.page_files(), [], "page files left")
    rows = db.rows()
    check_equal(len(rows), 48, "rows: 12 months x 4 mapped fuel types")
    check_equal(rows, sorted(all_nav_rows()), "rows")


def case_differing(program, shots, work, key, overwrite):
    db = Database(work)
    site = Site(os.path.join(work, "site"))
    run = start(program, shots, work, db, site.url)
    try:
        first = run.answer("Confirm", key, shot="confirmation.png")
        second = run.answer("Confirm", key)
        check_equal(run.exit_code(), 1, "exit code")
    finally:
        run.kill()
        site.close()
    check_equal(first, question("Benzin ESZ-95", "2018.01.01", "362.00", "366.00"),
                "first question")
    check_equal(second, question("LPG autógáz", "2018.02.01", "240.50", "243.00"),
                "second question")
    check_equal(run.page_files(), [], "page files left")
    asked = {(1, "2018-01-01"), (4, "2018-02-01")}
    expected = [row for row in all_nav_rows() if (row[0], row[1]) not in asked]
    # The equal stored price is kept as the only row of its day.
    expected.remove(nav_row(2, 3))
    expected += [row for row in DEMO_ROWS if (row[0], row[1]) not in asked]
    if overwrite:
        expected += [nav_row(1, 1), nav_row(4, 2)]
    else:
        expected += [row for row in DEMO_ROWS if (row[0], row[1]) in asked]
    check_equal(db.rows(), sorted(expected), "rows")


def case_download_fails(program, shots, work, peer, link, message):
    db = Database(work)
    run = start(program, shots, work, db, link)
    try:
        text = run.answer("Error", "Return", shot="download-error.png")
        check_equal(run.exit_code(), 0, "exit code")
    finally:
        run.kill()
        if peer:
            peer.close()
    check_equal(text, download_error(link, message), "dialog text")
    if peer:
        check_equal(len(peer.requests), 1, "requests")
    check_equal(run.page_files(), [], "page files left")
    check_equal(db.rows(), sorted(DEMO_ROWS), "rows")


def case_not_found(program, shots, work):
    peer = RawServer(b"HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\n"
                     b"Content-Length: 9\r\nConnection: close\r\n\r\nnot found")
    case_download_fails(program, shots, work, peer, peer.url, "HTTP/1.1 404 Not Found")


def case_host_not_found(program, shots, work):
    case_download_fails(program, shots, work, None, "http://nonexistent.invalid" + PAGE_PATH,
                        "Socket Error # 11001\r\nHost not found.")


def case_wrong_password(program, shots, work):
    server = firebird_server()
    if server is None:
        print("SKIP: no Firebird server (scripts/firebird-server start)")
        sys.exit(SKIPPED)
    db = Database(work)
    site = Site(os.path.join(work, "site"))
    run = start(program, shots, work, db, site.url,
                args=[db.path, "SYSDBA", "not-the-password", server])
    try:
        text = run.answer("Error", "Return", shot="connection-error.png")
        # A second dialog would hold the process open until the timeout.
        check_equal(run.exit_code(), 2, "exit code")
    finally:
        run.kill()
        site.close()
    check_equal(text, "Nem sikerült a kapcsolódás a USER adatbázishoz!", "dialog text")
    check_equal(len(site.requests), 1, "requests")
    check_equal(run.page_files(), [], "page files left")
    check_equal(db.rows(), sorted(DEMO_ROWS), "rows")


def case_page_file_uncreatable(program, shots, work):
    db = Database(os.path.join(work, "db"))
    site = Site(os.path.join(work, "site"))
    workdir = os.path.join(work, "run")
    os.mkdir(workdir)
    if os.geteuid() == 0:
        # Permissions don't stop root: the directory is made read-only in a
        # mount namespace of the program's own, which ends with it.
        wrap = ["unshare", "-m", "sh", "-c",
                'mount --bind -o ro "$0" "$0" && cd "$0" && exec "$@"', workdir]
        reason = "Read-only file system"
    else:
        os.chmod(workdir, 0o555)
        wrap = []
        reason = "Permission denied"
    run = Netupdate(program, shots, [db.path, "SYSDBA", "masterkey"], workdir, site.url, wrap)
    try:
        window, text = run.dialog(APPLICATION_TITLE, shot="unhandled-error.png")
        run.press(window, "Escape")
        main = run.find_window(WINDOW_CAPTION)
        still_open = run.process.poll() is None
        subprocess.run(["import", "-window", main,
                        os.path.join(shots, "main-window-after-error.png")], check=True)
        # The run is over without a close request; the person closes the window.
        run.press(main, "Escape")
        code = run.exit_code()
    finally:
        run.kill()
        site.close()
    check(re.fullmatch(re.escape(f'Cannot create file "{workdir}/') + r"\d{4}_\d\d_\d\d"
                       + re.escape(f'.html". {reason}.'), text), f"box text: {text!r}")
    check(still_open, "netupdate ended with the box")
    check_equal(code, 0, "exit code")
    check_equal(site.requests, [], "requests")
    check_equal(run.page_files(), [], "page files")
    check_equal(db.rows(), sorted(DEMO_ROWS), "rows")


def case_developer_download(program, shots, work):
    """Developer mode: the first button downloads the page and nothing else
    runs; the page file stays when the window is closed."""
    open(os.path.join(work, "debugfq.txt"), "w").close()
    site = Site(os.path.join(work, "site"))
    run = Netupdate(program, shots, [], work, site.url)
    with open(SAMPLE_PAGE, "rb") as sample:
        page = sample.read()
    try:
        window = run.find_window(WINDOW_CAPTION)
        # The first button has the focus once the window is active.
        run.press(window, "space")
        deadline = time.monotonic() + TIMEOUT
        while not (run.page_files() and file_bytes(work, run.page_files()[0]) == page):
            check(time.monotonic() < deadline, "the page never arrived in the page file")
            time.sleep(0.05)
        subprocess.run(["import", "-window", window,
                        os.path.join(shots, "developer-after-download.png")], check=True)
        run.press(window, "Escape")
        code = run.exit_code()
    finally:
        run.kill()
        site.close()
    check_equal(code, 0, "exit code")
    check_equal(site.requests, [f"GET {PAGE_PATH} HTTP/1.1"], "requests")
    check(re.fullmatch(r"\d{4}_\d\d_\d\d\.html", run.page_files()[0]) is not None,
          f"page file name {run.page_files()}")


def file_bytes(directory, name):
    with open(os.path.join(directory, name), "rb") as file:
        return file.read()


CASES = {
    "success": case_success,
    "differing-yes": lambda p, s, w: case_differing(p, s, w, "Return", True),
    "differing-no": lambda p, s, w: case_differing(p, s, w, "Escape", False),
    "differing-alt-n": lambda p, s, w: case_differing(p, s, w, "alt+n", False),
    "not-found": case_not_found,
    "host-not-found": case_host_not_found,
    "wrong-password": case_wrong_password,
    "page-file-uncreatable": case_page_file_uncreatable,
    "developer-download": case_developer_download,
}


def in_own_session():
    """Runs this script again on a display and a D-Bus session of its own.
    The accessibility bus puts its socket under XDG_RUNTIME_DIR (or the home
    directory without one), so each run gets its own directory: cases running
    side by side would otherwise talk to each other's bus."""
    for attempt in (1, 2):
        with tempfile.TemporaryDirectory(prefix="netupdate-full-run-xdg.") as runtime:
            env = dict(os.environ, XDG_RUNTIME_DIR=runtime, NETUPDATE_FULL_RUN_SESSION="1")
            code = subprocess.run(
                ["dbus-run-session", "--", os.path.join(ROOT, "tests", "run-with-display"),
                 sys.executable, os.path.realpath(__file__), *sys.argv[1:]], env=env).returncode
        if code != BLIND_SESSION:
            return code
        if attempt == 1:
            print("the accessibility registry stayed blind: once more in a fresh session",
                  file=sys.stderr)
    return 1


def main():
    if not os.environ.get("NETUPDATE_FULL_RUN_SESSION"):
        return in_own_session()
    program, shots, name = os.path.realpath(sys.argv[1]), sys.argv[2], sys.argv[3]
    shots = os.path.join(shots, name)
    os.makedirs(shots, exist_ok=True)
    with tempfile.TemporaryDirectory(prefix="netupdate-full-run.") as work:
        try:
            CASES[name](program, shots, work)
        except AccessibilityUnanswered as failure:
            print(f"FAIL: {name}: {failure}", file=sys.stderr)
            return BLIND_SESSION
        except Failure as failure:
            print(f"FAIL: {name}: {failure}", file=sys.stderr)
            return 1
    print(f"ok: {name} (screenshots in {shots})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
