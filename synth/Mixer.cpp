// Mixer rendering (see Mixer.h).
#include "synth/Mixer.h"

#include <algorithm>

namespace kvx::synth {

bool Mixer::create(int count, int blockFloats, bool isStereo) {
    if (count < 1) {
        return false;
    }
    stereo = isStereo;
    channels.clear();
    channels.resize(static_cast<size_t>(count));
    for (MixerChannel& c : channels) {
        c.buffer.assign(static_cast<size_t>(blockFloats), 0.0f);
        c.effects.reserve(kMaxSlots);
    }
    raw_.assign(static_cast<size_t>(blockFloats) + 4, 0.0f);
    jobs_.resize(static_cast<size_t>(kMaxBatch) * kMaxVoices * kEnabledSlots);
    history.fill(0.0f);
    oldHistory.fill(0.0f);
    return true;
}

void Mixer::render(float* buffer, int count) {
    count = std::min(count, static_cast<int>(raw_.size()) - 4);
    if (count <= 0) {
        return;  // no channels created: no room for a block
    }
    std::fill(buffer, buffer + count, 0.0f);
    // Channels are independent until they are summed. Each channel's
    // processing after its instrument is a chain of stages: the instrument's
    // effect slots, the channel gain, the channel's effect slots. Round r
    // runs the r-th effect of every channel's chain side by side
    // (processEffects); each buffer still sees its stages in order, so the
    // result equals finishing one channel after the other.
    const int n = std::min(static_cast<int>(channels.size()), kMaxBatch);
    struct Stage {
        Effect* effect;  // null: the channel gain
        int type;
    };
    Stage stages[kMaxBatch][2 * kMaxSlots + 1];
    int stageCount[kMaxBatch] = {};
    // First the generators of every channel's instrument, side by side.
    int jobCount = 0;
    bool sounding[kMaxBatch] = {};
    for (int c = 0; c < n; ++c) {
        MixerChannel& ch = channels[c];
        std::fill(ch.buffer.data(), ch.buffer.data() + count, 0.0f);
        if (ch.instrument != nullptr) {
            const int k = ch.instrument->beginBlock(count, jobs_.data() + jobCount);
            sounding[c] = k >= 0;
            jobCount += std::max(k, 0);
        }
    }
    runGeneratorJobs(jobs_.data(), jobCount, count);
    for (int c = 0; c < n; ++c) {
        MixerChannel& ch = channels[c];
        if (!sounding[c] || !ch.instrument->finishBlock(ch.buffer.data(), count)) {
            continue;
        }
        int& s = stageCount[c];
        for (size_t slot = 0; slot < ch.instrument->effects.size(); ++slot) {
            if (Effect* e = ch.instrument->prepareEffect(slot)) {
                stages[c][s++] = Stage{e, ch.instrument->effects[slot].type};
            }
        }
        stages[c][s++] = Stage{nullptr, 0};
        for (ChannelEffect& e : ch.effects) {
            if (e.effect) {
                stages[c][s++] = Stage{e.effect.get(), e.type};
            }
        }
    }
    int next[kMaxBatch] = {};
    for (;;) {
        Effect* batch[kMaxBatch];
        int types[kMaxBatch];
        float* buffers[kMaxBatch];
        int k = 0;
        for (int c = 0; c < n; ++c) {
            float* cb = channels[c].buffer.data();
            while (next[c] < stageCount[c] && stages[c][next[c]].effect == nullptr) {
                const float gain = channels[c].gain;
                for (int i = 0; i < count; ++i) {
                    cb[i] *= gain;
                }
                ++next[c];
            }
            if (next[c] < stageCount[c]) {
                batch[k] = stages[c][next[c]].effect;
                types[k] = stages[c][next[c]].type;
                buffers[k++] = cb;
                ++next[c];
            }
        }
        if (k == 0) {
            break;
        }
        processEffects(batch, types, buffers, k, count);
    }
    for (int c = 0; c < n; ++c) {
        const float* cb = channels[c].buffer.data();
        for (int i = 0; i < count; ++i) {
            buffer[i] += cb[i];
        }
    }
    if (!stereo) {
        for (int i = 0; i < count; ++i) {
            buffer[i] *= masterLeft;
        }
    } else {
        for (int i = 0; i + 1 < count; i += 2) {
            buffer[i] *= masterLeft;
            buffer[i + 1] *= masterRight;
        }
    }
    // raw_ = previous block's last four unsmoothed floats, then this block.
    std::copy(history.begin(), history.end(), raw_.begin());
    std::copy(buffer, buffer + count, raw_.begin() + 4);
    oldHistory = history;
    if (count >= 4) {
        std::copy(buffer + count - 4, buffer + count, history.begin());
    }
    const float* x = raw_.data() + 4;
    for (int k = 0; k < count; ++k) {
        buffer[k] = (x[k - 4] + x[k - 2] + x[k]) * 0.25f;
    }
}

}  // namespace kvx::synth
