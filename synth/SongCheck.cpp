// Player::checkSong: walks the loaded song through the configuration's
// routing without sounding it, and lists every cause of silence it meets
// once: notes on a message channel that no mixer channel plays, notes that
// reach a mixer channel without an instrument, and program changes that
// select an instrument the configuration lacks or address a mixer channel
// that HEAD did not create. A song written for another synthesizer (a MIDI
// file's drums on channel 9, General MIDI program numbers) plays partly
// silent, and these lines say why.
//
// The walk follows the message handling of Player.cpp: notes go to every
// channel slot whose map byte is the message's channel, program changes
// reassign instruments exactly as assignInstrument does.
#include <algorithm>
#include <set>

#include "synth/Player.h"

namespace kvx::synth {

namespace {

// "0-3, 7": the indices of the instruments the table holds.
std::string presentInstruments(const std::vector<std::unique_ptr<Instrument>>& table) {
    std::string out;
    for (size_t i = 0; i < table.size();) {
        if (!table[i]) {
            ++i;
            continue;
        }
        size_t last = i;
        while (last + 1 < table.size() && table[last + 1]) {
            ++last;
        }
        out += (out.empty() ? "" : ", ") + std::to_string(i);
        if (last > i) {
            out += "-" + std::to_string(last);
        }
        i = last + 1;
    }
    return out.empty() ? "none" : out;
}

// The instrument assignment of the mixer channels and of the instruments,
// changed by program changes as the player would change it.
struct Routing {
    std::vector<int> channelInstrument;  // per mixer channel: table index or -1
    std::vector<int> instrumentChannel;  // per table index: channel or -1

    bool channelExists(int c) const {
        return c >= 0 && c < static_cast<int>(channelInstrument.size());
    }
    // assignInstrument(channel, index) for a present instrument.
    void assign(int channel, int index) {
        if (channelExists(channel) && channelInstrument[channel] >= 0) {
            instrumentChannel[channelInstrument[channel]] = -1;
        }
        const int old = instrumentChannel[index];
        if (channelExists(old)) {
            channelInstrument[old] = -1;
        }
        instrumentChannel[index] = channel;
        if (channelExists(channel)) {
            channelInstrument[channel] = index;
        }
    }
    // assignInstrument(channel, index) for a missing instrument.
    void silence(int channel) {
        if (channelExists(channel) && channelInstrument[channel] >= 0) {
            instrumentChannel[channelInstrument[channel]] = -1;
            channelInstrument[channel] = -1;
        }
    }
};

}  // namespace

std::vector<std::string> Player::warnings() const {
    std::vector<std::string> all = configWarnings_;
    all.insert(all.end(), songWarnings_.begin(), songWarnings_.end());
    return all;
}

void Player::checkSong() {
    songWarnings_.clear();
    if (!accepted_) {
        return;  // nothing sounds at all; the caller knows from headAccepted()
    }
    const int channels = static_cast<int>(mixer_.channels.size());
    Routing routing;
    routing.channelInstrument.assign(static_cast<size_t>(channels), -1);
    routing.instrumentChannel.assign(instruments_.size(), -1);
    for (size_t i = 0; i < instruments_.size(); ++i) {
        if (instruments_[i] && channelExists(instruments_[i]->channel)) {
            routing.instrumentChannel[i] = instruments_[i]->channel;
            routing.channelInstrument[instruments_[i]->channel] = static_cast<int>(i);
        }
    }
    std::set<std::string> seen;
    auto warn = [this, &seen](const std::string& line) {
        if (seen.insert(line).second) {
            songWarnings_.push_back(line);
        }
    };
    const std::string head = "(HEAD has " + std::to_string(channels) + ")";
    for (const SongEvent& e : song_.events()) {
        const int m = e.status & 0x0F;
        const int kind = e.status & 0xF0;
        const std::string name = "channel " + std::to_string(m);
        bool mapped = false;
        bool heard = false;
        for (int i = 0; i < 16; ++i) {
            if (channelMap_[i] != m) {
                continue;
            }
            mapped = true;
            if (kind == 0x90 && e.data2 != 0 && channelExists(i)) {
                heard = true;
                if (routing.channelInstrument[i] < 0) {
                    warn(name + ": mixer channel " + std::to_string(i) +
                         " has no instrument; its notes there are silent");
                }
            }
            if (kind != 0xC0) {
                continue;
            }
            const int p = e.data1;
            const bool present = p < static_cast<int>(instruments_.size()) && instruments_[p];
            if (!present) {
                warn(name + ": program " + std::to_string(p) +
                     " selects an instrument the configuration lacks (it has " +
                     presentInstruments(instruments_) + "); the channel falls silent");
                routing.silence(m);
            } else {
                if (!channelExists(m)) {
                    warn(name + ": program " + std::to_string(p) + " moves instrument " +
                         std::to_string(p) + " to mixer channel " + std::to_string(m) +
                         ", which HEAD lacks " + head);
                }
                routing.assign(m, p);
            }
        }
        if (kind == 0x90 && e.data2 != 0 && !heard) {
            warn(mapped ? name + ": no mixer channel " + head + "; its notes are silent"
                        : name +
                              ": no mixer channel listens to it (HEAD's map); its notes are "
                              "silent");
        }
    }
}

}  // namespace kvx::synth
