"""Network namespaces made by the end-to-end tests themselves (addresses in 10.77.0.0/16 exist
only inside them; names carry the PID and a random tag), and the programs run in them."""
import os
import random
import signal
import subprocess
import time
from types import SimpleNamespace

SKIP = 77  # CTest's SKIP_RETURN_CODE


class Skip(Exception):
    pass


def run(*argv, timeout=15, check=True):
    return subprocess.run(argv, timeout=timeout, check=check, capture_output=True, text=True)


def wait_until(probe, timeout):
    """Calls probe() until it gives something true or `timeout` seconds pass; its last value."""
    deadline = time.monotonic() + timeout
    while not (value := probe()) and time.monotonic() < deadline:
        time.sleep(0.05)
    return value


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def require_netns():
    if os.geteuid() != 0:
        raise Skip("needs root for network namespaces")
    try:
        run("ip", "netns", "list", timeout=5)
    except (OSError, subprocess.SubprocessError) as error:
        raise Skip("ip netns is unavailable: %s" % error)


class Topology:
    """A server namespace joined to `links` client namespaces by a veth pair each. Link i is
    10.77.i.0/24, the server .1, the client .2 with hardware address 02:00:00:77:0i:02."""

    def __init__(self, links=1):
        tag = "%d%04x" % (os.getpid() % 100000, random.getrandbits(16))
        self.server_ns, self.namespaces, self.links = "tlS" + tag, [], []
        try:
            self._add_namespace(self.server_ns)
            for i in range(links):
                link = SimpleNamespace(
                    client_ns="tlC%d%s" % (i, tag), client_if="tlc%d%s" % (i, tag[-6:]),
                    server_if="tls%d%s" % (i, tag[-6:]), server_addr="10.77.%d.1" % i,
                    client_addr="10.77.%d.2" % i)
                self._add_namespace(link.client_ns)
                run("ip", "link", "add", link.server_if, "netns", self.server_ns, "type", "veth",
                    "peer", "name", link.client_if, "address", "02:00:00:77:%02x:02" % i,
                    "netns", link.client_ns)
                for ns, device, address in ((self.server_ns, link.server_if, link.server_addr),
                                            (link.client_ns, link.client_if, link.client_addr)):
                    run("ip", "-n", ns, "addr", "add", address + "/24", "dev", device)
                    run("ip", "-n", ns, "link", "set", device, "up")
                self.links.append(link)
        except BaseException:
            self.close()
            raise

    def _add_namespace(self, name):
        try:
            run("ip", "netns", "add", name)
        except subprocess.CalledProcessError as error:
            raise Skip("cannot create a network namespace: %s" % error.stderr.strip())
        self.namespaces.append(name)
        run("ip", "-n", name, "link", "set", "lo", "up")

    def close(self):
        for name in reversed(self.namespaces):
            run("ip", "netns", "delete", name, check=False)
        self.namespaces = []


class Server:
    """One program started in a namespace, its output going to a file in `workdir`."""

    def __init__(self, binary, namespace, workdir, args, stdin=None, name="tarnleafd"):
        self.name, self.output_path = name, os.path.join(workdir, name + ".out")
        with open(self.output_path, "wb") as output:
            # `ip netns exec` executes the program in place: the PID is the program's own.
            self.process = subprocess.Popen(
                ["ip", "netns", "exec", namespace, binary, *args], stdout=output,
                stdin=subprocess.DEVNULL if stdin is None else stdin, stderr=subprocess.STDOUT)

    def text(self):
        with open(self.output_path, "rb") as f:
            return f.read().decode("latin-1")

    def wait_for(self, needle, timeout=10.0):
        wait_until(lambda: needle in self.text() or self.process.poll() is not None, timeout)
        return needle in self.text()

    def wait_listening(self):
        if not self.wait_for("listening on"):
            raise AssertionError("tarnleafd did not start:\n" + self.text())

    def wait_exit(self, timeout=10.0):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self, sig=signal.SIGTERM, timeout=30.0):
        """Ends the program with `sig` (killed if it lingers: Wine takes a while to end its
        wineserver and remove its prefix); returns its exit code."""
        if self.process.poll() is None:
            self.process.send_signal(sig)
        if self.wait_exit(timeout) is None:
            self.process.kill()
            self.process.wait(timeout=timeout)
        return self.process.returncode
