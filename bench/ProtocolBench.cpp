// The protocol work done for every datagram: decode the request, dump it for the log, encode
// the reply and dump it again.
#include <benchmark/benchmark.h>

#include "MessageCodec.h"
#include "PacketDump.h"
#include "TextConversions.h"
#include "support/GoldenMessages.h"

namespace tarnleaf {
namespace {

void BM_DecodeDiscover(benchmark::State& state) {
    const auto image = golden::Bytes(golden::kDiscoverImage);
    for (auto _ : state) benchmark::DoNotOptimize(DecodeMessage(image));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * image.size()));
}
BENCHMARK(BM_DecodeDiscover);

void BM_EncodeDiscover(benchmark::State& state) {
    const auto record = golden::DiscoverRecord();
    for (auto _ : state) benchmark::DoNotOptimize(EncodeMessage(record));
}
BENCHMARK(BM_EncodeDiscover);

void BM_DumpDiscover(benchmark::State& state) {
    const auto record = golden::DiscoverRecord();
    for (auto _ : state) benchmark::DoNotOptimize(DumpMessage(record));
}
BENCHMARK(BM_DumpDiscover);

// A full 312-byte option area: the dump's cost grows with the options.
void BM_DumpRequest(benchmark::State& state) {
    const auto record = golden::RequestRecord();
    for (auto _ : state) benchmark::DoNotOptimize(DumpMessage(record));
}
BENCHMARK(BM_DumpRequest);

void BM_LeadingNumber(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(LeadingNumber("192"));
        benchmark::DoNotOptimize(LeadingNumber(" 255.0e0 "));
    }
}
BENCHMARK(BM_LeadingNumber);

}  // namespace
}  // namespace tarnleaf
