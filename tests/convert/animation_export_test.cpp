// Baked animation: sampling in single precision at 30 per second, the
// block's values, the order of the components per rotation order, the
// channel matrices (identity at the first sample), cameras' mirrored
// matrices, and tracks that cannot be placed.
#include "convert/animation_export.h"

#include <gmock/gmock.h>

#include <chrono>
#include <cmath>
#include <string>

#include "host/document.h"
#include "host/plugin_api.h"
#include "host/track.h"
#include "scene_tree.h"

namespace vxtest {
namespace {

using ::testing::ElementsAre;

std::string track(int param, int component, double t0, double v0, double t1, double v1,
                  const std::string& name = "track") {
    return R"({"param": [)" + std::to_string(param) + ", " + std::to_string(component) +
           R"(], "name": ")" + name + R"(", "keys": [{"time": )" + std::to_string(t0) +
           R"(, "value": )" + std::to_string(v0) + R"(}, {"time": )" + std::to_string(t1) +
           R"(, "value": )" + std::to_string(v1) + "}]}";
}

void expectIdentity(const std::array<double, 16>& m) {
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(m[i], (i % 5 == 0) ? 1.0 : 0.0, 1e-12) << "element " << i;
}

TEST_F(AnimationTest, OneSecondGivesThirtySamplesAndTheBlockValues) {
    load(R"({"objects": [{"type": "null", "name": "Box", "tracks": [)" +
         track(903, 1000, 0, 0, 1, 30, "Position . X") + "]}]}");
    const auto& blocks = run();
    ASSERT_EQ(blocks.size(), 1u);
    const AnimationBlock& b = blocks[0];
    EXPECT_EQ(b.name, "fbx_animation");
    EXPECT_EQ(b.kind, "Position . X");
    EXPECT_EQ(b.startTime, 0);
    EXPECT_EQ(b.duration, 1.0f);
    EXPECT_EQ(b.folder, "Box/Position");
    ASSERT_EQ(b.timestamps.size(), 30u);  // thirty float steps pass 1.0: no sample at 1 s
    ASSERT_EQ(b.matrices.size(), 30u);
    EXPECT_THAT(std::vector<int>(b.timestamps.begin(), b.timestamps.begin() + 4),
                ElementsAre(0, 33, 66, 100));
    EXPECT_EQ(b.timestamps[28], 933);
    EXPECT_EQ(b.timestamps[29], 966);
    // A linear track: x = 30 t, so sample 10 moves by 10.
    EXPECT_NEAR(b.matrices[10][12], 10.0, 1e-4);
    EXPECT_THAT(api.filtered({"setParameter"}),
                ElementsAre("setParameter start_time 6", "setParameter duration 3",
                            "setParameter folder 10", "setParameter matrices 32777",
                            "setParameter timestamps 32774"));
}

TEST_F(AnimationTest, LaterStartCountsFromTheFirstKeyInSinglePrecision) {
    load(R"({"objects": [{"type": "null", "tracks": [)" + track(905, 1002, 2.5, 1, 3.5, 2) +
         "]}]}");
    const auto& blocks = run();
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].startTime, 2);
    EXPECT_EQ(blocks[0].folder, "object/Scale");
    ASSERT_EQ(blocks[0].timestamps.size(), 31u);
    EXPECT_THAT(std::vector<int>(blocks[0].timestamps.begin(), blocks[0].timestamps.begin() + 5),
                ElementsAre(0, 33, 66, 99, 133));
    EXPECT_EQ(blocks[0].timestamps.back(), 999);
}

TEST_F(AnimationTest, TracksWithoutASpanOrSwitchedOffWriteNothing) {
    load(R"({"objects": [{"type": "null", "tracks": [
      {"param": [903, 1000], "keys": [{"time": 1, "value": 2}]},
      {"param": [903, 1001], "keys": [{"time": 1, "value": 2}, {"time": 1, "value": 3}]},
      {"param": [903, 1002], "params": {"904": 0}, "keys": [{"time": 0, "value": 0}, {"time": 1, "value": 1}]}
    ]}]})");
    EXPECT_TRUE(run().empty());
}

TEST_F(AnimationTest, ComponentsAreWrittenInReverseOfTheRotationOrdersSort) {
    // Sorted orders per code: 0 ZXY, 1 XZY, 2 XYZ, 3 YXZ, 4 YZX, 5 ZYX, 6 XYZ;
    // any other code sorts nothing. Blocks go from the last to the first.
    const std::vector<std::string> written = {"YXZ", "YZX", "ZYX", "ZXY",
                                              "XZY", "XYZ", "ZYX", "ZYX"};
    const int codes[] = {0, 1, 2, 3, 4, 5, 6, 9};
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE("rotation order " + std::to_string(codes[i]));
        load(R"({"objects": [{"type": "null", "rotationOrder": )" +
             std::to_string(codes[i] == 9 ? 6 : codes[i]) + R"(, "tracks": [)" +
             track(904, 1000, 0, 0, 1, 1, "X") + "," + track(904, 1001, 0, 0, 1, 1, "Y") + "," +
             track(904, 1002, 0, 0, 1, 1, "Z") + "]}]}");
        if (codes[i] == 9) document->GetFirstObject()->SetRotationOrder(9);
        std::string order;
        for (const AnimationBlock& b : run()) order += b.kind;
        EXPECT_EQ(order, written[static_cast<std::size_t>(i)]);
    }
}

TEST_F(AnimationTest, FirstMatrixIsTheIdentityWhateverTheRestTransform) {
    load(R"({"objects": [
      {"type": "null", "name": "Obj", "position": [3, -2, 7], "rotation": [0.3, -0.7, 1.1], "scale": [2, 0.5, 3],
       "rotationOrder": 4, "tracks": [)" +
         track(903, 1001, 0, 5, 1, 6) + "," + track(904, 1000, 0, 0.4, 1, 2) + "," +
         track(904, 1001, 0, 0.1, 1, 2) + "," + track(904, 1002, 0, -1, 1, 2) + "," +
         track(905, 1000, 0, 2, 1, 4) + R"(]},
      {"type": "camera", "name": "Cam", "position": [1, 2, 3], "rotation": [0.5, 0.2, -0.1], "tracks": [)" +
         track(903, 1002, 0, 3, 1, 9) + "," + track(904, 1000, 0, 0.5, 1, 1) + "," +
         track(905, 1001, 0, 1, 1, 2) + "]}]}");
    const auto& blocks = run();
    ASSERT_EQ(blocks.size(),
              5u + 3u + 3u);  // the camera also animates as an object of the hierarchy
    for (const AnimationBlock& b : blocks) {
        SCOPED_TRACE(b.folder + " " + b.kind);
        ASSERT_FALSE(b.matrices.empty());
        expectIdentity(b.matrices.front());
        EXPECT_FALSE(b.matrices.back() == b.matrices.front());
    }
}

TEST_F(AnimationTest, ChannelMatricesPlaceTheChangeInTheObjectsFrame) {
    // Rest heading of 90 degrees: a move along the parent's x is a move
    // along the object's own z.
    load(
        R"({"objects": [{"type": "null", "rotation": [1.5707963267948966, 0, 0], "position": [4, 0, 0],
      "tracks": [)" +
        track(903, 1000, 0, 4, 1, 34) + "]}]}");
    const auto& blocks = run();
    ASSERT_EQ(blocks.size(), 1u);
    const auto& m = blocks[0].matrices[15];  // t = 0.5: moved by 15
    EXPECT_NEAR(m[12], 0.0, 1e-4);
    EXPECT_NEAR(m[13], 0.0, 1e-4);
    EXPECT_NEAR(m[14], 15.0, 1e-4);
    EXPECT_NEAR(m[0], 1.0, 1e-12);
}

TEST_F(AnimationTest, CameraMatricesAreMirroredInZ) {
    load(R"({"objects": [
      {"type": "camera", "name": "Cam", "tracks": [)" +
         track(903, 1002, 0, 0, 1, 30) + "," + track(903, 1000, 0, 0, 1, 30) + "," +
         track(904, 1000, 0, 0, 1, 1.5707963267948966) + R"(]},
      {"type": "null", "name": "Obj", "tracks": [)" +
         track(903, 1002, 0, 0, 1, 30) + "]}]}");
    const auto& blocks = run();
    // The camera's own blocks come first, before the document group.
    ASSERT_GE(blocks.size(), 3u);
    EXPECT_EQ(blocks[0].folder, "Cam/Camera Rotation");
    EXPECT_EQ(blocks[1].folder, "Cam/Camera Position");
    EXPECT_EQ(blocks[2].folder, "Cam/Camera Position");
    // Position tracks sorted X, Z under the default order, written Z first.
    const auto& camZ = blocks[1].matrices[15];
    const auto& camX = blocks[2].matrices[15];
    EXPECT_NEAR(camZ[14], -15.0, 1e-4);
    EXPECT_NEAR(camX[12], 15.0, 1e-4);
    const AnimationBlock& objectZ = blocks.back();
    EXPECT_EQ(objectZ.folder, "Obj/Position");
    EXPECT_NEAR(objectZ.matrices[15][14], 15.0, 1e-4);
    // Heading of a quarter turn at the last sample, flipped: x axis turns
    // toward +z in the renderer's frame instead of -z.
    const auto& turn = blocks[0].matrices.back();
    EXPECT_GT(turn[2], 0.9);
}

TEST_F(AnimationTest, TracksOfNoVectorComponentAreSkippedOthersStillWritten) {
    load(R"({"objects": [{"type": "null", "tracks": [
      {"param": [903], "keys": [{"time": 0, "value": 0}, {"time": 1, "value": 1}]},
      {"param": [903, 1003], "keys": [{"time": 0, "value": 0}, {"time": 1, "value": 1}]},
      {"param": [904, 999], "keys": [{"time": 0, "value": 0}, {"time": 1, "value": 1}]},
      )" +
         track(903, 1001, 0, 0, 1, 1, "Y") + "]}]}");
    const auto& blocks = run();
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].kind, "Y");
}

TEST_F(AnimationTest, DirectCallConsumesTheListAndStopsWhereFloatTimeStandsStill) {
    // Past 2^21 s a step of 1/30 s no longer moves a float: one sample, no
    // endless loop. Documents cannot hold such times; a track built in code
    // can.
    load(R"({"objects": [{"type": "null"}]})");
    host::CTrack far(host::DescID(903, 1000));
    far.params().Set(904, host::GeData::Integer(1));
    far.GetCurve()->AddKey(host::CKey(host::BaseTime(3000000.0), 0, host::Interpolation::Linear));
    far.GetCurve()->AddKey(host::CKey(host::BaseTime(3000010.0), 1, host::Interpolation::Linear));
    convert::TrackList tracks = {&far};
    convert::exportAnimationTracks(context, "Far", tracks, "Position", {}, {}, 6, host::Vector(1),
                                   false);
    EXPECT_TRUE(tracks.empty());
    ASSERT_EQ(api.blocks.size(), 1u);
    EXPECT_EQ(api.blocks[0].startTime, 3000000);
    EXPECT_EQ(api.blocks[0].timestamps.size(), 1u);
    EXPECT_EQ(api.blocks[0].duration, 10.0f);
}

TEST_F(AnimationTest, TrackBeyondTheSampleLimitIsSkippedWithAMessageOthersStillWritten) {
    std::vector<std::string> console;
    host::SetConsoleSink([&console](const std::string& line) { console.push_back(line); });
    // 400,000 s would be 12 million samples; the limit is 10 million.
    load(R"({"objects": [{"type": "null", "name": "Crane", "tracks": [)" +
         track(903, 1000, -200000, 0, 200000, 1, "Position . X") + ", " +
         track(903, 1001, 0, 0, 1, 1, "Position . Y") + "]}]}");
    const auto start = std::chrono::steady_clock::now();
    const auto& blocks = run();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    host::SetConsoleSink(nullptr);
    EXPECT_LT(seconds, 1.0);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].kind, "Position . Y");
    ASSERT_EQ(console.size(), 1u);
    EXPECT_EQ(console[0],
              "\"Crane\": animation track \"Position . X\" skipped: its keys span 400000 s, more "
              "than the 10,000,000 samples (about 92 hours) a track may have");
}

}  // namespace
}  // namespace vxtest
