#!/usr/bin/python3
"""The Debian package, built from a given build folder, installed, tried and purged again
(exit 0: passed, 1: failed, 77: skipped: needs root, dpkg-deb, apt-get and ip netns, and no
tarnleaf package installed already).

    package_e2e.py --source REPOSITORY --build LINUX_BUILD_DIR
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import netns  # noqa: E402
from tarnleafd_e2e import MAC, Case, ask, check, client_section, expect, write_ini  # noqa: E402

APT = ["apt-get", "-o", "DPkg::Lock::Timeout=900", "-y", "-qq"]


def require_tools():
    netns.require_netns()
    for tool in ("dpkg-deb", "apt-get", "setpriv"):
        if not shutil.which(tool):
            raise netns.Skip("needs " + tool)
    if subprocess.run(["dpkg-query", "-W", "tarnleaf"], capture_output=True).returncode == 0:
        raise netns.Skip("a tarnleaf package is installed already; it is left alone")


def build_and_install(source, build, out):
    done = subprocess.run([os.path.join(source, "scripts", "package.sh"), "--linux-build", build,
                           "--out", out, "--no-lintian", "deb"],
                          capture_output=True, text=True, timeout=900)
    check(done.returncode == 0, "package.sh failed:\n" + done.stdout + done.stderr)
    debs = [name for name in os.listdir(out) if name.endswith("_amd64.deb")]
    check(len(debs) == 1, "package.sh wrote %r" % debs)
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    done = subprocess.run(APT + ["install", os.path.join(out, debs[0])], env=env,
                          capture_output=True, text=True, timeout=900)
    check(done.returncode == 0, "apt-get install failed:\n" + done.stdout + done.stderr)


def installed_package_works(workdir):
    for program in ("/usr/bin/tarnleafd", "/usr/bin/tarnleaf"):
        caps = netns.run("getcap", program, check=False).stdout
        check("cap_net_bind_service" in caps, "%s has no capability: %r" % (program, caps))
    if shutil.which("systemd-analyze"):
        done = netns.run("systemd-analyze", "verify", "tarnleafd.service", check=False,
                         timeout=60)
        check(done.returncode == 0, "systemd-analyze verify:\n" + done.stdout + done.stderr)
    # The installed server as nobody: the file capability alone lets it bind port 67.
    wrapper = os.path.join(workdir, "as-nobody")
    with open(wrapper, "w") as f:
        f.write("#!/bin/sh\nexec setpriv --reuid=65534 --regid=65534 --clear-groups "
                "/usr/bin/tarnleafd \"$@\"\n")
    os.chmod(wrapper, 0o755)
    case = Case(wrapper)
    try:
        write_ini(case.ini, client_section(MAC, "10.77.0.40", "installed.0"))
        server = case.start_server()
        check("running as nobody" in server.text(), "whom it runs as:\n" + server.text())
        expect(ask(case.link, 0x40, stop_after=1), {"file": "installed.0", "yiaddr": "10.77.0.40"})
    except Exception:
        for program in case.servers:
            print("---- %s ----\n%s" % (program.output_path, program.text()))
        raise
    finally:
        codes, outputs = case.close()
        check(all(code == 0 for code in codes),
              "the server did not end cleanly:\n" + "\n".join(outputs))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    parser.add_argument("--build", required=True)
    args = parser.parse_args()
    workdir, installed, outcome = tempfile.mkdtemp(prefix="tarnleaf-package-"), False, "failed"
    os.chmod(workdir, 0o755)
    try:
        require_tools()
        installed = True  # from here on, whatever got installed is purged again
        build_and_install(os.path.abspath(args.source), os.path.abspath(args.build), workdir)
        installed_package_works(workdir)
        outcome = "passed"
    except netns.Skip as reason:
        outcome = "skipped (%s)" % reason
    except Exception:
        traceback.print_exc()
    finally:
        if installed:
            done = subprocess.run(APT + ["purge", "tarnleaf"], capture_output=True, text=True,
                                  timeout=900)
            if done.returncode != 0 and outcome == "passed":
                outcome = "failed to purge: " + done.stderr
        shutil.rmtree(workdir, ignore_errors=True)
    print(outcome)
    return {"p": 0, "s": netns.SKIP}.get(outcome[0], 1)


if __name__ == "__main__":
    sys.exit(main())
