#pragma once

#include <chrono>
#include <memory>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "ReceivePacer.h"
#include "UdpEndpoint.h"

namespace tarnleaf {

// The UDP endpoint on Linux: one IPv4 socket, non-blocking unless told to wait, bound to 0.0.0.0:<port> with
// broadcast allowed and without SO_REUSEADDR, so that a second server on the same port fails
// to bind instead of silently sharing the traffic. IP_PKTINFO tells which interface a
// datagram came in on, and steers a reply out of that interface.
class PosixUdpEndpoint final : public UdpEndpoint {
public:
    PosixUdpEndpoint();
    ~PosixUdpEndpoint() override;
    PosixUdpEndpoint(const PosixUdpEndpoint&) = delete;
    PosixUdpEndpoint& operator=(const PosixUdpEndpoint&) = delete;

    std::optional<SocketError> Bind(std::uint16_t port) override;
    // recvmmsg: every waiting datagram that fits `into` in one call.
    Result<std::size_t, SocketError> Receive(std::span<ReceivedDatagram> into) override;
    // From now on Receive waits for a datagram rather than finding none: for a server whose
    // thread has nothing else to wait for, which then spends one system call per request
    // instead of a wait and a receive, and under sustained load gathers requests for a
    // moment to take them together (see ReceivePacer). A wait ends without datagrams after
    // `longest`, or when a signal handler has run. Sends never wait.
    std::optional<SocketError> WaitInReceive(std::chrono::milliseconds longest);
    std::optional<SocketError> Send(std::span<const std::uint8_t> bytes, Ipv4Address destination,
                                    std::uint16_t port, const SendRoute& route) override;
    // sendmmsg: as many as the kernel takes per call; a datagram it refuses is reported and
    // the rest go on.
    void SendBatch(std::span<const OutgoingDatagram> datagrams,
                   std::span<std::optional<SocketError>> failures) override;
    std::string LocalIP() const override;
    const std::string& LocalHostName() const override;
    std::intptr_t NativeHandle() const override { return fd_; }

    // The port actually bound (useful after Bind(0)); 0 when not bound.
    std::uint16_t BoundPort() const;

    // Largest datagram IPv4 can carry; a bigger one cannot arrive, so nothing is cut.
    static constexpr std::size_t kReceiveBufferSize = 65535;
    // Datagrams taken per Receive at most.
    static constexpr std::size_t kMaxBatch = 32;
    // The socket's receive queue asked of the kernel, in bytes.
    static constexpr int kReceiveQueueBytes = 256 * 1024;

private:
    void Close();
    // False when a signal handler ended the sleep.
    static bool SleepUntil(ReceivePacer::Clock::time_point until);
    // A full send buffer: waits for room once, briefly. True when there is room.
    bool WaitToSend() const;

    static constexpr std::chrono::seconds kHostNameLifetime{1};
    // A full send buffer is waited out for at most this long before a send counts as failed.
    static constexpr int kSendWaitMilliseconds = 50;

    struct ReceiveSlots;

    int fd_ = -1;
    bool waits_ = false;
    ReceivePacer pacer_;  // how a waiting receive takes its requests
    // kMaxBatch buffers of kReceiveBufferSize, left uninitialised: a page is only ever
    // touched by the datagrams that reach it, so the room for rare large ones costs nothing.
    std::unique_ptr<std::uint8_t[]> buffers_;
    std::unique_ptr<ReceiveSlots> slots_;
    mutable std::string hostName_;
    mutable std::optional<std::chrono::nanoseconds> hostNameReadAt_;  // monotonic
};

// The errno value as a SocketError: the code and strerror's text.
SocketError SocketErrorFromErrno(int code);

}  // namespace tarnleaf
