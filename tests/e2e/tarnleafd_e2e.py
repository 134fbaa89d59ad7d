#!/usr/bin/python3
"""Whole-program tests of tarnleafd (and, through wine-run.sh, tarnleafd.exe) against real
clients, each case in network namespaces of its own (netns.py: usage and harness)."""
import os, pathlib, pty, shutil, signal, socket, subprocess, sys, threading, time  # noqa: E401

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import netns  # noqa: E402
from netns import *  # noqa: E402,F403,F405 (the harness: helpers and names)

# Option 53 right after the cookie in a reply's dump: an offer and an acknowledgement.
OFFER_DUMP, ACK_DUMP = "63 82 53 63 35 01 02", "63 82 53 63 35 01 05"
os.environ.pop("SUDO_UID", None)  # the default user to drop to is then nobody


@scenario("udhcpc", "udhcpc")
@scenario("dhclient", "dhclient")
def dhcp_client_gets_the_profile_address(case, client):
    link, w = case.link, case.workdir  # the client's address is to come by DHCP alone
    netns.run("ip", "-n", link.client_ns, "addr", "flush", "dev", link.client_if)
    server = case.serve(MAC, "10.77.0.50", "pxelinux.0", extra="Gateway=10.77.0.1\r\n")
    # udhcpc names the event in $1 and the lease in $ip/$mask; dhclient in $reason and $new_*.
    write_ini(w / "script", '#!/bin/sh\ncase "$1$reason" in bound|BOUND|RENEW|REBOOT)\n  ip addr '
              'add "$ip$new_ip_address/$mask$new_subnet_mask" dev "$interface";; esac\n')
    (w / "script").chmod(0o755)
    write_ini(w / "dhclient.conf", "timeout 20;\nretry 1;\ninitial-interval 1;\n")
    script, iface = str(w / "script"), link.client_if
    argv = {"udhcpc": ["busybox", "udhcpc", "-f", "-n", "-q", "-t", "3", "-T", "1", "-s", script,
                       "-i", iface],
            "dhclient": ["dhclient", "-4", "-d", "-1", "-cf", str(w / "dhclient.conf"), "-sf",
                         script, "-pf", str(w / "pid"), "-lf", str(w / "leases"), iface]}[client]
    child = case.start(argv, client, ns=link.client_ns)
    bound = lambda: "10.77.0.50/24" in netns.run("ip", "-n", link.client_ns, "addr").stdout  # noqa
    netns.wait_until(lambda: bound() or child.process.poll() is not None, 30)
    check(bound(), "%s configured no address:\n%s" % (client, child.text()))
    # The reply's dump is written just after the send, so it may trail the client a bit.
    check(server.wait_for(ACK_DUMP, 5) and OFFER_DUMP in server.text(), "no offer and ack")


@scenario("dhcping")
def dhcping_inform_gets_an_ack(case):
    server = case.serve("02-00-00-77-00-0C", CLIENT, "inform.0")
    done = netns.run("ip", "netns", "exec", case.link.client_ns, "dhcping", "-i", "-c", CLIENT,
                     "-s", SERVER, "-h", "02:00:00:77:00:0c", "-t", "5", timeout=30, check=False)
    check("Got answer from: " + SERVER in done.stdout and done.returncode == 0,
          "dhcping: " + done.stdout + done.stderr)
    check(server.wait_for(ACK_DUMP, 5) and "size [247]" in server.text(),
          "no DHCPACK to the 247-byte INFORM in the log")


@scenario("answers")
def one_server_meets_every_kind_of_request(case):
    """An empty datagram, BOOTP, a relay, an unknown client, an edit, then SIGINT: one server."""
    link = case.link
    server = case.serve(MAC, "10.77.0.70", "/tftpboot/first.img")
    check(exchange(link, 1.0, BROADCAST, extra=["--raw-size", "0"]) == [] and
          "Ignored: shorter than a BOOTP message" in server.text(), "an empty datagram")
    expect(ask(link, 1, dhcp_type=None, stop_after=1),  # plain BOOTP gets no message type
           {"op": 2, "yiaddr": "10.77.0.70", "file": "/tftpboot/first.img",
            "options": {"53": None}})
    # Bound to the relay's unicast address: a broadcast would not reach it.
    expect(ask(link, 2, to=SERVER + ":67", port=67, bind=CLIENT, extra=["--giaddr", CLIENT]),
           {"from": SERVER + ":67", "giaddr": CLIENT, "options": {"53": "02"}})
    # An unknown client gets its own request back, with the server's address and name.
    expect(ask(link, 3, mac="02-00-00-77-FF-FF", stop_after=1),
           {"op": 1, "siaddr": SERVER, "sname": socket.gethostname()[:63], "yiaddr": "0.0.0.0"})
    write_ini(case.ini, client_section(MAC, "10.77.0.91", "second-after-edit.0"))
    expect(ask(link, 4, dhcp_type=3, stop_after=1),  # a DHCPREQUEST gets a DHCPACK
           {"file": "second-after-edit.0", "options": {"53": "05"}})
    check(server.stop(signal.SIGINT) == 0, "SIGINT did not end the server cleanly")


@scenario("two_links", links=2)
def two_links_each_answered_with_own_address_on_own_link(case):
    a, b = case.topology.links
    case.serve("02-00-00-77-0A-02", "10.77.0.20", "a.0",
               extra=client_section("02-00-00-77-0B-02", "10.77.1.20", "b.0", b.server_addr))
    for this, other, xid, ip in ((a, b, 0xA, "10.77.0.20"), (b, a, 0xB, "10.77.1.20")):
        watcher = listen(case, other, timeout=2.5)
        expect(ask(this, xid, mac="02-00-00-77-0%X-02" % xid, stop_after=1),
               {"from": this.server_addr + ":67", "siaddr": this.server_addr, "yiaddr": ip})
        strays = [r for r in collect(watcher, 2.5) if r.get("xid") == xid]
        check(not strays, "the reply also went out on the other link: %r" % strays)


@scenario("port_in_use")
def port_in_use_ends_with_exit_code_1_and_advice(case):
    first, second = case.start_server(), case.start_server(name="second", wait=False)
    check(second.wait_exit() == 1 and "in use by another program (another DHCP server?)" in
          second.text() and "67" in second.text(), "the second server did not end so")
    check(first.process.poll() is None, "the first server ended")


@scenario("not_permitted")
def no_port_or_no_such_user_ends_with_exit_code_1_and_advice(case):
    """As nobody (a fresh namespace keeps ports below 1024 privileged whatever the host says),
    then as root told to drop privileges to a user that does not exist."""
    for argv, advice in ((["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                           case.binary], ("Not permitted", "sudo setcap cap_net_bind_service=+ep")),
                         ([case.binary, "--user", "no-such-user-here"],
                          ("cannot drop privileges: no such user",))):
        done = netns.run("ip", "netns", "exec", case.topology.server_ns, *argv, "--config",
                         case.ini, timeout=20, check=False)
        text = done.stdout + done.stderr
        if "setpriv" in argv and "cannot listen" not in text:
            raise Skip("the program cannot be run as an unprivileged user here: " + text)
        check(done.returncode == 1 and all(map(text.__contains__, advice)) and "listening" not in text,
              "exit %r:\n%s" % (done.returncode, text))


@scenario("console")
def console_commands_on_a_terminal(case):
    """t, l and q, each ended by a carriage return: Enter on both consoles (a terminal turns
    it into a line feed for Linux)."""
    link = case.link
    write_ini(case.ini, "[TestMessage]\r\nServerIP=%s\r\nSendPort=bootps\r\nMessageType="
              "BOOTREQUEST\r\nHardwareAddress=%s\r\nDHCPMessageType=DHCPDISCOVER\r\n" %
              (link.client_addr, MAC))
    master, slave = pty.openpty()
    try:
        server = case.start_server(stdin=slave)
        watcher = listen(case, link, timeout=8, stop_after=1, port=67, bind=link.client_addr)
        # Wine's console takes over the terminal a moment after start-up and drops what was
        # typed before: the command is typed again (at most three times) until it shows.
        for _ in range(3):
            os.write(master, b"t\r")
            if netns.wait_until(lambda: watcher.poll() is not None, 2.5):
                break
        received = collect(watcher, 8)
        check(len(received) == 1, "test message: %r" % received)
        expect(received[0], {"from": link.server_addr + ":67", "op": 1, "options": {"53": "01"}})
        os.write(master, b"l\r")
        check(server.wait_for("logging off", 8), "l did not turn logging off")
        os.write(master, b"q\r")
        check(server.wait_exit(15) == 0, "q did not end the server cleanly")
    finally:
        os.close(master)
        os.close(slave)


@scenario("ini_rewritten_in_place")
def rewrite_in_place_never_shows_a_partial_file(case):
    content = client_section(MAC, "10.77.0.60", "whole.0").encode()
    write_ini(case.ini, content.decode())
    case.start_server(args=["--nolog"])
    stop, rewrites = threading.Event(), [0]

    def rewrite():  # as an editor saves in place: truncate, a pause, the new text
        while not stop.is_set():
            with open(case.ini, "r+b") as f:
                f.truncate(0)
                time.sleep(0.002)
                f.write(content)
            rewrites[0] += 1
            time.sleep(0.008)

    writer = threading.Thread(target=rewrite)
    writer.start()
    try:
        counts = exchange(case.link, 60.0, BROADCAST, extra=["--burst", "3000", "--dhcp-type", "1"])
    finally:
        stop.set()
        writer.join()
    check(counts == [{"2 whole.0": 3000}], "%r over %d rewrites" % (counts, rewrites[0]))
    check(rewrites[0] >= 100, "only %d rewrites during the requests" % rewrites[0])


@scenario("ini_folder_in_place")
def folder_in_place_is_reported_once_then_the_file_is_followed_again(case):
    # In a folder named beyond ASCII: the path must reach the file whatever the code page.
    folder = case.workdir / "設定"
    folder.mkdir(mode=0o755)
    case.ini = str(folder / "Tarnleaf.ini")
    server = case.serve(MAC, "10.77.0.61", "before.0")
    expect(ask(case.link, 1, stop_after=1), {"op": 2, "file": "before.0"})
    os.remove(case.ini)
    os.mkdir(case.ini)
    for xid in (2, 3, 4):
        expect(ask(case.link, xid, stop_after=1), {"op": 1})  # no file: the echo
    text = server.text()
    check(text.count("Config Read Error!") == 1 and
          "Config Read Error!\r\nfile [%s] reason [not a file (a folder?)]\r\n" % case.ini
          in text, "expected one read error entry")
    os.rmdir(case.ini)
    write_ini(case.ini, client_section(MAC, "10.77.0.62", "after.0"))
    expect(ask(case.link, 5, stop_after=1), {"op": 2, "file": "after.0"})
    check(server.text().count("Config Read Error!") == 1, "the error was entered again")


@scenario("privileges_dropped_preview")
def dropped_server_follows_edits_and_matches_preview(case):
    """Once listening, no root id nor capability is left; it answers the smallest request of
    each kind, the file edited before each, with the very dump that --preview prints."""
    server = case.serve(MAC, "10.77.0.60", "before.0")
    with open("/proc/%d/status" % server.process.pid) as f:
        held = dict(line.rstrip("\n").split(":\t", 1) for line in f if ":\t" in line)
    check("0" not in " ".join((held["Uid"], held["Gid"], held["Groups"])).split() and
          all(int(held[k], 16) == 0 for k in ("CapEff", "CapPrm", "CapAmb")) and
          "running as nobody" in server.text(), "a root id or capability is left: %r" % held)
    dumps = lambda: [e[e.index("\r\n", e.find("size [")) + 2:].rstrip("\r\n") + "\r\n"  # noqa
                     for e in server.text().split("\r\n\r\n") if "size [" in e]
    for n, (mac, kind, dhcp_type) in enumerate(((MAC, "discover", 1), (MAC, "request", 3),
                                                (MAC, "inform", 8), (MAC, "bootp", None),
                                                ("02-00-00-77-FF-FE", "discover", 1))):
        write_ini(case.ini, client_section(MAC, "10.77.0.6%d" % n, "/tftpboot/%s.img" % kind,
                                           extra="DomainName=preview.lan\r\nIP-forward=on\r\n"))
        ask(case.link, 0, dhcp_type=dhcp_type, mac=mac, stop_after=1)
        check(netns.wait_until(lambda: len(dumps()) >= 2 * n + 2, 5), "no reply entry logged")
        logged = dumps()[2 * n + 1]  # requests and replies alternate
        preview = subprocess.run([case.binary, "--preview", mac, "--type", kind, "--from",
                                  SERVER, "--config", case.ini], capture_output=True, timeout=20)
        shown = preview.stdout.decode("latin-1")
        check(preview.returncode == 0 and shown == logged and ("[10.77.0.6%d]" % n in shown) ==
              (mac == MAC), "%s %s: --preview printed\n%s\nthe server logged\n%s" % (
                  mac, kind, shown, logged))


@scenario("same_bytes")
def windows_answers_with_the_same_bytes_as_linux(case):
    linux = os.environ.get("TARNLEAF_LINUX_TARNLEAFD", "")
    if not os.path.exists(linux):
        raise Skip("no Linux tarnleafd to compare with (TARNLEAF_LINUX_TARNLEAFD)")
    write_ini(case.ini, client_section(MAC, "10.77.0.50", "pxelinux.0", extra="Gateway=10.77.0"
                                       ".1\r\nDomainName=example.lan\r\nHostName=pc-50\r\n"))
    replies = []
    for name, binary in (("windows", case.binary), ("linux", linux)):
        case.binary = binary
        server = case.start_server(name=name)
        replies.append(ask(case.link, 0x5A5A0101, stop_after=1, extra=["--broadcast-flag"])["hex"])
        check(server.stop(signal.SIGINT) == 0, "the %s server did not end cleanly" % name)
    check(replies[0] == replies[1] and replies[0][:2] == "02" and replies[0][40:48] == "0a4d0001",
          "the replies (an OFFER from 10.77.0.1) differ:\n%s\n%s" % tuple(replies))


@scenario("package_deb")
def installed_package_serves_as_nobody(case):
    """The .deb built from the build folder given as --server, installed, tried, purged."""
    if not all(map(shutil.which, ("dpkg-deb", "apt-get", "setpriv"))):
        raise Skip("needs dpkg-deb, apt-get and setpriv")
    if netns.run("dpkg-query", "-W", "tarnleaf", check=False).returncode == 0:
        raise Skip("a tarnleaf package is installed already; it is left alone")
    # A busy apt (an unattended upgrade) is waited for, but within the test's own time limit:
    # package, install and purge each take at most 300 s of its 900.
    apt = ["apt-get", "-o", "DPkg::Lock::Timeout=240", "-y", "-qq"]
    os.environ["DEBIAN_FRONTEND"] = "noninteractive"
    try:
        # A relative --out is a folder in the caller's folder, not in the repository.
        done = netns.run(str(pathlib.Path(HERE).parents[1] / "scripts" / "package.sh"),
                         "--linux-build", case.binary, "--out", "debs", "--no-lintian", "deb",
                         timeout=300, check=False, cwd=case.workdir)
        debs = list(case.workdir.glob("debs/*_amd64.deb"))
        check(done.returncode == 0 and len(debs) == 1, "package.sh:\n" + done.stdout + done.stderr)
        done = netns.run(*apt, "install", str(debs[0]), timeout=300, check=False)
        check(done.returncode == 0, "apt-get install failed:\n" + done.stdout + done.stderr)
        done = netns.run("/usr/bin/tarnleafd", "--check", check=False)
        check(done.returncode == 0 and "/etc/tarnleaf/Tarnleaf.ini: no mistakes found" in
              done.stdout, "installed, it does not read /etc/tarnleaf:\n" + done.stdout)
        caps = netns.run("getcap", "/usr/bin/tarnleafd", "/usr/bin/tarnleaf", check=False).stdout
        check(caps.count("cap_net_bind_service") == 2, "the programs' capabilities: " + caps)
        done = netns.run(*(["systemd-analyze", "verify", "tarnleafd.service"] if shutil.which(
            "systemd-analyze") else ["true"]), check=False, timeout=60)
        check(done.returncode == 0, "systemd-analyze verify:\n" + done.stdout + done.stderr)
        # The installed server as nobody: the file capability alone lets it bind port 67.
        case.binary = str(case.workdir / "as-nobody")
        write_ini(case.binary, "#!/bin/sh\nexec setpriv --reuid=65534 --regid=65534 "
                  "--clear-groups /usr/bin/tarnleafd \"$@\"\n")
        os.chmod(case.binary, 0o755)
        server = case.serve(MAC, "10.77.0.40", "installed.0")
        check("running as nobody" in server.text(), "not running as nobody")
        expect(ask(case.link, 0x40, stop_after=1), {"file": "installed.0", "yiaddr": "10.77.0.40"})
        check(server.stop() == 0, "the installed server did not end cleanly")
    finally:
        done = netns.run(*apt, "purge", "tarnleaf", timeout=300, check=False)
        check(done.returncode == 0, "failed to purge: " + done.stderr)


if __name__ == "__main__":
    sys.exit(main())
