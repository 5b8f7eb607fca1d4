// Pack reading: loading a 200-entry compressed pack (Vfs::init) and reading
// every entry through VfsFile, against one plain gzread of the same file.
// Goal: "ratio" at most 0.6, so that a pack loads faster than gunzip could
// even decompress it.
//
// Two contents: the first is mostly noise (every fifth kilobyte a repeated
// phrase), the worst case for a whole-buffer inflate since almost every byte
// is a Huffman-coded literal; the second is show-like (image gradients, mesh
// floats, script text), where matches dominate. Both are written as the
// packer writes them, in gzip members of 1 MiB that the loader inflates side
// by side; a third case writes the noise as one gzip stream, as other gzip
// tools do, which the loader inflates on one thread.
//
// Each side is timed in every iteration, interleaved, and the counters use
// each side's fastest iteration: the machine is shared, and the slower
// iterations mostly measure how long a thread waited for a core. Three
// ratios against gzread (CPU times include page faults and file reads in the
// kernel):
//   ratio         wall time: how long a show waits for its pack. On a busy
//                 machine the loader's second thread waits for a core too.
//   thread_ratio  the CPU time of the loading thread or that of the other
//                 threads together, whichever is longer, against gzread's:
//                 the threads share the members out, so with a core for
//                 every thread this is close to the wall time (a little
//                 under it, by the work done before and after the inflate).
//   cpu_ratio     CPU time of all threads: what loading costs.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "vfs/PackWriter.h"
#include "vfs/Vfs.h"
#include "vfs/VfsFile.h"

namespace {

using kvx::vfs::Bytes;

constexpr int kEntries = 200;
constexpr size_t kEntrySize = 200 * 1024;

// Noise, with every fifth kilobyte a repeated phrase: about 32 MiB on disk.
void fillNoisy(Bytes& data, uint32_t& x) {
    static const char kPhrase[] = "layer fade colour 0.5 start 1000 end 2000; ";
    for (size_t k = 0; k < data.size(); ++k) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        const bool text = (k / 1024) % 5 == 0;
        data[k] = text ? static_cast<uint8_t>(kPhrase[k % (sizeof(kPhrase) - 1)])
                       : static_cast<uint8_t>(x);
    }
}

// What a show ships: an RGBA gradient with a little grain, vertex floats of
// a wavy surface, and script text.
void fillShowLike(Bytes& data, int entry, uint32_t& x) {
    const int kind = entry % 3;
    for (size_t k = 0; k < data.size(); ++k) {
        x = x * 1664525u + 1013904223u;
        if (kind == 0) {
            const size_t pixel = k / 4;
            const size_t u = pixel % 256;
            const size_t v = pixel / 256;
            const size_t channel = k % 4;
            const uint32_t grain = (x >> 29) & 1u;
            data[k] =
                channel == 3 ? 255 : static_cast<uint8_t>((u * (channel + 1) + v + grain) & 0xFF);
        } else if (kind == 1 && k % 4 == 0 && k + 4 <= data.size()) {
            const size_t i = k / 4;
            const float value =
                std::sin(static_cast<float>(i % 96) * 0.13f) * static_cast<float>(1 + (i / 96) % 7);
            std::memcpy(&data[k], &value, 4);
        } else if (kind == 2) {
            static const char kScript[] =
                "<LAYER> $TYPE = \"plasma\"; $START = 1000; $END = 9000; <PARAM> "
                "alpha{2000} = 'sin(x/500)*0.5+0.5'; speed = 2.0; </PARAM> </LAYER>\n";
            data[k] = static_cast<uint8_t>(kScript[(k + k / 700) % (sizeof(kScript) - 1)]);
        }
    }
}

enum class Content { Noisy, ShowLike };
enum class Writer { Members, OneStream };

// A compressed pack of 200 entries of 200 KiB, written for one benchmark
// run. The name is this process's own: several benchmark runs may share the
// temporary folder.
std::string makePack(Content content, Writer writer) {
    const std::string name = "kvxbench-" + std::to_string(getpid()) + "-" +
                             (content == Content::ShowLike ? "show" : "noise") +
                             (writer == Writer::OneStream ? "-one" : "") + ".kvx";
    std::string path = (std::filesystem::temp_directory_path() / name).string();
    std::vector<kvx::vfs::PackInput> inputs;
    uint32_t x = 2463534242u;
    for (int i = 0; i < kEntries; ++i) {
        kvx::vfs::PackInput in;
        in.name = "entry" + std::to_string(i) + ".bin";
        in.data.resize(kEntrySize);
        if (content == Content::ShowLike) {
            fillShowLike(in.data, i, x);
        } else {
            fillNoisy(in.data, x);
        }
        inputs.push_back(std::move(in));
    }
    std::optional<Bytes> image = kvx::vfs::buildPackImage(inputs, nullptr);
    if (writer == Writer::Members) {
        kvx::vfs::writePackFile(path, *image, false, nullptr);
        return path;
    }
    gzFile gz = gzopen(path.c_str(), "wb6");
    for (size_t pos = 0; pos < image->size(); pos += 1 << 20) {
        const size_t n = std::min<size_t>(image->size() - pos, 1 << 20);
        gzwrite(gz, image->data() + pos, static_cast<unsigned>(n));
    }
    gzclose(gz);
    return path;
}

// Milliseconds of wall time, of the CPU time of all threads and of this
// thread's.
struct Stopwatch {
    std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
    double cpu = cpuMs(CLOCK_PROCESS_CPUTIME_ID);
    double thread = cpuMs(CLOCK_THREAD_CPUTIME_ID);

    static double cpuMs(clockid_t clock) {
        timespec t{};
        clock_gettime(clock, &t);
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
    }
    double wallMs() const {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall)
            .count();
    }
    double cpuMsSince() const { return cpuMs(CLOCK_PROCESS_CPUTIME_ID) - cpu; }
    double threadMsSince() const { return cpuMs(CLOCK_THREAD_CPUTIME_ID) - thread; }
};

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

void readAllEntries(benchmark::State& state, Content content, Writer writer) {
    const std::string path = makePack(content, writer);
    Bytes buffer(1 << 20);
    double packCpu = 1e30, packWall = 1e30, packThread = 1e30;
    double gunzipCpu = 1e30, gunzipWall = 1e30, gunzipThread = 1e30;
    size_t bytes = 0;
    for (auto _ : state) {
        const Stopwatch pack;
        bytes = openAndReadEverything(path, buffer);
        packCpu = std::min(packCpu, pack.cpuMsSince());
        packWall = std::min(packWall, pack.wallMs());
        const double loading = pack.threadMsSince();
        packThread = std::min(packThread, std::max(loading, pack.cpuMsSince() - loading));
        state.PauseTiming();
        const Stopwatch gunzip;
        benchmark::DoNotOptimize(gunzipWhole(path, buffer));
        gunzipCpu = std::min(gunzipCpu, gunzip.cpuMsSince());
        gunzipWall = std::min(gunzipWall, gunzip.wallMs());
        gunzipThread = std::min(gunzipThread, gunzip.threadMsSince());
        state.ResumeTiming();
    }
    kvx::vfs::Vfs::reset();
    state.counters["entries"] = kEntries;
    state.counters["pack_MiB"] =
        static_cast<double>(std::filesystem::file_size(path)) / (1024.0 * 1024.0);
    state.counters["read_MiB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
    state.counters["open_read_ms"] = packCpu;
    state.counters["gunzip_ms"] = gunzipCpu;
    state.counters["open_read_wall_ms"] = packWall;
    state.counters["gunzip_wall_ms"] = gunzipWall;
    state.counters["ratio"] = packWall / gunzipWall;
    state.counters["thread_ratio"] = packThread / gunzipThread;
    state.counters["cpu_ratio"] = packCpu / gunzipCpu;
    std::filesystem::remove(path);
}

void BM_PackReadAllEntries(benchmark::State& state) {
    readAllEntries(state, Content::Noisy, Writer::Members);
}
BENCHMARK(BM_PackReadAllEntries)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_PackReadAllEntriesShowLike(benchmark::State& state) {
    readAllEntries(state, Content::ShowLike, Writer::Members);
}
BENCHMARK(BM_PackReadAllEntriesShowLike)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_PackReadAllEntriesOneStream(benchmark::State& state) {
    readAllEntries(state, Content::Noisy, Writer::OneStream);
}
BENCHMARK(BM_PackReadAllEntriesOneStream)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
