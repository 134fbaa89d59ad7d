#include "ReplyPreview.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "BootpConstants.h"
#include "Clock.h"
#include "LogModel.h"
#include "RequestCycle.h"
#include "UdpEndpoint.h"

namespace tarnleaf {

namespace {

constexpr std::size_t kRequestSize = 300;
constexpr std::size_t kOptionsOffset = 236;
constexpr std::size_t kChaddrOffset = 28;

// An endpoint that holds one datagram to hand out and keeps what the cycle sends; it never
// opens a socket.
class PreviewEndpoint final : public UdpEndpoint {
public:
    PreviewEndpoint(std::vector<std::uint8_t> request, Ipv4Address local, std::string hostName)
        : request_(std::move(request)), local_(local), hostName_(std::move(hostName)) {}

    std::optional<SocketError> Bind(std::uint16_t) override { return std::nullopt; }

    // The request once, then nothing.
    Result<std::size_t, SocketError> Receive(std::span<ReceivedDatagram> into) override {
        if (handedOut_ || into.empty()) return Result<std::size_t, SocketError>::Ok(0);
        handedOut_ = true;
        into[0] = ReceivedDatagram{request_, {}, 0, local_, 0};
        return Result<std::size_t, SocketError>::Ok(1);
    }

    std::optional<SocketError> Send(std::span<const std::uint8_t>, Ipv4Address, std::uint16_t,
                                    const SendRoute&) override {
        sent_ = true;
        return std::nullopt;
    }

    std::string LocalIP() const override { return local_.ToString(); }
    const std::string& LocalHostName() const override { return hostName_; }
    std::intptr_t NativeHandle() const override { return -1; }

    bool Sent() const { return sent_; }

private:
    std::vector<std::uint8_t> request_;
    Ipv4Address local_;
    std::string hostName_;
    bool handedOut_ = false;
    bool sent_ = false;
};

// The preview leaves the date out, so any time will do.
class StillClock final : public Clock {
public:
    std::string_view LocalTimestamp() const override { return {}; }
    std::uint64_t SeedValue() const override { return 0; }
};

// A message entry without its "date [" and "size [" lines; an error entry without the blank
// lines around it.
std::string EntryBody(std::string_view entry, bool messageEntry) {
    if (entry.starts_with("\r\n")) entry.remove_prefix(2);
    if (messageEntry) {
        const std::size_t size = entry.find("size [");
        const std::size_t end = size == std::string_view::npos ? size : entry.find("\r\n", size);
        if (end != std::string_view::npos) entry.remove_prefix(end + 2);
        return std::string(entry);
    }
    while (entry.ends_with("\r\n\r\n")) entry.remove_suffix(2);
    return std::string(entry);
}

}  // namespace

std::optional<PreviewType> ParsePreviewType(std::string_view text) {
    const std::pair<std::string_view, PreviewType> names[] = {{"discover", PreviewType::Discover},
                                                              {"request", PreviewType::Request},
                                                              {"inform", PreviewType::Inform},
                                                              {"bootp", PreviewType::Bootp}};
    for (const auto& [name, type] : names) {
        if (text.size() == name.size() &&
            std::equal(text.begin(), text.end(), name.begin(), [](char a, char b) {
                return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
            })) {
            return type;
        }
    }
    return std::nullopt;
}

std::optional<MacAddress> ParseMacAddress(std::string_view text) {
    MacAddress mac{};
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::size_t at = 0;
    for (std::size_t i = 0; i < mac.size(); ++i) {
        if (i > 0) {
            if (at >= text.size() || (text[at] != '-' && text[at] != ':')) return std::nullopt;
            ++at;
        }
        int value = 0;
        std::size_t digits = 0;
        for (; at < text.size() && digits < 2 && digit(text[at]) >= 0; ++at, ++digits) {
            value = value * 16 + digit(text[at]);
        }
        if (digits == 0) return std::nullopt;
        mac[i] = static_cast<std::uint8_t>(value);
    }
    if (at != text.size()) return std::nullopt;
    return mac;
}

std::vector<std::uint8_t> MinimalRequest(const MacAddress& mac, PreviewType type) {
    std::vector<std::uint8_t> request(kRequestSize, 0);
    request[0] = kBootRequest;
    request[1] = 1;  // Ethernet
    request[2] = static_cast<std::uint8_t>(mac.size());
    std::copy(mac.begin(), mac.end(), request.begin() + kChaddrOffset);
    std::size_t at = kOptionsOffset;
    for (std::uint8_t byte : kMagicCookie) request[at++] = byte;
    const std::optional<DhcpMessageType> dhcpType =
        type == PreviewType::Discover  ? std::optional(DhcpMessageType::Discover)
        : type == PreviewType::Request ? std::optional(DhcpMessageType::Request)
        : type == PreviewType::Inform  ? std::optional(DhcpMessageType::Inform)
                                       : std::nullopt;
    if (dhcpType) {
        request[at++] = kMessageTypeOption;
        request[at++] = 1;
        request[at++] = static_cast<std::uint8_t>(*dhcpType);
    }
    request[at] = kEndOption;
    return request;
}

ReplyPreview PreviewReply(ProfileSource& profiles, const std::vector<std::uint8_t>& request,
                          Ipv4Address local, std::string hostName) {
    PreviewEndpoint endpoint(request, local, std::move(hostName));
    const StillClock clock;
    LogModel log;
    std::string lastEntry;
    log.Subscribe([&lastEntry](const LogChange& change) { lastEntry = change.appended; });
    RequestCycle cycle(endpoint, profiles, log, clock);
    cycle.HandleOneDatagram();
    // The cycle's last word: the reply's entry once it went out, else the error instead.
    return ReplyPreview{EntryBody(lastEntry, endpoint.Sent()), endpoint.Sent()};
}

}  // namespace tarnleaf
