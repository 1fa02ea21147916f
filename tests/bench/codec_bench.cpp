// Throughput of the codec over a corpus folder: compression and expansion of
// each file, memory to memory through the stream layer, in RcBlocks.
//   codec_bench CORPUS_DIR [benchmark options]
#include <benchmark/benchmark.h>
#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "stream.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes compress(const Bytes& in) {
    Bytes out(in.size() + in.size() / 4 + 64);
    setStreamEnds(false, (uint32_t)in.size(), out.data(), (uint32_t)out.size());
    if (!compressChunk(in.data(), INVALID_HANDLE_VALUE, (int32_t)in.size())) return {};
    out.resize(BytesWritten);
    return out;
}

bool expand(const Bytes& chunk, Bytes& out) {
    setStreamEnds(false, (uint32_t)chunk.size(), out.data(), (uint32_t)out.size());
    return expandChunk(chunk.data(), INVALID_HANDLE_VALUE) && BytesWritten == out.size();
}

void benchCompress(benchmark::State& state, const Bytes* in) {
    for (auto _ : state) {
        Bytes out = compress(*in);
        if (out.empty()) state.SkipWithError("compression failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)in->size());
}

void benchExpand(benchmark::State& state, const Bytes* in) {
    const Bytes chunk = compress(*in);
    Bytes out(in->size());
    for (auto _ : state) {
        if (!expand(chunk, out)) state.SkipWithError("expansion failed");
        benchmark::DoNotOptimize(out.data());
    }
    if (out != *in) state.SkipWithError("expansion differs from the input");
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)in->size());
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (argc != 2) {
        fprintf(stderr, "usage: codec_bench CORPUS_DIR [benchmark options]\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n.size() > 4 && n.compare(n.size() - 4, 4, ".bin") == 0) names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    if (names.empty()) {
        fprintf(stderr, "codec_bench: no .bin files in %s\n", dir.c_str());
        return 2;
    }
    // The inputs live as long as the benchmarks run.
    static std::vector<Bytes> inputs;
    inputs.reserve(names.size());
    for (const std::string& n : names) {
        std::ifstream f(dir + "/" + n, std::ios::binary);
        inputs.emplace_back(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    for (size_t i = 0; i < names.size(); i++) {
        benchmark::RegisterBenchmark(("compress/" + names[i]).c_str(), benchCompress, &inputs[i])
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("expand/" + names[i]).c_str(), benchExpand, &inputs[i])
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
