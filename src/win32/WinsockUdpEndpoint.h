#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "UdpEndpoint.h"
#include "InterfaceAddresses.h"

namespace tarnleaf {

// The server's UDP socket on Winsock: bound to one port on every local address, broadcast
// permitted, non-blocking. Each datagram comes with the interface it arrived on (IP_PKTINFO
// through WSARecvMsg), and a reply can be sent out through that interface (WSASendMsg).
// Needs a live WinsockSession.
class WinsockUdpEndpoint final : public UdpEndpoint {
public:
    WinsockUdpEndpoint();
    ~WinsockUdpEndpoint() override;
    WinsockUdpEndpoint(const WinsockUdpEndpoint&) = delete;
    WinsockUdpEndpoint& operator=(const WinsockUdpEndpoint&) = delete;

    // Closes any earlier socket first, so a repeated Bind starts afresh. Port 0 picks a free
    // port (BoundPort tells which).
    std::optional<SocketError> Bind(std::uint16_t port) override;
    // Winsock has no call for several datagrams at once: one WSARecvMsg each, until the
    // socket is empty or `into` is full.
    Result<std::size_t, SocketError> Receive(std::span<ReceivedDatagram> into) override;
    std::optional<SocketError> Send(std::span<const std::uint8_t> bytes, Ipv4Address destination,
                                    std::uint16_t port, const SendRoute& route) override;
    std::string LocalIP() const override;
    const std::string& LocalHostName() const override;
    std::intptr_t NativeHandle() const override;

    std::uint16_t BoundPort() const { return boundPort_; }
    void Close();

    // Datagrams taken per Receive at most.
    static constexpr std::size_t kMaxBatch = 32;

private:
    Result<std::optional<ReceivedDatagram>, SocketError> ReceiveOne(std::uint8_t* buffer);
    std::optional<SocketError> SendPlain(std::span<const std::uint8_t> bytes,
                                         Ipv4Address destination, std::uint16_t port);
    Ipv4Address AddressOfArrival(Ipv4Address destination, unsigned interfaceIndex);

    std::uintptr_t socket_;
    std::uint16_t boundPort_ = 0;
    void* recvMsg_ = nullptr;  // LPFN_WSARECVMSG, looked up once per socket
    bool sendMsgWorks_ = true;
    // kMaxBatch buffers of a datagram's largest size, left uninitialised: only pages that
    // datagrams reach are ever touched.
    std::unique_ptr<std::uint8_t[]> buffers_;
    mutable InterfaceAddresses interfaces_;
    mutable std::string hostName_;
    mutable std::uint64_t hostNameAt_ = 0;
    mutable bool hostNameRead_ = false;
};

}  // namespace tarnleaf
