// kvxsynth: the synthesizer configuration tool.
//
//   kvxsynth compile CONFIG.txt OUT.sp     text form -> binary configuration
//   kvxsynth dump CONFIG.sp                binary configuration -> text form
//   kvxsynth render CONFIG.sp SONG.m OUT.wav [--seconds S]
//
// render runs the real Player in lockstep mode, as the show's recorder does,
// as fast as the CPU allows, and writes a 16-bit WAV file. The configuration
// given to render may also be a text form (it is compiled first).
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <optional>

#include "synth/ConfigText.h"
#include "synth/Player.h"
#include "synth/WavWriter.h"
#include "vfs/FileIo.h"

namespace {

using kvx::vfs::Bytes;

constexpr double kMaxSeconds = 6 * 3600.0;

bool readFile(const std::string& path, Bytes& out) {
    std::optional<Bytes> bytes = kvx::vfs::readFile(path);
    if (!bytes) {
        std::cerr << "kvxsynth: cannot open " << path << "\n";
        return false;
    }
    out = std::move(*bytes);
    return true;
}

bool writeFile(const std::string& path, const Bytes& data) {
    if (!kvx::vfs::writeFile(path, data)) {
        std::cerr << "kvxsynth: cannot write " << path << "\n";
        return false;
    }
    return true;
}

bool isChunkFile(const Bytes& b) {
    return b.size() >= 11 && std::equal(b.begin(), b.begin() + 11, "kvx::chunks");
}

// A binary configuration, or a text one compiled on the way.
bool loadConfigBytes(const std::string& path, Bytes& out) {
    if (!readFile(path, out)) {
        return false;
    }
    if (isChunkFile(out)) {
        return true;
    }
    kvx::synth::ConfigDesc desc;
    std::string error;
    if (!kvx::synth::parseConfigText(std::string(out.begin(), out.end()), desc, error)) {
        std::cerr << "kvxsynth: " << path << ": " << error << "\n";
        return false;
    }
    out = kvx::synth::buildConfig(desc);
    return true;
}

int compile(const std::string& in, const std::string& out) {
    Bytes text;
    if (!readFile(in, text)) {
        return 1;
    }
    kvx::synth::ConfigDesc desc;
    std::string error;
    if (!kvx::synth::parseConfigText(std::string(text.begin(), text.end()), desc, error)) {
        std::cerr << "kvxsynth: " << in << ": " << error << "\n";
        return 1;
    }
    return writeFile(out, kvx::synth::buildConfig(desc)) ? 0 : 1;
}

int dump(const std::string& in) {
    Bytes bytes;
    if (!readFile(in, bytes)) {
        return 1;
    }
    kvx::synth::ConfigDesc desc;
    std::string error;
    if (!kvx::synth::readConfig(bytes, desc, error)) {
        std::cerr << "kvxsynth: " << in << ": " << error << "\n";
        return 1;
    }
    std::cout << kvx::synth::configToText(desc);
    return 0;
}

int render(const std::string& configPath, const std::string& songPath, const std::string& outPath,
           double seconds) {
    using namespace kvx::synth;
    Bytes config, song;
    if (!loadConfigBytes(configPath, config) || !readFile(songPath, song)) {
        return 1;
    }
    auto device = std::make_unique<MemoryAudioDevice>();
    MemoryAudioDevice* sink = device.get();
    Player player(std::move(device), Player::Mode::Lockstep);
    if (!player.parseConfig(config)) {
        std::cerr << "kvxsynth: " << configPath << " is not a synthesizer configuration\n";
        return 1;
    }
    if (!player.headAccepted()) {
        std::cerr << "kvxsynth: " << configPath << " has no HEAD that opens the output\n";
        return 1;
    }
    if (!player.parseSong(song)) {
        std::cerr << "kvxsynth: " << songPath << " is not a song (no kvx::song magic)\n";
        return 1;
    }
    for (const std::string& line : player.warnings()) {
        std::cerr << "kvxsynth: warning: " << line << "\n";
    }
    if (seconds <= 0.0) {  // the song plus two seconds for the releases
        const auto& ev = player.song().events();
        seconds = (ev.empty() ? 0.0 : ev.back().time / 1000.0) + 2.0;
    }
    // A WAV file holds at most 4 GiB: 6 hours of 16-bit stereo.
    const auto totalMs = static_cast<uint32_t>(std::min(seconds, kMaxSeconds) * 1000.0);
    const bool terminal = isatty(STDERR_FILENO) != 0;
    std::vector<int16_t> samples;
    samples.reserve(static_cast<size_t>(std::min<uint32_t>(totalMs, 600000)) * 45 *
                    (player.settings().stereo ? 2 : 1));
    const auto start = std::chrono::steady_clock::now();
    player.play();
    for (uint32_t ms = 0; ms < totalMs;) {
        ms = std::min(totalMs, ms + 250);
        player.advanceTo(ms);
        const auto part = sink->take();
        samples.insert(samples.end(), part.begin(), part.end());
        if (terminal) {
            std::fprintf(stderr, "\rrendering %7.1f / %.1f s", ms / 1000.0, totalMs / 1000.0);
        }
    }
    const double cpu =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (terminal) {
        std::fprintf(stderr, "\n");
    }
    const int channels = player.settings().stereo ? 2 : 1;
    if (!writeFile(outPath, makeWav(samples, kSampleRate, channels))) {
        return 1;
    }
    const double audio = static_cast<double>(samples.size()) / channels / kSampleRate;
    std::fprintf(stderr, "kvxsynth: %.2f s of audio in %.2f s (%.0fx real time) -> %s\n", audio,
                 cpu, cpu > 0 ? audio / cpu : 0.0, outPath.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"kvxsynth: compile, dump and render kvx synthesizer configurations"};
    app.require_subcommand(1);

    std::string in, out, song;
    double seconds = 0.0;
    auto* c =
        app.add_subcommand("compile", "compile a text configuration into a binary one (config.sp)");
    c->add_option("CONFIG.txt", in, "text configuration")->required();
    c->add_option("OUT.sp", out, "binary configuration to write")->required();
    auto* d = app.add_subcommand("dump", "print a binary configuration as text");
    d->add_option("CONFIG.sp", in, "binary configuration")->required();
    auto* r = app.add_subcommand("render", "render a song offline into a 16-bit WAV file");
    r->add_option("CONFIG", in, "configuration (binary, or text)")->required();
    r->add_option("SONG", song, "song file (kvx::song)")->required();
    r->add_option("OUT.wav", out, "WAV file to write")->required();
    r->add_option("--seconds", seconds,
                  "length to render (default: the song plus 2 s; at most 6 hours)")
        ->check(CLI::Range(0.001, kMaxSeconds));

    CLI11_PARSE(app, argc, argv);
    if (c->parsed()) {
        return compile(in, out);
    }
    if (d->parsed()) {
        return dump(in);
    }
    return render(in, song, out, seconds);
}
