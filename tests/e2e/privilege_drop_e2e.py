#!/usr/bin/python3
"""tarnleafd started as root holds neither a root id nor a capability once it listens, and
still answers and follows edits of its file; when it cannot drop them, it does not serve.

    privilege_drop_e2e.py --server PATH/tarnleafd CASE    (exit 0: passed, 1: failed, 77: skipped)
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import netns  # noqa: E402
from tarnleafd_e2e import (MAC, ask, check, client_section, expect, main, scenario,  # noqa: E402
                           write_ini)

os.environ.pop("SUDO_UID", None)  # the default user is then nobody


def status(pid):
    """The id and capability fields of /proc/PID/status, by name."""
    with open("/proc/%d/status" % pid) as f:
        fields = dict(line.rstrip("\n").split(":\t", 1) for line in f if ":\t" in line)
    return {k: fields[k].split() for k in ("Uid", "Gid", "Groups", "CapEff", "CapPrm", "CapAmb")}


@scenario("dropped")
def dropped_server_answers_and_follows_edits(case):
    server = case.serve(MAC, "10.77.0.60", "before.0")
    held = status(server.process.pid)
    check("0" not in held["Uid"] + held["Gid"] + held["Groups"], "a root id is left: %r" % held)
    check(all(int(held[k][0], 16) == 0 for k in ("CapEff", "CapPrm", "CapAmb")),
          "capabilities are left: %r" % held)
    check("running as nobody" in server.text(), "no note of whom it runs as:\n" + server.text())
    expect(ask(case.link, 1, stop_after=1), {"file": "before.0", "yiaddr": "10.77.0.60"})
    write_ini(case.ini, client_section(MAC, "10.77.0.61", "after-edit.0"))
    expect(ask(case.link, 2, stop_after=1), {"file": "after-edit.0", "yiaddr": "10.77.0.61"})


@scenario("failed_drop")
def failed_drop_ends_the_server(case):
    done = netns.run("ip", "netns", "exec", case.topology.server_ns, case.binary, "--config",
                     case.ini, "--port", "0", "--user", "no-such-user-here", check=False)
    check(done.returncode == 1 and "cannot drop privileges: no such user" in done.stderr and
          "listening on" not in done.stdout, "exit %r:\n%s" % (done.returncode, done.stderr))


if __name__ == "__main__":
    sys.exit(main())
