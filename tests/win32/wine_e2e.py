#!/usr/bin/python3
"""Runs the real netupdate.exe under Wine the way the host application
starts it, answers its dialogs with key presses on the X display Wine draws
on, and reads the windows back through the system's own window list
(wintree.exe, run in the same Wine session): captions, styles, sizes, the
focused control and the controls' texts. Screenshots of the window and of
each dialog kind go to SCREENSHOT_DIR.

Usage: wine_e2e.py NETUPDATE.EXE WINTREE.EXE MESSAGE_PROBE.EXE SCREENSHOT_DIR CASE
It brings its own virtual display and Wine session (wine_session.py).
"""

import os
import re
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))
from wine_session import (  # noqa: E402
    APPLICATION_TITLE, BUTTONS, LABELS, NAV_LINK, PAGE_PATH, ROOT, SAMPLE_PAGE, TIMEOUT,
    WINDOW_CAPTION, Failure, Program, RawServer, Site, WineSession, buttons, check,
    check_centred, check_equal, children, dialog_text, host_arguments, lines, windows_path)


def download_error(link, message):
    return lines("Hiba történt a weboldal megnyitása közben:\r\n\r\n" + link + "\r\n\r\n"
                 + "Hibaüzenet: " + message)


def check_error_dialog(dialog, text):
    check_equal(dialog_text(dialog), text, "dialog text")
    check_equal(buttons(dialog), ["OK"], "buttons")
    check("sysmenu" in dialog["style"], "the dialog has no close box")
    check_centred(dialog["outer"], dialog["tree"]["screen"], "dialog")


def case_start_up_error(t, args, text, key):
    run = Program(t.session, t.shots, [t.netupdate, *args], t.work)
    try:
        dialog = run.window("Error")
        run.shot("Error", "start-up-error.png")
        main = [w for w in dialog["tree"]["windows"] if w["caption"] == WINDOW_CAPTION]
        check_error_dialog(dialog, text)
        # Before the window is shown the dialog stands alone, with a
        # taskbar button, and the hidden window takes no input.
        check_equal(dialog["owner"], "0", "dialog owner")
        check("appwindow" in dialog["style"], "the lone dialog has no taskbar button")
        check(len(main) == 1 and not main[0]["visible"] and not main[0]["enabled"],
              f"main window behind the start-up dialog: {main}")
        run.answer("Error", key)
        check_equal(run.exit_code(), 0, "exit code")
    finally:
        run.kill()
    check_equal(run.page_files(), [], "page files")


def scaled(value, dpi):
    """A 96-dpi length at `dpi`, rounded as MulDiv rounds."""
    return (value * dpi + 48) // 96


def check_main_window(window, label2, dpi):
    check_equal(window["class"], "TMainFrm", "window class")
    check_equal(window["client"], [0, 0, scaled(542, dpi), scaled(105, dpi)],
                f"client area at {dpi} dpi")
    style = set(window["style"])
    check({"caption", "appwindow", "dlgmodalframe"} <= style, f"window style {style}")
    check(not style & {"sysmenu", "thickframe", "minimizebox", "maximizebox"},
          f"title-bar buttons or a sizing frame: {style}")
    check_centred(window["outer"], window["tree"]["workarea"], "window")
    controls = children(window)
    for id_, (left, top, width, text) in LABELS.items():
        label = controls[id_]
        check_equal(label["class"], "Static", f"control {id_}")
        check_equal(label["rect"][:2], [scaled(left, dpi), scaled(top, dpi)],
                    f"label {id_} position")
        if width is not None:
            check_equal(label["rect"][2], scaled(width, dpi), f"label {id_} width")
        # A label sized to its text is as high as the font's line.
        lowest = scaled(14 if width is not None else 12, dpi)
        check(label["rect"][3] >= lowest, f"label {id_} height {label['rect'][3]}")
        check_equal(label["text"], label2 if text is None else text, f"label {id_} text")
    for id_, (left, top, width, height, text) in BUTTONS.items():
        button = controls[id_]
        check_equal((button["class"], button["rect"], button["text"]),
                    ("Button", [scaled(v, dpi) for v in (left, top, width, height)], text),
                    f"button {id_}")
        check("tabstop" in button["style"], f"button {id_} not in the tab order")
    # Tahoma at 12 pixels fits the design: the heading ends before the button.
    heading = controls[203]["rect"]
    check(heading[0] + heading[2] < scaled(BUTTONS[101][0], dpi),
          f"Label3 {heading} runs into Button1")


def case_developer_window(t, key, dpi=96):
    open(os.path.join(t.work, "debugfq.txt"), "w").close()
    run = Program(t.session, t.shots, [t.netupdate, "ignored", "arguments"], t.work)
    try:
        window = run.window(WINDOW_CAPTION, ready=lambda w: children(w)[202]["text"] != "")
        check_equal(window["tree"]["dpi"], dpi, "the session's dpi")
        check_main_window(window, NAV_LINK, dpi)
        check_equal(window["focus"], children(window)[101]["hwnd"], "focus on Button1")
        if key == "Escape":
            run.shot(WINDOW_CAPTION, "developer-window.png")
            # Tab walks the buttons.
            run.press(WINDOW_CAPTION, "Tab")
            run.window(WINDOW_CAPTION, ready=lambda w: w["focus"] == children(w)[102]["hwnd"])
        check(run.running(), "the window closed by itself")
        run.press(WINDOW_CAPTION, key)
        check_equal(run.exit_code(), 0, "exit code")
    finally:
        run.kill()


def case_developer_download(t):
    """The first button downloads the page and nothing else runs; the page
    file stays when the window is closed."""
    open(os.path.join(t.work, "debugfq.txt"), "w").close()
    site = Site(os.path.join(t.work, "site"))
    run = Program(t.session, t.shots, [t.netupdate], t.work, site.url)
    with open(SAMPLE_PAGE, "rb") as sample:
        page = sample.read()
    try:
        run.window(WINDOW_CAPTION, ready=lambda w: w["focus"] == children(w)[101]["hwnd"])
        run.press(WINDOW_CAPTION, "space")
        deadline = time.monotonic() + TIMEOUT
        while not (run.page_files() and file_bytes(t.work, run.page_files()[0]) == page):
            check(time.monotonic() < deadline, "the page never arrived in the page file")
            check(run.running(), "the program ended")
            time.sleep(0.05)
        window = run.window(WINDOW_CAPTION)
        check_equal(children(window)[204]["text"], "", "Label4")
        run.shot(WINDOW_CAPTION, "developer-after-download.png")
        run.press(WINDOW_CAPTION, "Escape")
        check_equal(run.exit_code(), 0, "exit code")
    finally:
        run.kill()
        site.close()
    check_equal(site.requests, [f"GET {PAGE_PATH} HTTP/1.1"], "requests")
    check(re.fullmatch(r"\d{4}_\d\d_\d\d\.html", run.page_files()[0]) is not None,
          f"page file name {run.page_files()}")


def file_bytes(directory, name):
    with open(os.path.join(directory, name), "rb") as file:
        return file.read()


def run_to_error(t, link, text, exit_code, shot, wrapped=False):
    """A normal run that ends in one error dialog, answered with Enter."""
    run = Program(t.session, t.shots, [t.netupdate, *host_arguments(t.work)], t.work, link)
    try:
        dialog = run.window("Error")
        run.shot("Error", shot)
        check_error_dialog(dialog, text)
        main = [w for w in dialog["tree"]["windows"] if w["caption"] == WINDOW_CAPTION][0]
        check_equal(dialog["owner"], main["hwnd"], "dialog owner")
        check(main["visible"] and not main["enabled"], "main window not disabled under the dialog")
        if wrapped:
            half = dialog["tree"]["screen"][2] // 2
            text_box = [c for c in dialog["children"] if c["text"]][0]["rect"]
            check(half - 80 < text_box[2] <= half, f"text {text_box} not wrapped at {half}")
        run.answer("Error", "Return")
        check_equal(run.exit_code(), exit_code, "exit code")
    finally:
        run.kill()
    check_equal(run.page_files(), [], "page files left")


def case_not_found(t):
    # A long address: the message wraps at half the screen's width, and the
    # address, longer than that, is broken inside.
    peer = RawServer(b"HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\n"
                     b"Content-Length: 9\r\nConnection: close\r\n\r\nnot found",
                     path=PAGE_PATH + "?" + "&".join(f"part{i}=value{i}" for i in range(12)))
    try:
        run_to_error(t, peer.url, download_error(peer.url, "HTTP/1.1 404 Not Found"), 0,
                     "download-error.png", wrapped=True)
    finally:
        peer.close()
    check_equal(len(peer.requests), 1, "requests")


def case_host_not_found(t):
    link = "http://nonexistent.invalid" + PAGE_PATH
    run_to_error(t, link, download_error(link, "Socket Error # 11001\r\nHost not found."), 0,
                 "host-not-found.png")


def case_no_client_library(t):
    """There is no fbclient.dll in the Wine prefix: the connection fails."""
    site = Site(os.path.join(t.work, "site"))
    try:
        run_to_error(t, site.url, "Nem sikerült a kapcsolódás a USER adatbázishoz!", 2,
                     "connection-error.png")
    finally:
        site.close()
    check_equal(len(site.requests), 1, "requests")


def case_page_file_uncreatable(t):
    site = Site(os.path.join(t.work, "site"))
    workdir = os.path.join(t.work, "run")
    os.mkdir(workdir)
    if os.geteuid() == 0:
        # Permissions don't stop root. The Wine server opens the files, so it
        # is started in the program's mount namespace, where the directory is
        # read-only: this is the session's first program.
        wrap = ["unshare", "-m", "sh", "-c",
                'mount --bind -o ro "$0" "$0" && cd "$0" && exec "$@"', workdir]
    else:
        os.chmod(workdir, 0o555)
        wrap = []
    run = Program(t.session, t.shots, [t.netupdate, *host_arguments(t.work)], workdir, site.url,
                  wrap)
    try:
        box = run.window(APPLICATION_TITLE)
        run.shot(APPLICATION_TITLE, "unhandled-error.png")
        text = dialog_text(box)
        check_equal(buttons(box), ["OK"], "buttons")
        run.answer(APPLICATION_TITLE, "Escape")
        main = run.window(WINDOW_CAPTION, ready=lambda w: w["enabled"])
        check(run.running(), "netupdate ended with the box")
        check_equal(children(main)[204]["text"], "Adatok letöltése...", "Label4")
        run.shot(WINDOW_CAPTION, "main-window-after-error.png")
        # The run is over without a close request; the person closes the window.
        run.press(WINDOW_CAPTION, "Escape")
        code = run.exit_code()
    finally:
        run.kill()
        site.close()
    page = re.escape(windows_path(workdir) + "\\") + r"\d{4}_\d\d_\d\d\.html"
    check(re.fullmatch(f'Cannot create file "{page}". [^\n]+[.]', text) is not None,
          f"box text: {text!r}")
    check_equal(code, 0, "exit code")
    check_equal(site.requests, [], "requests")
    check_equal(run.page_files(), [], "page files")


QUESTION = ("Az alábbi üzemanyag típusnál: Benzin ESZ-95 a 2018.01.01 dátumhoz rögzített ár: "
            "362.00 eltér a NAV által megadott ártól: 366.00\r\r"
            "Kívánja az NAV által megadott árat rögzíteni?")
LONG_TEXT = " ".join(["árvíztűrő tükörfúrógép"] * 40) + "\r\nvége"


def case_message_dialog(t):
    """The dialog by itself, answered every way a person can."""
    cases = [  # kind, text, key or "close box", answer, screenshot
        ("confirm", QUESTION, "Return", "Yes", "confirmation.png"),
        ("confirm", QUESTION, "Escape", "No", None),
        ("confirm", QUESTION, "alt+n", "No", None),
        ("confirm", QUESTION, "n", "No", None),
        ("confirm", QUESTION, "Tab Return", "No", None),
        ("confirm", QUESTION, "close box", "Cancel", None),
        ("error", "Hiba", "Escape", "Ok", None),
        ("error", "Hiba", "close box", "Cancel", None),
        ("error", LONG_TEXT, "Return", "Ok", "long-message.png"),
    ]
    for kind, text, key, expected, shot in cases:
        caption = "Confirm" if kind == "confirm" else "Error"
        message = os.path.join(t.work, "message.txt")
        with open(message, "w", encoding="utf-8", newline="") as file:
            file.write(text)
        run = Program(t.session, t.shots, [t.probe, kind, windows_path(message)], t.work,
                      stdout=subprocess.PIPE)
        try:
            dialog = run.window(caption)
            if shot:
                run.shot(caption, shot)
            check_equal(dialog_text(dialog), lines(text), f"{kind} text")
            check_equal(buttons(dialog), ["&Yes", "&No"] if kind == "confirm" else ["OK"],
                        "buttons")
            check_centred(dialog["outer"], dialog["tree"]["screen"], "dialog")
            half = dialog["tree"]["screen"][2] // 2
            widest = max(c["rect"][2] for c in dialog["children"] if c["class"] == "Static")
            check(widest <= half, f"text wider than half the screen: {widest}")
            if key == "close box":
                close_box(run, caption)
            else:
                for part in key.split():
                    run.press(caption, part)
            answer = run.process.communicate(timeout=TIMEOUT)[0].decode().strip()
        finally:
            run.kill()
        check_equal(answer, expected, f"{kind} answered with {key}")


def close_box(run, caption):
    """Clicks the close box Wine draws at the right end of the caption."""
    window = run.x_window(caption)
    geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window],
                              capture_output=True, text=True, check=True).stdout
    values = dict(line.split("=") for line in geometry.split())
    x = int(values["X"]) + int(values["WIDTH"]) - 10
    y = int(values["Y"]) + 10
    subprocess.run(["xdotool", "mousemove", "--sync", str(x), str(y), "click", "1"], check=True)


class Case:
    def __init__(self, netupdate, probe, shots, work, session):
        self.netupdate, self.probe, self.shots = netupdate, probe, shots
        self.work, self.session = work, session


CASES = {
    "no-arguments": lambda t: case_start_up_error(
        t, [], "A program csak az ZEPA programból indítható!", "Return"),
    # An empty argument in quotes takes no position: two arguments, not three.
    "two-arguments": lambda t: case_start_up_error(
        t, ["C:\\user.fdb", "", "SYSDBA"],
        "A program nem megfelő paraméterekkel lett indítva!", "Escape"),
    "developer-window": lambda t: case_developer_window(t, "Escape"),
    "developer-alt-f4": lambda t: case_developer_window(t, "alt+F4"),
    "developer-window-144dpi": lambda t: case_developer_window(t, "Escape", dpi=144),
    "developer-download": case_developer_download,
    "not-found": case_not_found,
    "host-not-found": case_host_not_found,
    "no-client-library": case_no_client_library,
    "page-file-uncreatable": case_page_file_uncreatable,
    "message-dialog": case_message_dialog,
}


def main():
    if not os.environ.get("NETUPDATE_WINE_E2E_DISPLAY"):
        env = dict(os.environ, NETUPDATE_WINE_E2E_DISPLAY="1")
        return subprocess.run([os.path.join(ROOT, "tests", "run-with-display"), sys.executable,
                               os.path.realpath(__file__), *sys.argv[1:]], env=env).returncode
    netupdate, wintree, probe = (os.path.realpath(path) for path in sys.argv[1:4])
    name = sys.argv[5]
    shots = os.path.join(sys.argv[4], name)
    os.makedirs(shots, exist_ok=True)
    with tempfile.TemporaryDirectory(prefix="netupdate-wine-e2e.") as work:
        session = WineSession(work, wintree, dpi=144 if name.endswith("-144dpi") else 96)
        try:
            CASES[name](Case(netupdate, probe, shots, work, session))
        except Failure as failure:
            print(f"FAIL: {name}: {failure}", file=sys.stderr)
            return 1
        finally:
            session.close()
    print(f"ok: {name} (screenshots in {shots})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
