#!/usr/bin/python3
"""Whole-program tests of `tarnleaf` and (under Wine) tarnleaf.exe: each case on an Xvfb of its
own, `trayer` as the notification area, xdotool as the user (netns.py: usage). The log view is
read through TARNLEAF_LOG_ECHO, or TARNLEAF_READ_LOG_VIEW (read_log_view.exe) under Wine."""
import os, re, shutil, signal, subprocess, sys, time  # noqa: E401

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import netns  # noqa: E402
from netns import MAC, PYTHON, check, wait_until, write_ini  # noqa: E402

SCREEN_W, SCREEN_H, PANEL_H = 1024, 768, 32
TITLE, WINE = "Tarnleaf - Verion 0.1b", os.environ.get("TARNLEAF_WINE", "wine")


class Session(netns.Case):
    """The namespaces, Tarnleaf.ini, an X display with a bottom panel, and what runs on it."""

    def __init__(self, program, links):
        super().__init__(program, links)
        self.display, self.tools, self.runtime = "", "", self.workdir / "runtime"
        self.runtime.mkdir(0o700)  # tools: a folder of replaced desktop tools
        write_ini(self.ini, "[%s]\r\nBootFile=desktop.0\r\nHostIP=10.77.0.80\r\n"
                  "SubnetMask=255.255.255.0\r\n" % MAC)
        try:
            xvfb = self.spawn(["Xvfb", "-displayfd", "1", "-screen", "0", "%dx%dx24" % (
                SCREEN_W, SCREEN_H), "-nolisten", "tcp", "-noreset"])
            number = wait_until(lambda: re.search(r"^\d+$", xvfb.text(), re.M), 15)
            self.display = ":" + (number.group(0) if number else "?")
            # No window manager, so no work area: the window goes beside the panel's icon.
            trayer = self.spawn(["trayer", "--edge", "bottom", "--align", "right", "--widthtype",
                                 "request", "--height", str(PANEL_H), "--SetDockType", "true",
                                 "--SetPartialStrut", "true", "--tint", "0xc8c8c8"])
            check(wait_until(lambda: self.windows("--class", "trayer"), 10),
                  "trayer did not come up:\n" + trayer.text())
        except BaseException:
            self.close()  # nothing started here may outlive a failed set-up
            raise

    def hold_port_67(self):
        holder = self.spawn([PYTHON, "-c", "import socket,time\ns=socket.socket(socket.AF_INET,"
                             "socket.SOCK_DGRAM)\ns.bind(('',67))\ntime.sleep(120)"], "holder")
        time.sleep(0.5)
        check(holder.process.poll() is None, "could not hold port 67: " + holder.text())

    def env(self, extra):
        env = {"PATH": ":".join(filter(None, (str(self.tools), os.environ["PATH"]))),
               "DISPLAY": self.display, "HOME": str(self.workdir), "LANG": "C.UTF-8",
               "QT_QPA_PLATFORM": "xcb"}
        # A sanitizer build's settings (leak suppressions) reach the program.
        return env | {k: v for k, v in os.environ.items() if k.endswith("SAN_OPTIONS")} | extra

    def spawn(self, argv, name=None, env=None):
        return self.start(argv, name or argv[0], env=self.env(env or {}))

    def x(self, *argv, timeout=10, env=None):
        return subprocess.run(["ip", "netns", "exec", self.topology.server_ns, *argv],
                              env=self.env(env or {}), capture_output=True, text=True,
                              timeout=timeout).stdout

    def windows(self, *query):
        return [int(w) for w in self.x("xdotool", "search", "--onlyvisible", *query).split()]

    def geometry(self, window):
        out = self.x("xdotool", "getwindowgeometry", "--shell", str(window))
        values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        return tuple(int(values.get(k, "-1")) for k in ("X", "Y", "WIDTH", "HEIGHT"))

    def main_window(self, timeout=10):
        found = wait_until(lambda: self.windows("--name", "^%s$" % re.escape(TITLE)), timeout)
        return found[0] if found else None

    def screenshot(self, name):
        self.x("import", "-window", "root", str(self.workdir / name), timeout=30)

    def expect_reply(self):
        reply = netns.ask(self.link, 0x1A2B3C4D, stop_after=1)
        check(reply["yiaddr"] == "10.77.0.80", "no reply with the profile's address: %r" % reply)


class Program:
    """One tarnleaf on the session's display; its log view's text arrives in `text()`."""

    def __init__(self, s, name="tarnleaf", *args, icon=True):
        # Kept root: the session's display, home and runtime folders are root's own.
        self.s, self.run = s, s.spawn([s.binary, "--user", "root", "--config", s.ini, *args], name,
                                      {"XDG_RUNTIME_DIR": str(s.runtime), "TARNLEAF_LOG_ECHO": "1"})
        self.process, self.text = self.run.process, self.run.text
        check(not icon or wait_until(self.icon, 15), "no tray icon appeared")

    def icon(self):
        for window in self.s.windows("--class", "tarnleaf"):
            _, y, w, h = self.s.geometry(window)
            if 0 < w <= 64 and 0 < h <= 64 and y >= SCREEN_H - PANEL_H - 8:
                return window
        return None

    def choose(self, key):
        """Opens the icon's menu with a right click and picks an item with the keyboard."""
        before = set(self.s.windows("--class", "tarnleaf"))
        self.s.x("xdotool", "mousemove", "--window", str(self.icon()), "6", "6", "click", "3")
        check(wait_until(lambda: set(self.s.windows("--class", "tarnleaf")) - before, 10),
              "the right click opened no menu")
        time.sleep(0.3)  # the menu takes the keyboard once it is mapped
        self.s.x("xdotool", "key", key, "Return")

    def ends(self, code, how, sig=None):
        if sig:
            self.process.send_signal(sig)
        check(self.run.wait_exit() == code, "%s did not end the program with %d" % (how, code))
        check(wait_until(lambda: not self.s.windows("--class", "tarnleaf"), 5),
              "the icon or a window is left behind after " + how)


def click_button(s, window, twips_left):
    """Clicks the bottom-row button (1695 x 375 twips at top 4320; 5820 wide) from `twips_left`."""
    scale = s.geometry(window)[2] / 5820.0
    x, y = int((twips_left + 1695 / 2) * scale), int((4320 + 375 / 2) * scale)
    s.x("xdotool", "mousemove", "--window", str(window), str(x), str(y), "click", "1")


@netns.scenario("tray")
def tray_menu_shows_the_window_beside_the_panel_whose_buttons_work(s):
    with open(s.ini, "a", newline="") as f:
        f.write("[TestMessage]\r\nServerIP=%s\r\nSendPort=68\r\n" % s.link.client_addr)
    # The desktop's opener, replaced: it notes what it was asked to open.
    s.tools, opened = s.workdir / "bin", s.workdir / "opened"
    s.tools.mkdir()
    write_ini(s.tools / "xdg-open", "#!/bin/sh\nprintf '%%s\\n' \"$@\" >> %s\n" % opened)
    (s.tools / "xdg-open").chmod(0o755)
    read = lambda: opened.read_text() if opened.exists() else ""  # noqa: E731
    program = Program(s)
    check(s.main_window(timeout=0) is None, "the window is visible after start")
    # A second copy for the same user ends at once, silently, and the first keeps going.
    check(Program(s, "second", icon=False).run.wait_exit() == 0, "the second copy did not end")
    check(program.process.poll() is None, "the first copy ended with the second")
    program.choose("Down")  # "設定"
    window = s.main_window()
    check(window, "\"設定\" did not show the window")
    x, y, w, h = s.geometry(window)
    check((x + w, y + h) == (SCREEN_W, SCREEN_H - PANEL_H),
          "the window is not in the corner above the panel: %r" % ((x, y, w, h),))
    s.expect_reply()
    check(wait_until(lambda: "client hardware address [%s]" % MAC in program.text(), 10) and
          wait_until(lambda: program.text().count("date [") >= 2, 10),
          "the request and its reply did not reach the log view")
    click_button(s, window, 120)  # "Edit Config"
    check(wait_until(lambda: os.path.realpath(s.ini) in read(), 10),
          "\"Edit Config\" did not open Tarnleaf.ini: " + read())
    listener = netns.listen(s, s.link, timeout=8, stop_after=1)
    click_button(s, window, 2040)  # "Send Test Message"
    check(netns.collect(listener, 8), "the test message did not arrive")
    check(wait_until(lambda: program.text().count("date [") >= 3, 5), "the test message unlogged")
    click_button(s, window, 3960)  # "Minimize To Tray"
    check(wait_until(lambda: s.main_window(timeout=0) is None, 10),
          "\"Minimize To Tray\" left the window shown")
    program.choose("Up")  # "終了"
    program.ends(0, "\"終了\"")


@netns.scenario("nolog_signals_port_in_use")
def nolog_logs_nothing_signals_end_cleanly_and_a_taken_port_is_told(s):
    program = Program(s, "tarnleaf", "-nolog")
    s.expect_reply()
    time.sleep(0.5)
    check("date [" not in program.text(), "entries were logged")
    # kill, as a session's end or a user at a terminal sends it: a clean end, icon removed;
    # the lock goes with it, so the next start is not taken for a second copy.
    program.ends(0, "SIGTERM", signal.SIGTERM)
    Program(s, "again").ends(0, "SIGINT", signal.SIGINT)
    # A folder in the file's place is said in the log view at start, not with a request.
    os.rename(s.ini, str(s.ini) + ".kept")
    os.mkdir(s.ini)
    program = Program(s, "folder")
    check(wait_until(lambda: "Config Read Error!" in program.text(), 5), "no read error at start")
    program.ends(0, "SIGTERM", signal.SIGTERM)
    os.rmdir(s.ini)
    os.rename(str(s.ini) + ".kept", s.ini)
    s.hold_port_67()
    program = Program(s, "third", icon=False)
    box = wait_until(lambda: s.windows("--name", "^Tarnleaf$"), 15)
    check(box, "no message box about the port")
    time.sleep(0.5)  # the box takes the keyboard once it is mapped
    s.x("xdotool", "windowfocus", "--sync", str(box[0]))
    s.x("xdotool", "key", "Return")
    program.ends(1, "the message box about the port")
    # A session that ends while the box is up does not wait for someone to press OK.
    program = Program(s, "fourth", icon=False)
    check(wait_until(lambda: s.windows("--name", "^Tarnleaf$"), 15), "no second box")
    program.ends(1, "SIGTERM with the box up", signal.SIGTERM)


def wine_icon(s):
    """The middle of the leaf's green pixels in the panel (Wine's tray draws it there)."""
    shot = str(s.workdir / "panel.png")
    s.x("import", "-window", "root", "-crop", "%dx%d+0+%d" % (
        SCREEN_W, PANEL_H, SCREEN_H - PANEL_H), "+repage", shot)
    out = s.x("convert", shot, "-fuzz", "20%", "-fill", "black", "+opaque", "#008000", "-fill",
              "white", "-opaque", "#008000", "-format", "%[fx:int(mean*w*h+0.5)] %@", "info:")
    count, box = (out.split() + ["0", "0x0+0+0"])[:2]
    w, h, x, y = map(int, re.split("[x+]", box))
    return (x + w // 2, SCREEN_H - PANEL_H + y + h // 2) if int(count) > 10 else None


def wine_choose(s, item, screenshot=None):
    """A right click on the icon, a click on item 0, 1 or 2 (設定, ログ, 終了; evenly spaced)."""
    def menu():
        for window in s.windows("--classname", "tarnleaf.exe"):
            if s.x("xdotool", "getwindowname", str(window)).strip() != TITLE:
                return s.geometry(window)
    for _ in range(3):
        s.x("xdotool", "mousemove", *map(str, wine_icon(s) or (0, 0)), "click", "3")
        if geometry := wait_until(menu, 5):
            break
    check(geometry, "the right click opened no menu")
    if screenshot:
        s.screenshot(screenshot)
    x, y, w, h = geometry
    s.x("xdotool", "mousemove", str(x + w // 2), str(y + h // 3 * item + h // 6), "click", "1")


@netns.scenario("windows_desktop")
def windows_program_on_the_same_stage(s):
    """tarnleaf.exe beside Tarnleaf.ini, in a Wine prefix of the session's own (hard links to
    the template; Wine rewrites the registry files, so those are copies)."""
    template, prefix = os.environ.get("TARNLEAF_WINE_TEMPLATE", ""), s.workdir / "prefix"
    if not os.path.isdir(template) or not all(map(shutil.which, ("convert", "ss", WINE))):
        raise netns.Skip("needs TARNLEAF_WINE_TEMPLATE, convert, ss and " + WINE)
    if subprocess.run(["cp", "-al", template, str(prefix)]).returncode != 0:
        subprocess.run(["cp", "-a", template, str(prefix)], check=True)
    for reg in (r for r in ("system.reg", "user.reg", "userdef.reg") if (prefix / r).exists()):
        os.replace(shutil.copy(os.path.join(template, reg), prefix / "new.reg"), prefix / reg)
    shutil.copy(s.binary, s.workdir / "tarnleaf.exe")
    env = {"WINEPREFIX": str(prefix), "WINEDEBUG": "-all",
           "WINEDLLOVERRIDES": "mscoree,mshtml,winemenubuilder.exe="}
    wine = lambda *argv, timeout=30: s.x(WINE, *argv, timeout=timeout, env=env)  # noqa: E731
    start = lambda name: s.spawn([WINE, str(s.workdir / "tarnleaf.exe")], name, env)  # noqa
    bound = lambda: "tarnleaf" in s.x("ss", "-Hulpn", "sport = :67")  # noqa: E731
    try:
        # Japanese menu texts and the log view's face, from the Noto CJK fonts where installed.
        wine("reg", "add", r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink"
             r"\SystemLink", "/v", "Tahoma", "/t", "REG_MULTI_SZ", "/d",
             "NotoSansCJK-Regular.ttc,Noto Sans CJK JP", "/f", timeout=60)
        wine("reg", "add", r"HKCU\Software\Wine\Fonts\Replacements", "/v", "ＭＳ ゴシック", "/d",
             "Noto Sans Mono CJK JP", "/f", timeout=60)
        for attempt in range(3):
            # Now and then Wine's tray misses the panel as it starts: then it starts again.
            first = start("start %d" % (attempt + 1))
            check(wait_until(bound, 60), "port 67 was not bound")
            if wait_until(lambda: wine_icon(s), 40):
                break
            first.stop(timeout=30)
            s.x("wineserver", "-k", env=env)
            check(wait_until(lambda: not bound(), 30), "port 67 stayed bound")
        check(wine_icon(s), "no tray icon appeared in three starts")
        check(not s.main_window(timeout=0), "the window is visible after start")
        wine_choose(s, 0)
        check(s.main_window(20), "\"設定\" did not show the window")
        s.expect_reply()
        view = lambda: wine(os.environ["TARNLEAF_READ_LOG_VIEW"])  # noqa: E731
        check(wait_until(lambda: "[BOOTREQUEST]" in view() and "[BOOTREPLY]" in view(), 20) and
              "Message Send Error" not in view(), "the log view:\n" + view())
        s.screenshot("screenshot-windows.png")
        # "Edit Config": 120 + 1695/2 twips from the left, 4320 + 375/2 from the top, at 96 dpi.
        s.x("xdotool", "mousemove", "--window", str(s.main_window()), "64", "300", "click", "1")
        editor = wait_until(lambda: s.windows("--name", "Tarnleaf\\.ini"), 30)
        check(editor, "\"Edit Config\" did not open Tarnleaf.ini")
        s.x("xdotool", "windowkill", str(editor[0]))
        check(start("second").wait_exit(40) == 0, "a second start did not end at once with 0")
        check(first.process.poll() is None and bound(), "the first ended with the second")
        # Without a window manager the shown window may cover the tray; the user drags it aside.
        s.x("xdotool", "windowmove", str(s.main_window()), "80", "60")
        time.sleep(0.5)
        wine_choose(s, 2, screenshot="screenshot-windows-menu.png")
        check(first.wait_exit(30) == 0, "\"終了\" did not end the program with 0")
        check(wait_until(lambda: not wine_icon(s), 10), "the icon is left behind")
        s.hold_port_67()
        third = start("third")
        box = wait_until(lambda: s.windows("--name", "^Tarnleaf$"), 40)
        check(box, "port 67 in use: no message says so")
        s.screenshot("screenshot-windows-port-in-use.png")
        for _ in range(5):  # Enter on the message, again if a busy screen swallowed the key
            s.x("xdotool", "windowfocus", str(box[0]))
            s.x("xdotool", "key", "--window", str(box[0]), "Return")
            if third.wait_exit(5) is not None:
                break
        check(third.wait_exit(40) == 1, "the message about the port did not end it with 1")
        check(wait_until(lambda: not wine_icon(s), 10), "the icon is left behind")
    finally:  # the prefix's wineserver serves no one else
        subprocess.run(["timeout", "10", "wineserver", "-k"], env=s.env(env))


if __name__ == "__main__":
    sys.exit(netns.main(Session, ("Xvfb", "trayer", "xdotool", "import")))
