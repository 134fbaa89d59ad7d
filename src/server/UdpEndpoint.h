#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "Ipv4Address.h"
#include "Result.h"

namespace tarnleaf {

// An error of the socket layer: the platform's code (errno or WSAGetLastError) and its text.
struct SocketError {
    int code = 0;
    std::string description;
};

struct ReceivedDatagram {
    // The datagram, whole, in storage the endpoint owns and reuses: valid until the next
    // Receive on the same endpoint.
    std::span<const std::uint8_t> bytes;
    Ipv4Address sender;
    std::uint16_t senderPort = 0;
    // The address of the interface on which the datagram arrived, and that interface's
    // index: the reply names this address as the server and leaves by this interface.
    Ipv4Address localAddress;
    unsigned interfaceIndex = 0;
};

// Which way a datagram leaves: interfaceIndex 0 lets the routing table decide.
struct SendRoute {
    unsigned interfaceIndex = 0;
    Ipv4Address sourceAddress;
};

// One datagram of a batch to send.
struct OutgoingDatagram {
    std::span<const std::uint8_t> bytes;
    Ipv4Address destination;
    std::uint16_t port = 0;
    SendRoute route;
};

// The server's one UDP socket, bound to port 67 on every local address, broadcast enabled.
class UdpEndpoint {
public:
    virtual ~UdpEndpoint() = default;

    virtual std::optional<SocketError> Bind(std::uint16_t port) = 0;

    // Takes waiting datagrams in arrival order, as many as wait and fit into `into` (one
    // system call where the platform allows), and tells how many; 0 when nothing is waiting
    // (never blocks). An error is reported only when no datagram was taken.
    virtual Result<std::size_t, SocketError> Receive(std::span<ReceivedDatagram> into) = 0;

    // Sends from the bound socket, so the source port is the bound one.
    virtual std::optional<SocketError> Send(std::span<const std::uint8_t> bytes,
                                            Ipv4Address destination, std::uint16_t port,
                                            const SendRoute& route) = 0;

    // Sends each datagram once, in order, as Send does (one system call for several where the
    // platform allows); `failures[i]` tells why the i-th was not sent, or holds no value.
    // `failures` is as long as `datagrams`.
    virtual void SendBatch(std::span<const OutgoingDatagram> datagrams,
                           std::span<std::optional<SocketError>> failures) {
        for (std::size_t i = 0; i < datagrams.size() && i < failures.size(); ++i) {
            const OutgoingDatagram& d = datagrams[i];
            failures[i] = Send(d.bytes, d.destination, d.port, d.route);
        }
    }

    // The host's primary IPv4 address as dotted text (used where no request arrived).
    virtual std::string LocalIP() const = 0;
    // Lent, not copied: asked for on every reply. Valid until the next call.
    virtual const std::string& LocalHostName() const = 0;

    // The OS handle that an event loop watches for readability (fd or SOCKET); -1 if none.
    virtual std::intptr_t NativeHandle() const = 0;
};

}  // namespace tarnleaf
