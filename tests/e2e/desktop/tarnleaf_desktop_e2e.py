#!/usr/bin/python3
"""tarnleaf_desktop_e2e.py --program PATH/tarnleaf [--screenshots DIR] CASE

Whole-program tests of `tarnleaf`, each case as root in network namespaces of its own with
its own Xvfb, `trayer` as the notification area and xdotool as the user (exit code 0 passed,
1 failed, 77 skipped). The log view is read through the TARNLEAF_LOG_ECHO hook."""
import argparse
import os
import pathlib
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
import netns  # noqa: E402
import tarnleafd_e2e as clients  # noqa: E402
from netns import check, wait_until  # noqa: E402

PYTHON = clients.PYTHON
MAC = "02-00-00-77-00-02"
SCREEN_W, SCREEN_H, PANEL_H = 1024, 768, 32


class Session:
    """The namespaces, Tarnleaf.ini, an X display with a bottom panel, and what runs on it."""

    def __init__(self, program, workdir):
        self.program, self.workdir, self.children = program, pathlib.Path(workdir), []
        self.display, self.tools = "", ""  # tools: a folder of replaced desktop tools
        self.ini, self.runtime = self.workdir / "Tarnleaf.ini", self.workdir / "runtime"
        self.runtime.mkdir(0o700)
        self.ini.write_bytes(b"[%s]\r\nBootFile=desktop.0\r\nHostIP=10.77.0.80\r\n"
                             b"SubnetMask=255.255.255.0\r\n" % MAC.encode())
        self.topology = netns.Topology(links=1)
        self.link = self.topology.links[0]
        try:
            xvfb = self.spawn(["Xvfb", "-displayfd", "1", "-screen", "0", "%dx%dx24" % (
                SCREEN_W, SCREEN_H), "-nolisten", "tcp", "-noreset"], stdout=subprocess.PIPE)
            ready = select.select([xvfb.stdout], [], [], 15)[0]
            self.display = ":" + (xvfb.stdout.readline().strip() if ready else "?")
            check(self.display[1:].isdigit(), "Xvfb gave no display: " + self.read("Xvfb.err"))
            # No window manager, so no work area is published: the window goes beside the
            # panel around the tray icon.
            self.spawn(["trayer", "--edge", "bottom", "--align", "right", "--widthtype",
                        "request", "--height", str(PANEL_H), "--SetDockType", "true",
                        "--SetPartialStrut", "true", "--transparent", "false", "--tint",
                        "0xc8c8c8", "--expand", "true"])
            check(wait_until(lambda: self.windows("--class", "trayer"), 10),
                  "trayer did not come up:\n" + self.read("trayer.err"))
        except BaseException:
            self.close()  # nothing started here may outlive a failed set-up
            raise

    def read(self, name):
        path = self.workdir / name
        return path.read_bytes().decode("utf-8", "replace") if path.exists() else ""

    def hold_port_67(self):
        """Another program on port 67, for the start-ups that must find it taken."""
        holder = self.spawn([PYTHON, "-c", "import socket,time\ns=socket.socket(socket.AF_INET,"
                             "socket.SOCK_DGRAM)\ns.bind(('0.0.0.0',67))\ntime.sleep(120)"],
                            "holder")
        time.sleep(0.5)
        check(holder.poll() is None, "could not hold port 67: " + self.read("holder.err"))

    def env(self, extra):
        path = [str(self.tools), os.environ.get("PATH", "/usr/bin:/bin")]
        env = {"PATH": ":".join(filter(None, path)), "DISPLAY": self.display,
               "HOME": str(self.workdir), "LANG": "C.UTF-8", "QT_QPA_PLATFORM": "xcb"}
        # A sanitizer build's settings (leak suppressions) reach the program.
        return env | {k: v for k, v in os.environ.items() if k.endswith("SAN_OPTIONS")} | extra

    def spawn(self, argv, name=None, env=None, stdout=subprocess.DEVNULL, ns=None):
        """Starts argv in a namespace (default: the server's), standard error to `name`.err
        (`ip netns exec` executes the program in place: the PID is the program's own)."""
        err = open(self.workdir / ((name or argv[0]) + ".err"), "wb")
        process = subprocess.Popen(["ip", "netns", "exec", ns or self.topology.server_ns, *argv],
                                   env=self.env(env or {}), stdin=subprocess.DEVNULL,
                                   stdout=stdout, stderr=err, text=True)
        self.children.append(process)
        return process

    def run(self, *argv, ns=None, timeout=10):
        return subprocess.run(["ip", "netns", "exec", ns or self.topology.server_ns, *argv],
                              env=self.env({}), capture_output=True, text=True, timeout=timeout)

    def x(self, *argv, timeout=10):
        return self.run(*argv, timeout=timeout).stdout

    def windows(self, *query):
        return [int(w) for w in self.x("xdotool", "search", "--onlyvisible", *query).split()]

    def geometry(self, window):
        out = self.x("xdotool", "getwindowgeometry", "--shell", str(window))
        values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        return tuple(int(values.get(k, "-1")) for k in ("X", "Y", "WIDTH", "HEIGHT"))

    def screenshot(self, name):
        self.x("import", "-window", "root", str(self.workdir / name), timeout=30)

    def expect_reply(self):
        reply = clients.ask(self.link, 0x1A2B3C4D, stop_after=1)
        check(reply["yiaddr"] == "10.77.0.80", "no reply with the profile's address: %r" % reply)

    def close(self):
        for process in reversed(self.children):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    process.kill()
        self.topology.close()


class Program:
    """One tarnleaf on the session's display; its log view's text arrives in `text()`."""

    def __init__(self, s, name="tarnleaf", *args, icon=True):
        self.s, self.name = s, name
        # Kept root: the session's display, home and runtime folders are root's own.
        self.process = s.spawn([s.program, "--user", "root", "--config", str(s.ini), *args], name,
                               {"XDG_RUNTIME_DIR": str(s.runtime), "TARNLEAF_LOG_ECHO": "1"})
        check(not icon or wait_until(self.icon, 15), "no tray icon appeared:\n" + self.text())

    def text(self):
        return self.s.read(self.name + ".err")

    def icon(self):
        """The icon window docked in the panel: small, at the bottom edge."""
        for window in self.s.windows("--class", "tarnleaf"):
            _, y, w, h = self.s.geometry(window)
            if 0 < w <= 64 and 0 < h <= 64 and y >= SCREEN_H - PANEL_H - 8:
                return window
        return None

    def main_window(self, timeout=10):
        """The main window once it shows (None: it did not within `timeout` seconds)."""
        found = wait_until(lambda: self.s.windows("--name", "^Tarnleaf - Verion 0\\.1b$"),
                           timeout)
        return found[0] if found else None

    def choose(self, key, screenshot=None):
        """Opens the icon's menu with a right click and picks an item with the keyboard."""
        before = set(self.s.windows("--class", "tarnleaf"))
        self.s.x("xdotool", "mousemove", "--window", str(self.icon()), "6", "6", "click", "3")
        check(wait_until(lambda: set(self.s.windows("--class", "tarnleaf")) - before, 10),
              "the right click opened no menu")
        if screenshot:
            self.s.screenshot(screenshot)
        time.sleep(0.3)  # the menu takes the keyboard once it is mapped
        self.s.x("xdotool", "key", key, "Return")

    def ends(self, code, how, sig=None):
        """Checks that the program ends with `code` (after `sig`) and leaves no window."""
        if sig:
            self.process.send_signal(sig)
        wait_until(lambda: self.process.poll() is not None, 10)
        check(self.process.poll() == code, "%s did not end the program with %d" % (how, code))
        check(wait_until(lambda: not self.s.windows("--class", "tarnleaf"), 5),
              "the icon or a window is left behind after " + how)


def case_tray(s):
    program = Program(s)
    check(program.main_window(timeout=0) is None, "the window is visible after start")
    # A second copy for the same user ends at once, silently, and the first keeps going.
    second = Program(s, "second", icon=False)
    check(second.process.wait(timeout=10) == 0, "the second copy did not end with 0")
    check(program.process.poll() is None, "the first copy ended with the second")

    program.choose("Down", screenshot="menu.png")  # "設定"
    window = program.main_window()
    check(window, "\"設定\" did not show the window")
    x, y, w, h = s.geometry(window)
    check((x + w, y + h) == (SCREEN_W, SCREEN_H - PANEL_H),
          "the window is not in the corner above the panel: %r" % ((x, y, w, h),))
    s.expect_reply()
    check(wait_until(lambda: "client hardware address [%s]" % MAC in program.text(), 10) and
          wait_until(lambda: program.text().count("date [") >= 2, 10),
          "the request and its reply did not reach the log view:\n" + program.text())
    time.sleep(0.5)
    s.screenshot("window.png")
    program.choose("Up")  # "終了"
    program.ends(0, "\"終了\"")


def case_port_in_use(s):
    s.hold_port_67()
    program = Program(s, icon=False)
    box = wait_until(lambda: s.windows("--name", "^Tarnleaf$"), 15)
    check(box, "no message box about the port:\n" + program.text())
    time.sleep(0.5)
    s.screenshot("port-in-use.png")
    s.x("xdotool", "windowfocus", "--sync", str(box[0]))
    s.x("xdotool", "key", "Return")
    program.ends(1, "the message box about the port")


def click_button(s, window, twips_left):
    """Clicks the bottom-row button (1695 x 375 twips at top 4320) that starts at `twips_left`;
    the scale comes from the window's width of 5820 twips."""
    scale = s.geometry(window)[2] / 5820.0
    x, y = int((twips_left + 1695 / 2) * scale), int((4320 + 375 / 2) * scale)
    s.x("xdotool", "mousemove", "--window", str(window), str(x), str(y), "click", "1")


def case_buttons(s):
    with open(s.ini, "a", newline="") as f:
        f.write("[TestMessage]\r\nServerIP=%s\r\nSendPort=68\r\n" % s.link.client_addr)
    # The desktop's opener, replaced: it notes what it was asked to open.
    s.tools, opened = s.workdir / "bin", s.workdir / "opened"
    s.tools.mkdir()
    (s.tools / "xdg-open").write_text("#!/bin/sh\nprintf '%%s\\n' \"$@\" >> %s\n" % opened)
    (s.tools / "xdg-open").chmod(0o755)
    program = Program(s)
    program.choose("Down")  # "設定"
    window = program.main_window()
    check(window, "\"設定\" did not show the window")

    click_button(s, window, 120)  # "Edit Config"
    check(wait_until(lambda: os.path.realpath(s.ini) in s.read("opened"), 10),
          "\"Edit Config\" did not open Tarnleaf.ini: " + s.read("opened"))

    listener = clients.listen(s, s.link, timeout=8, stop_after=1)
    click_button(s, window, 2040)  # "Send Test Message"
    check(clients.collect(listener, 8), "the test message did not arrive")
    check(wait_until(lambda: "date [" in program.text(), 5),
          "the test message is not in the log view:\n" + program.text())

    click_button(s, window, 3960)  # "Minimize To Tray"
    check(wait_until(lambda: program.main_window(timeout=0) is None, 10),
          "\"Minimize To Tray\" left the window shown")
    program.ends(0, "SIGTERM", signal.SIGTERM)


def case_nolog_and_signals(s):
    program = Program(s, "tarnleaf", "-nolog")
    s.expect_reply()
    time.sleep(0.5)
    check("date [" not in program.text(), "entries were logged:\n" + program.text())
    # kill, as a session's end or a user at a terminal sends it: a clean end, icon removed;
    # the lock goes with it, so the next start is not taken for a second copy.
    program.ends(0, "SIGTERM", signal.SIGTERM)
    Program(s, "again").ends(0, "SIGINT", signal.SIGINT)


CASES = {"tray": case_tray, "port_in_use": case_port_in_use, "buttons": case_buttons,
         "nolog_and_signals": case_nolog_and_signals}


def main(cases=CASES, tools=()):
    """Runs one of `cases` in a fresh session; `tools`: programs it needs beyond the stage's."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--screenshots", help="folder that keeps the screenshots")
    parser.add_argument("case", choices=sorted(cases))
    args = parser.parse_args()
    workdir, session = tempfile.mkdtemp(prefix="tarnleaf-desktop-"), None
    try:
        tools = ("Xvfb", "trayer", "xdotool", "import", *tools)
        if not all(map(shutil.which, tools)):
            raise netns.Skip("needs " + ", ".join(tools))
        netns.require_netns()
        session = Session(args.program, workdir)
        cases[args.case](session)
        print("PASS: %s" % args.case)
        return 0
    except netns.Skip as reason:
        print("SKIP: %s" % reason)
        return netns.SKIP
    except Exception:
        traceback.print_exc()
        for err in sorted(pathlib.Path(workdir).glob("*.err")):  # the programs' own output
            print("---- %s ----\n%s" % (err.name, err.read_bytes().decode("utf-8", "replace")))
        try:
            session.screenshot("failure.png")
        except Exception:  # no session, or its display is gone
            pass
        return 1
    finally:
        if session is not None:
            session.close()
        if args.screenshots:
            os.makedirs(args.screenshots, exist_ok=True)
            for png in pathlib.Path(workdir).glob("*.png"):
                shutil.copy(png, args.screenshots)
        shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
