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

// First the generators of every channel's instrument, side by side.
void Mixer::startInstruments(int channelCount, int count) {
    int jobCount = 0;
    for (int c = 0; c < channelCount; ++c) {
        MixerChannel& ch = channels[c];
        std::fill(ch.buffer.data(), ch.buffer.data() + count, 0.0f);
        stages_[c].sounding = false;
        if (ch.instrument != nullptr) {
            const int k = ch.instrument->beginBlock(count, jobs_.data() + jobCount);
            stages_[c].sounding = k >= 0;
            jobCount += std::max(k, 0);
        }
    }
    runGeneratorJobs(jobs_.data(), jobCount, count);
}

// Finishes each sounding instrument and lists the stages its channel runs.
void Mixer::collectStages(int channelCount, int count) {
    for (int c = 0; c < channelCount; ++c) {
        MixerChannel& ch = channels[c];
        ChannelStages& st = stages_[c];
        st.count = 0;
        st.next = 0;
        if (!st.sounding || !ch.instrument->finishBlock(ch.buffer.data(), count)) {
            continue;
        }
        for (size_t slot = 0; slot < ch.instrument->effects.size(); ++slot) {
            if (Effect* e = ch.instrument->prepareEffect(slot)) {
                st.stages[st.count++] = Stage{e, ch.instrument->effects[slot].type};
            }
        }
        st.stages[st.count++] = Stage{nullptr, EffectType::Lpf};
        for (ChannelEffect& e : ch.effects) {
            if (e.effect) {
                st.stages[st.count++] = Stage{e.effect.get(), e.type};
            }
        }
    }
}

// Round r runs the r-th effect of every channel's chain side by side
// (processEffects); the gain stages run on the way. Each buffer still sees
// its stages in order, so the result equals finishing one channel after the
// other.
void Mixer::runStages(int channelCount, int count) {
    for (;;) {
        Effect* batch[kMaxBatch];
        EffectType types[kMaxBatch];
        float* buffers[kMaxBatch];
        int k = 0;
        for (int c = 0; c < channelCount; ++c) {
            ChannelStages& st = stages_[c];
            float* cb = channels[c].buffer.data();
            while (st.next < st.count && st.stages[st.next].effect == nullptr) {
                const float gain = channels[c].gain;
                for (int i = 0; i < count; ++i) {
                    cb[i] *= gain;
                }
                ++st.next;
            }
            if (st.next < st.count) {
                batch[k] = st.stages[st.next].effect;
                types[k] = st.stages[st.next].type;
                buffers[k++] = cb;
                ++st.next;
            }
        }
        if (k == 0) {
            break;
        }
        processEffects(batch, types, buffers, k, count);
    }
}

void Mixer::applyMaster(float* buffer, int count) const {
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
}

void Mixer::smooth(float* buffer, int count) {
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

void Mixer::render(float* buffer, int count) {
    count = std::min(count, static_cast<int>(raw_.size()) - 4);
    if (count <= 0) {
        return;  // no channels created: no room for a block
    }
    std::fill(buffer, buffer + count, 0.0f);
    // Channels are independent until they are summed, so every stage runs
    // for all channels side by side.
    const int n = std::min(static_cast<int>(channels.size()), kMaxBatch);
    startInstruments(n, count);
    collectStages(n, count);
    runStages(n, count);
    for (int c = 0; c < n; ++c) {
        const float* cb = channels[c].buffer.data();
        for (int i = 0; i < count; ++i) {
            buffer[i] += cb[i];
        }
    }
    applyMaster(buffer, count);
    smooth(buffer, count);
}

}  // namespace kvx::synth
