// libFuzzer target: one datagram through the whole server path (classification, decode,
// request dump, reply construction from a profile, encode, send, reply dump), with the
// profiles themselves fuzzed, then the test message built from the same profiles, and the
// file check (`tarnleafd --check`) over the same text.
//
// Input layout: the text of Tarnleaf.ini, the separator line "\n==DATAGRAM==\n", then the
// datagram's bytes. Without the separator the whole input is the datagram and the file is
// empty.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "BootpConstants.h"
#include "StaticProfileSource.h"
#include "MessageCodec.h"
#include "PacketDump.h"
#include "LogModel.h"
#include "ProfileCheck.h"
#include "RequestCycle.h"
#include "TestMessageSender.h"
#include "support/FakeClock.h"
#include "support/FakeUdpEndpoint.h"

// A broken invariant is a finding: abort so that libFuzzer keeps the input.
#define REQUIRE(condition)                                                             \
    do {                                                                               \
        if (!(condition)) std::fprintf(stderr, "line %d\n", __LINE__), std::abort();   \
    } while (0)

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarnleaf;
    constexpr std::string_view kSeparator = "\n==DATAGRAM==\n";
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto cut = input.find(kSeparator);
    const bool split = cut != std::string_view::npos;  // else all datagram, and no file
    const std::string_view ini = split ? input.substr(0, cut) : std::string_view{};
    const std::string_view datagramText = split ? input.substr(cut + kSeparator.size()) : input;
    const std::vector<std::uint8_t> datagram(datagramText.begin(), datagramText.end());

    StaticProfileSource profiles(ini);
    testing::FakeUdpEndpoint endpoint;
    testing::FakeClock clock;
    LogModel log;
    log.SetLoggingEnabled(true);  // builds both dumps
    RequestCycle cycle(endpoint, profiles, log, clock);

    endpoint.QueueDatagram(datagram);
    REQUIRE(cycle.HandleOneDatagram());
    REQUIRE(endpoint.Pending() == 0);

    REQUIRE(endpoint.Sent().size() <= 1);
    if (!endpoint.Sent().empty()) {
        const auto& sent = endpoint.Sent().front();
        REQUIRE(datagram.size() >= kFixedHeaderSize + kMagicCookieSize);
        REQUIRE(sent.bytes.size() >= kFixedHeaderSize);
        // The transaction id is the one thing a reply always keeps.
        REQUIRE(std::equal(sent.bytes.begin() + 4, sent.bytes.begin() + 8, datagram.begin() + 4));
        // Only a true reply to a relayed request goes back to the relay agent's port 67;
        // everything else is a broadcast to the clients' port.
        if (sent.port == kServerPort) {
            REQUIRE(datagram[0] == kBootRequest && sent.bytes[0] == kBootReply);
            REQUIRE(std::equal(sent.destination.octets.begin(), sent.destination.octets.end(),
                               datagram.begin() + 24));
        } else {
            REQUIRE(sent.port == kClientPort && sent.destination == Ipv4Address::Broadcast());
        }
        // What went out must read back, and dump, like any request.
        const BootpMessage reread = DecodeMessage(sent.bytes);
        (void)DumpMessage(reread);
    }

    // The test message from the same (fuzzed) profiles.
    TestMessageSender sender(endpoint, profiles, log, clock);
    sender.SendTestMessage();

    REQUIRE(log.Text().size() < LogModel::kTextLimit + 64 * 1024);

    (void)FormatFindings("Tarnleaf.ini", CheckProfiles(ini));
    return 0;
}
