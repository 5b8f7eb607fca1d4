// Timer: the program's millisecond clock.
//
// Times are unsigned 32-bit milliseconds from a monotonic source; elapsed()
// uses unsigned arithmetic, so it stays correct when the count wraps after
// about 49.7 days. The clock is injectable: tests wind a ManualClock across
// the wrap, and the recorder drives the show from a virtual clock.
#pragma once

#include <atomic>
#include <cstdint>

namespace kvx::core {

// A source of millisecond counts. now() may be called from any thread.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual uint32_t now() const = 0;

    // The process's monotonic clock (steady_clock), counting from an
    // arbitrary origin and wrapping at 2^32.
    static const Clock& system();
};

// A clock that only moves when told to; safe to read from another thread.
class ManualClock final : public Clock {
  public:
    explicit ManualClock(uint32_t start = 0) : now_(start) {}
    uint32_t now() const override { return now_.load(std::memory_order_relaxed); }
    void set(uint32_t ms) { now_.store(ms, std::memory_order_relaxed); }
    void advance(uint32_t ms) { now_.fetch_add(ms, std::memory_order_relaxed); }

  private:
    std::atomic<uint32_t> now_;
};

class Timer {
  public:
    // The clock must outlive the timer.
    explicit Timer(const Clock& clock = Clock::system()) : clock_(&clock), start_(clock.now()) {}

    // Restarts the timer; returns the current count.
    uint32_t reset() {
        start_ = clock_->now();
        return start_;
    }
    // Milliseconds since construction or the last reset, modulo 2^32.
    uint32_t elapsed() const { return clock_->now() - start_; }

    const Clock& clock() const { return *clock_; }

  private:
    const Clock* clock_;
    uint32_t start_;
};

}  // namespace kvx::core
