#include "RequestCycle.h"

#include <algorithm>
#include <string>
#include <utility>

#include "BootpConstants.h"
#include "MessageCodec.h"
#include "PacketDump.h"
#include "ProfileRefresh.h"
#include "ReplyBuilder.h"

namespace tarnleaf {

namespace {

constexpr std::size_t kCookieOffset = kFixedHeaderSize;
constexpr std::size_t kSmallestDhcp = kFixedHeaderSize + kMagicCookieSize;
constexpr std::size_t kGiaddrOffset = 24;
constexpr std::size_t kSnameLimit = 64;
constexpr std::string_view kIgnoredShort = "Ignored: shorter than a BOOTP message (300 bytes)\r\n";

// A relay agent's own address is unicast; anything else in giaddr (broadcast, multicast,
// loopback, "this network") is no place to send a reply.
bool IsUnicast(const Ipv4Address& address) {
    const std::uint8_t first = address.octets[0];
    return first != 0 && first != 127 && first < 224;
}

}  // namespace

DatagramShape ClassifyDatagram(std::span<const std::uint8_t> bytes) {
    if (bytes.size() >= kMinimumMessageSize) {
        return DatagramShape::Bootp;
    }
    if (bytes.size() >= kSmallestDhcp &&
        std::equal(kMagicCookie.begin(), kMagicCookie.end(), bytes.begin() + kCookieOffset)) {
        return DatagramShape::UnpaddedDhcp;
    }
    return DatagramShape::TooShort;
}

RequestCycle::RequestCycle(UdpEndpoint& endpoint, ProfileSource& profiles, LogModel& log,
                           const Clock& clock)
    : endpoint_(endpoint),
      profiles_(profiles),
      log_(log),
      clock_(clock),
      transmitter_(endpoint, log, clock) {}

std::size_t RequestCycle::HandleWaitingDatagrams(std::size_t limit) {
    const auto batch = std::span(received_).first(std::min(limit, kBatchSize));
    auto received = endpoint_.Receive(batch);
    if (!received.ok()) {
        OnSocketError(received.error());
        return 0;
    }
    const std::size_t count = std::min(received.value(), batch.size());
    if (count != 0) {
        // Once per batch: every reply of it comes from one state of the file, and an edit
        // counts from the next batch, which is the next wake-up of the server. A file that
        // has become unreadable is said here, once.
        RefreshProfiles(profiles_, log_);
    }
    together_ = !log_.LoggingEnabled() && count > 1;
    outgoingCount_ = 0;
    for (std::size_t i = 0; i < count; ++i) {
        sendIndex_[i] = -1;
        faults_[i].clear();
        Answer(batch[i], i);
    }
    if (together_) {
        SendTogether(count);
    }
    return count;
}

void RequestCycle::SendTogether(std::size_t count) {
    endpoint_.SendBatch(std::span(outgoing_).first(outgoingCount_),
                        std::span(failures_).first(outgoingCount_));
    for (std::size_t i = 0; i < count; ++i) {
        if (!faults_[i].empty()) {
            log_.AppendErrorEntry(faults_[i]);
        } else if (sendIndex_[i] >= 0) {
            if (const auto& failure = failures_[static_cast<std::size_t>(sendIndex_[i])]) {
                log_.AppendErrorEntry(SendErrorBody(*failure));
            }
        }
    }
}

void RequestCycle::OnSocketError(const SocketError& error) {
    log_.AppendErrorEntry(SocketErrorBody(error));
}

void RequestCycle::Answer(const ReceivedDatagram& datagram, std::size_t slot) {
    std::span<const std::uint8_t> bytes = datagram.bytes;
    const std::size_t receivedSize = bytes.size();

    switch (ClassifyDatagram(bytes)) {
        case DatagramShape::Bootp:
            break;
        case DatagramShape::UnpaddedDhcp:
            // DHCP clients may leave out BOOTP's padding; zeros behind the END change nothing.
            request_.assign(bytes.begin(), bytes.end());
            request_.resize(kMinimumMessageSize, 0);
            bytes = request_;
            break;
        case DatagramShape::TooShort:
            if (log_.LoggingEnabled()) {
                log_.AppendMessageEntry(receivedSize, kIgnoredShort, clock_.LocalTimestamp());
            }
            return;
    }

    BootpMessage& message = message_;
    DecodeMessage(bytes, message);
    transmitter_.LogMessage(receivedSize, message);

    // A relay agent names itself in giaddr; the reply goes back to it, not to the wire.
    const Ipv4Address relay{{bytes[kGiaddrOffset], bytes[kGiaddrOffset + 1],
                             bytes[kGiaddrOffset + 2], bytes[kGiaddrOffset + 3]}};
    const bool fromRelay = message.op == kBootRequest && IsUnicast(relay);
    // The section the reply's profile came from, for an encoding fault: the load may rewrite
    // chaddr.
    std::string& section = section_;
    section.assign(message.chaddr);

    // On a multi-homed host only the arriving interface's address is one the client can
    // reach; the host-wide address serves when the endpoint cannot tell.
    std::string& localIp = localIp_;
    if (datagram.localAddress.IsAny()) {
        localIp = endpoint_.LocalIP();
    } else {
        localIp.assign(datagram.localAddress.ToText().View());
    }
    message.siaddr = localIp;

    builder_.Build(profiles_, message);

    if (message.siaddr == localIp && message.sname.empty()) {
        message.sname.assign(endpoint_.LocalHostName(), 0, kSnameLimit);
    }

    std::vector<std::uint8_t>& reply = replies_[slot];
    if (const auto fault = EncodeMessage(message, reply)) {
        if (together_) {
            faults_[slot] = EncodeErrorBody(section, *fault);
        } else {
            log_.AppendErrorEntry(EncodeErrorBody(section, *fault));
        }
        return;
    }

    // Only a true reply goes to the agent's server port: an echoed request (unknown client)
    // sent there would be relayed back to us, and a reply to a reply would never end.
    const bool toAgent = fromRelay && message.op == kBootReply;
    const OutgoingDatagram outgoing{reply, toAgent ? relay : Ipv4Address::Broadcast(),
                                    toAgent ? kServerPort : kClientPort,
                                    SendRoute{datagram.interfaceIndex, datagram.localAddress}};
    if (together_) {
        sendIndex_[slot] = static_cast<int>(outgoingCount_);
        outgoing_[outgoingCount_++] = outgoing;
    } else {
        transmitter_.TransmitMessage(message, reply, outgoing.destination, outgoing.port,
                                     outgoing.route);
    }
}

}  // namespace tarnleaf
