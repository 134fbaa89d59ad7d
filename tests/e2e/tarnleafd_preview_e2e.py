#!/usr/bin/python3
"""tarnleafd --preview against a running server: for the smallest request from a hardware
address, the dump that --preview prints equals the dump of the reply the server logs.

    tarnleafd_preview_e2e.py --server PATH/tarnleafd preview   (exit 0 passed, 1 failed, 77 skipped)
"""
import subprocess
import sys

import tarnleafd_e2e as e2e
from tarnleafd_e2e import netns

UNKNOWN_MAC = "02-00-00-77-FF-FE"
# Each request as --type names it, with its option 53 (none for plain BOOTP).
REQUESTS = ((e2e.MAC, "discover", 1), (e2e.MAC, "request", 3), (e2e.MAC, "inform", 8),
            (e2e.MAC, "bootp", None), (UNKNOWN_MAC, "discover", 1))


def logged_dumps(log):
    """The dumps of the log's message entries, in order (requests and replies alternate)."""
    dumps = []
    for entry in log.split("\r\n\r\n"):
        start = entry.find("size [")
        if start >= 0:
            dumps.append(entry[entry.index("\r\n", start) + 2:].rstrip("\r\n") + "\r\n")
    return dumps


@e2e.scenario("preview")
def preview_equals_the_logged_reply(case):
    server = case.serve(e2e.MAC, "10.77.0.60", "/tftpboot/preview.img",
                        extra="DomainName=preview.lan\r\nIP-forward=on\r\n")
    for number, (mac, kind, dhcp_type) in enumerate(REQUESTS, 1):
        # xid 0 and no flags: the very request --preview answers.
        e2e.ask(case.link, 0, dhcp_type=dhcp_type, mac=mac, stop_after=1)
        e2e.check(netns.wait_until(lambda: len(logged_dumps(server.text())) >= 2 * number, 5),
                  "no reply entry in the log for %s %s" % (mac, kind))
        logged = logged_dumps(server.text())[2 * number - 1]
        preview = subprocess.run([case.binary, "--preview", mac, "--type", kind, "--from",
                                  e2e.SERVER, "--config", case.ini],
                                 capture_output=True, timeout=20)
        shown = preview.stdout.decode("latin-1")
        e2e.check(preview.returncode == 0 and shown == logged, "%s %s: --preview printed\n%s\n"
                  "the server logged\n%s" % (mac, kind, shown, logged))


if __name__ == "__main__":
    sys.exit(e2e.main())
