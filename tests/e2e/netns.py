"""Network namespaces for the end-to-end tests, and the tarnleafd processes run in them.

Every namespace, link and address here is created by the test itself: a server namespace
joined by veth pairs to one or more client namespaces, with addresses from 10.77.0.0/16 that
exist only inside those namespaces. Names carry the process id and a random tag, so parallel
runs do not meet. Everything is removed again on close (deleting a namespace removes its
links), and only processes started here are stopped, by their own PIDs.
"""
import os
import random
import signal
import subprocess
import time

SKIP = 77  # CTest's SKIP_RETURN_CODE


class Skip(Exception):
    pass


def run(*argv, timeout=15, check=True, **kwargs):
    return subprocess.run(list(argv), timeout=timeout, check=check, capture_output=True,
                          text=True, **kwargs)


def require_netns():
    if os.geteuid() != 0:
        raise Skip("needs root for network namespaces")
    try:
        run("ip", "netns", "list", timeout=5)
    except (OSError, subprocess.SubprocessError) as error:
        raise Skip("ip netns is unavailable: %s" % error)


class Link:
    def __init__(self, client_ns, client_if, server_if, server_addr, client_addr, prefix):
        self.client_ns = client_ns
        self.client_if = client_if
        self.server_if = server_if
        self.server_addr = server_addr
        self.client_addr = client_addr
        self.prefix = prefix


class Topology:
    """A server namespace and `links` client namespaces, one veth pair each.

    Link i uses 10.77.i.0/24: the server side is .1, the client side .2 (unless
    `client_addresses` is false, for clients that configure themselves by DHCP).
    """

    def __init__(self, links=1, client_addresses=True):
        self.tag = "%d%04x" % (os.getpid() % 100000, random.getrandbits(16))
        self.server_ns = "tlS" + self.tag
        self.namespaces = []
        self.links = []
        try:
            self._add_namespace(self.server_ns)
            run("ip", "-n", self.server_ns, "link", "set", "lo", "up")
            for i in range(links):
                self._add_link(i, client_addresses)
        except Exception:
            self.close()
            raise

    def _add_namespace(self, name):
        try:
            run("ip", "netns", "add", name)
        except subprocess.CalledProcessError as error:
            raise Skip("cannot create a network namespace: %s" % error.stderr.strip())
        self.namespaces.append(name)

    def _add_link(self, i, client_address):
        client_ns = "tlC%d%s" % (i, self.tag)
        self._add_namespace(client_ns)
        server_if, client_if = "tls%d%s" % (i, self.tag[-6:]), "tlc%d%s" % (i, self.tag[-6:])
        run("ip", "link", "add", server_if, "netns", self.server_ns, "type", "veth",
            "peer", "name", client_if, "netns", client_ns)
        server_addr, client_addr = "10.77.%d.1" % i, "10.77.%d.2" % i
        run("ip", "-n", self.server_ns, "addr", "add", server_addr + "/24", "dev", server_if)
        run("ip", "-n", self.server_ns, "link", "set", server_if, "up")
        run("ip", "-n", client_ns, "link", "set", "lo", "up")
        if client_address:
            run("ip", "-n", client_ns, "addr", "add", client_addr + "/24", "dev", client_if)
        run("ip", "-n", client_ns, "link", "set", client_if, "up")
        self.links.append(Link(client_ns, client_if, server_if, server_addr, client_addr, 24))

    def close(self):
        for name in reversed(self.namespaces):
            run("ip", "netns", "delete", name, check=False)
        self.namespaces = []

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class Server:
    """One tarnleafd started in a namespace; output goes to a file in `workdir`."""

    def __init__(self, binary, namespace, workdir, args, stdin=None, name="tarnleafd"):
        self.output_path = os.path.join(workdir, name + ".out")
        self.output = open(self.output_path, "wb")
        # `ip netns exec` enters the namespace and then executes the program in place, so
        # the PID below is the server's own.
        self.process = subprocess.Popen(
            ["ip", "netns", "exec", namespace, binary] + list(args),
            stdin=stdin if stdin is not None else subprocess.DEVNULL,
            stdout=self.output, stderr=subprocess.STDOUT)

    def text(self):
        with open(self.output_path, "rb") as f:
            return f.read().decode("latin-1")

    def wait_for(self, needle, timeout=10.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if needle in self.text():
                return True
            if self.process.poll() is not None:
                return needle in self.text()
            time.sleep(0.05)
        return False

    def wait_listening(self):
        if not self.wait_for("listening on"):
            raise AssertionError("tarnleafd did not start:\n" + self.text())

    def running(self):
        return self.process.poll() is None

    def stop(self, sig=signal.SIGTERM, timeout=10.0):
        """Ends the server with `sig`; returns its exit code (killed if it does not end)."""
        if self.process.poll() is None:
            self.process.send_signal(sig)
            try:
                self.process.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(timeout=timeout)
        self.output.close()
        return self.process.returncode

    def wait_exit(self, timeout=10.0):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None
