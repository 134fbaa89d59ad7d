#!/usr/bin/python3
"""Writes the seed corpus of the datagram-path fuzzer (run again after changing a seed)."""
import os, struct  # noqa: E401

COOKIE, SEPARATOR = bytes([99, 130, 83, 99]), b"\n==DATAGRAM==\n"


def request(options, hlen=6, giaddr=bytes(4), size=300):
    body = struct.pack("!BBBBIHH4s4s4s4s16s64s128s", 1, 1, hlen, 0, 0x12345678, 0, 0x8000,
                       bytes(4), bytes(4), bytes(4), giaddr, bytes.fromhex("00A0C9123456"),
                       b"", b"") + COOKIE + bytes(options)
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
for name, data in {
        "discover_known_client": CLIENT + TEST + SEPARATOR + request([53, 1, 1, 255]),
        "bootp_without_message_type": CLIENT + SEPARATOR + request([255]),
        "inform_unpadded_relayed": CLIENT + SEPARATOR + request(
            [53, 1, 8, 55, 1, 1, 255], giaddr=bytes([10, 0, 0, 2]), size=247),
        "short_datagram": SEPARATOR + bytes(range(200)),
        "odd_profile_long_chaddr": ODD + SEPARATOR +
        request([0, 4, 53, 1, 3, 53, 2, 0, 1, 255], hlen=0),
        "request_without_profile_file": request([53, 1, 3, 50, 4, 10, 0, 0, 5])}.items():
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", name), "wb") as f:
        f.write(data)
