#!/usr/bin/python3
"""tarnleaf_exe_e2e.py --program PATH/tarnleaf.exe [--screenshots DIR] desktop

tarnleaf.exe under Wine on the stage of the Linux desktop program's tests (network
namespaces, Xvfb, trayer, xdotool as the user), in a Wine prefix copied from
TARNLEAF_WINE_TEMPLATE; the log view is read by TARNLEAF_READ_LOG_VIEW (read_log_view.exe).
The icon is found by the leaf's green in the panel. Exit code 0 passed, 1 failed, 77 skipped.
"""
import os
import pathlib
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.dirname(HERE), os.path.join(os.path.dirname(HERE), "desktop")]
import netns  # noqa: E402
import tarnleaf_desktop_e2e as desk  # noqa: E402
from netns import check, wait_until  # noqa: E402

WINE = os.environ.get("TARNLEAF_WINE", "wine")
TITLE = "Tarnleaf - Verion 0.1b"


def wine_env(s):
    return {"WINEPREFIX": str(s.workdir / "prefix"), "WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree,mshtml,winemenubuilder.exe="}


def prepare(s):
    """The program beside the session's Tarnleaf.ini, and a Wine prefix of the session's own
    (hard links to the template; Wine rewrites the registry files, so those are copies)."""
    template = os.environ.get("TARNLEAF_WINE_TEMPLATE", "")
    if not os.path.isdir(template):
        raise netns.Skip("no Wine prefix template (TARNLEAF_WINE_TEMPLATE)")
    prefix = s.workdir / "prefix"
    if subprocess.run(["cp", "-al", template, str(prefix)]).returncode != 0:
        subprocess.run(["cp", "-a", template, str(prefix)], check=True)
    for reg in ("system.reg", "user.reg", "userdef.reg"):
        if (prefix / reg).exists():
            (prefix / reg).unlink()
            (prefix / reg).write_bytes((pathlib.Path(template) / reg).read_bytes())
    subprocess.run(["cp", s.program, str(s.workdir / "tarnleaf.exe")], check=True)
    # Japanese menu texts and the log view's face, from the Noto CJK fonts where installed.
    for key in ([r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink",
                 "/v", "Tahoma", "/t", "REG_MULTI_SZ", "/d",
                 "NotoSansCJK-Regular.ttc,Noto Sans CJK JP"],
                [r"HKCU\Software\Wine\Fonts\Replacements", "/v", "ＭＳ ゴシック", "/d",
                 "Noto Sans Mono CJK JP"]):
        wine(s, "reg", "add", *key, "/f", timeout=60)


def wine(s, *argv, timeout=30):
    """A Wine program run to its end in the server namespace; its standard output."""
    return subprocess.run(["ip", "netns", "exec", s.topology.server_ns, WINE, *argv],
                          env=s.env(wine_env(s)), capture_output=True, text=True,
                          timeout=timeout).stdout


def start(s, name, *args):
    return s.spawn([WINE, str(s.workdir / "tarnleaf.exe"), *args], name, wine_env(s))


def exit_code(process, timeout=40):
    try:
        return process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        return None


def port_bound(s):
    return "tarnleaf" in s.x("ss", "-Hulpn", "sport = :67")


def icon(s):
    """The middle of the leaf's green pixels in the panel, or None."""
    shot = str(s.workdir / "panel.png")
    s.x("import", "-window", "root", "-crop", "%dx%d+0+%d" % (
        desk.SCREEN_W, desk.PANEL_H, desk.SCREEN_H - desk.PANEL_H), "+repage", shot)
    out = s.x("convert", shot, "-fuzz", "20%", "-fill", "black", "+opaque", "#008000", "-fill",
              "white", "-opaque", "#008000", "-format", "%[fx:int(mean*w*h+0.5)] %@", "info:")
    count, box = (out.split() + ["0", ""])[:2]
    if int(count) <= 10:
        return None
    size, x, y = box.split("+")
    w, h = map(int, size.split("x"))
    return int(x) + w // 2, desk.SCREEN_H - desk.PANEL_H + int(y) + h // 2


def main_window(s):
    found = s.windows("--name", "^%s$" % TITLE.replace(".", "\\."))
    return found[0] if found else None


def choose(s, item, screenshot=None):
    """A right click on the icon, then a click on item 0, 1 or 2 of the menu (設定, ログ,
    終了), whose items are evenly spaced."""
    def menu():
        for window in s.windows("--classname", "tarnleaf.exe"):
            if s.x("xdotool", "getwindowname", str(window)).strip() != TITLE:
                return s.geometry(window)
    for _ in range(3):
        s.x("xdotool", "mousemove", *map(str, icon(s) or (0, 0)), "click", "3")
        if geometry := wait_until(menu, 5):
            break
    check(geometry, "the right click opened no menu")
    if screenshot:
        s.screenshot(screenshot)
    x, y, w, h = geometry
    s.x("xdotool", "mousemove", str(x + w // 2), str(y + h // 3 * item + h // 6), "click", "1")


def case_desktop(s):
    prepare(s)
    try:
        run_desktop(s)
    finally:  # the prefix's wineserver serves no one else
        subprocess.run(["timeout", "10", "wineserver", "-k"], env=s.env(wine_env(s)))


def run_desktop(s):
    first = start(s, "first")
    check(wait_until(lambda: port_bound(s), 60), "port 67 was not bound")
    check(wait_until(lambda: icon(s), 40), "no tray icon appeared")
    check(not main_window(s), "the window is visible after start")
    choose(s, 0)
    check(wait_until(lambda: main_window(s), 20), "\"設定\" did not show the window")

    s.expect_reply()
    view = lambda: wine(s, os.environ["TARNLEAF_READ_LOG_VIEW"])  # noqa: E731
    check(wait_until(lambda: "[BOOTREQUEST]" in view() and "[BOOTREPLY]" in view(), 20),
          "the request and its reply are not in the log view:\n" + view())
    check("Message Send Error" not in view(), "a send error in the log view")
    s.screenshot("screenshot-windows.png")

    # "Edit Config": 120 + 1695/2 twips from the left, 4320 + 375/2 from the top, at 96 dpi.
    s.x("xdotool", "mousemove", "--window", str(main_window(s)), "64", "300", "click", "1")
    editor = wait_until(lambda: s.windows("--name", "Tarnleaf\\.ini"), 30)
    check(editor, "\"Edit Config\" did not open Tarnleaf.ini")
    s.x("xdotool", "windowkill", str(editor[0]))

    check(exit_code(start(s, "second")) == 0, "a second start did not end at once with 0")
    check(first.poll() is None and port_bound(s), "the first ended with the second")

    # Without a window manager the shown window may cover the tray; the user drags it aside.
    s.x("xdotool", "windowmove", str(main_window(s)), "80", "60")
    time.sleep(0.5)
    choose(s, 2, screenshot="screenshot-windows-menu.png")
    check(exit_code(first, 30) == 0, "\"終了\" did not end the program with 0")
    check(wait_until(lambda: not icon(s), 10), "the icon is left behind")

    holder = s.spawn([desk.PYTHON, "-c", "import socket,time\n"
                      "s=socket.socket(socket.AF_INET,socket.SOCK_DGRAM)\n"
                      "s.bind(('0.0.0.0',67))\ntime.sleep(120)"], "holder")
    time.sleep(0.5)
    check(holder.poll() is None, "could not hold port 67")
    third = start(s, "third")
    box = wait_until(lambda: s.windows("--name", "^Tarnleaf$"), 40)
    check(box, "port 67 in use: no message says so")
    s.screenshot("screenshot-windows-port-in-use.png")
    for _ in range(5):  # Enter on the message, again if a busy screen swallowed the key
        s.x("xdotool", "windowfocus", str(box[0]))
        s.x("xdotool", "key", "--window", str(box[0]), "Return")
        if exit_code(third, 5) is not None:
            break
    check(exit_code(third) == 1, "the message about the port did not end the program with 1")
    check(wait_until(lambda: not icon(s), 10), "the icon is left behind")


if __name__ == "__main__":
    sys.exit(desk.main({"desktop": case_desktop}, ("convert", "ss", WINE, "wineserver")))
