#include "WinsockUdpEndpoint.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <mswsock.h>
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "WinsockError.h"

#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

namespace tarnleaf {
namespace {

// Large enough for any UDP datagram over IPv4, so a datagram is never cut.
constexpr std::size_t kReceiveBufferSize = 65536;
// A few stale ICMP reports may be queued ahead of the next datagram; they are skipped.
constexpr int kMaxSkippedReports = 16;

SOCKET AsSocket(std::uintptr_t value) {
    return static_cast<SOCKET>(value);
}

sockaddr_in ToSockaddr(Ipv4Address address, std::uint16_t port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(port);
    std::memcpy(&result.sin_addr, address.octets.data(), 4);
    return result;
}

Ipv4Address FromInAddr(const IN_ADDR& address) {
    Ipv4Address result;
    std::memcpy(result.octets.data(), &address, 4);
    return result;
}

bool SetFlag(SOCKET s, int level, int name, bool on) {
    const BOOL value = on ? TRUE : FALSE;
    return setsockopt(s, level, name, reinterpret_cast<const char*>(&value), sizeof value) == 0;
}

}  // namespace

WinsockUdpEndpoint::WinsockUdpEndpoint()
    : socket_(static_cast<std::uintptr_t>(INVALID_SOCKET)),
      buffers_(new std::uint8_t[kMaxBatch * kReceiveBufferSize]) {}

WinsockUdpEndpoint::~WinsockUdpEndpoint() {
    Close();
}

void WinsockUdpEndpoint::Close() {
    if (AsSocket(socket_) != INVALID_SOCKET) {
        closesocket(AsSocket(socket_));
        socket_ = static_cast<std::uintptr_t>(INVALID_SOCKET);
    }
    boundPort_ = 0;
    recvMsg_ = nullptr;
}

std::optional<SocketError> WinsockUdpEndpoint::Bind(std::uint16_t port) {
    Close();
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) {
        return LastWinsockError();
    }
    auto fail = [s]() {
        SocketError error = LastWinsockError();
        closesocket(s);
        return error;
    };

    // Another program must not be able to take the port over while we hold it.
    SetFlag(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, true);
    if (!SetFlag(s, SOL_SOCKET, SO_BROADCAST, true)) {
        return fail();
    }
    // Without IP_PKTINFO the reply could not name the arriving interface; a system that
    // refuses it still answers, naming the primary address instead.
    SetFlag(s, IPPROTO_IP, IP_PKTINFO, true);
    // An ICMP "port unreachable" for an earlier send would otherwise surface as
    // WSAECONNRESET on the next receive and stop nothing but the log's peace.
    BOOL reportResets = FALSE;
    DWORD returned = 0;
    WSAIoctl(s, SIO_UDP_CONNRESET, &reportResets, sizeof reportResets, nullptr, 0, &returned,
             nullptr, nullptr);
    u_long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        return fail();
    }

    const sockaddr_in local = ToSockaddr(Ipv4Address::Any(), port);
    if (bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        return fail();
    }
    sockaddr_in bound{};
    int boundLength = sizeof bound;
    if (getsockname(s, reinterpret_cast<sockaddr*>(&bound), &boundLength) == 0) {
        boundPort_ = ntohs(bound.sin_port);
    } else {
        boundPort_ = port;
    }

    GUID recvMsgId = WSAID_WSARECVMSG;
    LPFN_WSARECVMSG recvMsg = nullptr;
    if (WSAIoctl(s, SIO_GET_EXTENSION_FUNCTION_POINTER, &recvMsgId, sizeof recvMsgId, &recvMsg,
                 sizeof recvMsg, &returned, nullptr, nullptr) == 0) {
        recvMsg_ = reinterpret_cast<void*>(recvMsg);
    }
    socket_ = static_cast<std::uintptr_t>(s);
    sendMsgWorks_ = true;
    return std::nullopt;
}

Result<std::size_t, SocketError> WinsockUdpEndpoint::Receive(std::span<ReceivedDatagram> into) {
    using Outcome = Result<std::size_t, SocketError>;
    const std::size_t wanted = std::min(into.size(), kMaxBatch);
    std::size_t count = 0;
    while (count < wanted) {
        auto one = ReceiveOne(buffers_.get() + count * kReceiveBufferSize);
        if (!one.ok()) {
            // What was taken before the error is handed out; the error comes again next time
            // if it lasts.
            return count != 0 ? Outcome::Ok(count) : Outcome::Fail(one.error());
        }
        if (!one.value().has_value()) {
            break;
        }
        into[count++] = *one.value();
    }
    return Outcome::Ok(count);
}

Result<std::optional<ReceivedDatagram>, SocketError> WinsockUdpEndpoint::ReceiveOne(
    std::uint8_t* buffer) {
    using Outcome = Result<std::optional<ReceivedDatagram>, SocketError>;
    const SOCKET s = AsSocket(socket_);
    if (s == INVALID_SOCKET) {
        return Outcome::Fail(DescribeWinsockError(WSAENOTSOCK));
    }

    for (int skipped = 0; skipped <= kMaxSkippedReports; ++skipped) {
        sockaddr_in from{};
        WSABUF data{static_cast<ULONG>(kReceiveBufferSize), reinterpret_cast<char*>(buffer)};
        std::array<char, WSA_CMSG_SPACE(sizeof(IN_PKTINFO))> control{};
        DWORD received = 0;
        bool havePacketInfo = false;
        IN_PKTINFO packetInfo{};
        int status = 0;

        if (recvMsg_ != nullptr) {
            WSAMSG message{};
            message.name = reinterpret_cast<sockaddr*>(&from);
            message.namelen = sizeof from;
            message.lpBuffers = &data;
            message.dwBufferCount = 1;
            message.Control = WSABUF{static_cast<ULONG>(control.size()), control.data()};
            auto recvMsg = reinterpret_cast<LPFN_WSARECVMSG>(recvMsg_);
            status = recvMsg(s, &message, &received, nullptr, nullptr);
            if (status == 0) {
                for (WSACMSGHDR* header = WSA_CMSG_FIRSTHDR(&message); header != nullptr;
                     header = WSA_CMSG_NXTHDR(&message, header)) {
                    if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_PKTINFO &&
                        header->cmsg_len >= WSA_CMSG_LEN(sizeof(IN_PKTINFO))) {
                        std::memcpy(&packetInfo, WSA_CMSG_DATA(header), sizeof packetInfo);
                        havePacketInfo = true;
                    }
                }
            }
        } else {
            int fromLength = sizeof from;
            const int count = recvfrom(s, reinterpret_cast<char*>(buffer),
                                       static_cast<int>(kReceiveBufferSize), 0,
                                       reinterpret_cast<sockaddr*>(&from), &fromLength);
            status = count < 0 ? SOCKET_ERROR : 0;
            received = count < 0 ? 0 : static_cast<DWORD>(count);
        }

        if (status != 0) {
            const int code = WSAGetLastError();
            if (code == WSAEWOULDBLOCK) {
                return Outcome::Ok(std::nullopt);
            }
            if (code == WSAECONNRESET || code == WSAENETRESET) {
                continue;
            }
            return Outcome::Fail(DescribeWinsockError(code));
        }

        ReceivedDatagram datagram;
        datagram.bytes = {buffer, std::min<std::size_t>(received, kReceiveBufferSize)};
        datagram.sender = FromInAddr(from.sin_addr);
        datagram.senderPort = ntohs(from.sin_port);
        if (havePacketInfo) {
            datagram.interfaceIndex = packetInfo.ipi_ifindex;
            datagram.localAddress =
                AddressOfArrival(FromInAddr(packetInfo.ipi_addr), packetInfo.ipi_ifindex);
        } else if (const auto primary = Ipv4Address::Parse(LocalIP())) {
            datagram.localAddress = *primary;
        }
        return Outcome::Ok(std::move(datagram));
    }
    return Outcome::Ok(std::nullopt);
}

Ipv4Address WinsockUdpEndpoint::AddressOfArrival(Ipv4Address destination, unsigned interfaceIndex) {
    // The packet information names the datagram's destination, which for a broadcast
    // request is 255.255.255.255; the server's own address is the arriving interface's.
    if (const auto address = interfaces_.AddressOf(interfaceIndex, destination)) {
        return *address;
    }
    if (const auto primary = Ipv4Address::Parse(LocalIP())) {
        return *primary;
    }
    return Ipv4Address::Any();
}

std::optional<SocketError> WinsockUdpEndpoint::SendPlain(std::span<const std::uint8_t> bytes,
                                                         Ipv4Address destination,
                                                         std::uint16_t port) {
    const sockaddr_in to = ToSockaddr(destination, port);
    const int sent = sendto(AsSocket(socket_), reinterpret_cast<const char*>(bytes.data()),
                            static_cast<int>(bytes.size()), 0,
                            reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (sent == SOCKET_ERROR) {
        return LastWinsockError();
    }
    return std::nullopt;
}

std::optional<SocketError> WinsockUdpEndpoint::Send(std::span<const std::uint8_t> bytes,
                                                    Ipv4Address destination, std::uint16_t port,
                                                    const SendRoute& route) {
    const SOCKET s = AsSocket(socket_);
    if (s == INVALID_SOCKET) {
        return DescribeWinsockError(WSAENOTSOCK);
    }
    if (bytes.size() > 65507) {
        return DescribeWinsockError(WSAEMSGSIZE);
    }
    if (route.interfaceIndex == 0 || !sendMsgWorks_) {
        return SendPlain(bytes, destination, port);
    }

    sockaddr_in to = ToSockaddr(destination, port);
    WSABUF data{static_cast<ULONG>(bytes.size()),
                const_cast<char*>(reinterpret_cast<const char*>(bytes.data()))};
    std::array<char, WSA_CMSG_SPACE(sizeof(IN_PKTINFO))> control{};
    WSAMSG message{};
    message.name = reinterpret_cast<sockaddr*>(&to);
    message.namelen = sizeof to;
    message.lpBuffers = &data;
    message.dwBufferCount = 1;
    message.Control = WSABUF{static_cast<ULONG>(control.size()), control.data()};
    WSACMSGHDR* header = WSA_CMSG_FIRSTHDR(&message);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = WSA_CMSG_LEN(sizeof(IN_PKTINFO));
    IN_PKTINFO packetInfo{};
    std::memcpy(&packetInfo.ipi_addr, route.sourceAddress.octets.data(), 4);
    packetInfo.ipi_ifindex = route.interfaceIndex;
    std::memcpy(WSA_CMSG_DATA(header), &packetInfo, sizeof packetInfo);

    // The packet information steers the datagram on Windows. Some Winsock layers (Wine)
    // drop control data on sending; for them the outgoing interface is also set on the
    // socket for the duration of this one send (IP_UNICAST_IF, index in network order), and
    // cleared again so that the next reply is free to leave elsewhere.
    const DWORD outgoing = htonl(route.interfaceIndex);
    const bool steered = setsockopt(s, IPPROTO_IP, IP_UNICAST_IF,
                                    reinterpret_cast<const char*>(&outgoing), sizeof outgoing) == 0;
    DWORD sent = 0;
    const int status = WSASendMsg(s, &message, 0, &sent, nullptr, nullptr);
    const int code = status == 0 ? 0 : WSAGetLastError();
    if (steered) {
        const DWORD any = 0;
        setsockopt(s, IPPROTO_IP, IP_UNICAST_IF, reinterpret_cast<const char*>(&any), sizeof any);
    }
    if (status == 0) {
        return std::nullopt;
    }
    if (code == WSAEINVAL || code == WSAEOPNOTSUPP || code == WSAENOPROTOOPT) {
        // A system that cannot steer a datagram by packet information still sends it the
        // ordinary way; the routing table then picks the interface.
        sendMsgWorks_ = false;
        return SendPlain(bytes, destination, port);
    }
    return DescribeWinsockError(code);
}

std::string WinsockUdpEndpoint::LocalIP() const {
    if (const auto primary = interfaces_.PrimaryAddress()) {
        return primary->ToString();
    }
    return "127.0.0.1";
}

const std::string& WinsockUdpEndpoint::LocalHostName() const {
    // Asked for once per reply; a renamed host is seen within a second.
    const std::uint64_t now = GetTickCount64();
    if (!hostNameRead_ || now - hostNameAt_ >= 1000) {
        std::array<char, 256> name{};
        hostName_ = gethostname(name.data(), static_cast<int>(name.size() - 1)) == 0
                        ? std::string(name.data())
                        : std::string();
        hostNameAt_ = now;
        hostNameRead_ = true;
    }
    return hostName_;
}

std::intptr_t WinsockUdpEndpoint::NativeHandle() const {
    if (AsSocket(socket_) == INVALID_SOCKET) {
        return -1;
    }
    return static_cast<std::intptr_t>(socket_);
}

}  // namespace tarnleaf
