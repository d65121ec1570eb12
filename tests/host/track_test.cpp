// Key evaluation: linear, step and spline segments, and the ends.
#include "host/track.h"

#include <gtest/gtest.h>

namespace {

using namespace host;

CCurve curve(std::initializer_list<std::tuple<Float, Float, Interpolation>> keys) {
    CCurve c;
    for (auto [t, v, how] : keys) c.AddKey(CKey(BaseTime(t), v, how));
    return c;
}

Float at(const CCurve& c, Float t) { return c.GetValue(BaseTime(t)); }

TEST(Track, EndsHoldAndEmptyCurveIsZero) {
    const CCurve c = curve({{1, 10, Interpolation::Linear}, {3, 30, Interpolation::Linear}});
    EXPECT_EQ(at(c, 0), 10);
    EXPECT_EQ(at(c, 1), 10);
    EXPECT_EQ(at(c, 3), 30);
    EXPECT_EQ(at(c, 99), 30);
    EXPECT_EQ(at(CCurve{}, 1), 0);
}

TEST(Track, SegmentFollowsTheEarlierKeysInterpolation) {
    const CCurve c = curve({{0, 0, Interpolation::Linear},
                            {2, 20, Interpolation::Step},
                            {4, 40, Interpolation::Linear}});
    EXPECT_DOUBLE_EQ(at(c, 0.5), 5);
    EXPECT_DOUBLE_EQ(at(c, 1.5), 15);
    EXPECT_DOUBLE_EQ(at(c, 2.0), 20);
    EXPECT_DOUBLE_EQ(at(c, 3.999), 20);  // step holds until the next key
    EXPECT_DOUBLE_EQ(at(c, 4.0), 40);
}

TEST(Track, KeysAreKeptSortedByTime) {
    const CCurve c = curve({{2, 20, Interpolation::Linear},
                            {0, 0, Interpolation::Linear},
                            {1, 5, Interpolation::Linear}});
    ASSERT_EQ(c.GetKeyCount(), 3);
    EXPECT_EQ(c.GetKey(0)->GetValue(), 0);
    EXPECT_EQ(c.GetKey(2)->GetValue(), 20);
    EXPECT_EQ(c.GetKey(3), nullptr);
    EXPECT_DOUBLE_EQ(at(c, 0.5), 2.5);
}

TEST(Track, SplinePassesThroughKeysEasesAtEndsAndIsSmoothInside) {
    // Two keys: flat end tangents make a smoothstep.
    const CCurve two = curve({{0, 0, Interpolation::Spline}, {1, 100, Interpolation::Spline}});
    EXPECT_NEAR(at(two, 0.25), 100 * (3 * 0.0625 - 2 * 0.015625), 1e-9);
    EXPECT_NEAR(at(two, 0.5), 50, 1e-9);

    const CCurve c = curve({{0, 0, Interpolation::Spline},
                            {1, 10, Interpolation::Spline},
                            {3, 0, Interpolation::Spline}});
    EXPECT_NEAR(at(c, 1), 10, 1e-12);
    // The slope at the inner key is the same from both sides: (0 - 0) / (3 - 0) = 0.
    const Float h = 1e-6;
    const Float left = (at(c, 1) - at(c, 1 - h)) / h, right = (at(c, 1 + h) - at(c, 1)) / h;
    EXPECT_NEAR(left, right, 1e-4);
    EXPECT_NEAR(left, 0, 1e-4);
    // A rising inner key: the slope matches its neighbours' line.
    const CCurve rising = curve({{0, 0, Interpolation::Spline},
                                 {1, 10, Interpolation::Spline},
                                 {2, 40, Interpolation::Spline}});
    EXPECT_NEAR((at(rising, 1 + h) - at(rising, 1 - h)) / (2 * h), 20, 1e-3);
}

TEST(Track, TrackReadsItsCurve) {
    CTrack track(DescID(ID_BASEOBJECT_REL_POSITION, VECTOR_Y));
    track.GetCurve()->AddKey(CKey(BaseTime(0.0), 1, Interpolation::Linear));
    track.GetCurve()->AddKey(CKey(BaseTime(1.0), 3, Interpolation::Linear));
    EXPECT_EQ(track.GetType(), 5350);
    EXPECT_EQ(track.GetDescriptionID()[1], VECTOR_Y);
    EXPECT_DOUBLE_EQ(track.GetValue(nullptr, BaseTime(0.5)), 2);
}

}  // namespace
