#!/usr/bin/python3
"""Writes the seed corpus of the datagram-path fuzzer (run again after changing a seed)."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
SEPARATOR = b"\n==DATAGRAM==\n"
COOKIE = bytes([99, 130, 83, 99])


def request(options, chaddr=bytes([0x00, 0xA0, 0xC9, 0x12, 0x34, 0x56]), hlen=6, giaddr=b"\0" * 4,
            size=300, op=1):
    header = struct.pack("!BBBBIHH4s4s4s4s16s64s128s", op, 1, hlen, 0, 0x12345678, 0, 0x8000,
                         b"\0" * 4, b"\0" * 4, b"\0" * 4, giaddr, chaddr.ljust(16, b"\0"),
                         b"", b"")
    body = header + options
    return body + bytes(max(0, size - len(body)))


CLIENT = (b"[00-A0-C9-12-34-56]\r\nBootFile=pxelinux.0\r\nHostIP=192.168.0.50\r\n"
          b"SubnetMask=255.255.255.0\r\nGateway=192.168.0.1\r\nServerIdentifier=192.168.0.10\r\n"
          b"IPAddressLeaseTime=86400\r\nDomainNameServer=192.168.0.1, 192.168.0.2\r\n"
          b"HostName=pc-lab-50\r\n")
TEST = (b"[TestMessage]\r\nServerIP=127.0.0.1\r\nSendPort=bootpc\r\nMessageType=BOOTREQUEST\r\n"
        b"HardwareAddress=00-A0-C9-12-34-56\r\nDHCPMessageType=DHCPDISCOVER\r\n"
        b"ParameterRequestList=1, 3, 6\r\n")
ODD = (b"[00-A0-C9-12-34-56]\r\nbf=  spaced  \r\nMessageSize=1536\r\nFlags=0x8000\r\n"
       b"HardwareAddress=FF-FF\r\nServerName=" + b"n" * 80 + b"\r\n"
       b"Custom1=150, IP, 192.168.0.10\r\nCustom2=66, BYTE, &H31, &H30\r\n"
       b"Custom3=12, TEXT, name\r\nCustom4=57, SHORT, 1500\r\nIP-forward=on\r\n"
       b"SecondsElapsed=65535.5\r\nHardwareType=IEEE802\r\nDHCPMessageType=DHCPACK\r\n")

SEEDS = {
    "discover_known_client": CLIENT + TEST + SEPARATOR +
        request(COOKIE + bytes([53, 1, 1, 255])),
    "bootp_without_message_type": CLIENT + SEPARATOR + request(COOKIE + bytes([255])),
    "inform_unpadded_relayed": CLIENT + SEPARATOR +
        request(COOKIE + bytes([53, 1, 8, 55, 1, 1, 255]), giaddr=bytes([10, 0, 0, 2]), size=247),
    "short_datagram": SEPARATOR + bytes(range(200)),
    "odd_profile_long_chaddr": ODD + SEPARATOR +
        request(COOKIE + bytes([0, 4, 53, 1, 3, 53, 2, 0, 1, 255]), hlen=0),
    "request_without_profile_file": request(COOKIE + bytes([53, 1, 3, 50, 4, 10, 0, 0, 5])),
}

for name, data in SEEDS.items():
    with open(os.path.join(HERE, "corpus", name), "wb") as f:
        f.write(data)
