"""The whole-program tests' harness: network namespaces each test makes for itself (10.77.0.0/16
exists only inside them), the programs run in them, the client tool, and the entry point
`SCRIPT --server PROGRAM [--screenshots DIR] CASE` (exit 0: passed, 1: failed, 77: skipped)."""
import argparse, json, os, pathlib, random, shutil, signal  # noqa: E401
import subprocess, tempfile, time, traceback  # noqa: E401
from types import SimpleNamespace

HERE = os.path.dirname(os.path.abspath(__file__))
SKIP, PYTHON = 77, "/usr/bin/python3"  # CTest's SKIP_RETURN_CODE; the client tool's Python
MAC, SERVER, CLIENT = "02-00-00-77-00-02", "10.77.0.1", "10.77.0.2"  # link 0's client, its ends
BROADCAST = "255.255.255.255:67"
CASES = {}  # name: (the test, its number of links)


Skip = type("Skip", (Exception,), {})


def run(*argv, timeout=15, check=True, cwd=None):
    return subprocess.run(argv, timeout=timeout, check=check, capture_output=True, text=True,
                          cwd=cwd)


def wait_until(probe, timeout):
    deadline = time.monotonic() + timeout
    while not (value := probe()) and time.monotonic() < deadline:
        time.sleep(0.05)
    return value


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def scenario(name, *args, links=1):
    def register(function):
        CASES[name] = (lambda c: function(c, *args), links)
        return function
    return register


def client_section(mac, host_ip, boot_file, server_id=SERVER, extra=""):
    return ("[%s]\r\nBootFile=%s\r\nHostIP=%s\r\nSubnetMask=255.255.255.0\r\nServerIdentifier=%s"
            "\r\nIPAddressLeaseTime=3600\r\n%s" % (mac, boot_file, host_ip, server_id, extra))


def write_ini(path, text):
    pathlib.Path(path).write_text(text, newline="")


class Topology:
    """A server namespace joined to `links` client namespaces by a veth pair each: link i is
    10.77.i.0/24, the server .1, the client .2 at 02:00:00:77:0i:02. Names carry PID and tag."""

    def __init__(self, links=1):
        tag = "%d%04x" % (os.getpid() % 100000, random.getrandbits(16))
        self.server_ns, self.namespaces = "tlS" + tag, []
        self.links = [SimpleNamespace(
            client_ns="tlC%d%s" % (i, tag), client_if="tlc%d%s" % (i, tag[-6:]),
            server_if="tls%d%s" % (i, tag[-6:]), server_addr="10.77.%d.1" % i,
            client_addr="10.77.%d.2" % i) for i in range(links)]
        try:
            for name in [self.server_ns] + [link.client_ns for link in self.links]:
                if (added := run("ip", "netns", "add", name, check=False)).returncode != 0:
                    raise Skip("cannot create a network namespace: %s" % added.stderr.strip())
                self.namespaces.append(name)
                run("ip", "-n", name, "link", "set", "lo", "up")
            for i, link in enumerate(self.links):
                run("ip", "link", "add", link.server_if, "netns", self.server_ns, "type", "veth",
                    "peer", "name", link.client_if, "address", "02:00:00:77:%02x:02" % i,
                    "netns", link.client_ns)
                for ns, device, address in ((self.server_ns, link.server_if, link.server_addr),
                                            (link.client_ns, link.client_if, link.client_addr)):
                    run("ip", "-n", ns, "addr", "add", address + "/24", "dev", device)
                    run("ip", "-n", ns, "link", "set", device, "up")
        except BaseException:
            self.close()
            raise

    def close(self):
        for name in reversed(self.namespaces):
            run("ip", "netns", "delete", name, check=False)
        self.namespaces = []


class Server:
    """One program started in a namespace, its output going to a file in `workdir`."""

    def __init__(self, binary, namespace, workdir, args, stdin=None, name="tarnleafd", env=None):
        self.name, self.output_path = name, os.path.join(workdir, name + ".out")
        with open(self.output_path, "wb") as output:
            # `ip netns exec` executes the program in place: the PID is the program's own.
            self.process = subprocess.Popen(
                ["ip", "netns", "exec", namespace, binary, *args], stdout=output, env=env,
                stdin=subprocess.DEVNULL if stdin is None else stdin, stderr=subprocess.STDOUT)

    def text(self):
        with open(self.output_path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def wait_for(self, needle, timeout=10.0):
        wait_until(lambda: needle in self.text() or self.process.poll() is not None, timeout)
        return needle in self.text()

    def wait_listening(self):
        check(self.wait_for("listening on"), "tarnleafd did not start:\n" + self.text())
        return self

    def wait_exit(self, timeout=10.0):  # its exit code, or None if it still runs
        ended = wait_until(lambda: self.process.poll() is not None, timeout)
        return self.process.poll() if ended else None

    def stop(self, sig=signal.SIGTERM, timeout=30.0):
        """Ends it with `sig` (killed if it lingers: Wine is slow to end); its exit code."""
        if self.process.poll() is None:
            self.process.send_signal(sig)
        if self.wait_exit(timeout) is None:
            self.process.kill()
            self.process.wait(timeout=timeout)
        return self.process.returncode


def exchange(link, timeout=3.0, to=None, port=68, bind="0.0.0.0", extra=(), background=False,
             stop_after=0):
    """bootp_client.py in the link's client namespace: what it saw, or it if `background`."""
    process = subprocess.Popen(
        ["ip", "netns", "exec", link.client_ns, PYTHON, os.path.join(HERE, "bootp_client.py"),
         "--iface", link.client_if, "--port", str(port), "--bind", bind, "--timeout",
         str(timeout), "--stop-after", str(stop_after), *(["--to", to] if to else []), *extra],
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    return process if background else collect(process, timeout)


def collect(process, timeout):
    try:
        out, err = process.communicate(timeout=timeout + 20)
    finally:
        process.kill()  # no-op once it ended
    check(process.returncode == 0, "client tool failed: %s" % err)
    return [json.loads(line) for line in out.splitlines() if line.strip()]


def listen(case, link, **kwargs):
    ready = os.path.join(case.workdir, "ready-" + link.client_if)
    watcher = exchange(link, extra=["--ready-file", ready], background=True, **kwargs)
    wait_until(lambda: os.path.exists(ready), 5)
    return watcher


def ask(link, xid, dhcp_type=1, mac=MAC, extra=(), to=BROADCAST, **kwargs):
    """The one reply to a request with `xid` sent from the client side of `link`."""
    kind = [] if dhcp_type is None else ["--dhcp-type", str(dhcp_type)]
    replies = exchange(link, to=to, extra=["--chaddr", mac, "--xid", hex(xid), *kind, *extra],
                       **kwargs)
    mine = [r for r in replies if r.get("xid") == xid]
    check(len(mine) == 1, "expected one reply to %#x, got %r" % (xid, replies))
    return mine[0]


def expect(reply, fields):
    """Checks header fields by name and, under "options", options by code (None: absent)."""
    wrong = {k: reply.get(k) for k, v in fields.items() if k != "options" and reply.get(k) != v}
    wrong.update({c: reply["options"].get(c) for c, v in fields.get("options", {}).items()
                  if reply["options"].get(c) != v})
    check(not wrong, "unexpected %r in the reply %r" % (wrong, reply))


class Case:
    """One test: namespaces, a folder with an empty Tarnleaf.ini, its servers and children."""

    def __init__(self, binary, links=1):
        self.topology = Topology(links)
        self.link, self.binary, self.servers, self.children = self.topology.links[0], binary, [], []
        self.workdir = pathlib.Path(tempfile.mkdtemp(prefix="tarnleaf-e2e-"))
        self.workdir.chmod(0o755)  # the server reads Tarnleaf.ini as nobody once bound
        self.ini = str(self.workdir / "Tarnleaf.ini")
        write_ini(self.ini, "")

    def start(self, argv, name, ns=None, env=None, stdin=None):
        child = Server(argv[0], ns or self.topology.server_ns, self.workdir, argv[1:], stdin,
                       name, env)
        self.children.append(child)
        return child

    def start_server(self, stdin=None, name="tarnleafd", wait=True, args=()):
        self.servers.append(Server(self.binary, self.topology.server_ns, self.workdir,
                                   ["--config", self.ini, *args], stdin=stdin, name=name))
        return self.servers[-1].wait_listening() if wait else self.servers[-1]

    def serve(self, *profile, **extra):
        write_ini(self.ini, client_section(*profile, **extra))
        return self.start_server()

    def close(self, keep=None):
        """Stops what runs; the servers' exit codes, all outputs; screenshots copied to `keep`."""
        for program in [*reversed(self.children), *self.servers]:  # each, whatever the others do
            try:
                program.stop(timeout=10)
            except Exception:  # noqa: BLE001 (reported, and the rest still stopped)
                traceback.print_exc()
        codes = [server.stop() for server in self.servers]
        outputs = ["---- %s ----\n%s" % (p.name, p.text()) for p in self.servers + self.children]
        self.topology.close()
        for png in self.workdir.glob("*.png") if keep else ():
            os.makedirs(keep, exist_ok=True)
            shutil.copy(png, keep)
        shutil.rmtree(self.workdir, ignore_errors=True)
        return codes, outputs


def main(make_case=Case, tools=()):
    """Runs a case of CASES (`tools`: programs it needs); a failure shows every output."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True)
    parser.add_argument("--screenshots")
    parser.add_argument("case", choices=sorted(CASES))
    args = parser.parse_args()
    function, links = CASES[args.case]
    case, outcome, codes, outputs = None, "failed", [], []
    try:
        if os.geteuid() != 0 or not all(map(shutil.which, tools)):
            raise Skip("needs root (network namespaces) and " + ", ".join(tools or ["ip"]))
        case = make_case(os.path.abspath(args.server), links)
        function(case)
        outcome = "passed"
    except Skip as reason:
        outcome = "skipped (%s)" % reason
    except Exception:
        traceback.print_exc()
    finally:
        if case:
            codes, outputs = case.close(args.screenshots)
    if outcome == "passed" and any(code not in (0, 1) for code in codes):
        outcome = "failed, a server ending with exit code(s) %r," % codes
    if outcome.startswith("failed"):
        print("\n".join(outputs))
    print(outcome, args.case)
    return {"p": 0, "s": SKIP}.get(outcome[0], 1)
