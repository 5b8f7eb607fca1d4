// LoadingBar: the progress bar shown while the show loads, drawn in an
// 800 x 600 coordinate space whatever the window size: a blue frame, a black
// inside and a blue fill of current / total.
#pragma once

#include "script/LoadProgress.h"

namespace kvx::shell {

class GlWindow;

class LoadingBar final : public script::LoadProgress {
  public:
    // window may be null (nothing is swapped then).
    explicit LoadingBar(GlWindow* window) : window_(window) {}

    void setTotal(int total) override;
    // Advances by one (never past the total), draws, swaps.
    void step() override;
    // Draws the bar into the current context (the caller swaps).
    void draw() const;

    unsigned total() const { return total_; }
    unsigned current() const { return current_; }

  private:
    GlWindow* window_;
    unsigned total_ = 0;
    unsigned current_ = 0;
};

}  // namespace kvx::shell
