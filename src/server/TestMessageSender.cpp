#include "TestMessageSender.h"

#include <random>
#include <string>

#include "BootpConstants.h"
#include "ProfileLoader.h"
#include "MessageCodec.h"
#include "PacketDump.h"
#include "ProfileRefresh.h"
#include "TextConversions.h"

namespace tarnleaf {

namespace {

std::string NotSentBody(std::string_view reason) {
    std::string body = "Test Message Not Sent!\r\n";
    body += reason;
    return body;
}

// A profile's value as the log shows it: it may hold control characters.
std::string Shown(std::string_view value) {
    std::string text;
    AppendLogText(text, value);
    return text;
}

}  // namespace

void BuildTestMessage(const ProfileSource& profiles, std::uint64_t seed, BootpMessage& message) {
    std::mt19937_64 generator(seed);
    LoadProfile(profiles, std::string(kTestMessageSection), message);
    // 255 is left out of every byte of the id.
    std::uniform_int_distribution<int> byte(0, 254);
    for (std::uint8_t& b : message.xid) {
        b = static_cast<std::uint8_t>(byte(generator));
    }
}

TestMessageSender::TestMessageSender(UdpEndpoint& endpoint, ProfileSource& profiles,
                                     LogModel& log, const Clock& clock)
    : profiles_(profiles),
      log_(log),
      clock_(clock),
      transmitter_(endpoint, log, clock) {}

void TestMessageSender::SendTestMessage() {
    RefreshProfiles(profiles_, log_);

    BootpMessage message;
    BuildTestMessage(profiles_, clock_.SeedValue(), message);

    auto encoded = EncodeMessage(message);
    if (!encoded.ok()) {
        log_.AppendErrorEntry(EncodeErrorBody(kTestMessageSection, encoded.error()));
        return;
    }

    const std::string sendPort = profiles_.GetIniString(kTestMessageSection, "SendPort", "");
    const std::optional<std::uint16_t> port = ChooseSendPort(sendPort);
    if (!port) {
        log_.AppendErrorEntry(NotSentBody("SendPort [" + Shown(sendPort) +
                                          "] names no port: use BOOTPS, BOOTPC or a number "
                                          "from 1 to 65535"));
        return;
    }

    if (message.siaddr.empty()) {
        log_.AppendErrorEntry(
            NotSentBody("no ServerIP in section [TestMessage]: it names the destination"));
        return;
    }
    const std::optional<Ipv4Address> destination = Ipv4Address::Parse(message.siaddr);
    if (!destination) {
        log_.AppendErrorEntry(
            NotSentBody("ServerIP [" + Shown(message.siaddr) + "] is not an IPv4 address"));
        return;
    }

    // No request arrived, so no interface is implied: routing picks the way out.
    transmitter_.TransmitMessage(message, encoded.value(), *destination, *port, SendRoute{});
}

}  // namespace tarnleaf
