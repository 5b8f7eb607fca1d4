// Keyframe: one timed value of a parameter track or a parsed script value.
//
// Every keyframe carries all value slots (int, float, expression, text,
// colour); `kind` says which one the script actually gave. A parsed value is
// a keyframe at time 0 with step interpolation.
#pragma once

#include <array>
#include <cstdint>

#include "core/String.h"
#include "expr/Expression.h"

namespace kvx::layers {

// Which kind of value the script gave. The codes are fixed (4 = no value).
enum class ValueKind : int {
    Int = 0,
    Float = 1,
    String = 2,
    Colour = 3,
    None = 4,
};

// How the segment that ends at a keyframe is interpolated.
enum class Interpolation : int {
    Step = 0,
    Linear = 1,
    Smooth = 2,
};

using Colour = std::array<float, 4>;  // r, g, b, a in 0..1

struct Keyframe {
    uint32_t time = 0;  // milliseconds on the track's time axis
    int intValue = 0;
    float floatValue = 0.0f;
    expr::Expression expression;  // empty unless hasExpression
    core::String text;
    Colour colour{0.0f, 0.0f, 0.0f, 0.0f};
    ValueKind kind = ValueKind::None;
    Interpolation interpolation = Interpolation::Step;
    bool hasExpression = false;

    // The float value at track time u: the expression's value when there is
    // one, else the float slot.
    float valueAt(float u) const { return hasExpression ? expression.evaluate(u) : floatValue; }
    bool hasValue() const { return kind != ValueKind::None; }
};

}  // namespace kvx::layers
