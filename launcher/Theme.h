// Theme: the colours and bevels of the launcher's controls, in the plain
// grey look of a classic desktop dialog.
#pragma once

#include "launcher/Canvas.h"

namespace kvx::launcher::theme {

inline constexpr Color kFace{212, 208, 200, 255};     // dialog and button face
inline constexpr Color kLight{255, 255, 255, 255};    // lit bevel edge
inline constexpr Color kShadow{128, 128, 128, 255};   // shaded bevel edge
inline constexpr Color kDarkShadow{64, 64, 64, 255};  // outer shaded edge
inline constexpr Color kWindow{255, 255, 255, 255};   // field and list background
inline constexpr Color kText{0, 0, 0, 255};
inline constexpr Color kHighlight{10, 36, 106, 255};  // picked list item
inline constexpr Color kHighlightText{255, 255, 255, 255};
inline constexpr Color kTrack{234, 232, 228, 255};  // scroll bar track

// A two-pixel sunken border just inside r (fields, check boxes).
void sunkenEdge(Canvas& canvas, const Rect& r);
// A filled button face with a raised border, or a sunken one when pressed.
void button(Canvas& canvas, const Rect& r, bool pressed);
// A small down-pointing triangle centred on cx, cy.
void arrowDown(Canvas& canvas, int cx, int cy, Color c);
// A tick mark filling most of r.
void checkMark(Canvas& canvas, const Rect& r, Color c);

}  // namespace kvx::launcher::theme
