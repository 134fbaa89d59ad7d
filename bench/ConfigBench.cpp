// The cost of laying one client's profile over a request, as the server does it per message:
// Refresh() (one status query of an unchanged file) then LoadProfile with its options. It
// must stay flat as the file grows; only re-reading an edited file grows with its size, and
// the memory a loaded file takes stays within a few times its size.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "ConfigFile.h"
#include "ProfileCheck.h"
#ifdef __linux__
#include "InotifyFileWatcher.h"
#endif
#include "ProfileLoader.h"
#include "StaticProfileSource.h"

namespace tarnleaf {
namespace {

std::string ClientName(int i) {
    char name[18];
    std::snprintf(name, sizeof name, "00-A0-C9-%02X-%02X-%02X", (i >> 16) & 0xFF,
                  (i >> 8) & 0xFF, i & 0xFF);
    return name;
}

std::string ConfigText(int clients) {
    std::string text = "[TestMessage]\nSendPort=BOOTPS\nMessageType=BOOTREQUEST\n\n";
    for (int i = 0; i < clients; ++i) {
        text.append("[").append(ClientName(i)).append("]\n");
        text.append("BootFile=pxelinux.0\nHostIP=192.168.0.")
            .append(std::to_string(i % 250 + 2))
            .append("\n");
        text +=
            "SubnetMask=255.255.255.0\nGateway=192.168.0.1\n"
            "DomainNameServer=192.168.0.1, 192.168.0.2\nHostName=pc\n"
            "ServerIdentifier=192.168.0.10\nIPAddressLeaseTime=86400\n"
            "RenewalTimeValue=43200\nRebindingTimeValue=75600\nMessageSize=576\n\n";
    }
    return text;
}

// A Tarnleaf.ini of `clients` sections in a folder of its own, removed afterwards.
class ConfigOnDisk {
public:
    explicit ConfigOnDisk(int clients) : ConfigOnDisk(ConfigText(clients), clients) {}
    ConfigOnDisk(const std::string& text, int tag)
        : folder_(std::filesystem::temp_directory_path() /
                  ("tarnleaf-config-bench-" + std::to_string(tag))) {
        std::filesystem::create_directories(folder_);
        std::ofstream(DefaultConfigPath(folder_).string(), std::ios::binary) << text;
    }
    ~ConfigOnDisk() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    std::filesystem::path Path() const { return DefaultConfigPath(folder_).string(); }

private:
    std::filesystem::path folder_;
};

void BM_LoadClientProfile(benchmark::State& state) {
    const int clients = static_cast<int>(state.range(0));
    const ConfigOnDisk disk(clients);
    ConfigFile file(disk.Path());
    const std::string section = ClientName(clients / 2);
    for (auto _ : state) {
        file.Refresh();
        BootpMessage message;
        message.chaddr = section;
        LoadProfile(file, message.chaddr, message);
        benchmark::DoNotOptimize(message);
    }
    state.counters["reads"] = file.ReadCount();
}
BENCHMARK(BM_LoadClientProfile)->Arg(1)->Arg(100)->Arg(10000);

// The load alone, from a file already in memory: what a reply costs beyond the status query.
void BM_LoadClientProfileInMemory(benchmark::State& state) {
    const int clients = static_cast<int>(state.range(0));
    const StaticProfileSource source(ConfigText(clients));
    const std::string section = ClientName(clients / 2);
    for (auto _ : state) {
        BootpMessage message;
        message.chaddr = section;
        LoadProfile(source, message.chaddr, message);
        benchmark::DoNotOptimize(message);
    }
}
BENCHMARK(BM_LoadClientProfileInMemory)->Arg(1)->Arg(100)->Arg(10000);

// The same load against a client without a section: every key misses.
void BM_LoadUnknownClient(benchmark::State& state) {
    const int clients = static_cast<int>(state.range(0));
    const ConfigOnDisk disk(clients);
    ConfigFile file(disk.Path());
    for (auto _ : state) {
        file.Refresh();
        BootpMessage message;
        message.chaddr = "02-00-00-00-00-01";
        LoadProfile(file, message.chaddr, message);
        benchmark::DoNotOptimize(message);
    }
}
BENCHMARK(BM_LoadUnknownClient)->Arg(1)->Arg(100)->Arg(10000);

// Parsing the whole file, which happens once per edit.
void BM_ParseConfig(benchmark::State& state) {
    const std::string text = ConfigText(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto snapshot = IniSnapshot::Parse(text);
        benchmark::DoNotOptimize(snapshot);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseConfig)->Arg(1)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);

// `tarnleafd --check` over a whole file: it should grow with the file, as a parse does, up to
// the 100,000 clients the size cap allows.
void BM_CheckProfiles(benchmark::State& state) {
    const std::string text = ConfigText(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto findings = CheckProfiles(text);
        benchmark::DoNotOptimize(findings);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_CheckProfiles)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// What an unchanged file costs per message (or per batch): a status query of the file, or
// with a change watcher one look at its events.
void BM_RefreshUnchanged(benchmark::State& state) {
    const ConfigOnDisk disk(100);
    std::unique_ptr<FileChangeWatcher> watcher;
#ifdef __linux__
    if (state.range(0) == 1) watcher = InotifyFileWatcher::Create(disk.Path());
#endif
    if (state.range(0) == 1 && !watcher) {
        state.SkipWithError("no change watcher on this platform");
        return;
    }
    ConfigFile file(disk.Path(), LocalFileAccess(), std::move(watcher));
    for (auto _ : state) file.Refresh();
    state.counters["reads"] = file.ReadCount();
}
BENCHMARK(BM_RefreshUnchanged)->ArgName("watcher")->Arg(0)->Arg(1);

// A watcher that reports a finished change at every Refresh(): each one reads and parses the
// whole file, as after a save.
class EveryRefreshChanged final : public FileChangeWatcher {
public:
    bool ChangedSinceLastAsked() override { return changed_ = !changed_; }
    bool WriterActive() override { return false; }
    bool AwaitNoWriter(std::chrono::milliseconds) override { return true; }
    bool Watching() override { return true; }

private:
    bool changed_ = false;  // true before each read, false just after it
};

// Reading an edited file again: what one save costs the next request.
void BM_ReloadAfterEdit(benchmark::State& state) {
    const int clients = static_cast<int>(state.range(0));
    const ConfigOnDisk disk(clients);
    ConfigFile file(disk.Path(), LocalFileAccess(), std::make_unique<EveryRefreshChanged>());
    for (auto _ : state) {
        file.Refresh();
        benchmark::DoNotOptimize(file.Snapshot().SectionCount());
    }
}
BENCHMARK(BM_ReloadAfterEdit)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// Heap taken by a loaded file, per byte of the file: a realistic profiles file, then the
// shapes that cost the most per byte (keys and sections of one letter), each of 16 MiB.
// 0: a realistic file; 1: one section of short keys; 2: short sections; 3: one short header
// over and over, 4: one short key over and over (only the first counts).
std::string MemoryShape(int shape) {
    constexpr std::size_t kSize = 16u << 20;
    if (shape == 0) return ConfigText(10000);
    std::string text = "[s]\n";
    for (int i = 0; text.size() + 12 < kSize; ++i) {
        const std::string name = std::to_string(i);
        text.append(shape == 1   ? name + "=\n"
                    : shape == 2 ? "[" + name + "]\n"
                    : shape == 3 ? "[a]\n"
                                 : "a=\n");
    }
    return text;
}

// Large blocks are mapped apart from the heap proper; both count.
std::size_t HeapInUse() {
    const auto info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

void BM_MemoryPerFileByte(benchmark::State& state) {
    const std::string text = MemoryShape(static_cast<int>(state.range(0)));
    const ConfigOnDisk disk(text, 90 + static_cast<int>(state.range(0)));
    double ratio = 0;
    for (auto _ : state) {
        const std::size_t before = HeapInUse();
        const ConfigFile file(disk.Path());
        ratio = double(HeapInUse() - before) / double(text.size());
        benchmark::DoNotOptimize(file.Snapshot().SectionCount());
    }
    state.counters["file_MiB"] = double(text.size()) / (1 << 20);
    state.counters["heap_per_file_byte"] = ratio;
}
BENCHMARK(BM_MemoryPerFileByte)
    ->ArgName("shape")->DenseRange(0, 4)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnleaf
