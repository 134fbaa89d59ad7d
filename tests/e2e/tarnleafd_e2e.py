#!/usr/bin/python3
"""End-to-end tests of tarnleafd in network namespaces that each test creates for itself.

    tarnleafd_e2e.py --server PATH/tarnleafd CASE    (exit 0: passed, 1: failed, 77: skipped)
"""
import argparse
import json
import os
import pathlib
import pty
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import netns  # noqa: E402
from netns import check  # noqa: E402

CLIENT_TOOL = os.path.join(HERE, "bootp_client.py")
PYTHON = "/usr/bin/python3"
MAC = "02-00-00-77-00-02"
SERVER, CLIENT = "10.77.0.1", "10.77.0.2"  # the two ends of link 0
BROADCAST = "255.255.255.255:67"
# Option 53 right after the cookie in a reply's dump: an offer and an acknowledgement.
OFFER_DUMP, ACK_DUMP = "63 82 53 63 35 01 02", "63 82 53 63 35 01 05"
CASES = {}  # name: (the test, its number of links)


def scenario(name, *args, links=1):
    def register(function):
        CASES[name] = (lambda c: function(c, *args), links)
        return function
    return register


def client_section(mac, host_ip, boot_file, server_id=SERVER, extra=""):
    return ("[%s]\r\nBootFile=%s\r\nHostIP=%s\r\nSubnetMask=255.255.255.0\r\nServerIdentifier=%s"
            "\r\nIPAddressLeaseTime=3600\r\n%s" % (mac, boot_file, host_ip, server_id, extra))


def write_ini(path, text):
    with open(path, "w", newline="") as f:
        f.write(text)


def exchange(link, timeout=3.0, to=None, port=68, bind="0.0.0.0", extra=(), background=False,
             stop_after=0):
    """The client tool in the link's client namespace: the replies it saw within `timeout`
    (at most `stop_after` of them), or the running process when `background`."""
    process = subprocess.Popen(
        ["ip", "netns", "exec", link.client_ns, PYTHON, CLIENT_TOOL, "--iface", link.client_if,
         "--port", str(port), "--bind", bind, "--timeout", str(timeout),
         "--stop-after", str(stop_after), *(["--to", to] if to else []), *extra],
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    return process if background else collect(process, timeout)


def collect(process, timeout):
    try:
        out, err = process.communicate(timeout=timeout + 20)
    except subprocess.TimeoutExpired:
        process.kill()
        raise
    check(process.returncode == 0, "client tool failed: %s" % err)
    return [json.loads(line) for line in out.splitlines() if line.strip()]


def listen(case, link, **kwargs):
    """The client tool listening in the background, once its socket is bound."""
    ready = os.path.join(case.workdir, "ready-" + link.client_if)
    watcher = exchange(link, extra=["--ready-file", ready], background=True, **kwargs)
    netns.wait_until(lambda: os.path.exists(ready), 5)
    return watcher


def ask(link, xid, dhcp_type=1, mac=MAC, extra=(), to=BROADCAST, **kwargs):
    """The one reply to a request with `xid` sent from the client side of `link`."""
    kind = [] if dhcp_type is None else ["--dhcp-type", str(dhcp_type)]
    replies = exchange(link, to=to, extra=["--chaddr", mac, "--xid", hex(xid), *kind, *extra],
                       **kwargs)
    mine = [r for r in replies if r.get("xid") == xid]
    check(len(mine) == 1, "expected one reply to %#x, got %r" % (xid, replies))
    return mine[0]


def expect(reply, fields):
    """Checks header fields by name and, under "options", options by code (None: absent)."""
    wrong = {k: reply.get(k) for k, v in fields.items() if k != "options" and reply.get(k) != v}
    wrong.update({c: reply["options"].get(c) for c, v in fields.get("options", {}).items()
                  if reply["options"].get(c) != v})
    check(not wrong, "unexpected %r in the reply %r" % (wrong, reply))


class Case:
    """One test: its namespaces, a folder with an empty Tarnleaf.ini, the programs it started."""

    def __init__(self, server_binary, links=1):
        self.topology = netns.Topology(links)
        self.link = self.topology.links[0]
        self.binary, self.servers, self.children = server_binary, [], []
        self.workdir = tempfile.mkdtemp(prefix="tarnleaf-e2e-")
        os.chmod(self.workdir, 0o755)  # the server reads Tarnleaf.ini as nobody once bound
        self.ini = os.path.join(self.workdir, "Tarnleaf.ini")
        write_ini(self.ini, "")

    def start_server(self, stdin=None, name="tarnleafd", wait=True):
        server = netns.Server(self.binary, self.topology.server_ns, self.workdir,
                              ["--config", self.ini], stdin=stdin, name=name)
        self.servers.append(server)
        if wait:
            server.wait_listening()
        return server

    def serve(self, *profile, **extra):
        write_ini(self.ini, client_section(*profile, **extra))
        return self.start_server()

    def close(self):
        """Stops what still runs (servers by SIGTERM); the servers' exit codes and the output
        of every program started."""
        for child in self.children:
            child.stop()
        codes = [server.stop() for server in self.servers]
        outputs = ["---- %s ----\n%s" % (p.name, p.text()) for p in self.servers + self.children]
        self.topology.close()
        shutil.rmtree(self.workdir, ignore_errors=True)
        return codes, outputs


@scenario("udhcpc", "udhcpc")
@scenario("dhclient", "dhclient")
def dhcp_client_gets_the_profile_address(case, client):
    link, w = case.link, pathlib.Path(case.workdir)
    # The client's hardware address is MAC already; its IP address is to come by DHCP.
    netns.run("ip", "-n", link.client_ns, "addr", "flush", "dev", link.client_if)
    server = case.serve(MAC, "10.77.0.50", "pxelinux.0", extra="Gateway=10.77.0.1\r\n")
    # udhcpc names the event in $1 and the lease in $ip/$mask; dhclient in $reason and $new_*.
    (w / "script").write_text('#!/bin/sh\ncase "$1$reason" in bound|BOUND|RENEW|REBOOT)\n  ip '
                              'addr add "$ip$new_ip_address/$mask$new_subnet_mask" dev '
                              '"$interface";; esac\nexit 0\n')
    (w / "script").chmod(0o755)
    (w / "dhclient.conf").write_text("timeout 20;\nretry 1;\ninitial-interval 1;\n")
    script, iface = str(w / "script"), link.client_if
    argv = {"udhcpc": ["busybox", "udhcpc", "-f", "-n", "-q", "-t", "3", "-T", "1", "-s", script,
                       "-i", iface],
            "dhclient": ["dhclient", "-4", "-d", "-1", "-cf", str(w / "dhclient.conf"), "-sf",
                         script, "-pf", str(w / "pid"), "-lf", str(w / "leases"), iface]}[client]
    child = netns.Server(argv[0], link.client_ns, case.workdir, argv[1:], name=client)
    case.children.append(child)
    bound = lambda: "10.77.0.50/24" in netns.run("ip", "-n", link.client_ns, "addr").stdout  # noqa
    netns.wait_until(lambda: bound() or child.process.poll() is not None, 30)
    check(bound(), "%s configured no address:\n%s" % (client, child.text()))
    # The reply's dump is written just after the send, so it may trail the client a bit.
    check(server.wait_for(ACK_DUMP, 5) and OFFER_DUMP in server.text(), "no offer and ack")


@scenario("dhcping")
def dhcping_inform_gets_an_ack(case):
    server = case.serve("02-00-00-77-00-0C", CLIENT, "inform.0")
    done = netns.run("ip", "netns", "exec", case.link.client_ns, "dhcping", "-i", "-c", CLIENT,
                     "-s", SERVER, "-h", "02:00:00:77:00:0c", "-t", "5", timeout=30, check=False)
    check("Got answer from: " + SERVER in done.stdout and done.returncode == 0,
          "dhcping: " + done.stdout + done.stderr)
    check(server.wait_for(ACK_DUMP, 5) and "size [247]" in server.text(),
          "no DHCPACK to the 247-byte INFORM in the log")


@scenario("answers")
def one_server_meets_every_kind_of_request(case):
    """An empty datagram, plain BOOTP, a relay, an unknown client, then an edit of the file,
    one after the other to one server, which ends cleanly by SIGINT."""
    link = case.link
    server = case.serve(MAC, "10.77.0.70", "/tftpboot/first.img")
    check(exchange(link, 1.0, BROADCAST, extra=["--raw-size", "0"]) == [] and
          "Ignored: shorter than a BOOTP message" in server.text(), "an empty datagram:\n" +
          server.text())
    # Plain BOOTP: the profile's fields and no message type.
    expect(ask(link, 1, dhcp_type=None, stop_after=1),
           {"op": 2, "yiaddr": "10.77.0.70", "file": "/tftpboot/first.img", "siaddr": SERVER,
            "options": {"53": None, "1": "ffffff00"}})
    # Bound to the relay's unicast address: a broadcast would not reach it.
    expect(ask(link, 2, to=SERVER + ":67", port=67, bind=CLIENT, extra=["--giaddr", CLIENT]),
           {"from": SERVER + ":67", "giaddr": CLIENT, "yiaddr": "10.77.0.70",
            "options": {"53": "02"}})
    # An unknown client gets its own request back, with the server's address and name.
    expect(ask(link, 3, mac="02-00-00-77-FF-FF", stop_after=1),
           {"op": 1, "siaddr": SERVER, "sname": socket.gethostname()[:63], "yiaddr": "0.0.0.0",
            "options": {"53": "01"}})
    write_ini(case.ini, client_section(MAC, "10.77.0.91", "second-after-edit.0"))
    expect(ask(link, 4, dhcp_type=3, stop_after=1),  # a DHCPREQUEST gets a DHCPACK
           {"file": "second-after-edit.0", "yiaddr": "10.77.0.91", "options": {"53": "05"}})
    check(server.stop(signal.SIGINT) == 0, "SIGINT did not end the server cleanly")


@scenario("two_links", links=2)
def two_links_each_answered_with_own_address_on_own_link(case):
    a, b = case.topology.links
    case.serve("02-00-00-77-0A-02", "10.77.0.20", "a.0",
               extra=client_section("02-00-00-77-0B-02", "10.77.1.20", "b.0", b.server_addr))
    for this, other, xid, ip in ((a, b, 0xA, "10.77.0.20"), (b, a, 0xB, "10.77.1.20")):
        watcher = listen(case, other, timeout=2.5)
        expect(ask(this, xid, mac="02-00-00-77-0%X-02" % xid, stop_after=1),
               {"from": this.server_addr + ":67", "siaddr": this.server_addr, "yiaddr": ip})
        strays = [r for r in collect(watcher, 2.5) if r.get("xid") == xid]
        check(not strays, "the reply also went out on the other link: %r" % strays)


@scenario("port_in_use")
def port_in_use_ends_with_exit_code_1_and_advice(case):
    first = case.start_server()
    second = case.start_server(name="second", wait=False)
    code, text = second.wait_exit(), second.text()
    check(code == 1 and "in use by another program (another DHCP server?)" in text and
          "67" in text, "second server, exit code %r" % code)
    check(first.process.poll() is None, "the first server ended")


@scenario("port_not_permitted")
def port_not_permitted_ends_with_exit_code_1_and_advice(case):
    # Without root's privilege; a fresh namespace keeps ports below 1024 privileged whatever
    # the host has been told.
    done = netns.run("ip", "netns", "exec", case.topology.server_ns, "setpriv", "--reuid=65534",
                     "--regid=65534", "--clear-groups", case.binary, "--config", case.ini,
                     timeout=20, check=False)
    text = done.stdout + done.stderr
    if "listening on" not in text and "cannot listen" not in text:
        raise netns.Skip("the program cannot be run as an unprivileged user here: " + text)
    check(done.returncode == 1 and "Not permitted" in text and
          "sudo setcap cap_net_bind_service=+ep" in text, "exit %r:\n%s" % (done.returncode, text))


@scenario("console")
def console_commands_on_a_terminal(case):
    """t, l and q, each ended by a carriage return: Enter on both consoles (a terminal turns
    it into a line feed for Linux)."""
    link = case.link
    write_ini(case.ini, "[TestMessage]\r\nServerIP=%s\r\nSendPort=bootps\r\nMessageType="
              "BOOTREQUEST\r\nHardwareAddress=%s\r\nDHCPMessageType=DHCPDISCOVER\r\n" %
              (link.client_addr, MAC))
    master, slave = pty.openpty()
    try:
        server = case.start_server(stdin=slave)
        watcher = listen(case, link, timeout=8, stop_after=1, port=67, bind=link.client_addr)
        # Wine's console takes over the terminal a moment after start-up and drops what was
        # typed before: the command is typed again (at most three times) until it shows.
        for _ in range(3):
            os.write(master, b"t\r")
            try:
                watcher.wait(timeout=2.5)
                break
            except subprocess.TimeoutExpired:
                pass
        received = collect(watcher, 8)
        check(len(received) == 1, "test message: %r" % received)
        expect(received[0], {"from": link.server_addr + ":67", "op": 1, "options": {"53": "01"}})
        os.write(master, b"l\r")
        check(server.wait_for("logging off", 8), "l did not turn logging off")
        os.write(master, b"q\r")
        check(server.wait_exit(15) == 0, "q did not end the server cleanly")
    finally:
        os.close(master)
        os.close(slave)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True)
    parser.add_argument("case", choices=sorted(CASES))
    args = parser.parse_args()
    function, links = CASES[args.case]
    case, outcome = None, "failed"
    try:
        netns.require_netns()
        case = Case(os.path.abspath(args.server), links)
        function(case)
        outcome = "passed"
    except netns.Skip as reason:
        outcome = "skipped (%s)" % reason
    except Exception:
        traceback.print_exc()
    finally:
        # Every server still running is stopped with SIGTERM and must end cleanly.
        codes, outputs = case.close() if case else ([], [])
    if outcome == "passed" and any(code not in (0, 1) for code in codes):
        outcome = "failed, a server ending with exit code(s) %r," % codes
    if outcome.startswith("failed"):
        print("\n".join(outputs))
    print(outcome, args.case)
    return {"p": 0, "s": netns.SKIP}.get(outcome[0], 1)


if __name__ == "__main__":
    sys.exit(main())
