#!/usr/bin/python3
"""Whole-program tests of tarnleafd.exe under Wine beside the shared cases:
    windows_e2e.py --server WRAPPER CASE
WRAPPER runs tarnleafd.exe under Wine (wine-run.sh); TARNLEAF_LINUX_TARNLEAFD names the Linux
tarnleafd whose replies it must match. Namespaces, links and addresses come from the shared
harness and exist only inside namespaces it makes. Exit code 0: passed; 1: failed; 77: skipped.
"""
import os
import pty
import signal
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
import netns  # noqa: E402
import tarnleafd_e2e as shared  # noqa: E402

# One fixed broadcast DHCPDISCOVER from port 68; prints the first reply from port 67 in hex.
RAW_EXCHANGE = r"""
import select, socket, sys, types
sys.path.insert(0, %(dir)r)
import bootp_client
request = bootp_client.build_request(types.SimpleNamespace(
    op=1, xid=0x5A5A0101, chaddr=%(mac)r, ciaddr="0.0.0.0", giaddr="0.0.0.0", dhcp_type=1,
    broadcast_flag=True, size=300))
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
s.setsockopt(socket.SOL_SOCKET, bootp_client.SO_BINDTODEVICE, %(iface)r.encode())
s.bind(("0.0.0.0", 68))
s.sendto(request, ("255.255.255.255", 67))
for _ in range(20):
    if not select.select([s], [], [], 0.25)[0]:
        continue
    data, source = s.recvfrom(65535)
    if source[1] == 67:
        print(data.hex())
        break
"""


def raw_reply(link, mac):
    code = RAW_EXCHANGE % {"dir": os.path.dirname(HERE), "mac": mac, "iface": link.client_if}
    done = subprocess.run(["ip", "netns", "exec", link.client_ns, shared.PYTHON, "-c", code],
                          capture_output=True, text=True, timeout=30)
    shared.check(done.returncode == 0, "raw client failed: %s" % done.stderr)
    return bytes.fromhex(done.stdout.strip())


@shared.scenario("same_bytes")
def answers_with_the_same_bytes_as_linux(case):
    linux_server = os.environ.get("TARNLEAF_LINUX_TARNLEAFD")
    if not linux_server or not os.path.exists(linux_server):
        raise netns.Skip("no Linux tarnleafd to compare with")
    shared.write_ini(case.ini, shared.client_section(
        shared.MAC, "10.77.0.50", "pxelinux.0", case.link.server_addr,
        "Gateway=10.77.0.1\r\nDomainName=example.lan\r\nHostName=pc-50\r\n"))
    replies = {}
    for name, binary in (("windows", case.binary), ("linux", linux_server)):
        server = netns.Server(binary, case.topology.server_ns, case.workdir,
                              ["--config", case.ini], name=name)
        case.servers.append(server)
        server.wait_listening()
        replies[name] = raw_reply(case.link, shared.MAC)
        shared.check(server.stop(signal.SIGINT) == 0,
                     "%s server did not end cleanly:\n%s" % (name, server.text()))
    windows, linux = replies["windows"], replies["linux"]
    shared.check(len(windows) > 236, "no reply from tarnleafd.exe: %r" % replies)
    shared.check(windows == linux, "replies differ:\nwindows %s\nlinux   %s" %
                 (windows.hex(), linux.hex()))
    # A whole OFFER from our address.
    shared.check(windows[0] == 2 and windows[20:24] == bytes([10, 77, 0, 1]), windows.hex())


@shared.scenario("console_enter")
def console_commands_with_enter(case):
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
        watcher = shared.listen(case, link, timeout=8, stop_after=1, port=67,
                                bind=link.client_addr)
        # Wine's console takes over the terminal a moment after start-up and drops what was
        # typed before; the command is typed again (at most three times) until it shows.
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


if __name__ == "__main__":
    sys.exit(shared.main())
