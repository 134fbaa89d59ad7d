// libFuzzer target: one datagram through the whole server path (classification, decode,
// request dump, reply construction from a profile, encode, send, reply dump), with the
// profiles themselves fuzzed, then the test message built from the same profiles.
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

#include "StaticProfileSource.h"
#include "MessageCodec.h"
#include "PacketDump.h"
#include "LogModel.h"
#include "RequestCycle.h"
#include "TestMessageSender.h"
#include "support/FakeClock.h"
#include "support/FakeUdpEndpoint.h"

namespace {

constexpr std::string_view kSeparator = "\n==DATAGRAM==\n";

// A broken invariant is a finding: abort so that libFuzzer keeps the input.
void Require(bool condition, int line) {
    if (!condition) {
        std::fprintf(stderr, "invariant of line %d broken\n", line);
        std::abort();
    }
}
#define REQUIRE(condition) Require((condition), __LINE__)

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarnleaf;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const auto cut = input.find(kSeparator);
    const std::string_view ini = cut == std::string_view::npos ? std::string_view{}
                                                                : input.substr(0, cut);
    const std::string_view datagramText =
        cut == std::string_view::npos ? input : input.substr(cut + kSeparator.size());
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
        REQUIRE(datagram.size() >= kFixedHeaderSize + 4);
        REQUIRE(sent.bytes.size() >= kFixedHeaderSize);
        // The transaction id is the one thing a reply always keeps.
        REQUIRE(std::equal(sent.bytes.begin() + 4, sent.bytes.begin() + 8, datagram.begin() + 4));
        // Only a true reply to a relayed request goes back to the relay agent's port 67;
        // everything else is a broadcast to the clients' port.
        if (sent.port == 67) {
            REQUIRE(datagram[0] == 1 && sent.bytes[0] == 2);
            REQUIRE(std::equal(sent.destination.octets.begin(), sent.destination.octets.end(),
                               datagram.begin() + 24));
        } else {
            REQUIRE(sent.port == 68 && sent.destination == Ipv4Address::Broadcast());
        }
        // What went out must read back, and dump, like any request.
        const BootpMessage reread = DecodeMessage(sent.bytes);
        (void)DumpMessage(reread);
    }

    // The test message from the same (fuzzed) profiles.
    TestMessageSender sender(endpoint, profiles, log, clock);
    sender.SendTestMessage();

    REQUIRE(log.Text().size() < LogModel::kTextLimit + 64 * 1024);
    return 0;
}
