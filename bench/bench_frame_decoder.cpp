// Decoder throughput over a stream of typical traffic: real-time reports, short answers, the
// occasional NVM report.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "comms/frame_codec.h"

using namespace korvel;

namespace {

std::vector<uint8_t> TypicalStream() {
    std::mt19937 rng(3);
    std::vector<uint8_t> stream;
    auto add = [&](std::vector<uint8_t> block) {
        const auto f = EncodeFrame(block.data(), static_cast<uint32_t>(block.size()));
        stream.insert(stream.end(), f.begin(), f.end());
    };
    for (int i = 0; i < 200; ++i) {
        std::vector<uint8_t> report(112);
        report[0] = 16;
        for (size_t k = 1; k < report.size(); ++k) report[k] = static_cast<uint8_t>(rng() % 64);  // small values, some 0x10
        add(report);
        add({37});
        add({48});
        if (i % 20 == 0) {
            std::vector<uint8_t> nvm(231);
            nvm[0] = 38;
            for (size_t k = 1; k < nvm.size(); ++k) nvm[k] = static_cast<uint8_t>(rng());
            add(nvm);
        }
    }
    return stream;
}

void BM_FrameDecoder(benchmark::State& state) {
    const auto stream = TypicalStream();
    TFrameDecoder dec;
    uint64_t blocks = 0;
    dec.OnBlock = [&] { ++blocks; };
    for (auto _ : state) {
        for (uint8_t b : stream) dec.HandleByte(b);
        benchmark::DoNotOptimize(blocks);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(stream.size()));
    state.counters["blocks"] = static_cast<double>(blocks);
}
BENCHMARK(BM_FrameDecoder);

void BM_CalcCRC(benchmark::State& state) {
    std::vector<uint8_t> data(510);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
    for (auto _ : state) benchmark::DoNotOptimize(CalcCRC(data.data(), 510));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 510);
}
BENCHMARK(BM_CalcCRC);

}  // namespace

BENCHMARK_MAIN();
