#include "PosixUdpEndpoint.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>

namespace tarnleaf {
namespace {

// A distant address for the routing question "which source would you use?". connect() on a
// UDP socket only consults the routing table; nothing is ever sent to it (TEST-NET-1).
constexpr std::array<std::uint8_t, 4> kRoutingProbe{192, 0, 2, 1};

// Interrupted calls are retried, but never forever.
constexpr int kMaxInterruptRetries = 16;

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

// The receive places, wired up once: recvmmsg wants its headers side by side, each pointing
// at an address, a buffer and room for the packet information.
struct PosixUdpEndpoint::ReceiveSlots {
    std::array<mmsghdr, kMaxBatch> headers;
    std::array<sockaddr_in, kMaxBatch> from;
    std::array<iovec, kMaxBatch> data;
    struct alignas(cmsghdr) Control {
        std::array<char, CMSG_SPACE(sizeof(in_pktinfo))> bytes;
    };
    std::array<Control, kMaxBatch> control;
};

PosixUdpEndpoint::PosixUdpEndpoint()
    : buffers_(new std::uint8_t[kMaxBatch * kReceiveBufferSize]),
      slots_(std::make_unique<ReceiveSlots>()) {
    for (std::size_t i = 0; i < kMaxBatch; ++i) {
        slots_->data[i] = iovec{buffers_.get() + i * kReceiveBufferSize, kReceiveBufferSize};
        msghdr& message = slots_->headers[i].msg_hdr;
        message.msg_name = &slots_->from[i];
        message.msg_iov = &slots_->data[i];
        message.msg_iovlen = 1;
        message.msg_control = slots_->control[i].bytes.data();
    }
}

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
    // be dropped: a few hundred requests, some milliseconds of work. A deeper queue only makes
    // an overloaded server answer late and in floods, which under load testing cost more
    // answers than it saved. Root (who binds port 67) may pass net.core.rmem_max; anyone
    // else gets what that limit allows.
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

Result<std::size_t, SocketError> PosixUdpEndpoint::Receive(std::span<ReceivedDatagram> into) {
    using R = Result<std::size_t, SocketError>;
    if (fd_ < 0) {
        return R::Fail(SocketErrorFromErrno(EBADF));
    }
    const std::size_t wanted = std::min(into.size(), kMaxBatch);
    if (wanted == 0) {
        return R::Ok(0);
    }
    // Only what a receive changes is set back.
    mmsghdr* const headers = slots_->headers.data();
    for (std::size_t i = 0; i < wanted; ++i) {
        msghdr& message = headers[i].msg_hdr;
        message.msg_namelen = sizeof(sockaddr_in);
        message.msg_controllen = sizeof(ReceiveSlots::Control::bytes);
        message.msg_flags = 0;
    }
    int count = -1;
    for (int attempt = 0; attempt < kMaxInterruptRetries && count < 0; ++attempt) {
        count = ::recvmmsg(fd_, headers, static_cast<unsigned>(wanted), MSG_DONTWAIT,
                           nullptr);
        if (count < 0 && errno != EINTR) {
            const int code = errno;
            if (code == EAGAIN || code == EWOULDBLOCK) {
                return R::Ok(0);
            }
            return R::Fail(SocketErrorFromErrno(code));
        }
    }
    if (count < 0) {
        return R::Fail(SocketErrorFromErrno(EINTR));
    }

    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
        msghdr& message = headers[i].msg_hdr;
        ReceivedDatagram& datagram = into[i];
        // A datagram that did not fit whole would be flagged MSG_TRUNC; IPv4 cannot carry
        // one, and a cut one is shown as empty rather than half-read.
        const bool whole = (message.msg_flags & MSG_TRUNC) == 0;
        datagram.bytes = {buffers_.get() + i * kReceiveBufferSize, whole ? headers[i].msg_len : 0};
        datagram.sender = FromInAddr(slots_->from[i].sin_addr);
        datagram.senderPort = ntohs(slots_->from[i].sin_port);
        datagram.interfaceIndex = 0;
        datagram.localAddress = Ipv4Address::Any();
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
    }
    return R::Ok(static_cast<std::size_t>(count));
}

namespace {

// The storage of one outgoing datagram's header: its address and packet information. Left
// uninitialised until Fill, which sets all that the kernel reads.
struct OutgoingHeader {
    sockaddr_in to;
    iovec data;
    alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(in_pktinfo))> control;

    void Fill(msghdr& message, const OutgoingDatagram& datagram) {
        to = sockaddr_in{};
        to.sin_family = AF_INET;
        to.sin_port = htons(datagram.port);
        to.sin_addr = ToInAddr(datagram.destination);
        data = iovec{const_cast<std::uint8_t*>(datagram.bytes.data()), datagram.bytes.size()};
        message = msghdr{};
        message.msg_name = &to;
        message.msg_namelen = sizeof to;
        message.msg_iov = &data;
        message.msg_iovlen = 1;
        if (datagram.route.interfaceIndex == 0) {
            return;
        }
        // Pinning the interface is what lets a broadcast to 255.255.255.255 leave by the
        // link the request came from, even on a host with several links or no default route.
        control.fill(0);
        message.msg_control = control.data();
        message.msg_controllen = control.size();
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = IPPROTO_IP;
        header->cmsg_type = IP_PKTINFO;
        header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_ifindex = static_cast<int>(datagram.route.interfaceIndex);
        info.ipi_spec_dst = ToInAddr(datagram.route.sourceAddress);
        std::memcpy(CMSG_DATA(header), &info, sizeof info);
    }
};

}  // namespace

bool PosixUdpEndpoint::WaitToSend() const {
    pollfd watch{fd_, POLLOUT, 0};
    int ready = -1;
    for (int attempt = 0; attempt < kMaxInterruptRetries && ready < 0; ++attempt) {
        ready = ::poll(&watch, 1, kSendWaitMilliseconds);
        if (ready < 0 && errno != EINTR) break;
    }
    return ready > 0;
}

std::optional<SocketError> PosixUdpEndpoint::Send(std::span<const std::uint8_t> bytes,
                                                  Ipv4Address destination, std::uint16_t port,
                                                  const SendRoute& route) {
    const OutgoingDatagram datagram{bytes, destination, port, route};
    std::optional<SocketError> failure;
    SendBatch({&datagram, 1}, {&failure, 1});
    return failure;
}

void PosixUdpEndpoint::SendBatch(std::span<const OutgoingDatagram> datagrams,
                                 std::span<std::optional<SocketError>> failures) {
    std::array<mmsghdr, kMaxBatch> messages;
    std::array<OutgoingHeader, kMaxBatch> headers;
    std::size_t next = 0;
    while (next < datagrams.size() && next < failures.size()) {
        if (fd_ < 0) {
            failures[next++] = SocketErrorFromErrno(EBADF);
            continue;
        }
        const std::size_t count = std::min({datagrams.size() - next, failures.size() - next,
                                            kMaxBatch});
        for (std::size_t i = 0; i < count; ++i) {
            headers[i].Fill(messages[i].msg_hdr, datagrams[next + i]);
            messages[i].msg_len = 0;
        }
        bool waited = false;
        int attempts = 0;
        int sent = -1;
        int code = 0;
        while (sent < 0) {
            sent = ::sendmmsg(fd_, messages.data(), static_cast<unsigned>(count), MSG_NOSIGNAL);
            code = sent < 0 ? errno : 0;
            if (sent >= 0 || ++attempts >= kMaxInterruptRetries) {
                break;
            }
            if (code == EINTR) {
                continue;
            }
            if ((code == EAGAIN || code == EWOULDBLOCK) && !waited) {
                waited = true;
                if (WaitToSend()) {
                    continue;
                }
            }
            break;
        }
        if (sent > 0) {
            for (int i = 0; i < sent; ++i) {
                failures[next++].reset();
            }
        } else {
            // The first of the rest was refused; the others are tried again after it.
            failures[next++] = SocketErrorFromErrno(sent == 0 ? EAGAIN : code);
        }
    }
}

std::string PosixUdpEndpoint::LocalIP() const { return PrimaryIpv4Address().ToString(); }

const std::string& PosixUdpEndpoint::LocalHostName() const {
    // Asked for every reply; a renamed host shows from the next second on.
    // The coarse clock (the last tick) is plenty for a lifetime of a second and costs less
    // on every reply.
    timespec coarse{};
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &coarse);
    const std::chrono::nanoseconds now =
        std::chrono::seconds(coarse.tv_sec) + std::chrono::nanoseconds(coarse.tv_nsec);
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
