#!/usr/bin/python3
"""Whole-program tests of the Linux desktop program `tarnleaf` on a virtual X display.

    tarnleaf_desktop_e2e.py --program PATH/tarnleaf [--screenshots DIR] CASE

Every case runs as root inside network namespaces it creates itself (addresses only inside
them), with its own Xvfb, the `trayer` panel as notification area, and xdotool as the user.
Exit code 0: passed; 1: failed; 77: skipped (not root, no namespaces, no Xvfb/trayer/xdotool).
Every wait is bounded; only processes started here are stopped, by their own PIDs; the
namespaces and the working folder are removed at the end.

The program's log view is read through its TARNLEAF_LOG_ECHO hook, which copies every text
that enters the view to standard error.
"""
import argparse
import json
import os
import re
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

CLIENT_TOOL = os.path.join(os.path.dirname(HERE), "bootp_client.py")
PYTHON = "/usr/bin/python3"
CAPTION = "Tarnleaf - Verion 0.1b"
MAC = "02-00-00-77-00-02"
SCREEN_W, SCREEN_H, PANEL_H = 1024, 768, 32


class Failure(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_until(probe, timeout, interval=0.1):
    """Calls probe() until it gives something true or `timeout` seconds pass; its last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


class Desktop:
    """An X display with a panel in the server namespace, and the programs started on it."""

    def __init__(self, namespace, workdir):
        self.ns = namespace
        self.workdir = workdir
        self.children = []
        self.display = None
        self.path_prefix = None  # a folder searched first for programs (replaced tools)
        try:
            self._start_xvfb()
            # What a window manager would publish for a panel along the bottom edge; Qt
            # takes its available screen area from it.
            self.x("xprop", "-root", "-f", "_NET_WORKAREA", "32c", "-set", "_NET_WORKAREA",
                   "0, 0, %d, %d" % (SCREEN_W, SCREEN_H - PANEL_H))
            self.spawn(
                ["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "request",
                 "--height", str(PANEL_H), "--SetDockType", "true", "--SetPartialStrut",
                 "true", "--transparent", "false", "--tint", "0xc8c8c8", "--expand", "true"],
                "trayer.log")
            check(wait_until(lambda: self.windows("--class", "trayer"), 10),
                  "trayer did not come up:\n" + self.read("trayer.log"))
        except BaseException:
            self.close()  # nothing started here may outlive a failed set-up
            raise

    def _start_xvfb(self):
        read_end, write_end = os.pipe()
        process = subprocess.Popen(
            ["ip", "netns", "exec", self.ns, "Xvfb", "-displayfd", str(write_end), "-screen", "0",
             "%dx%dx24" % (SCREEN_W, SCREEN_H), "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL,
            stderr=open(os.path.join(self.workdir, "xvfb.log"), "wb"))
        self.children.append(process)
        os.close(write_end)
        text = b""
        deadline = time.monotonic() + 15
        while not text.endswith(b"\n") and time.monotonic() < deadline:
            ready, _, _ = select.select([read_end], [], [], 0.5)
            if ready:
                chunk = os.read(read_end, 16)
                if not chunk:
                    break
                text += chunk
        os.close(read_end)
        check(text.strip().isdigit(), "Xvfb gave no display: " + self.read("xvfb.log"))
        self.display = ":" + text.strip().decode()

    def env(self, extra=None):
        path = os.environ.get("PATH", "/usr/bin:/bin")
        if self.path_prefix:
            path = self.path_prefix + os.pathsep + path
        env = {"PATH": path, "DISPLAY": self.display,
               "HOME": self.workdir, "LANG": "C.UTF-8", "QT_QPA_PLATFORM": "xcb"}
        # A sanitizer build's settings (leak suppressions) reach the program.
        for name in ("ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"):
            if name in os.environ:
                env[name] = os.environ[name]
        env.update(extra or {})
        return env

    def spawn(self, argv, log, extra_env=None):
        # `ip netns exec` executes the program in place: the PID is the program's own.
        process = subprocess.Popen(["ip", "netns", "exec", self.ns] + argv,
                                   env=self.env(extra_env), stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL,
                                   stderr=open(os.path.join(self.workdir, log), "wb"))
        self.children.append(process)
        return process

    def x(self, *argv, timeout=10):
        done = subprocess.run(["ip", "netns", "exec", self.ns] + list(argv), env=self.env(),
                              capture_output=True, text=True, timeout=timeout)
        return done.stdout

    def windows(self, *query):
        out = self.x("xdotool", "search", "--onlyvisible", *query)
        return [int(w) for w in out.split()]

    def geometry(self, window):
        out = self.x("xdotool", "getwindowgeometry", "--shell", str(window))
        values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        return tuple(int(values.get(k, "-1")) for k in ("X", "Y", "WIDTH", "HEIGHT"))

    def screenshot(self, name):
        path = os.path.join(self.workdir, name)
        self.x("import", "-window", "root", path, timeout=30)
        return path

    def read(self, name):
        try:
            with open(os.path.join(self.workdir, name), "rb") as f:
                return f.read().decode("utf-8", "replace")
        except OSError:
            return ""

    def close(self):
        for process in reversed(self.children):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait(timeout=5)


class Program:
    """One tarnleaf on the desktop; its log view's text arrives in `log` through the hook."""

    def __init__(self, desktop, binary, ini, runtime, name="tarnleaf", extra_args=()):
        self.desktop = desktop
        self.log = name + ".err"
        self.process = desktop.spawn(
            [binary, "--config", ini] + list(extra_args), self.log,
            {"XDG_RUNTIME_DIR": runtime, "TARNLEAF_LOG_ECHO": "1"})

    def text(self):
        return self.desktop.read(self.log)

    def windows(self):
        return self.desktop.windows("--class", "tarnleaf") if self.running() else []

    def running(self):
        return self.process.poll() is None

    def tray_icon(self):
        """The program's icon window docked in the panel (small, at the bottom edge)."""
        for window in self.windows():
            x, y, w, h = self.desktop.geometry(window)
            if 0 < w <= 64 and 0 < h <= 64 and y >= SCREEN_H - PANEL_H - 8:
                return window
        return None

    def main_window(self):
        found = self.desktop.windows("--name", "^%s$" % re.escape(CAPTION))
        return found[0] if found else None

    def wait_exit(self, timeout):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None


def write_ini(path):
    with open(path, "w", newline="") as f:
        f.write("[%s]\r\nBootFile=desktop.0\r\nHostIP=10.77.0.80\r\n"
                "SubnetMask=255.255.255.0\r\n" % MAC)


def open_menu(program):
    icon = wait_until(program.tray_icon, 15)
    check(icon, "no tray icon:\n" + program.text())
    before = set(program.windows())
    program.desktop.x("xdotool", "mousemove", "--window", str(icon), "6", "6", "click", "3")
    menu = wait_until(lambda: [w for w in program.windows() if w not in before], 10)
    check(menu, "the right click opened no menu")
    return menu[0]


def choose(program, keys):
    """Opens the icon's menu and picks an item with the keyboard."""
    open_menu(program)
    time.sleep(0.3)  # the menu takes the keyboard once it is mapped
    program.desktop.x("xdotool", "key", *keys)


def case_tray(args, topology, workdir, desktop):
    link = topology.links[0]
    ini = os.path.join(workdir, "Tarnleaf.ini")
    write_ini(ini)
    runtime = os.path.join(workdir, "runtime")
    os.mkdir(runtime, 0o700)
    program = Program(desktop, args.program, ini, runtime)

    icon = wait_until(program.tray_icon, 15)
    check(icon, "the tray icon did not appear:\n" + program.text())
    check(program.main_window() is None, "the window is visible after start")

    # A second copy for the same user ends at once, silently, and the first keeps going.
    second = Program(desktop, args.program, ini, runtime, name="second")
    check(second.wait_exit(10) == 0, "the second copy did not end with 0:\n" + second.text())
    check(program.running(), "the first copy ended with the second")

    open_menu(program)
    desktop.screenshot("menu.png")
    time.sleep(0.3)
    desktop.x("xdotool", "key", "Down", "Return")  # "設定"
    window = wait_until(program.main_window, 10)
    check(window, "\"設定\" did not show the window")
    x, y, w, h = desktop.geometry(window)
    check((x + w, y + h) == (SCREEN_W, SCREEN_H - PANEL_H),
          "the window is not in the corner above the panel: %r" % ((x, y, w, h),))

    replies = client_exchange(link)
    check(any(r.get("yiaddr") == "10.77.0.80" for r in replies),
          "no reply with the profile's address: %r" % replies)
    check(wait_until(lambda: "client hardware address [%s]" % MAC in program.text(), 10),
          "the request did not reach the log view:\n" + program.text())
    check(wait_until(lambda: program.text().count("date [") >= 2, 10),
          "the reply did not reach the log view:\n" + program.text())
    time.sleep(0.5)
    desktop.screenshot("window.png")

    choose(program, ["Up", "Return"])  # "終了"
    check(program.wait_exit(10) == 0, "\"終了\" did not end the program with 0")
    check(wait_until(lambda: not desktop.windows("--class", "tarnleaf"), 5),
          "the icon or the window is left behind")


def client_exchange(link):
    argv = ["ip", "netns", "exec", link.client_ns, PYTHON, CLIENT_TOOL,
            "--iface", link.client_if, "--port", "68", "--to", "255.255.255.255:67",
            "--chaddr", MAC, "--dhcp-type", "1", "--timeout", "3", "--stop-after", "1"]
    done = subprocess.run(argv, capture_output=True, text=True, timeout=30)
    check(done.returncode == 0, "client tool failed: %s" % done.stderr)
    return [json.loads(line) for line in done.stdout.splitlines() if line.strip()]


def case_port_in_use(args, topology, workdir, desktop):
    ini = os.path.join(workdir, "Tarnleaf.ini")
    write_ini(ini)
    runtime = os.path.join(workdir, "runtime")
    os.mkdir(runtime, 0o700)
    holder = desktop.spawn(
        [PYTHON, "-c", "import socket,time\n"
         "s=socket.socket(socket.AF_INET,socket.SOCK_DGRAM)\n"
         "s.bind(('0.0.0.0',67))\nprint('bound',flush=True)\ntime.sleep(120)"],
        "holder.log")
    time.sleep(0.5)
    check(holder.poll() is None, "could not hold port 67: " + desktop.read("holder.log"))
    program = Program(desktop, args.program, ini, runtime)
    box = wait_until(lambda: desktop.windows("--name", "^Tarnleaf$"), 15)
    check(box, "no message box about the port:\n" + program.text())
    time.sleep(0.5)
    desktop.screenshot("port-in-use.png")
    desktop.x("xdotool", "windowfocus", "--sync", str(box[0]))
    desktop.x("xdotool", "key", "Return")
    check(program.wait_exit(10) == 1, "the program did not end with 1 after the message box")
    check(not desktop.windows("--class", "tarnleaf"), "windows or the icon are left behind")


def case_stop_signal(args, topology, workdir, desktop):
    ini = os.path.join(workdir, "Tarnleaf.ini")
    write_ini(ini)
    runtime = os.path.join(workdir, "runtime")
    os.mkdir(runtime, 0o700)
    program = Program(desktop, args.program, ini, runtime)
    check(wait_until(program.tray_icon, 15), "the tray icon did not appear:\n" + program.text())
    # kill, as a session's end or a user at a terminal sends it: a clean end, icon removed.
    program.process.send_signal(signal.SIGTERM)
    check(program.wait_exit(10) == 0, "SIGTERM did not end the program with 0")
    check(not desktop.windows("--class", "tarnleaf"), "the icon is still in the panel")
    # The lock went with it: the next start is not taken for a second copy.
    again = Program(desktop, args.program, ini, runtime, name="again")
    check(wait_until(again.tray_icon, 15), "a new start after the end did not run")
    again.process.send_signal(signal.SIGINT)
    check(again.wait_exit(10) == 0, "SIGINT did not end the program with 0")


def click_button(desktop, window, twips_left, twips_top):
    """Clicks the middle of the window's button (1695 x 375 twips) whose top-left corner is
    given in twips; the scale comes from the window's width of 5820 twips."""
    _, _, width, _ = desktop.geometry(window)
    scale = width / 5820.0
    x = int((twips_left + 1695 / 2) * scale)
    y = int((twips_top + 375 / 2) * scale)
    desktop.x("xdotool", "mousemove", "--window", str(window), str(x), str(y), "click", "1")


def case_buttons(args, topology, workdir, desktop):
    link = topology.links[0]
    ini = os.path.join(workdir, "Tarnleaf.ini")
    write_ini(ini)
    with open(ini, "a", newline="") as f:
        f.write("[TestMessage]\r\nServerIP=%s\r\nSendPort=68\r\n" % link.client_addr)
    runtime = os.path.join(workdir, "runtime")
    os.mkdir(runtime, 0o700)
    # The desktop's opener, replaced: it notes what it was asked to open.
    bin_dir = os.path.join(workdir, "bin")
    os.mkdir(bin_dir)
    opened = os.path.join(workdir, "opened.txt")
    opener = os.path.join(bin_dir, "xdg-open")
    with open(opener, "w") as f:
        f.write("#!/bin/sh\nprintf '%%s\\n' \"$@\" >> %s\n" % opened)
    os.chmod(opener, 0o755)
    desktop.path_prefix = bin_dir
    program = Program(desktop, args.program, ini, runtime)

    choose(program, ["Down", "Return"])  # "設定"
    window = wait_until(program.main_window, 10)
    check(window, "\"設定\" did not show the window")

    click_button(desktop, window, 120, 4320)  # "Edit Config"
    check(wait_until(lambda: os.path.exists(opened), 10), "\"Edit Config\" opened nothing")
    with open(opened) as f:
        check(os.path.realpath(ini) in f.read().replace("file://", ""),
              "\"Edit Config\" opened something else")

    ready = os.path.join(workdir, "listening")
    listener = subprocess.Popen(
        ["ip", "netns", "exec", link.client_ns, PYTHON, CLIENT_TOOL, "--iface", link.client_if,
         "--port", "68", "--timeout", "8", "--stop-after", "1", "--ready-file", ready],
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        check(wait_until(lambda: os.path.exists(ready), 10), "the listener did not start")
        click_button(desktop, window, 2040, 4320)  # "Send Test Message"
        out, err = listener.communicate(timeout=30)
    finally:
        if listener.poll() is None:
            listener.kill()
            listener.wait(timeout=5)
    check(out.strip(), "the test message did not arrive: %s\n%s" % (err, program.text()))
    check(wait_until(lambda: "date [" in program.text(), 5),
          "the test message is not in the log view:\n" + program.text())

    click_button(desktop, window, 3960, 4320)  # "Minimize To Tray"
    check(wait_until(lambda: program.main_window() is None, 10),
          "\"Minimize To Tray\" left the window shown")
    program.process.send_signal(signal.SIGTERM)
    check(program.wait_exit(10) == 0, "the program did not end cleanly")


def case_nolog(args, topology, workdir, desktop):
    ini = os.path.join(workdir, "Tarnleaf.ini")
    write_ini(ini)
    runtime = os.path.join(workdir, "runtime")
    os.mkdir(runtime, 0o700)
    program = Program(desktop, args.program, ini, runtime, extra_args=["-nolog"])
    check(wait_until(program.tray_icon, 15), "the tray icon did not appear")
    replies = client_exchange(topology.links[0])
    check(any(r.get("yiaddr") == "10.77.0.80" for r in replies),
          "no reply while logging is off: %r" % replies)
    time.sleep(0.5)
    check("date [" not in program.text(), "entries were logged:\n" + program.text())
    program.process.send_signal(signal.SIGTERM)
    check(program.wait_exit(10) == 0, "the program did not end cleanly")


CASES = {"tray": case_tray, "port_in_use": case_port_in_use, "stop_signal": case_stop_signal,
         "buttons": case_buttons, "nolog": case_nolog}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--screenshots", help="folder that keeps the screenshots")
    parser.add_argument("case", choices=sorted(CASES))
    args = parser.parse_args()

    for tool in ("Xvfb", "trayer", "xdotool", "xprop", "import"):
        if shutil.which(tool) is None:
            print("SKIP: %s is not installed" % tool)
            return netns.SKIP
    try:
        netns.require_netns()
    except netns.Skip as reason:
        print("SKIP: %s" % reason)
        return netns.SKIP

    workdir = tempfile.mkdtemp(prefix="tarnleaf-desktop-")
    topology = desktop = None
    try:
        topology = netns.Topology(links=1)
        desktop = Desktop(topology.server_ns, workdir)
        CASES[args.case](args, topology, workdir, desktop)
        print("PASS: %s" % args.case)
        return 0
    except netns.Skip as reason:
        print("SKIP: %s" % reason)
        return netns.SKIP
    except Exception:
        traceback.print_exc()
        if desktop is not None:
            try:
                desktop.screenshot("failure.png")
            except Exception:
                pass
        return 1
    finally:
        if desktop is not None:
            desktop.close()
        if topology is not None:
            topology.close()
        if args.screenshots:
            os.makedirs(args.screenshots, exist_ok=True)
            for name in os.listdir(workdir):
                if name.endswith(".png"):
                    shutil.copy(os.path.join(workdir, name), args.screenshots)
        shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
