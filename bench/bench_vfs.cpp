// Pack reading: opening and reading every entry of a 200-entry compressed
// pack, against one plain gunzip of the same file. The goal is a ratio of at
// most 2 (counter "ratio"): the pack is decompressed once, not once per entry.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "vfs/PackWriter.h"
#include "vfs/Vfs.h"
#include "vfs/VfsFile.h"

namespace {

using kvx::vfs::Bytes;

// A compressed pack of 200 entries, about 32 MiB on disk, made once.
const std::string& benchPack() {
    static const std::string path = [] {
        std::string p = (std::filesystem::temp_directory_path() / "kvxbench-200-v2.kvx").string();
        std::vector<kvx::vfs::PackInput> inputs;
        uint32_t x = 2463534242u;
        for (int i = 0; i < 200; ++i) {
            kvx::vfs::PackInput in;
            in.name = "entry" + std::to_string(i) + ".bin";
            in.data.resize(200 * 1024);
            // Noise, with every fifth kilobyte a repeated phrase: the pack
            // compresses to about 32 MiB.
            static const char kPhrase[] = "layer fade colour 0.5 start 1000 end 2000; ";
            for (size_t k = 0; k < in.data.size(); ++k) {
                x ^= x << 13;
                x ^= x >> 17;
                x ^= x << 5;
                bool text = (k / 1024) % 5 == 0;
                in.data[k] = text ? static_cast<uint8_t>(kPhrase[k % (sizeof(kPhrase) - 1)])
                                  : static_cast<uint8_t>(x);
            }
            inputs.push_back(std::move(in));
        }
        std::optional<Bytes> image = kvx::vfs::buildPackImage(inputs, nullptr);
        kvx::vfs::writePackFile(p, *image, false, nullptr);
        return p;
    }();
    return path;
}

double secondsOf(const std::chrono::steady_clock::time_point& since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

size_t gunzipWhole(const std::string& path, Bytes& buffer) {
    gzFile gz = gzopen(path.c_str(), "rb");
    gzbuffer(gz, 256 * 1024);
    size_t total = 0;
    int got;
    while ((got = gzread(gz, buffer.data(), static_cast<unsigned>(buffer.size()))) > 0) {
        total += static_cast<size_t>(got);
    }
    gzclose(gz);
    return total;
}

size_t openAndReadEverything(const std::string& path, Bytes& buffer) {
    kvx::vfs::Vfs::init(path.c_str());
    size_t total = 0;
    for (const kvx::vfs::PackEntry& e : kvx::vfs::Vfs::entries()) {
        kvx::vfs::VfsFile f(e.name.text());
        if (static_cast<size_t>(f.length()) > buffer.size()) {
            buffer.resize(static_cast<size_t>(f.length()));
        }
        total += static_cast<size_t>(f.read(buffer.data(), f.length()));
    }
    return total;
}

void BM_PackReadAllEntries(benchmark::State& state) {
    const std::string& path = benchPack();
    Bytes buffer(1 << 20);
    double packSeconds = 0;
    double gunzipSeconds = 0;
    size_t bytes = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        bytes = openAndReadEverything(path, buffer);
        packSeconds += secondsOf(t0);
        state.PauseTiming();
        auto t1 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(gunzipWhole(path, buffer));
        gunzipSeconds += secondsOf(t1);
        state.ResumeTiming();
    }
    kvx::vfs::Vfs::reset();
    double n = static_cast<double>(state.iterations());
    state.counters["entries"] = 200;
    state.counters["pack_MiB"] =
        static_cast<double>(std::filesystem::file_size(path)) / (1024.0 * 1024.0);
    state.counters["read_MiB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
    state.counters["open_read_ms"] = 1000.0 * packSeconds / n;
    state.counters["gunzip_ms"] = 1000.0 * gunzipSeconds / n;
    state.counters["ratio"] = packSeconds / gunzipSeconds;
}
BENCHMARK(BM_PackReadAllEntries)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
