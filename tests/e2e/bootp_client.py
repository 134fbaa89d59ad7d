#!/usr/bin/python3
"""A BOOTP/DHCP client for the end-to-end tests, run in a client namespace: sends one request
(or filler) to the address it is given, then prints each datagram it gets as a JSON line; or,
with --burst N, N requests one a millisecond, each waiting for its own reply, and prints how
many replies of each kind ("op file") came back, or were lost."""
import argparse, json, select, socket, struct, time  # noqa: E401

COOKIE = bytes([99, 130, 83, 99])
HEADER = "!BBBBIHH4s4s4s4s16s64s128s"


def build_request(a):
    chaddr = bytes(int(part, 16) for part in a.chaddr.replace(":", "-").split("-"))
    message = struct.pack(HEADER, 1, 1, len(chaddr), 0, a.xid, 0,
                          0x8000 if a.broadcast_flag else 0, bytes(4), bytes(4), bytes(4),
                          socket.inet_aton(a.giaddr), chaddr, b"", b"")
    message_type = b"" if a.dhcp_type is None else bytes([53, 1, a.dhcp_type])
    return (message + COOKIE + message_type + b"\xff").ljust(300, b"\0")


def parse_options(area):
    """{code: hex value} of an area that starts with the cookie; the first of each code wins."""
    found, i = {}, 4
    while area[:4] == COOKIE and i + 1 < len(area) and area[i] != 255:
        if area[i]:  # 0 is a pad byte
            found.setdefault(str(area[i]), area[i + 2:i + 2 + area[i + 1]].hex())
        i += 2 + area[i + 1] if area[i] else 1
    return found


def describe(data, source):
    result = {"length": len(data), "from": "%s:%d" % source, "hex": data.hex()}
    if len(data) >= 236:
        fields = struct.unpack(HEADER, data[:236])
        text = lambda raw: raw.split(b"\0")[0].decode("latin-1")  # noqa: E731
        result.update(op=fields[0], xid=fields[4], sname=text(fields[12]),
                      file=text(fields[13]), options=parse_options(data[236:]),
                      **{name: socket.inet_ntoa(fields[7 + i]) for i, name in
                         enumerate(("ciaddr", "yiaddr", "siaddr", "giaddr"))})
    return result


def burst(a, sock, to):
    counts, start = {}, time.monotonic()
    for a.xid in range(1, a.burst + 1):
        time.sleep(max(0.0, start + a.xid / 1000.0 - time.monotonic()))
        sock.sendto(build_request(a), to)
        until, kind = min(start + a.timeout, time.monotonic() + 1.0), "lost"
        while kind == "lost" and select.select([sock], [], [], max(0, until - time.monotonic()))[0]:
            reply = describe(*sock.recvfrom(2048))
            if reply.get("xid") == a.xid:
                kind = "%d %s" % (reply["op"], reply["file"])
        counts[kind] = counts.get(kind, 0) + 1  # past the deadline the rest are lost at once
    print(json.dumps(counts), flush=True)


def main():
    parser = argparse.ArgumentParser()
    for name, kind, default in (  # to: address:port (none: only listen); raw-size: filler
            ("iface", str, None), ("bind", str, "0.0.0.0"), ("port", int, 68), ("to", str, None),
            ("xid", lambda v: int(v, 0), 0x1A2B3C4D), ("chaddr", str, "02-00-00-77-00-02"),
            ("giaddr", str, "0.0.0.0"), ("dhcp-type", int, None), ("burst", int, 0),
            ("raw-size", int, None), ("timeout", float, 3.0), ("stop-after", int, 0),
            ("ready-file", str, None)):  # stop-after: 0 = never; ready-file: touched when bound
        parser.add_argument("--" + name, type=kind, default=default)
    parser.add_argument("--broadcast-flag", action="store_true")
    a = parser.parse_args()
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    for option, value in ((socket.SO_REUSEADDR, 1), (socket.SO_BROADCAST, 1),
                          (getattr(socket, "SO_BINDTODEVICE", 25), a.iface.encode())):
        sock.setsockopt(socket.SOL_SOCKET, option, value)
    sock.bind((a.bind, a.port))
    if a.ready_file:
        open(a.ready_file, "w").close()
    to = (a.to.rsplit(":", 1)[0], int(a.to.rsplit(":", 1)[1])) if a.to else None
    if a.burst:
        return burst(a, sock, to)
    if to:
        sock.sendto(build_request(a) if a.raw_size is None else
                    bytes((i * 7 + 1) & 0xFF for i in range(a.raw_size)), to)
    deadline = time.monotonic() + a.timeout
    for _ in range(a.stop_after or 10000):
        if not select.select([sock], [], [], max(0.0, deadline - time.monotonic()))[0]:
            break
        print(json.dumps(describe(*sock.recvfrom(65535))), flush=True)


if __name__ == "__main__":
    main()
