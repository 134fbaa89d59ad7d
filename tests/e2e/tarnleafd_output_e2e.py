#!/usr/bin/python3
"""End-to-end tests of tarnleafd's output and log under strain, with the harness and in the
network namespaces of tarnleafd_e2e.py.

    tarnleafd_output_e2e.py --server PATH/tarnleafd CASE    (exit 0: passed, 1: failed, 77: skipped)
"""
import os
import signal
import socket
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import netns  # noqa: E402
from tarnleafd_e2e import (CLIENT, MAC, PYTHON, SERVER, check, client_section,  # noqa: E402
                           main, scenario, write_ini)


def request(xid):
    """A DHCPDISCOVER as relayed by an agent at the client's address."""
    chaddr = bytes.fromhex(MAC.replace("-", ""))
    header = bytes([1, 1, 6, 1]) + xid.to_bytes(4, "big") + bytes(16) + \
        socket.inet_aton(CLIENT) + chaddr.ljust(16, b"\0") + bytes(192)
    return (header + bytes([99, 130, 83, 99, 53, 1, 1, 255])).ljust(300, b"\0")


def client_side(count, wait_for_replies):
    """In the client namespace, as relay agent: for each line of input, sends `count`
    requests (each after the reply to the one before, when `wait_for_replies`) and prints how
    many were answered."""
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind((CLIENT, 67))
    sock.settimeout(2.0)
    for _ in sys.stdin:
        answered = 0
        for xid in range(1, count + 1):
            sock.sendto(request(xid), (SERVER, 67))
            try:
                while wait_for_replies and int.from_bytes(sock.recv(2048)[4:8], "big") != xid:
                    pass
                answered += wait_for_replies
            except socket.timeout:
                break
        print(answered, flush=True)


class Client:
    name, output_path = "client side", "client side"

    def __init__(self, case, count, wait_for_replies):
        self.process = subprocess.Popen(
            ["ip", "netns", "exec", case.link.client_ns, PYTHON, os.path.abspath(__file__),
             "--client-side", str(count), str(int(wait_for_replies))], stdin=subprocess.PIPE,
            stdout=subprocess.PIPE, text=True)
        case.children.append(self)

    def round(self):
        self.process.stdin.write("go\n")
        self.process.stdin.flush()
        return int(self.process.stdout.readline() or -1)

    def stop(self, timeout=10):
        self.process.stdin.close()
        self.process.wait(timeout)

    def text(self):
        return ""


class BareServer(netns.Server):
    """tarnleafd with its output going where the test says (a pipe, or nowhere)."""

    def __init__(self, case, stdout, *args):  # pylint: disable=super-init-not-called
        self.name, self.output_path = "tarnleafd", os.devnull
        self.process = subprocess.Popen(
            ["ip", "netns", "exec", case.topology.server_ns, case.binary, "--config", case.ini,
             *args], stdout=stdout, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        case.servers.append(self)
        bound = lambda: ":0043 " in open("/proc/%d/net/udp" % self.process.pid).read()  # noqa
        check(netns.wait_until(bound, 10), "the server did not bind port 67")

    def udp(self):
        """The UDP counters of the server's namespace, by name (its own /proc view)."""
        with open("/proc/%d/net/snmp" % self.process.pid) as f:
            names, values = [line.split() for line in f if line.startswith("Udp:")]
        return dict(zip(names[1:], map(int, values[1:])))

    def rss_kib(self):
        with open("/proc/%d/status" % self.process.pid) as f:
            return next(int(line.split()[1]) for line in f if line.startswith("VmRSS:"))


@scenario("stalled_reader")
def stalled_reader(case):
    """Output into a pipe that nobody reads costs log entries, never replies."""
    write_ini(case.ini, client_section(MAC, "10.77.0.60", "pxelinux.0"))
    reader, writer = os.pipe()
    try:
        server = BareServer(case, writer)
        answered = Client(case, 2000, True).round()
        check(answered == 2000, "only %d of 2000 requests were answered in a row" % answered)
        # Reading again: what was held back comes out, the gap marked by one line.
        os.close(writer)
        writer = None
        server.process.terminate()
        text = b"".join(iter(lambda: os.read(reader, 65536), b"")).decode("latin-1")
        check(text.startswith("listening on") and " log entries dropped)\r\n" in text,
              "no line for the dropped entries in %r..." % text[:200])
    finally:
        os.close(reader)
        if writer is not None:
            os.close(writer)


@scenario("failed_sends")
def failed_sends(case):
    """100,000 replies that cannot be sent, with logging on, leave the memory as it was.
    Sends fail when the link the request came by is down: each round of requests waits in
    the socket of the stopped server, the link goes down, and the server answers in vain."""
    write_ini(case.ini, client_section(MAC, "10.77.0.61", "pxelinux.0"))
    server = BareServer(case, subprocess.DEVNULL)
    # A round fits the receive queue of the stopped server.
    client, pid = Client(case, 300, False), server.process.pid
    link = ["ip", "-n", case.topology.server_ns, "link", "set", case.link.server_if]
    idle = ":0043 00000000:0000 07 00000000:00000000"  # nothing left in its queue
    taken = lambda: server.udp()["InDatagrams"] - counted["InDatagrams"]  # noqa: E731
    try:
        for round_number in range(1000):  # a round to warm up, then 100,000 requests
            if round_number == 1:
                before, counted = server.rss_kib(), server.udp()
            elif round_number > 1 and taken() >= 100000:
                break
            os.kill(pid, signal.SIGSTOP)
            client.round()
            netns.run(*link, "down")
            os.kill(pid, signal.SIGCONT)
            netns.wait_until(lambda: idle in open("/proc/%d/net/udp" % pid).read(), 20)
            netns.run(*link, "up")
    finally:
        os.kill(pid, signal.SIGCONT)
    sent = server.udp()["OutDatagrams"] - counted["OutDatagrams"]
    check(taken() >= 100000 and sent == 0, "%d requests taken, %d replies sent" % (taken(), sent))
    grown = server.rss_kib() - before
    # A sanitizer's allocator holds freed memory back on purpose: there only the sends count.
    check(grown < 4096 or os.environ.get("TARNLEAF_SANITIZED") == "1",
          "RSS grew by %d KiB over 100,000 failed sends" % grown)


if __name__ == "__main__":
    if sys.argv[1] == "--client-side":
        sys.exit(client_side(int(sys.argv[2]), int(sys.argv[3])))
    sys.exit(main())
