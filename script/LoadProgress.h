// LoadProgress: how Demo::buildLayers shows its progress.
//
// The player implements it with its loading bar: step() advances by one
// (never past the total), draws the bar and swaps the window's buffers.
// buildLayers sets the total to twice the layer count and steps once per
// created layer; the player steps the rest while it prepares the layers.
#pragma once

namespace kvx::script {

class LoadProgress {
  public:
    virtual ~LoadProgress() = default;
    virtual void setTotal(int total) = 0;
    virtual void step() = 0;
};

}  // namespace kvx::script
