// Track interpolation, keyframe advance and outputs.
#include <gtest/gtest.h>

#include <cmath>

#include "layers/Track.h"

namespace kvx::layers {
namespace {

Keyframe key(uint32_t time, float f, int i, Interpolation interpolation) {
    Keyframe k;
    k.time = time;
    k.floatValue = f;
    k.intValue = i;
    k.colour = {f / 10.0f, f / 10.0f, f / 10.0f, 1.0f};
    k.kind = ValueKind::Float;
    k.interpolation = interpolation;
    return k;
}

Keyframe exprKey(uint32_t time, const char* text,
                 Interpolation interpolation = Interpolation::Step) {
    Keyframe k;
    k.time = time;
    k.kind = ValueKind::Float;
    k.hasExpression = true;
    k.expression = expr::compileExpression(text);
    k.interpolation = interpolation;
    return k;
}

struct Outputs {
    float f = -1.0f;
    int i = -1;
    core::String s;
    float c[4] = {-1, -1, -1, -1};
    void bind(Track& t) {
        t.bindFloat(&f);
        t.bindInt(&i);
        t.bindString(&s);
        t.bindColor(c);
    }
};

Track segment(Interpolation interpolation) {
    Track t(key(0, 0.0f, 0, Interpolation::Step));
    t.insert(key(1000, 10.0f, 10, interpolation));
    return t;
}

TEST(Track, NewTrackHoldsOneDefaultKeyframe) {
    Track t;
    ASSERT_EQ(t.keyframeCount(), 1);
    EXPECT_EQ(t.current().kind, ValueKind::None);
    EXPECT_EQ(t.current().time, 0u);
    EXPECT_FALSE(t.current().hasExpression);
    EXPECT_EQ(t.current().colour[3], 0.0f);
}

TEST(Track, FirstCallWithZeroStepWritesEveryOutput) {
    Keyframe k = key(0, 2.5f, 7, Interpolation::Step);
    k.text = "hello";
    Track t(k);
    Outputs o;
    o.bind(t);
    t.update(0);
    EXPECT_FLOAT_EQ(o.f, 2.5f);
    EXPECT_EQ(o.i, 7);
    EXPECT_STREQ(o.s.text(), "hello");
    EXPECT_FLOAT_EQ(o.c[0], 0.25f);
    EXPECT_EQ(t.time(), 0u);
}

TEST(Track, ConstantKeepsValueAndExpressionRunsOneStepAhead) {
    Track constant(key(0, 3.0f, 3, Interpolation::Step));
    Outputs o;
    o.bind(constant);
    constant.update(0);
    constant.update(5000);
    EXPECT_FLOAT_EQ(o.f, 3.0f);
    EXPECT_EQ(o.i, 3);
    EXPECT_EQ(constant.time(), 5000u);

    Track expr(exprKey(0, "x"));
    float f = 0.0f;
    expr.bindFloat(&f);
    expr.update(0);
    EXPECT_FLOAT_EQ(f, 0.0f);
    expr.update(100);  // track time 100, evaluated at 200
    EXPECT_FLOAT_EQ(f, 200.0f);
    expr.update(50);  // track time 150, evaluated at 200
    EXPECT_FLOAT_EQ(f, 200.0f);
    expr.update(10);
    EXPECT_FLOAT_EQ(f, 170.0f);
}

TEST(Track, LinearSegmentAtDocumentedPoints) {
    Track t = segment(Interpolation::Linear);
    Outputs o;
    o.bind(t);
    t.update(0);
    EXPECT_FLOAT_EQ(o.f, 0.0f);
    t.update(500);
    EXPECT_FLOAT_EQ(o.f, 5.0f);
    EXPECT_EQ(o.i, 5);
    EXPECT_FLOAT_EQ(o.c[0], 0.5f);
    EXPECT_STREQ(o.s.text(), "");  // text is not written inside a segment
    t.update(250);
    EXPECT_FLOAT_EQ(o.f, 7.5f);
    EXPECT_EQ(o.i, 7);
    t.update(250);  // reaches the keyframe
    EXPECT_FLOAT_EQ(o.f, 10.0f);
    EXPECT_EQ(o.i, 10);
    EXPECT_EQ(t.currentIndex(), 1);
}

TEST(Track, SmoothSegmentAtDocumentedPoints) {
    const struct {
        uint32_t at;
        float value;
        int intValue;
    } points[] = {{250, 1.4645f, 1}, {500, 5.0f, 5}, {750, 8.5355f, 8}};
    for (const auto& p : points) {
        Track t = segment(Interpolation::Smooth);
        Outputs o;
        o.bind(t);
        t.update(0);
        EXPECT_FLOAT_EQ(o.f, 0.0f);
        t.update(p.at);
        EXPECT_NEAR(o.f, p.value, 1e-3) << "at " << p.at;
        EXPECT_EQ(o.i, p.intValue) << "at " << p.at;
        EXPECT_NEAR(o.c[0], p.value / 10.0f, 1e-4) << "at " << p.at;
    }
    // Approaching the end shows no jump, and the keyframe lands exactly.
    Track t = segment(Interpolation::Smooth);
    Outputs o;
    o.bind(t);
    t.update(0);
    t.update(999);
    EXPECT_NEAR(o.f, 10.0f, 1e-3);
    t.update(1);
    EXPECT_FLOAT_EQ(o.f, 10.0f);
    EXPECT_EQ(o.i, 10);
}

TEST(Track, SmoothSegmentFollowsItsCurveRightAfterTheStart) {
    // The fraction stays in double precision on its way into the sine, so
    // the first milliseconds of a slow ease-in follow 0.5 - 0.5 cos(pi f)
    // closely instead of jittering with the rounding of a float argument.
    for (uint32_t at : {1u, 2u, 4u}) {
        Track t = segment(Interpolation::Smooth);
        float f = -1.0f;
        t.bindFloat(&f);
        t.update(0);
        t.update(at);
        const double frac = at / 1000.0;
        const double curve = 10.0 * (0.5 - 0.5 * std::cos(3.14159265358979 * frac));
        EXPECT_NEAR(f, curve, curve * 1e-4) << "at " << at;
    }
}

TEST(Track, SmoothIntOnAFallingSegmentIsTheTruncatedValue) {
    // The first half moves away from the start by the truncated share of the
    // way; the second half truncates the value itself, b - (b - a) s, just as
    // a rising segment does: 10 -> 0 gives 9 at 250 ms and 1 at 750 ms, and
    // 0 -> -10 gives -1 and -8.
    const struct {
        int from, to;
        uint32_t at;
        int intValue;
    } cases[] = {{10, 0, 250, 9}, {10, 0, 750, 1}, {0, -10, 250, -1}, {0, -10, 750, -8}};
    for (const auto& p : cases) {
        Track t(key(0, static_cast<float>(p.from), p.from, Interpolation::Step));
        t.insert(key(1000, static_cast<float>(p.to), p.to, Interpolation::Smooth));
        Outputs o;
        o.bind(t);
        t.update(0);
        t.update(p.at);
        EXPECT_EQ(o.i, p.intValue) << p.from << " -> " << p.to << " at " << p.at;
        const float share = p.at == 250 ? 0.14645f : 0.85355f;
        EXPECT_NEAR(o.f, p.from + (p.to - p.from) * share, 1e-3);
    }
}

TEST(Track, StepHoldsUntilTheKeyframeTime) {
    Track t = segment(Interpolation::Step);
    Outputs o;
    o.bind(t);
    t.update(0);
    t.update(999);
    EXPECT_FLOAT_EQ(o.f, 0.0f);
    EXPECT_EQ(o.i, 0);
    t.update(1);
    EXPECT_FLOAT_EQ(o.f, 10.0f);
    EXPECT_EQ(o.i, 10);
}

TEST(Track, AdvancesAtMostOneKeyframePerUpdate) {
    Track t(key(0, 0.0f, 0, Interpolation::Step));
    t.insert(key(1000, 1.0f, 1, Interpolation::Step));
    t.insert(key(2000, 2.0f, 2, Interpolation::Step));
    int i = -1;
    t.bindInt(&i);
    t.update(0);
    t.update(3000);
    EXPECT_EQ(t.currentIndex(), 1);
    EXPECT_EQ(i, 1);
    t.update(16);
    EXPECT_EQ(t.currentIndex(), 2);
    EXPECT_EQ(i, 2);
    EXPECT_EQ(t.time(), 3016u);
}

TEST(Track, SegmentBeforeItsFirstKeyframeExtrapolates) {
    // Earliest keyframe at 1000: the segment 1000..2000 is evaluated at 500.
    Track t(key(1000, 10.0f, 10, Interpolation::Step));
    t.insert(key(2000, 20.0f, 20, Interpolation::Linear));
    float f = 0.0f;
    t.bindFloat(&f);
    t.update(0);
    EXPECT_FLOAT_EQ(f, 10.0f);
    t.update(500);
    EXPECT_FLOAT_EQ(f, 5.0f);  // f = -0.5
}

TEST(Track, EqualTimesNewestFirstAndZeroFraction) {
    Track t(key(0, 0.0f, 0, Interpolation::Step));
    t.insert(key(1000, 1.0f, 1, Interpolation::Linear));
    t.insert(key(1000, 2.0f, 2, Interpolation::Linear));
    ASSERT_EQ(t.keyframeCount(), 3);
    EXPECT_FLOAT_EQ(t.keyframe(1).floatValue, 2.0f);
    EXPECT_FLOAT_EQ(t.keyframe(2).floatValue, 1.0f);
    float f = -1.0f;
    t.bindFloat(&f);
    t.update(0);
    t.update(1000);  // onto keyframe 1
    EXPECT_FLOAT_EQ(f, 2.0f);
    t.update(0);  // keyframes 1 and 2 share a time; the next call reaches 2
    EXPECT_FLOAT_EQ(f, 1.0f);
}

TEST(Track, InsertKeepsOrderAndIndex) {
    Track t(key(500, 0.0f, 0, Interpolation::Step));
    t.insert(key(100, 1.0f, 1, Interpolation::Step));
    t.insert(key(900, 2.0f, 2, Interpolation::Step));
    t.insert(key(300, 3.0f, 3, Interpolation::Step));
    ASSERT_EQ(t.keyframeCount(), 4);
    EXPECT_EQ(t.keyframe(0).time, 100u);
    EXPECT_EQ(t.keyframe(1).time, 300u);
    EXPECT_EQ(t.keyframe(2).time, 500u);
    EXPECT_EQ(t.keyframe(3).time, 900u);
    EXPECT_EQ(t.currentIndex(), 0);
    t.reset(key(7, 7.0f, 7, Interpolation::Step));
    EXPECT_EQ(t.keyframeCount(), 1);
    EXPECT_EQ(t.current().intValue, 7);
}

TEST(Track, LinearExpressionsBlendBothEnds) {
    Track t(exprKey(0, "x"));
    t.insert(exprKey(1000, "x*2", Interpolation::Linear));
    float f = 0.0f;
    t.bindFloat(&f);
    t.update(0);
    t.update(500);  // a = 500, b = 1000, f = 0.5
    EXPECT_FLOAT_EQ(f, 750.0f);
}

TEST(Track, CopyIsDeep) {
    Track t(exprKey(0, "x+1"));
    Track copy = t;
    t.reset(key(0, 5.0f, 5, Interpolation::Step));
    EXPECT_TRUE(copy.current().hasExpression);
    EXPECT_FLOAT_EQ(copy.current().valueAt(2.0f), 3.0f);
}

}  // namespace
}  // namespace kvx::layers
