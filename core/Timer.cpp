// Timer: the system clock behind every Timer that is not given another.
#include "core/Timer.h"

#include <chrono>

namespace kvx::core {

namespace {

class SteadyClock final : public Clock {
  public:
    uint32_t now() const override {
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
        // Truncation to 32 bits is the wrap-around the callers expect.
        return static_cast<uint32_t>(ms.count());
    }
};

}  // namespace

const Clock& Clock::system() {
    static const SteadyClock clock;
    return clock;
}

}  // namespace kvx::core
