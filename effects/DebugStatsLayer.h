// DebugStatsLayer ("debugstats"): prints the layer's running time and the
// frame rate in the top-left corner of its area:
//
//   1:5:30          minutes:seconds:milliseconds, unpadded, minutes unbounded
//   60.04 fps       frames drawn in the last measurement over its length
//
// With a font sheet ("fontfile", "rows", "cols", "offset") that loads, both
// lines are drawn from the sheet in the LAYER's COLOR. Otherwise prepare
// renders a bold sans-serif system font (DejaVu Sans Bold, through
// FreeType) into 96 bitmap display lists for the codes 32..127, and the two
// lines are drawn with them in white at raster positions (10, 20) and
// (10, 40). Without that font file no text is drawn.
//
// The rate is measured over windows of just over one second of layer time:
// once more than 1000 ms have been collected, the frames drawn meanwhile
// divided by the collected time become the rate, and the next window starts
// with what exceeded 1000 ms. Only frames in which this layer is drawn count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "assets/BitmapFont.h"
#include "core/String.h"
#include "layers/Layer.h"

namespace kvx::effects {

class DebugStatsLayer final : public layers::Layer {
  public:
    static constexpr int kFirstListCode = 32;
    static constexpr int kListCount = 96;  // codes 32..127
    // The system font: bold sans-serif from fonts-dejavu-core.
    static constexpr const char* kSystemFontFile =
        "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
    // Em size of the system font on a 512-pixel buffer; it scales with the
    // buffer so that the two lines keep their place in the layer.
    static constexpr int kSystemFontPixels = 14;

    // Parameters.
    bool loadParameters(const layers::LayerDesc& desc) override;
    bool prepare() override;
    void advance(unsigned dt) override;
    void draw() override;
    bool release() override;

    // The text of the time line, "m:s:ms" (no line feed), into out.
    static void formatTime(uint32_t ms, char* out, size_t size);
    // The text of the rate line, "%4.2f fps" of framesPerMs x 1000, into out.
    static void formatRate(float framesPerMs, char* out, size_t size);
    // Counts one drawn frame (the first step of draw).
    void countFrame() { frames += 1; }

    core::String fontFile;
    int32_t fontRows = 0;
    int32_t fontCols = 0;
    uint8_t fontFirstChar = 0;
    assets::BitmapFont font;
    unsigned listBase = 0;  // first of the system font's lists; 0 when there are none
    uint32_t runTimeMs = 0;
    uint32_t windowMs = 0;
    uint32_t frames = 0;
    float framesPerMs = 0.0f;
    // The TrueType file of the system font (tests point it elsewhere).
    std::string systemFontFile = kSystemFontFile;

  private:
    bool buildSystemFont();
    // Calls the system font's list of every byte of text that has one.
    void printLists(const char* text) const;
    // Both lines for the font sheet; kept so that drawing allocates nothing.
    core::String sheetText_;
};

}  // namespace kvx::effects
