#include "PosixUdpEndpoint.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>

#include "InterfaceAddresses.h"

namespace tarnleaf {
namespace {

// Interrupted calls are retried, but never forever.
constexpr int kMaxInterruptRetries = 16;

}  // namespace

SocketError SocketErrorFromErrno(int code) {
    std::array<char, 256> text{};
    // The GNU strerror_r may return a static string instead of filling the buffer.
    const char* description = ::strerror_r(code, text.data(), text.size());
    return SocketError{code, description != nullptr ? std::string(description) : std::string()};
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
    waits_ = false;
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

std::optional<SocketError> PosixUdpEndpoint::WaitInReceive(std::chrono::milliseconds longest) {
    if (fd_ < 0) {
        return SocketErrorFromErrno(EBADF);
    }
    // SO_RCVTIMEO takes zero for "no limit": a limit is at least a millisecond.
    longest = std::max(longest, std::chrono::milliseconds(1));
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(longest);
    timeval timeout{};
    timeout.tv_sec = static_cast<time_t>(seconds.count());
    timeout.tv_usec = static_cast<suseconds_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(longest - seconds).count());
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags < 0 || ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0 ||
        ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return SocketErrorFromErrno(errno);
    }
    waits_ = true;
    pacer_ = ReceivePacer();
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
    std::size_t wanted = std::min(into.size(), kMaxBatch);
    if (wanted == 0) {
        return R::Ok(0);
    }
    // A waiting receive waits for one request or, under load, sleeps a moment and takes all
    // that came meanwhile.
    const std::optional<ReceivePacer::Clock::time_point> gatherAfter =
        waits_ ? pacer_.GatherAfter() : std::nullopt;
    if (gatherAfter && !SleepUntil(*gatherAfter)) {
        return R::Ok(0);  // a signal ended the sleep: the caller looks why
    }
    const bool blocks = waits_ && !gatherAfter;
    if (blocks) {
        wanted = 1;
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
        if (wanted == 1) {
            const ssize_t length = ::recvmsg(fd_, &headers[0].msg_hdr, blocks ? 0 : MSG_DONTWAIT);
            if (length >= 0) {
                headers[0].msg_len = static_cast<unsigned>(length);
                count = 1;
            }
        } else {
            count = ::recvmmsg(fd_, headers, static_cast<unsigned>(wanted), MSG_DONTWAIT,
                               nullptr);
        }
        if (count < 0 && errno != EINTR) {
            const int code = errno;
            if (code == EAGAIN || code == EWOULDBLOCK) {
                if (waits_) {
                    pacer_.Took(ReceivePacer::Clock::now(), 0, false);
                }
                return R::Ok(0);  // none waiting, or a waiting receive timed out
            }
            return R::Fail(SocketErrorFromErrno(code));
        }
        if (count < 0 && waits_) {
            return R::Ok(0);  // a signal ended the wait: the caller looks why
        }
    }
    if (count < 0) {
        return R::Fail(SocketErrorFromErrno(EINTR));
    }
    if (waits_) {
        pacer_.Took(ReceivePacer::Clock::now(), static_cast<std::size_t>(count),
                    static_cast<std::size_t>(count) == wanted);
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

bool PosixUdpEndpoint::SleepUntil(ReceivePacer::Clock::time_point until) {
    // steady_clock is CLOCK_MONOTONIC, so its times are the sleep's own.
    const auto sinceStart = until.time_since_epoch();
    if (until <= ReceivePacer::Clock::now()) {
        return true;
    }
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceStart);
    timespec due{};
    due.tv_sec = static_cast<time_t>(seconds.count());
    due.tv_nsec = static_cast<long>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(sinceStart - seconds).count());
    return ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) != EINTR;
}

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
            // MSG_DONTWAIT: the socket itself may wait in receives; a send never does.
            if (count == 1) {
                sent = ::sendmsg(fd_, &messages[0].msg_hdr, MSG_NOSIGNAL | MSG_DONTWAIT) < 0 ? -1 : 1;
            } else {
                sent = ::sendmmsg(fd_, messages.data(), static_cast<unsigned>(count),
                                  MSG_NOSIGNAL | MSG_DONTWAIT);
            }
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
