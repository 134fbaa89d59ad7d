#!/usr/bin/python3
"""tarnleafd started as root holds neither a root id nor a capability once it listens, and
still answers and follows edits of its file; when it cannot drop them, it does not serve
(exit 0: passed, 1: failed, 77: skipped).

    privilege_drop_e2e.py --server PATH/tarnleafd
"""
import argparse
import os
import sys
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import netns  # noqa: E402
from tarnleafd_e2e import MAC, Case, ask, check, client_section, expect, write_ini  # noqa: E402


def status(pid):
    """The id and capability lines of /proc/PID/status, by name."""
    with open("/proc/%d/status" % pid) as f:
        fields = dict(line.rstrip("\n").split(":\t", 1) for line in f if ":\t" in line)
    return {k: fields[k].split() for k in ("Uid", "Gid", "Groups", "CapEff", "CapPrm", "CapAmb")}


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


def failed_drop_ends_the_server(case):
    done = netns.run("ip", "netns", "exec", case.topology.server_ns, case.binary, "--config",
                     case.ini, "--port", "0", "--user", "no-such-user-here", check=False)
    check(done.returncode == 1 and "cannot drop privileges: no such user" in done.stderr and
          "listening on" not in done.stdout, "exit %r:\n%s" % (done.returncode, done.stderr))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True)
    args = parser.parse_args()
    os.environ.pop("SUDO_UID", None)  # the default user is then nobody
    case, outcome = None, "failed"
    try:
        netns.require_netns()
        case = Case(os.path.abspath(args.server))
        dropped_server_answers_and_follows_edits(case)
        failed_drop_ends_the_server(case)
        outcome = "passed"
    except netns.Skip as reason:
        outcome = "skipped (%s)" % reason
    except Exception:
        traceback.print_exc()
        for server in case.servers if case else []:
            print("---- %s ----\n%s" % (server.output_path, server.text()))
    finally:
        codes = case.close() if case else []
    if outcome == "passed" and any(code != 0 for code in codes):
        outcome = "failed, the server ending with exit code(s) %r," % codes
    print(outcome)
    return {"p": 0, "s": netns.SKIP}.get(outcome[0], 1)


if __name__ == "__main__":
    sys.exit(main())
