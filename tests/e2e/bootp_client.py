#!/usr/bin/python3
"""A minimal BOOTP/DHCP client for the end-to-end tests, run inside a client namespace.

It sends one request (built field by field, or a raw blob of a given size) from a UDP socket
bound to the given port on one interface, then collects every datagram that arrives on that
socket within the time limit and prints them as JSON lines. It never sends anywhere but the
address it is given, which the tests take from their own namespaces.
"""
import argparse
import json
import select
import socket
import struct
import sys
import time

COOKIE = bytes([99, 130, 83, 99])
SO_BINDTODEVICE = getattr(socket, "SO_BINDTODEVICE", 25)


def mac_bytes(text):
    return bytes(int(part, 16) for part in text.replace(":", "-").split("-"))


def build_request(args):
    chaddr = mac_bytes(args.chaddr)
    header = struct.pack(
        "!BBBBIHH4s4s4s4s16s64s128s",
        args.op, 1, len(chaddr), 0, args.xid, 0, 0x8000 if args.broadcast_flag else 0,
        socket.inet_aton(args.ciaddr), socket.inet_aton("0.0.0.0"),
        socket.inet_aton("0.0.0.0"), socket.inet_aton(args.giaddr),
        chaddr.ljust(16, b"\0"), b"", b"")
    if args.dhcp_type is None:
        options = COOKIE + bytes([255])
    else:
        options = COOKIE + bytes([53, 1, args.dhcp_type, 255])
    message = header + options
    if len(message) < args.size:
        message += bytes(args.size - len(message))
    return message


def parse_options(area):
    """The options of an area that starts with the cookie, as {code: hex}; bounded walk."""
    found = {}
    if area[:4] != COOKIE:
        return found
    i = 4
    while i < len(area):
        code = area[i]
        if code == 255:
            break
        if code == 0:
            i += 1
            continue
        if i + 1 >= len(area):
            break
        length = area[i + 1]
        value = area[i + 2:i + 2 + length]
        found.setdefault(str(code), value.hex())
        i += 2 + length
    return found


def describe(data, source):
    result = {"length": len(data), "from": "%s:%d" % source}
    if len(data) >= 236:
        (op, htype, hlen, hops, xid, secs, flags, ciaddr, yiaddr, siaddr, giaddr, chaddr,
         sname, bootfile) = struct.unpack("!BBBBIHH4s4s4s4s16s64s128s", data[:236])
        result.update({
            "op": op, "xid": xid, "hlen": hlen,
            "yiaddr": socket.inet_ntoa(yiaddr), "siaddr": socket.inet_ntoa(siaddr),
            "giaddr": socket.inet_ntoa(giaddr), "ciaddr": socket.inet_ntoa(ciaddr),
            "sname": sname.split(b"\0")[0].decode("latin-1"),
            "file": bootfile.split(b"\0")[0].decode("latin-1"),
            "options": parse_options(data[236:]),
        })
    return result


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--iface", required=True)
    parser.add_argument("--bind", default="0.0.0.0", help="local address of the socket")
    parser.add_argument("--port", type=int, default=68, help="local port of the socket")
    parser.add_argument("--to", help="destination address:port; none = only listen")
    parser.add_argument("--op", type=int, default=1)
    parser.add_argument("--xid", type=lambda v: int(v, 0), default=0x1A2B3C4D)
    parser.add_argument("--chaddr", default="02-00-00-77-00-02")
    parser.add_argument("--ciaddr", default="0.0.0.0")
    parser.add_argument("--giaddr", default="0.0.0.0")
    parser.add_argument("--dhcp-type", type=int, default=None)
    parser.add_argument("--broadcast-flag", action="store_true")
    parser.add_argument("--size", type=int, default=300)
    parser.add_argument("--raw-size", type=int, default=None,
                        help="send this many bytes of filler instead of a request")
    parser.add_argument("--timeout", type=float, default=3.0)
    parser.add_argument("--stop-after", type=int, default=0,
                        help="stop once this many datagrams arrived (0: wait out the timeout)")
    parser.add_argument("--ready-file", help="touched once the socket is listening")
    args = parser.parse_args()

    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    sock.setsockopt(socket.SOL_SOCKET, SO_BINDTODEVICE, args.iface.encode())
    sock.bind((args.bind, args.port))
    if args.ready_file:
        open(args.ready_file, "w").close()

    if args.to:
        host, port = args.to.rsplit(":", 1)
        if args.raw_size is not None:
            payload = bytes((i * 7 + 1) & 0xFF for i in range(args.raw_size))
        else:
            payload = build_request(args)
        sock.sendto(payload, (host, int(port)))

    received = 0
    deadline = time.monotonic() + args.timeout
    while True:
        left = deadline - time.monotonic()
        if left <= 0:
            break
        ready, _, _ = select.select([sock], [], [], left)
        if not ready:
            break
        data, source = sock.recvfrom(65535)
        print(json.dumps(describe(data, source)), flush=True)
        received += 1
        if received == args.stop_after:
            break
    return 0


if __name__ == "__main__":
    sys.exit(main())
