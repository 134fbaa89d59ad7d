// One request through the whole server path in process: receive, decode, profile lookup,
// BuildReply, encode, send; with logging off and with both dumps written to the log. The
// profile source holds 1, 100 or 10,000 client sections, to show the cost is flat in the
// size of the file.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "StaticProfileSource.h"
#include "MessageCodec.h"
#include "LogModel.h"
#include "ReplyBuilder.h"
#include "RequestCycle.h"
#include "support/GoldenMessages.h"

namespace tarnleaf {
namespace {

// Hands out the same datagram on every Receive and drops what is sent, so the benchmark
// measures the server and not a recording fake.
class LoopbackEndpoint : public UdpEndpoint {
public:
    explicit LoopbackEndpoint(std::vector<std::uint8_t> datagram) : datagram_(std::move(datagram)) {}

    std::optional<SocketError> Bind(std::uint16_t) override { return std::nullopt; }
    Result<std::size_t, SocketError> Receive(std::span<ReceivedDatagram> into) override {
        for (ReceivedDatagram& received : into) {
            received.bytes = datagram_;
            received.localAddress = Ipv4Address{{192, 168, 0, 1}};
            received.interfaceIndex = 2;
        }
        return Result<std::size_t, SocketError>::Ok(into.size());
    }
    std::optional<SocketError> Send(std::span<const std::uint8_t> bytes, Ipv4Address, std::uint16_t,
                                    const SendRoute&) override {
        sentBytes_ += bytes.size();
        return std::nullopt;
    }
    std::string LocalIP() const override { return "192.168.0.1"; }
    const std::string& LocalHostName() const override { return hostName_; }
    std::intptr_t NativeHandle() const override { return -1; }

    std::size_t SentBytes() const { return sentBytes_; }

private:
    std::vector<std::uint8_t> datagram_;
    std::size_t sentBytes_ = 0;
    std::string hostName_ = "bench-host";
};

class FixedClock : public Clock {
public:
    std::string_view LocalTimestamp() const override { return "2026/12/06 21:00:00"; }
    std::uint64_t SeedValue() const override { return 1; }
};

// A file of `sections` client sections; the golden client's is the last one written.
std::string MakeIni(int sections) {
    std::string text;
    char name[32];
    for (int i = 1; i < sections; ++i) {
        std::snprintf(name, sizeof name, "02-00-00-%02X-%02X-%02X", (i >> 16) & 0xFF,
                      (i >> 8) & 0xFF, i & 0xFF);
        text.append("[").append(name).append("]\n");
        text += "BootFile=pxelinux.0\nHostIP=10.0.0.1\nSubnetMask=255.255.255.0\n"
                "Gateway=10.0.0.254\n";
    }
    text += "[00-A0-C9-12-34-56]\n"
            "BootFile=pxelinux.0\n"
            "HostIP=192.168.0.20\n"
            "ServerName=bench\n"
            "SubnetMask=255.255.255.0\n"
            "Gateway=192.168.0.254\n"
            "DomainNameServer=192.168.0.2, 192.168.0.3\n"
            "DomainName=example.lan\n"
            "IPAddressLeaseTime=86400\n"
            "ServerIdentifier=192.168.0.1\n";
    return text;
}

// A server's request path in process, the golden DISCOVER its only request, with a file of
// `sections` client sections.
struct ServerInProcess {
    ServerInProcess(benchmark::State& state, bool logging)
        : profiles(MakeIni(static_cast<int>(state.range(0)))),
          endpoint(golden::Bytes(golden::kDiscoverImage)) {
        log.SetLoggingEnabled(logging);
    }
    void CheckReplied(benchmark::State& state) const {
        if (endpoint.SentBytes() == 0) state.SkipWithError("no reply was sent");
    }

    StaticProfileSource profiles;
    LoopbackEndpoint endpoint;
    LogModel log;
    FixedClock clock;
    RequestCycle cycle{endpoint, profiles, log, clock};
};

void RunCycle(benchmark::State& state, bool logging) {
    ServerInProcess server(state, logging);
    for (auto _ : state) {
        benchmark::DoNotOptimize(server.cycle.HandleOneDatagram());
    }
    server.CheckReplied(state);
    state.counters["log_chars"] = static_cast<double>(server.log.Text().size());
}

void BM_ReplyWithoutDumps(benchmark::State& state) { RunCycle(state, false); }
BENCHMARK(BM_ReplyWithoutDumps)->Arg(1)->Arg(100)->Arg(10000);

void BM_ReplyWithDumps(benchmark::State& state) { RunCycle(state, true); }
BENCHMARK(BM_ReplyWithDumps)->Arg(1)->Arg(100)->Arg(10000);

// The request as a server meets it at a few thousand requests a second: between two requests
// the kernel and whatever else ran on the core have pushed the server's code and data out of
// the core's caches, so what counts is how much code and data one reply touches, not how
// fast it runs once loaded. Each round first sweeps a buffer larger than a core's own caches;
// only the reply itself is timed. Under real load the address translations and the shared
// cache have gone cold too, and a reply costs more again (see bench/load.sh).
void BM_ReplyFromColdCaches(benchmark::State& state) {
    ServerInProcess server(state, false);
    std::vector<std::uint8_t> sweep(8u << 20);
    std::uint8_t salt = 0;
    for (auto _ : state) {
        ++salt;
        for (std::size_t i = 0; i < sweep.size(); i += 64) {
            sweep[i] = static_cast<std::uint8_t>(sweep[i] + salt);
        }
        benchmark::ClobberMemory();
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(server.cycle.HandleOneDatagram());
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    server.CheckReplied(state);
}
BENCHMARK(BM_ReplyFromColdCaches)->Arg(1000)->UseManualTime()->Iterations(20000);

// Reply construction alone (profile lookup and option 53 insertion), for comparison.
void BM_BuildReply(benchmark::State& state) {
    StaticProfileSource profiles(MakeIni(static_cast<int>(state.range(0))));
    const BootpMessage request = DecodeMessage(golden::Bytes(golden::kDiscoverImage));
    for (auto _ : state) {
        BootpMessage message = request;
        BuildReply(profiles, message);
        benchmark::DoNotOptimize(message);
    }
}
BENCHMARK(BM_BuildReply)->Arg(1)->Arg(100)->Arg(10000);

}  // namespace
}  // namespace tarnleaf
