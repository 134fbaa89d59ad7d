#include "PosixUdpEndpoint.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>

namespace tarnleaf {
namespace {

// A distant address for the routing question "which source would you use?". connect() on a
// UDP socket only consults the routing table; nothing is ever sent to it (TEST-NET-1).
constexpr std::array<std::uint8_t, 4> kRoutingProbe{192, 0, 2, 1};

// Interrupted calls are retried, but never forever.
constexpr int kMaxInterruptRetries = 16;

// A full send buffer is waited out for at most this long before the send counts as failed.
constexpr int kSendWaitMilliseconds = 50;

in_addr ToInAddr(Ipv4Address address) {
    in_addr result{};
    std::memcpy(&result.s_addr, address.octets.data(), 4);
    return result;
}

Ipv4Address FromInAddr(in_addr address) {
    Ipv4Address result;
    std::memcpy(result.octets.data(), &address.s_addr, 4);
    return result;
}

bool IsLoopback(Ipv4Address address) { return address.octets[0] == 127; }

std::optional<Ipv4Address> RoutedSourceAddress() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return std::nullopt;
    }
    sockaddr_in probe{};
    probe.sin_family = AF_INET;
    probe.sin_port = htons(9);
    probe.sin_addr = ToInAddr(Ipv4Address{kRoutingProbe});
    std::optional<Ipv4Address> result;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&probe), sizeof probe) == 0) {
        sockaddr_in local{};
        socklen_t length = sizeof local;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0 &&
            local.sin_family == AF_INET) {
            const Ipv4Address address = FromInAddr(local.sin_addr);
            if (!address.IsAny()) {
                result = address;
            }
        }
    }
    ::close(fd);
    return result;
}

// Walks the interface list once; `accept` picks the wanted entry.
template <typename Predicate>
std::optional<Ipv4Address> FindInterfaceAddress(Predicate accept) {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return std::nullopt;
    }
    std::optional<Ipv4Address> result;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        sockaddr_in address{};
        std::memcpy(&address, entry->ifa_addr, sizeof address);
        const Ipv4Address candidate = FromInAddr(address.sin_addr);
        if (accept(*entry, candidate)) {
            result = candidate;
            break;
        }
    }
    ::freeifaddrs(list);
    return result;
}

}  // namespace

SocketError SocketErrorFromErrno(int code) {
    std::array<char, 256> text{};
    // The GNU strerror_r may return a static string instead of filling the buffer.
    const char* description = ::strerror_r(code, text.data(), text.size());
    return SocketError{code, description != nullptr ? std::string(description) : std::string()};
}

Ipv4Address PrimaryIpv4Address() {
    if (const auto routed = RoutedSourceAddress()) {
        return *routed;
    }
    const auto firstUp = FindInterfaceAddress([](const ifaddrs& entry, Ipv4Address address) {
        return (entry.ifa_flags & IFF_UP) != 0 && !IsLoopback(address) && !address.IsAny();
    });
    return firstUp.value_or(Ipv4Address{{127, 0, 0, 1}});
}

std::optional<Ipv4Address> InterfaceIpv4Address(unsigned interfaceIndex) {
    if (interfaceIndex == 0) {
        return std::nullopt;
    }
    std::array<char, IF_NAMESIZE> name{};
    if (::if_indextoname(interfaceIndex, name.data()) == nullptr) {
        return std::nullopt;
    }
    return FindInterfaceAddress([&name](const ifaddrs& entry, Ipv4Address address) {
        return entry.ifa_name != nullptr && std::strcmp(entry.ifa_name, name.data()) == 0 &&
               !address.IsAny();
    });
}

PosixUdpEndpoint::PosixUdpEndpoint() : buffer_(kReceiveBufferSize) {}

PosixUdpEndpoint::~PosixUdpEndpoint() { Close(); }

void PosixUdpEndpoint::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

std::optional<SocketError> PosixUdpEndpoint::Bind(std::uint16_t port) {
    Close();
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return SocketErrorFromErrno(errno);
    }
    const int on = 1;
    if (::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0 ||
        ::setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0) {
        const int code = errno;
        ::close(fd);
        return SocketErrorFromErrno(code);
    }
    // A burst of requests (a room of machines switched on at once) should queue rather than
    // be dropped. Root (who binds port 67) may pass net.core.rmem_max; anyone else gets what
    // that limit allows.
    const int receiveBuffer = kReceiveQueueBytes;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &receiveBuffer, sizeof receiveBuffer) != 0) {
        (void)::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    }

    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        const int code = errno;
        ::close(fd);
        return SocketErrorFromErrno(code);
    }
    fd_ = fd;
    return std::nullopt;
}

std::uint16_t PosixUdpEndpoint::BoundPort() const {
    if (fd_ < 0) {
        return 0;
    }
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        return 0;
    }
    return ntohs(local.sin_port);
}

Result<std::optional<ReceivedDatagram>, SocketError> PosixUdpEndpoint::Receive() {
    using R = Result<std::optional<ReceivedDatagram>, SocketError>;
    if (fd_ < 0) {
        return R::Fail(SocketErrorFromErrno(EBADF));
    }
    for (int attempt = 0; attempt < kMaxInterruptRetries; ++attempt) {
        sockaddr_in from{};
        iovec data{buffer_.data(), buffer_.size()};
        alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(in_pktinfo))> control{};
        msghdr message{};
        message.msg_name = &from;
        message.msg_namelen = sizeof from;
        message.msg_iov = &data;
        message.msg_iovlen = 1;
        message.msg_control = control.data();
        message.msg_controllen = control.size();

        // MSG_TRUNC makes the call report the datagram's real length, so a cut could be seen.
        const ssize_t length = ::recvmsg(fd_, &message, MSG_TRUNC | MSG_DONTWAIT);
        if (length < 0) {
            const int code = errno;
            if (code == EINTR) {
                continue;
            }
            if (code == EAGAIN || code == EWOULDBLOCK) {
                return R::Ok(std::nullopt);
            }
            return R::Fail(SocketErrorFromErrno(code));
        }
        if (static_cast<std::size_t>(length) > buffer_.size()) {
            // Cannot happen for IPv4 UDP; a cut datagram is refused rather than half-read.
            return R::Fail(SocketErrorFromErrno(EMSGSIZE));
        }

        ReceivedDatagram datagram;
        datagram.bytes.assign(buffer_.begin(), buffer_.begin() + length);
        datagram.sender = FromInAddr(from.sin_addr);
        datagram.senderPort = ntohs(from.sin_port);
        for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
             header = CMSG_NXTHDR(&message, header)) {
            if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_PKTINFO &&
                header->cmsg_len >= CMSG_LEN(sizeof(in_pktinfo))) {
                in_pktinfo info{};
                std::memcpy(&info, CMSG_DATA(header), sizeof info);
                datagram.interfaceIndex = static_cast<unsigned>(info.ipi_ifindex);
                // ipi_spec_dst is the address the kernel would answer from on that
                // interface: its primary address, also for a broadcast request.
                datagram.localAddress = FromInAddr(info.ipi_spec_dst);
            }
        }
        if (datagram.localAddress.IsAny()) {
            datagram.localAddress =
                InterfaceIpv4Address(datagram.interfaceIndex).value_or(Ipv4Address::Any());
        }
        return R::Ok(std::move(datagram));
    }
    return R::Fail(SocketErrorFromErrno(EINTR));
}

std::optional<SocketError> PosixUdpEndpoint::Send(std::span<const std::uint8_t> bytes,
                                                  Ipv4Address destination, std::uint16_t port,
                                                  const SendRoute& route) {
    if (fd_ < 0) {
        return SocketErrorFromErrno(EBADF);
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr = ToInAddr(destination);

    iovec data{const_cast<std::uint8_t*>(bytes.data()), bytes.size()};
    alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(in_pktinfo))> control{};
    msghdr message{};
    message.msg_name = &to;
    message.msg_namelen = sizeof to;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    if (route.interfaceIndex != 0) {
        // Pinning the interface is what lets a broadcast to 255.255.255.255 leave by the
        // link the request came from, even on a host with several links or no default route.
        message.msg_control = control.data();
        message.msg_controllen = control.size();
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = IPPROTO_IP;
        header->cmsg_type = IP_PKTINFO;
        header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_ifindex = static_cast<int>(route.interfaceIndex);
        info.ipi_spec_dst = ToInAddr(route.sourceAddress);
        std::memcpy(CMSG_DATA(header), &info, sizeof info);
    }

    bool waited = false;
    for (int attempt = 0; attempt < kMaxInterruptRetries; ++attempt) {
        if (::sendmsg(fd_, &message, MSG_NOSIGNAL) >= 0) {
            return std::nullopt;
        }
        const int code = errno;
        if (code == EINTR) {
            continue;
        }
        if ((code == EAGAIN || code == EWOULDBLOCK) && !waited) {
            waited = true;
            pollfd watch{fd_, POLLOUT, 0};
            if (::poll(&watch, 1, kSendWaitMilliseconds) > 0) {
                continue;
            }
        }
        return SocketErrorFromErrno(code);
    }
    return SocketErrorFromErrno(EINTR);
}

std::string PosixUdpEndpoint::LocalIP() const { return PrimaryIpv4Address().ToString(); }

std::string PosixUdpEndpoint::LocalHostName() const {
    // Asked for every reply; a renamed host shows from the next second on.
    const auto now = std::chrono::steady_clock::now();
    if (!hostNameReadAt_ || now - *hostNameReadAt_ >= kHostNameLifetime) {
        std::array<char, 256> name{};
        hostName_ = ::gethostname(name.data(), name.size() - 1) == 0
                        ? std::string(name.data(), ::strnlen(name.data(), name.size()))
                        : std::string();
        hostNameReadAt_ = now;
    }
    return hostName_;
}

}  // namespace tarnleaf
