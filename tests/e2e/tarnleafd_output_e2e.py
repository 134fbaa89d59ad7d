#!/usr/bin/python3
"""End-to-end tests of tarnleafd's output and log under strain, in network namespaces that
each test creates for itself (the harness of tarnleafd_e2e.py).

    tarnleafd_output_e2e.py --server PATH/tarnleafd CASE    (exit 0: passed, 1: failed, 77: skipped)
"""
import argparse
import os
import signal
import socket
import subprocess
import sys
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import netns  # noqa: E402
from tarnleafd_e2e import (CLIENT, MAC, PYTHON, SERVER, Case, check,  # noqa: E402
                           client_section, write_ini)

def request(xid, giaddr):
    """A DHCPDISCOVER as relayed by the agent at `giaddr`."""
    chaddr = bytes.fromhex(MAC.replace("-", ""))
    header = bytes([1, 1, 6, 1]) + xid.to_bytes(4, "big") + bytes(8) + bytes(8) + \
        socket.inet_aton(giaddr) + chaddr.ljust(16, b"\0") + bytes(192)
    return (header + bytes([99, 130, 83, 99, 53, 1, 1, 255])).ljust(300, b"\0")


def rss_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        return next(int(line.split()[1]) for line in f if line.startswith("VmRSS:"))


def ask_in_turn(count):
    """In the client namespace, as relay agent: `count` requests, each waiting for its reply.
    Prints how many were answered."""
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind((CLIENT, 67))
    sock.settimeout(2.0)
    answered = 0
    for xid in range(1, count + 1):
        sock.sendto(request(xid, CLIENT), (SERVER, 67))
        try:
            while int.from_bytes(sock.recv(2048)[4:8], "big") != xid:
                pass
            answered += 1
        except socket.timeout:
            break
    print(answered)


def sender():
    """In the client namespace, as relay agent: for each line "N" of input, sends N requests
    at once and answers "sent"."""
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    for line in sys.stdin:
        for xid in range(int(line)):
            sock.sendto(request(xid, CLIENT), (SERVER, 67))
        print("sent", flush=True)


def in_client_namespace(case, *args, timeout=120):
    done = subprocess.run(["ip", "netns", "exec", case.link.client_ns, PYTHON,
                           os.path.abspath(__file__), *args], capture_output=True, text=True,
                          timeout=timeout)
    check(done.returncode == 0, "client side failed: %s" % done.stderr)
    return done.stdout


def stalled_reader(case):
    """Output into a pipe that nobody reads costs log entries, never replies."""
    write_ini(case.ini, client_section(MAC, "10.77.0.60", "pxelinux.0"))
    reader, writer = os.pipe()
    process = subprocess.Popen(["ip", "netns", "exec", case.topology.server_ns, case.binary,
                                "--config", case.ini], stdout=writer,
                               stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    try:
        bound = lambda: ":0043 " in open("/proc/%d/net/udp" % process.pid).read()  # noqa: E731
        check(netns.wait_until(bound, 10), "the server did not bind port 67")
        answered = int(in_client_namespace(case, "--ask-in-turn", "2000"))
        check(answered == 2000, "only %d of 2000 requests were answered in a row" % answered)
        # Reading again: what was held back comes out, the gap marked by one line.
        os.close(writer)
        writer = None
        process.terminate()
        text = b"".join(iter(lambda: os.read(reader, 65536), b"")).decode("latin-1")
        check(process.wait(10) == 0, "the server did not end cleanly")
        check(text.startswith("listening on"), "output: %r" % text[:200])
        check(" log entries dropped)\r\n" in text, "no line for the dropped entries")
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
        os.close(reader)
        if writer is not None:
            os.close(writer)


class QuietServer(netns.Server):
    """tarnleafd with its output thrown away (a hundred megabytes of dumps here)."""

    def __init__(self, binary, namespace, args):  # pylint: disable=super-init-not-called
        self.output_path = os.devnull
        self.process = subprocess.Popen(["ip", "netns", "exec", namespace, binary, *args],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                        stdin=subprocess.DEVNULL)


def udp_counters(pid):
    """The UDP counters of the server's namespace, by name (its own /proc view)."""
    with open("/proc/%d/net/snmp" % pid) as f:
        names, values = [line.split() for line in f if line.startswith("Udp:")]
    return dict(zip(names[1:], map(int, values[1:])))


def port_67_bound_and_idle(pid):
    """The server's socket exists and has no datagram waiting."""
    with open("/proc/%d/net/udp" % pid) as f:
        return ":0043 00000000:0000 07 00000000:00000000" in f.read()


def failed_sends(case):
    """100,000 replies that cannot be sent, with logging on, leave the memory as it was.
    Sends fail when the link the request came by is down: each round of requests waits in
    the socket of the stopped server, the link goes down, and the server answers in vain."""
    write_ini(case.ini, client_section(MAC, "10.77.0.61", "pxelinux.0"))
    server = QuietServer(case.binary, case.topology.server_ns, ["--config", case.ini])
    case.servers.append(server)
    pid, link = server.process.pid, case.link
    check(netns.wait_until(lambda: port_67_bound_and_idle(pid), 10), "the server did not start")
    client = subprocess.Popen(["ip", "netns", "exec", link.client_ns, PYTHON,
                               os.path.abspath(__file__), "--sender"], stdin=subprocess.PIPE,
                              stdout=subprocess.PIPE, text=True)
    try:
        for round_number in range(51):  # a round to warm up, then 100,000 requests
            if round_number == 1:
                before, counted = rss_kib(pid), udp_counters(pid)
            os.kill(pid, signal.SIGSTOP)
            client.stdin.write("2000\n")
            client.stdin.flush()
            check(client.stdout.readline() == "sent\n", "the sender failed")
            netns.run("ip", "-n", case.topology.server_ns, "link", "set", link.server_if, "down")
            os.kill(pid, signal.SIGCONT)
            # Until every request of the round was taken.
            netns.wait_until(lambda: port_67_bound_and_idle(pid), 20)
            netns.run("ip", "-n", case.topology.server_ns, "link", "set", link.server_if, "up")
    finally:
        os.kill(pid, signal.SIGCONT)
        client.stdin.close()
        client.wait(10)
    after = udp_counters(pid)
    taken = after["InDatagrams"] - counted["InDatagrams"]
    check(taken >= 100000 and after["OutDatagrams"] == counted["OutDatagrams"],
          "%d requests taken, %d replies sent" %
          (taken, after["OutDatagrams"] - counted["OutDatagrams"]))
    grown = rss_kib(pid) - before
    check(grown < 4096, "RSS grew by %d KiB over 100,000 failed sends" % grown)


CASES = {"stalled_reader": stalled_reader, "failed_sends": failed_sends}


def main():
    if len(sys.argv) > 2 and sys.argv[1] == "--ask-in-turn":
        return ask_in_turn(int(sys.argv[2]))
    if sys.argv[1:] == ["--sender"]:
        return sender()
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True)
    parser.add_argument("case", choices=sorted(CASES))
    args = parser.parse_args()
    case, outcome = None, "failed"
    try:
        netns.require_netns()
        case = Case(os.path.abspath(args.server))
        CASES[args.case](case)
        outcome = "passed"
    except netns.Skip as reason:
        outcome = "skipped (%s)" % reason
    except Exception:
        traceback.print_exc()
        for program in case.servers if case else []:
            print("---- %s ----\n%s" % (program.output_path, program.text()[-2000:]))
    finally:
        codes = case.close() if case else []
    if outcome == "passed" and any(code not in (0, 1) for code in codes):
        outcome = "failed, a server ending with exit code(s) %r," % codes
    print(outcome, args.case)
    return {"p": 0, "s": netns.SKIP}.get(outcome[0], 1)


if __name__ == "__main__":
    sys.exit(main())
