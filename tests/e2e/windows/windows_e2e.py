#!/usr/bin/python3
"""Whole-program tests of tarnleafd.exe under Wine beside the shared cases:
    windows_e2e.py --server WRAPPER CASE
WRAPPER runs tarnleafd.exe under Wine (wine-run.sh); TARNLEAF_LINUX_TARNLEAFD names the Linux
tarnleafd whose replies it must match. Namespaces, links and addresses come from the shared
harness and exist only inside namespaces it makes. Exit code 0: passed; 1: failed; 77: skipped.
"""
import os
import signal
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
import netns  # noqa: E402
import tarnleafd_e2e as shared  # noqa: E402


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
        reply = shared.ask(case.link, 0x5A5A0101, stop_after=1, extra=["--broadcast-flag"])
        replies[name] = bytes.fromhex(reply["hex"])
        shared.check(server.stop(signal.SIGINT) == 0,
                     "%s server did not end cleanly:\n%s" % (name, server.text()))
    windows, linux = replies["windows"], replies["linux"]
    shared.check(len(windows) > 236, "no reply from tarnleafd.exe: %r" % replies)
    shared.check(windows == linux, "replies differ:\nwindows %s\nlinux   %s" %
                 (windows.hex(), linux.hex()))
    # A whole OFFER from our address.
    shared.check(windows[0] == 2 and windows[20:24] == bytes([10, 77, 0, 1]), windows.hex())


if __name__ == "__main__":
    sys.exit(shared.main())
