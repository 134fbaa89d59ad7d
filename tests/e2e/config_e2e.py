#!/usr/bin/python3
"""End-to-end tests of tarnleafd reading a profiles file that is being saved or cannot be read,
in network namespaces of their own (the harness of tarnleafd_e2e.py).

    config_e2e.py --server PATH/tarnleafd CASE    (exit 0: passed, 1: failed, 77: skipped)
"""
import json
import os
import select
import socket
import subprocess
import sys
import threading
import time
from types import SimpleNamespace

import tarnleafd_e2e as e2e
from tarnleafd_e2e import MAC, check, client_section, expect, write_ini
import bootp_client
import netns

e2e.CASES.clear()  # only the cases below


def burst(iface, count, deadline):
    """In the client namespace: `count` requests one after the other, each waiting for its own
    reply and at most one a millisecond, so that they span many rewrites; prints how many came
    back as replies, as echoes, or not at all."""
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    for option, value in ((socket.SO_REUSEADDR, 1), (socket.SO_BROADCAST, 1),
                          (bootp_client.SO_BINDTODEVICE, iface.encode())):
        sock.setsockopt(socket.SOL_SOCKET, option, value)
    sock.bind(("0.0.0.0", 68))
    request = SimpleNamespace(op=1, chaddr=MAC, ciaddr="0.0.0.0", giaddr="0.0.0.0",
                              broadcast_flag=False, dhcp_type=1, size=300, xid=0)
    counts, start = {"replies": 0, "echoes": 0, "lost": 0}, time.monotonic()
    for request.xid in range(1, count + 1):
        time.sleep(max(0.0, start + request.xid / 1000.0 - time.monotonic()))
        sock.sendto(bootp_client.build_request(request), ("255.255.255.255", 67))
        wait_until, kind = min(start + deadline, time.monotonic() + 1.0), "lost"
        while kind == "lost" and select.select([sock], [], [], wait_until - time.monotonic())[0]:
            reply = bootp_client.describe(*sock.recvfrom(2048))
            if reply.get("xid") == request.xid:
                kind = "replies" if reply["op"] == 2 and reply["file"] == "whole.0" else "echoes"
        counts[kind] += 1
        if time.monotonic() >= start + deadline:
            break
    print(json.dumps(counts), flush=True)


@e2e.scenario("ini_rewritten_in_place")
def rewrite_in_place_never_shows_a_partial_file(case):
    content = client_section(MAC, "10.77.0.60", "whole.0").encode()
    write_ini(case.ini, content.decode())
    server = netns.Server(case.binary, case.topology.server_ns, case.workdir,
                          ["--config", case.ini, "--nolog"])
    case.servers.append(server)
    server.wait_listening()

    stop, rewrites = threading.Event(), [0]

    def rewrite():  # as an editor saves in place: truncate, a pause, the new text
        while not stop.is_set():
            began = time.monotonic()
            with open(case.ini, "r+b") as f:
                f.truncate(0)
                time.sleep(0.002)
                f.write(content)
            rewrites[0] += 1
            time.sleep(max(0.0, 0.01 - (time.monotonic() - began)))

    writer = threading.Thread(target=rewrite)
    writer.start()
    try:
        done = subprocess.run(
            ["ip", "netns", "exec", case.link.client_ns, e2e.PYTHON, os.path.abspath(__file__),
             "--burst", case.link.client_if], capture_output=True, text=True, timeout=120)
    finally:
        stop.set()
        writer.join()
    check(done.returncode == 0, "burst client failed: " + done.stderr)
    counts = json.loads(done.stdout)
    check(counts == {"replies": 3000, "echoes": 0, "lost": 0},
          "%r over %d rewrites" % (counts, rewrites[0]))
    check(rewrites[0] >= 100, "only %d rewrites during the requests" % rewrites[0])


@e2e.scenario("ini_folder_in_place")
def folder_in_place_is_reported_once_then_the_file_is_followed_again(case):
    server = case.serve(MAC, "10.77.0.61", "before.0")
    expect(e2e.ask(case.link, 1, stop_after=1), {"op": 2, "file": "before.0"})
    os.remove(case.ini)
    os.mkdir(case.ini)
    for xid in (2, 3, 4):
        expect(e2e.ask(case.link, xid, stop_after=1), {"op": 1})  # no file: the echo
    text = server.text()
    check(text.count("Config Read Error!") == 1 and
          "Config Read Error!\r\nfile [%s] reason [not a file (a folder?)]\r\n" % case.ini
          in text, "expected one read error entry:\n" + text[-2000:])
    os.rmdir(case.ini)
    write_ini(case.ini, client_section(MAC, "10.77.0.62", "after.0"))
    expect(e2e.ask(case.link, 5, stop_after=1), {"op": 2, "file": "after.0"})
    check(server.text().count("Config Read Error!") == 1, "the error was entered again")


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--burst":
        sys.exit(burst(sys.argv[2], 3000, 60.0))
    sys.exit(e2e.main())
