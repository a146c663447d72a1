// Stream throughput against plain C runtime reads of the same file, and
// checked bank reads against plain loads from the same block.
#include "ratio_reporter.hpp"

#include <benchmark/benchmark.h>
#include <zandrel/zandrel.hpp>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace zandrel;

namespace {

constexpr int blockSize = 64 * 1024;
constexpr int fileSize = 64 * 1024 * 1024;

const std::string& TestFile() {
    static std::string path = [] {
        std::string name = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                           "/zandrel-bench-64m.bin";
        FILE* file = std::fopen(name.c_str(), "wb");
        std::vector<char> block(blockSize);
        for (int i = 0; i < blockSize; ++i)
            block[i] = static_cast<char>(i * 31);
        for (int i = 0; i < fileSize / blockSize; ++i)
            std::fwrite(block.data(), 1, blockSize, file);
        std::fclose(file);
        return name;
    }();
    return path;
}

void FreadBlocks(benchmark::State& state) {
    std::vector<char> buf(blockSize);
    for (auto _ : state) {
        FILE* file = std::fopen(TestFile().c_str(), "rb");
        while (std::fread(buf.data(), 1, blockSize, file) == blockSize)
            benchmark::DoNotOptimize(buf.data());
        std::fclose(file);
    }
    state.SetBytesProcessed(state.iterations() * int64_t(fileSize));
}

void StreamReadBytesBlocks(benchmark::State& state) {
    std::vector<char> buf(blockSize);
    for (auto _ : state) {
        auto stream = OpenReadStream(TestFile());
        while (!stream->Eof()) {
            stream->ReadBytes(buf.data(), blockSize);
            benchmark::DoNotOptimize(buf.data());
        }
        stream->Close();
    }
    state.SetBytesProcessed(state.iterations() * int64_t(fileSize));
}

void FreadWholeFile(benchmark::State& state) {
    for (auto _ : state) {
        FILE* file = std::fopen(TestFile().c_str(), "rb");
        std::vector<char> all(fileSize);
        benchmark::DoNotOptimize(std::fread(all.data(), 1, fileSize, file));
        std::fclose(file);
    }
}

void LoadBytesWholeFile(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadBytes(TestFile()).data());
}

Ref<TBank> IntBank() {
    auto bank = CreateBank(1 << 20);
    for (int i = 0; i < bank->Size() / 4; ++i)
        bank->SetIntAt(i * 4, i);
    return bank;
}

// An unchecked load behind a call, as the bank's own reader is.
[[gnu::noinline]] int32_t PlainIntAt(const uint8_t* block, int offset) {
    int32_t value;
    std::memcpy(&value, block + offset, sizeof value);
    return value;
}

// The baseline of the int readers below.
void PlainIntLoad(benchmark::State& state) {
    auto bank = IntBank();
    const uint8_t* block = bank->Buf();
    int offset = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(PlainIntAt(block, offset));
        offset = offset + 4 == bank->Size() ? 0 : offset + 4;
    }
}

void BankGetIntAt(benchmark::State& state) {
    auto bank = IntBank();
    int offset = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(bank->GetIntAt(offset));
        offset = offset + 4 == bank->Size() ? 0 : offset + 4;
    }
}

void BankStreamReadInt(benchmark::State& state) {
    auto stream = CreateBankStream(IntBank());
    for (auto _ : state) {
        if (stream->Eof()) stream->Seek(0);
        benchmark::DoNotOptimize(stream->ReadInt());
    }
}

} // namespace

BENCHMARK(FreadBlocks)->Unit(benchmark::kMillisecond);
BENCHMARK(StreamReadBytesBlocks)->Unit(benchmark::kMillisecond);
BENCHMARK(FreadWholeFile)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadBytesWholeFile)->Unit(benchmark::kMillisecond);
BENCHMARK(PlainIntLoad)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BankGetIntAt)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BankStreamReadInt)->Repetitions(5)->ReportAggregatesOnly();

int main(int argc, char** argv) {
    StartZandrel();
    benchmark::Initialize(&argc, argv);
    RunBenchmarksWithRatios([](const RatioReporter& r) {
        std::printf("Time over the baseline's:\n");
        r.PrintRatio("StreamReadBytesBlocks", "FreadBlocks", "");
        r.PrintRatio("LoadBytesWholeFile", "FreadWholeFile", "");
        r.PrintRatio("BankGetIntAt", "PlainIntLoad", "bounds checked");
        r.PrintRatio("BankStreamReadInt", "PlainIntLoad", "");
    });
    std::remove(TestFile().c_str());
    return 0;
}
