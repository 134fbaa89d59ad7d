#!/usr/bin/python3
"""Whole-program tests of the Windows tarnleafd.exe under Wine, beside the shared cases.

    windows_e2e.py --server WRAPPER [--linux-server PATH/tarnleafd] CASE

WRAPPER runs tarnleafd.exe under Wine (wine-run.sh). The namespaces, links and addresses
come from the shared end-to-end harness: they exist only inside namespaces this test makes.
Exit code 0: passed; 1: failed; 77: skipped.
"""
import argparse
import os
import pty
import subprocess
import sys
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
import netns  # noqa: E402
import tarnleafd_e2e as shared  # noqa: E402

RAW_EXCHANGE = r"""
import socket, sys, select, time
sys.path.insert(0, %(dir)r)
import bootp_client
class A: pass
a = A()
a.op, a.xid, a.chaddr, a.ciaddr, a.giaddr = 1, 0x5A5A0101, %(mac)r, "0.0.0.0", "0.0.0.0"
a.dhcp_type, a.broadcast_flag, a.size = 1, True, 300
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
s.setsockopt(socket.SOL_SOCKET, bootp_client.SO_BINDTODEVICE, %(iface)r.encode())
s.bind(("0.0.0.0", 68))
s.sendto(bootp_client.build_request(a), ("255.255.255.255", 67))
deadline = time.monotonic() + 5
while time.monotonic() < deadline:
    ready, _, _ = select.select([s], [], [], max(0.0, deadline - time.monotonic()))
    if not ready:
        break
    data, source = s.recvfrom(65535)
    if source[1] == 67:
        print(data.hex())
        break
"""


def raw_reply(link, mac):
    """The bytes of the one reply to a fixed DHCPDISCOVER, sent from the client side."""
    code = RAW_EXCHANGE % {"dir": os.path.dirname(HERE), "mac": mac, "iface": link.client_if}
    done = subprocess.run(["ip", "netns", "exec", link.client_ns, shared.PYTHON, "-c", code],
                          capture_output=True, text=True, timeout=30)
    shared.check(done.returncode == 0, "raw client failed: %s" % done.stderr)
    return bytes.fromhex(done.stdout.strip())


def case_answers_with_the_same_bytes_as_linux(case, linux_server):
    if not linux_server or not os.path.exists(linux_server):
        raise netns.Skip("no Linux tarnleafd to compare with")
    link = case.link
    shared.write_ini(case.ini, shared.client_section(
        shared.MAC, "10.77.0.50", "pxelinux.0", link.server_addr,
        "Gateway=10.77.0.1\r\nDomainName=example.lan\r\nHostName=pc-50\r\n"))
    replies = {}
    for name, binary in (("windows", case.binary), ("linux", linux_server)):
        server = netns.Server(binary, case.topology.server_ns, case.workdir,
                              ["--config", case.ini], name=name)
        case.servers.append(server)
        server.wait_listening()
        replies[name] = raw_reply(link, shared.MAC)
        shared.check(server.stop(__import__("signal").SIGINT) == 0,
                     "%s server did not end cleanly:\n%s" % (name, server.text()))
    shared.check(len(replies["windows"]) > 236, "no reply from tarnleafd.exe: %r" % replies)
    shared.check(replies["windows"] == replies["linux"],
                 "replies differ:\nwindows %s\nlinux   %s" %
                 (replies["windows"].hex(), replies["linux"].hex()))
    # A whole OFFER: op 2, our address as the server, option 53 = 2.
    shared.check(replies["windows"][0] == 2, "op %d" % replies["windows"][0])
    shared.check(replies["windows"][20:24] == bytes([10, 77, 0, 1]), "siaddr")


def case_console_commands_with_enter(case, _linux_server):
    """t, l and q typed at a console, each ended by Enter (a carriage return)."""
    link = case.link
    shared.write_ini(
        case.ini,
        "[TestMessage]\r\nServerIP=%s\r\nSendPort=bootps\r\nMessageType=BOOTREQUEST\r\n"
        "HardwareAddress=%s\r\nDHCPMessageType=DHCPDISCOVER\r\n" % (link.client_addr,
                                                                    shared.MAC))
    master, slave = pty.openpty()
    try:
        server = case.start_server(stdin=slave)
        ready = os.path.join(case.workdir, "ready")
        watcher = shared.exchange(link, timeout=8, stop_after=1, port=67,
                                  bind=link.client_addr, extra=["--ready-file", ready],
                                  background=True)
        deadline = time.monotonic() + 5
        while not os.path.exists(ready) and time.monotonic() < deadline:
            time.sleep(0.02)
        # Wine's console takes over the terminal a moment after start-up and drops what was
        # typed before; a command is typed again (at most three times) until it shows.
        for _ in range(3):
            os.write(master, b"t\r")
            try:
                watcher.wait(timeout=2.5)
                break
            except subprocess.TimeoutExpired:
                pass
        received = shared.collect(watcher, 8)
        shared.check(len(received) == 1, "test message: %r\n%s" % (received, server.text()))
        shared.check(received[0]["from"] == "%s:67" % link.server_addr, repr(received[0]))
        shared.check(received[0]["options"].get("53") == "01", repr(received[0]))
        os.write(master, b"l\r")
        shared.check(server.wait_for("logging off", 8), server.text())
        os.write(master, b"q\r")
        code = server.wait_exit(timeout=15)
        shared.check(code == 0, "q ended with %r" % code)
    finally:
        os.close(master)
        os.close(slave)


CASES = {
    "same_bytes": case_answers_with_the_same_bytes_as_linux,
    "console_enter": case_console_commands_with_enter,
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True)
    parser.add_argument("--linux-server")
    parser.add_argument("case", choices=sorted(CASES))
    args = parser.parse_args()
    try:
        netns.require_netns()
        case = shared.Case(os.path.abspath(args.server))
    except netns.Skip as reason:
        print("skipped:", reason)
        return netns.SKIP
    try:
        CASES[args.case](case, args.linux_server)
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
    case.close()
    print("passed:", args.case)
    return 0


if __name__ == "__main__":
    sys.exit(main())
