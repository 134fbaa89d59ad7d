#!/usr/bin/python3
"""End-to-end tests of tarnleafd in network namespaces that each test creates for itself.

    tarnleafd_e2e.py --server PATH/tarnleafd CASE

Exit code 0: passed; 1: failed; 77: skipped (not root, or no network namespaces).
Every wait is bounded; every namespace and process is removed at the end.
"""
import argparse
import json
import os
import pty
import signal
import socket
import subprocess
import sys
import tempfile
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import netns  # noqa: E402

CLIENT_TOOL = os.path.join(HERE, "bootp_client.py")
PYTHON = "/usr/bin/python3"

MAC = "02-00-00-77-00-02"
DISCOVER, REQUEST, INFORM = 1, 3, 8


class Failure(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def client_section(mac, host_ip, boot_file, server_id, extra=""):
    return ("[%s]\r\nBootFile=%s\r\nHostIP=%s\r\nSubnetMask=255.255.255.0\r\n"
            "ServerIdentifier=%s\r\nIPAddressLeaseTime=3600\r\n%s" %
            (mac, boot_file, host_ip, server_id, extra))


def write_ini(path, text):
    with open(path, "w", newline="") as f:
        f.write(text)


def exchange(link, timeout=3.0, to=None, port=68, bind="0.0.0.0", extra=(), background=False,
             stop_after=0):
    """Runs the client tool in the link's client namespace; returns the replies it saw
    (all that came within `timeout`, or the first `stop_after`)."""
    argv = ["ip", "netns", "exec", link.client_ns, PYTHON, CLIENT_TOOL,
            "--iface", link.client_if, "--port", str(port), "--bind", bind,
            "--timeout", str(timeout), "--stop-after", str(stop_after)]
    if to:
        argv += ["--to", to]
    argv += list(extra)
    if background:
        return subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    done = subprocess.run(argv, capture_output=True, text=True, timeout=timeout + 20)
    check(done.returncode == 0, "client tool failed: %s" % done.stderr)
    return [json.loads(line) for line in done.stdout.splitlines() if line.strip()]


def collect(process, timeout):
    out, err = process.communicate(timeout=timeout + 20)
    check(process.returncode == 0, "client tool failed: %s" % err)
    return [json.loads(line) for line in out.splitlines() if line.strip()]


def replies_to(replies, xid):
    return [r for r in replies if r.get("xid") == xid]


class Case:
    """One test: a topology, a working folder and the servers started in it."""

    def __init__(self, server_binary, links=1, client_addresses=True):
        self.binary = server_binary
        self.workdir = tempfile.mkdtemp(prefix="tarnleaf-e2e-")
        self.ini = os.path.join(self.workdir, "Tarnleaf.ini")
        self.servers = []
        self.children = []
        self.topology = netns.Topology(links=links, client_addresses=client_addresses)

    @property
    def link(self):
        return self.topology.links[0]

    def start_server(self, *extra, stdin=None, name="tarnleafd", wait=True):
        server = netns.Server(self.binary, self.topology.server_ns, self.workdir,
                              ["--config", self.ini] + list(extra), stdin=stdin, name=name)
        self.servers.append(server)
        if wait:
            server.wait_listening()
        return server

    def start_child(self, argv, **kwargs):
        child = subprocess.Popen(argv, **kwargs)
        self.children.append(child)
        return child

    def close(self):
        for child in self.children:
            if child.poll() is None:
                child.terminate()
                try:
                    child.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    child.kill()
                    child.wait(timeout=5)
        codes = [server.stop() for server in self.servers]
        self.topology.close()
        subprocess.run(["rm", "-rf", self.workdir], check=False, timeout=30)
        return codes


# ---------------------------------------------------------------------------------------
# The cases


def case_udhcpc_gets_the_profile_address(case):
    link = case.link
    write_ini(case.ini, client_section(client_mac(case, link), "10.77.0.50", "pxelinux.0",
                                       link.server_addr, "Gateway=10.77.0.1\r\n"))
    server = case.start_server()
    record = os.path.join(case.workdir, "udhcpc.env")
    script = os.path.join(case.workdir, "udhcpc.sh")
    with open(script, "w") as f:
        f.write("#!/bin/sh\n"
                "if [ \"$1\" = bound ]; then\n"
                "  env > %s.tmp && mv %s.tmp %s\n"
                "  ip addr add \"$ip/$mask\" dev \"$interface\"\n"
                "fi\n" % (record, record, record))
    os.chmod(script, 0o755)
    done = subprocess.run(
        ["ip", "netns", "exec", link.client_ns, "busybox", "udhcpc", "-f", "-i", link.client_if,
         "-n", "-q", "-t", "3", "-T", "1", "-s", script],
        capture_output=True, text=True, timeout=30)
    check(done.returncode == 0, "udhcpc got no lease:\n%s%s\nserver:\n%s" %
          (done.stdout, done.stderr, server.text()))
    env = dict(line.split("=", 1) for line in open(record).read().splitlines() if "=" in line)
    check(env.get("ip") == "10.77.0.50", "udhcpc was given %r" % env.get("ip"))
    check(env.get("boot_file") == "pxelinux.0", "boot file %r" % env.get("boot_file"))
    addresses = netns.run("ip", "-n", link.client_ns, "-4", "addr", "show", link.client_if).stdout
    check("10.77.0.50/24" in addresses, "address not configured:\n" + addresses)
    # The dumps show the offer (53 = 2) and the acknowledgement (53 = 5) going out.
    # (The reply's entry is written just after the send, so it may trail the client a bit.)
    check(server.wait_for("63 82 53 63 35 01 05", 5) and "63 82 53 63 35 01 02" in server.text(),
          "no offer and ack in the log:\n" + server.text())


def case_dhclient_gets_the_profile_address(case):
    link = case.link
    write_ini(case.ini, client_section(client_mac(case, link), "10.77.0.60", "boot.img",
                                       link.server_addr))
    server = case.start_server()
    record = os.path.join(case.workdir, "dhclient.env")
    script = os.path.join(case.workdir, "dhclient.sh")
    with open(script, "w") as f:
        f.write("#!/bin/sh\n"
                "case \"$reason\" in\n"
                "  PREINIT) ip link set dev \"$interface\" up ;;\n"
                "  BOUND|RENEW|REBOOT)\n"
                "    ip addr add \"$new_ip_address/$new_subnet_mask\" dev \"$interface\"\n"
                "    env > %s.tmp && mv %s.tmp %s ;;\n"
                "esac\nexit 0\n" % (record, record, record))
    os.chmod(script, 0o755)
    conf = os.path.join(case.workdir, "dhclient.conf")
    with open(conf, "w") as f:
        f.write("timeout 20;\nretry 1;\ninitial-interval 1;\n")
    # In the foreground (-d) the PID is the one started here; it is stopped once bound.
    client = case.start_child(
        ["ip", "netns", "exec", link.client_ns, "dhclient", "-4", "-d", "-1", "-v",
         "-cf", conf, "-sf", script, "-pf", os.path.join(case.workdir, "dhclient.pid"),
         "-lf", os.path.join(case.workdir, "dhclient.leases"), link.client_if],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline and not os.path.exists(record):
        if client.poll() is not None:
            break
        time.sleep(0.1)
    check(os.path.exists(record), "dhclient got no lease; server:\n" + server.text())
    env = dict(line.split("=", 1) for line in open(record).read().splitlines() if "=" in line)
    check(env.get("new_ip_address") == "10.77.0.60",
          "dhclient was given %r" % env.get("new_ip_address"))
    check(env.get("new_filename", "boot.img").strip("'\"") == "boot.img",
          "boot file %r" % env.get("new_filename"))
    addresses = netns.run("ip", "-n", link.client_ns, "-4", "addr", "show", link.client_if).stdout
    check("10.77.0.60/24" in addresses, "address not configured:\n" + addresses)


def case_bootp_request_gets_profile_fields_without_message_type(case):
    link = case.link
    write_ini(case.ini, client_section(MAC, "10.77.0.70", "/tftpboot/bootp.img", link.server_addr))
    case.start_server()
    replies = exchange(link, to="255.255.255.255:67",
                       extra=["--chaddr", MAC, "--xid", "0x0B00770B"])
    mine = replies_to(replies, 0x0B00770B)
    check(len(mine) == 1, "expected one reply, got %r" % replies)
    reply = mine[0]
    check(reply["op"] == 2, "op %r" % reply["op"])
    check(reply["yiaddr"] == "10.77.0.70", "yiaddr %r" % reply["yiaddr"])
    check(reply["file"] == "/tftpboot/bootp.img", "file %r" % reply["file"])
    check(reply["siaddr"] == link.server_addr, "siaddr %r" % reply["siaddr"])
    check("53" not in reply["options"], "a BOOTP reply carries option 53: %r" % reply["options"])
    check(reply["options"].get("1") == "ffffff00", "subnet mask %r" % reply["options"])


def case_relayed_request_is_answered_to_the_relay_on_port_67(case):
    link = case.link
    write_ini(case.ini, client_section(MAC, "10.77.9.10", "relayed.0", link.server_addr))
    case.start_server()
    # Bound to the relay's own unicast address: a broadcast reply would not reach it.
    replies = exchange(link, to="%s:67" % link.server_addr, port=67, bind=link.client_addr,
                       extra=["--chaddr", MAC, "--giaddr", link.client_addr,
                              "--dhcp-type", str(DISCOVER), "--xid", "0x7E1A7E1A"])
    mine = replies_to(replies, 0x7E1A7E1A)
    check(len(mine) == 1, "the relay got %r" % replies)
    reply = mine[0]
    check(reply["from"] == "%s:67" % link.server_addr, "sent from %r" % reply["from"])
    check(reply["giaddr"] == link.client_addr, "giaddr %r" % reply["giaddr"])
    check(reply["yiaddr"] == "10.77.9.10", "yiaddr %r" % reply["yiaddr"])
    check(reply["options"].get("53") == "02", "message type %r" % reply["options"].get("53"))


def case_dhcping_inform_gets_an_ack(case):
    link = case.link
    mac = "02:00:00:77:00:0c"
    write_ini(case.ini, client_section(mac.replace(":", "-").upper(), link.client_addr,
                                       "inform.0", link.server_addr))
    server = case.start_server()
    done = subprocess.run(
        ["ip", "netns", "exec", link.client_ns, "dhcping", "-i", "-c", link.client_addr,
         "-s", link.server_addr, "-h", mac, "-t", "5"],
        capture_output=True, text=True, timeout=30)
    check(done.returncode == 0, "dhcping: %s%s\nserver:\n%s" % (done.stdout, done.stderr,
                                                                server.text()))
    check("Got answer from: %s" % link.server_addr in done.stdout, done.stdout)
    # (The reply's entry is written just after the send, so it may trail the client a bit.)
    check(server.wait_for("63 82 53 63 35 01 05", 5), "the answer is no DHCPACK:\n" + server.text())
    check("size [247]" in server.text(), "the 247-byte INFORM is not in the log")


def case_short_datagram_gets_nothing_and_server_keeps_running(case):
    link = case.link
    write_ini(case.ini, client_section(MAC, "10.77.0.80", "after.0", link.server_addr))
    server = case.start_server()
    replies = exchange(link, timeout=1.5, to="255.255.255.255:67", extra=["--raw-size", "200"])
    check(replies == [], "a 200-byte datagram was answered: %r" % replies)
    check(server.running(), "the server ended after a short datagram")
    check("Ignored: shorter than a BOOTP message" in server.text(), server.text())
    # An empty datagram and a lone byte are no better.
    for size in ("0", "1"):
        check(exchange(link, timeout=0.5, to="255.255.255.255:67",
                       extra=["--raw-size", size]) == [], "size %s answered" % size)
    replies = exchange(link, stop_after=1, to="255.255.255.255:67",
                       extra=["--chaddr", MAC, "--dhcp-type", str(DISCOVER), "--xid", "0x5"])
    check(len(replies_to(replies, 5)) == 1, "no answer after the short datagram: %r" % replies)


def case_two_links_each_answered_with_own_address_on_own_link(case):
    a, b = case.topology.links
    write_ini(case.ini,
              client_section("02-00-00-77-0A-02", "10.77.0.20", "a.0", a.server_addr) +
              client_section("02-00-00-77-0B-02", "10.77.1.20", "b.0", b.server_addr))
    case.start_server()
    for this, other, mac, xid, ip in ((a, b, "02-00-00-77-0A-02", 0xA, "10.77.0.20"),
                                      (b, a, "02-00-00-77-0B-02", 0xB, "10.77.1.20")):
        ready = os.path.join(case.workdir, "ready-%x" % xid)
        watcher = exchange(other, timeout=2.5, extra=["--ready-file", ready], background=True)
        deadline = time.monotonic() + 5
        while not os.path.exists(ready) and time.monotonic() < deadline:
            time.sleep(0.02)
        replies = exchange(this, stop_after=1, to="255.255.255.255:67",
                           extra=["--chaddr", mac, "--dhcp-type", str(DISCOVER),
                                  "--xid", hex(xid)])
        mine = replies_to(replies, xid)
        check(len(mine) == 1, "link %s got %r" % (this.server_addr, replies))
        check(mine[0]["siaddr"] == this.server_addr,
              "siaddr %r on the link of %s" % (mine[0]["siaddr"], this.server_addr))
        check(mine[0]["from"].startswith(this.server_addr + ":"), "from %r" % mine[0]["from"])
        check(mine[0]["yiaddr"] == ip, "yiaddr %r" % mine[0]["yiaddr"])
        strays = replies_to(collect(watcher, 2.5), xid)
        check(strays == [], "the reply also went out on the other link: %r" % strays)


def case_ini_edit_shows_in_the_next_reply(case):
    link = case.link
    write_ini(case.ini, client_section(MAC, "10.77.0.90", "first.0", link.server_addr))
    case.start_server()
    first = replies_to(exchange(link, stop_after=1, to="255.255.255.255:67",
                                extra=["--chaddr", MAC, "--dhcp-type", str(DISCOVER),
                                       "--xid", "0x1"]), 1)
    check(len(first) == 1 and first[0]["file"] == "first.0", "first reply %r" % first)
    write_ini(case.ini, client_section(MAC, "10.77.0.91", "second-after-edit.0",
                                       link.server_addr))
    second = replies_to(exchange(link, stop_after=1, to="255.255.255.255:67",
                                 extra=["--chaddr", MAC, "--dhcp-type", str(REQUEST),
                                        "--xid", "0x2"]), 2)
    check(len(second) == 1, "second reply %r" % second)
    check(second[0]["file"] == "second-after-edit.0", "file %r" % second[0]["file"])
    check(second[0]["yiaddr"] == "10.77.0.91", "yiaddr %r" % second[0]["yiaddr"])
    check(second[0]["options"].get("53") == "05", "type %r" % second[0]["options"])


def case_unknown_client_gets_its_own_request_back(case):
    link = case.link
    write_ini(case.ini, client_section("02-00-00-77-FF-FF", "10.77.0.99", "other.0",
                                       link.server_addr))
    case.start_server()
    replies = exchange(link, stop_after=1, to="255.255.255.255:67",
                       extra=["--chaddr", MAC, "--dhcp-type", str(DISCOVER), "--xid", "0x0DD"])
    mine = replies_to(replies, 0x0DD)
    check(len(mine) == 1, "got %r" % replies)
    reply = mine[0]
    check(reply["op"] == 1, "op %r" % reply["op"])
    check(reply["siaddr"] == link.server_addr, "siaddr %r" % reply["siaddr"])
    check(reply["sname"] == socket.gethostname()[:63], "sname %r" % reply["sname"])
    check(reply["yiaddr"] == "0.0.0.0", "yiaddr %r" % reply["yiaddr"])
    check(reply["options"].get("53") == "01", "options %r" % reply["options"])


def case_port_in_use_ends_with_exit_code_1_and_advice(case):
    write_ini(case.ini, "")
    first = case.start_server()
    second = case.start_server(name="second", wait=False)
    code = second.wait_exit(timeout=10)
    check(code == 1, "second server exit code %r:\n%s" % (code, second.text()))
    text = second.text()
    check("in use by another program (another DHCP server?)" in text, text)
    check("67" in text, text)
    check(first.running(), "the first server ended")


def case_port_not_permitted_ends_with_exit_code_1_and_advice(case):
    write_ini(case.ini, "")
    # The same program without root's privilege; a fresh namespace keeps ports below 1024
    # privileged whatever the host has been told.
    done = subprocess.run(
        ["ip", "netns", "exec", case.topology.server_ns, "setpriv", "--reuid=65534",
         "--regid=65534", "--clear-groups", case.binary, "--config", case.ini],
        capture_output=True, text=True, timeout=20)
    text = done.stdout + done.stderr
    if "listening on" not in text and "cannot listen" not in text:
        raise netns.Skip("the program cannot be run as an unprivileged user here: " + text)
    check(done.returncode == 1, "exit code %r:\n%s" % (done.returncode, text))
    check("Not permitted" in text and "sudo setcap cap_net_bind_service=+ep" in text, text)


def case_console_commands_on_a_terminal(case):
    link = case.link
    write_ini(case.ini,
              "[TestMessage]\r\nServerIP=%s\r\nSendPort=bootps\r\nMessageType=BOOTREQUEST\r\n"
              "HardwareAddress=%s\r\nDHCPMessageType=DHCPDISCOVER\r\n" % (link.client_addr, MAC))
    master, slave = pty.openpty()
    try:
        server = case.start_server(stdin=slave)
        ready = os.path.join(case.workdir, "ready")
        watcher = exchange(link, timeout=4, stop_after=1, port=67, bind=link.client_addr,
                           extra=["--ready-file", ready], background=True)
        deadline = time.monotonic() + 5
        while not os.path.exists(ready) and time.monotonic() < deadline:
            time.sleep(0.02)
        os.write(master, b"t\n")
        received = collect(watcher, 4)
        check(len(received) == 1, "test message: %r\n%s" % (received, server.text()))
        check(received[0]["op"] == 1 and received[0]["from"] == "%s:67" % link.server_addr,
              "test message %r" % received[0])
        check(received[0]["options"].get("53") == "01", "options %r" % received[0]["options"])
        os.write(master, b"l\n")
        check(server.wait_for("logging off", 5), server.text())
        os.write(master, b"q\n")
        code = server.wait_exit(timeout=10)
        check(code == 0, "q ended with %r" % code)
    finally:
        os.close(master)
        os.close(slave)


def case_signals_end_the_server_cleanly(case):
    write_ini(case.ini, "")
    for sig in (signal.SIGINT, signal.SIGTERM):
        server = case.start_server(name="sig%d" % sig)
        code = server.stop(sig)
        check(code == 0, "signal %d gave exit code %r:\n%s" % (sig, code, server.text()))


def client_mac(case, link):
    """The hardware address of the client side of `link`, as a section name."""
    output = netns.run("ip", "-n", link.client_ns, "link", "show", link.client_if).stdout
    mac = output.split("link/ether", 1)[1].split()[0]
    return mac.replace(":", "-").upper()


CASES = {
    "udhcpc": (case_udhcpc_gets_the_profile_address, {"client_addresses": False}),
    "dhclient": (case_dhclient_gets_the_profile_address, {"client_addresses": False}),
    "bootp": (case_bootp_request_gets_profile_fields_without_message_type, {}),
    "relay": (case_relayed_request_is_answered_to_the_relay_on_port_67, {}),
    "dhcping": (case_dhcping_inform_gets_an_ack, {}),
    "short": (case_short_datagram_gets_nothing_and_server_keeps_running, {}),
    "two_links": (case_two_links_each_answered_with_own_address_on_own_link, {"links": 2}),
    "ini_edit": (case_ini_edit_shows_in_the_next_reply, {}),
    "unknown_client": (case_unknown_client_gets_its_own_request_back, {}),
    "port_in_use": (case_port_in_use_ends_with_exit_code_1_and_advice, {}),
    "port_not_permitted": (case_port_not_permitted_ends_with_exit_code_1_and_advice, {}),
    "console": (case_console_commands_on_a_terminal, {}),
    "signals": (case_signals_end_the_server_cleanly, {}),
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True)
    parser.add_argument("case", choices=sorted(CASES))
    args = parser.parse_args()
    function, topology = CASES[args.case]
    try:
        netns.require_netns()
        case = Case(os.path.abspath(args.server), **topology)
    except netns.Skip as reason:
        print("skipped:", reason)
        return netns.SKIP
    try:
        function(case)
    except netns.Skip as reason:
        case.close()
        print("skipped:", reason)
        return netns.SKIP
    except Exception:
        traceback.print_exc()
        for server in case.servers:
            print("---- %s output ----\n%s" % (server.output_path, server.text()))
        case.close()
        return 1
    codes = case.close()
    # Every server still running at the end is stopped with SIGTERM and must end cleanly.
    bad = [c for c in codes if c not in (0, 1)]
    if bad:
        print("a server ended with exit code(s) %r" % bad)
        return 1
    print("passed:", args.case)
    return 0


if __name__ == "__main__":
    sys.exit(main())
