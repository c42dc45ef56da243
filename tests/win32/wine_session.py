"""The pieces of wine_e2e.py: a Wine session of a case's own, the programs
started in it, their windows as the system lists them, and the loopback
HTTP servers the download runs against.

Each case has its own Wine prefix, a hard-linked clone of the one
tests/wine-run keeps: one Wine session has one foreground window and one
desktop process, which two cases on two displays must not share. The clone
has Wine draw the window frames itself, so the screenshots show captions
and close boxes without a window manager.
"""

import fcntl
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.realpath(os.path.join(os.path.dirname(__file__), "..", ".."))
WINE_RUN = os.path.join(ROOT, "tests", "wine-run")
sys.path.insert(0, os.path.join(ROOT, "tests"))
from http_peers import PAGE_PATH, SAMPLE_PAGE, RawServer, Site  # noqa: E402,F401
NAV_LINK = "http://www.nav.gov.hu" + PAGE_PATH
WINDOW_CAPTION = "NAV üzemanyagár letöltő"
APPLICATION_TITLE = "NAV üzemanyagár netupdate"
# Generous: Wine starts its own services with the first program of a session.
TIMEOUT = 60

LABELS = {  # control id: (left, top, width, height or None when sized to the text, text)
    201: (8, 8, None, "NAV üzemanyagárak frissítése a következő helyről:"),
    202: (8, 28, 516, None),
    203: (8, 56, None, "Aktuális folyamat:"),
    204: (8, 76, 516, ""),
}
BUTTONS = {  # control id: (left, top, width, height, text)
    101: (120, 48, 90, 25, "Oldal letöltése"),
    102: (216, 48, 75, 25, "Feldolgoz"),
    103: (297, 48, 144, 25, "Adatok beírása user-be"),
}


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def check_equal(actual, expected, what):
    check(actual == expected, f"{what}:\n  actual:   {actual!r}\n  expected: {expected!r}")


def lines(text):
    """A message as a dialog shows it: CR LF, CR and LF each break a line."""
    return text.replace("\r\n", "\n").replace("\r", "\n")


def windows_path(path):
    """The name Wine gives a Unix path: the whole file system is drive Z:."""
    return "Z:" + path.replace("/", "\\")


def pe_bits(program):
    """32 or 64: the prefix tests/wine-run runs the program in follows it."""
    with open(program, "rb") as image:
        header = image.read(4096)
    pe = int.from_bytes(header[0x3C:0x40], "little")
    machine = int.from_bytes(header[pe + 4:pe + 6], "little")
    return 32 if machine == 0x14C else 64


class WineSession:
    """A clone of the Wine prefix, its wineserver and the programs in it."""

    def __init__(self, work, wintree, dpi=96):
        base = os.environ.get("NETUPDATE_WINEPREFIX") or os.path.join(
            os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache"),
            "netupdate", "wine%d" % pe_bits(wintree))
        self.wintree = wintree
        if not os.path.exists(os.path.join(base, "system.reg")):
            # tests/wine-run creates the prefix once, under a lock.
            subprocess.run([WINE_RUN, wintree], env=dict(os.environ, NETUPDATE_WINEPREFIX=base),
                           stdout=subprocess.DEVNULL, check=True)
        self.prefix = os.path.join(work, "prefix")
        # Under the lock tests/wine-run creates the prefix with: not half made.
        with open(base + ".lock", "a") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            subprocess.run(["cp", "-al", base, self.prefix], check=True)
            # The registry is rewritten when the session ends; the clone's
            # must not be the base's file under another name.
            for name in os.listdir(self.prefix):
                if name.endswith(".reg"):
                    target = os.path.join(self.prefix, name)
                    os.unlink(target)
                    shutil.copyfile(os.path.join(base, name), target)
        with open(os.path.join(self.prefix, "user.reg"), "a", encoding="utf-8") as registry:
            registry.write('\n[Software\\\\Wine\\\\X11 Driver] 1700000000\n"Decorated"="N"\n')
            if dpi != 96:
                registry.write(f'\n[Control Panel\\\\Desktop] 1700000000\n'
                               f'"LogPixels"=dword:{dpi:08x}\n')
        self.env = dict(os.environ, NETUPDATE_WINEPREFIX=self.prefix)

    def command(self, program, *args):
        return [WINE_RUN, program, *args]

    def tree(self, image):
        """The windows of the programs started from `image` (a file name),
        as wintree.exe lists them."""
        out = subprocess.run(self.command(self.wintree, image), env=self.env,
                             capture_output=True, check=True, timeout=TIMEOUT).stdout
        return json.loads(out.decode("utf-8"))

    def close(self):
        subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=self.prefix),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=dict(os.environ, WINEPREFIX=self.prefix),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


class Program:
    """One Windows program of the session, started in `workdir`."""

    def __init__(self, session, shots, argv, workdir, link=None, wrap=(), stdout=None):
        self.session = session
        self.shots = shots
        self.workdir = workdir
        self.image = os.path.basename(argv[0])
        env = dict(session.env)
        if link is not None:
            env["NETUPDATE_PAGE_URL"] = link
        self.process = subprocess.Popen([*wrap, *session.command(*argv)], cwd=workdir, env=env,
                                        stdout=stdout)

    def x_window(self, caption):
        """Waits for a visible X window with this exact caption. The display
        is the case's own, so every window on it belongs to the program."""
        try:
            out = subprocess.run(
                ["xdotool", "search", "--sync", "--onlyvisible", "--name",
                 "^" + re.escape(caption) + "$"],
                capture_output=True, text=True, timeout=TIMEOUT).stdout
        except subprocess.TimeoutExpired:
            out = ""
        check(out.strip() != "", f'no window "{caption}" appeared')
        return out.split()[0]

    def window(self, caption, ready=lambda window: True):
        """The program's visible window with this caption as the system
        lists it, once `ready` holds for it."""
        self.x_window(caption)
        deadline = time.monotonic() + TIMEOUT
        while time.monotonic() < deadline:
            tree = self.session.tree(self.image)
            for window in tree["windows"]:
                if window["caption"] == caption and window["visible"] and ready(window):
                    window["tree"] = tree
                    return window
            time.sleep(0.1)
        raise Failure(f'window "{caption}" never showed as expected')

    def shot(self, caption, name):
        subprocess.run(["import", "-window", self.x_window(caption),
                        os.path.join(self.shots, name)], check=True)

    def press(self, caption, key):
        window = self.x_window(caption)
        subprocess.run(["xdotool", "windowfocus", "--sync", window], check=True)
        subprocess.run(["xdotool", "key", key], check=True)
        return window

    def answer(self, caption, key):
        self.wait_closed(self.press(caption, key))

    def wait_closed(self, window):
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
            self.kill()
            raise Failure("the program did not end (a dialog nobody expected?)")

    def running(self):
        return self.process.poll() is None

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()

    def page_files(self):
        return sorted(name for name in os.listdir(self.workdir) if name.endswith(".html"))


def children(window):
    return {child["id"]: child for child in window["children"]}


def dialog_text(window):
    """The message of a dialog: the texts of its static controls."""
    return "\n".join(lines(child["text"]) for child in window["children"]
                     if child["class"].lower() == "static" and child["text"])


def buttons(window):
    return [child["text"] for child in window["children"] if child["class"].lower() == "button"]


def check_centred(rect, area, what):
    left, top, width, height = rect
    area_left, area_top, area_width, area_height = area
    check(abs(left - (area_left + (area_width - width) // 2)) <= 1
          and abs(top - (area_top + (area_height - height) // 2)) <= 1,
          f"{what} at {rect}, not centred in {area}")


def host_arguments(work):
    """What the host application passes: database, user, password."""
    return [windows_path(os.path.join(work, "user.fdb")), "SYSDBA", "masterkey"]
