// What the preview shows: placement by cameras and group transforms, the
// field of view, lights and textures.
#include <gtest/gtest.h>

#include <cmath>

#include "preview/preview.h"
#include "tests/platform/test_files.h"
#include "tests/preview/scene_text.h"

namespace {

using namespace previewtest;

const std::string kRed = diffuse("red", "0.8 0.1 0.1");
const std::string kRedSquareScene = group("doc", "", square("quad", 1, kRed));

TEST(PreviewCamera, RedSquareInFrontFillsTheCentreAndLeavesTheCornersToTheSky) {
    const auto r = render(camera("cam", "0 0 5", "0 0 -1") + kRedSquareScene, small());
    EXPECT_TRUE(r.warnings.empty()) << r.warnings.front();
    EXPECT_TRUE(isRed(at(r.image, 32, 24)));
    EXPECT_TRUE(isGrey(at(r.image, 1, 1)));
    EXPECT_TRUE(isGrey(at(r.image, 62, 46)));
}

TEST(PreviewCamera, TheSquareIsGoneWhenTheCameraLooksAway) {
    // Looking along +z from in front of the square.
    auto r = render(camera("cam", "0 0 5", "0 0 1") + kRedSquareScene, small());
    EXPECT_TRUE(isGrey(at(r.image, 32, 24)));
    // The same turn made by the camera's transform: 180 degrees about y, moved to z = 5.
    const std::string turned = "transform -1 0 0 0 0 1 0 0 0 0 -1 0 0 0 5 1\n";
    r = render(camera("cam", "0 0 0", "0 0 -1", 60, turned) + kRedSquareScene, small());
    EXPECT_TRUE(isGrey(at(r.image, 32, 24)));
    // Its transform without the turn: in front, looking at it.
    const std::string moved = "transform 1 0 0 0 0 1 0 0 0 0 1 0 0 0 5 1\n";
    r = render(camera("cam", "0 0 0", "0 0 -1", 60, moved) + kRedSquareScene, small());
    EXPECT_TRUE(isRed(at(r.image, 32, 24)));
}

TEST(PreviewCamera, AnExportedCameraSeesTheHostsRightOnTheRight) {
    // As the exporter writes a host camera at host (0, 0, -5) looking along host +z: at the
    // origin of its frame looking along +z, its matrix mirrored in z. Host +x is world +x.
    const std::string exported =
        camera("cam", "0 0 0", "0 0 1", 60, "transform 1 0 0 0 0 1 0 0 0 0 -1 0 0 0 5 1\n");
    const std::string scene =
        exported + group("right", "1 0 0 0 0 1 0 0 0 0 1 0 1.5 0 0 1", square("r", 0.5, kRed)) +
        group("left", "1 0 0 0 0 1 0 0 0 0 1 0 -1.5 0 0 1",
              square("l", 0.5, diffuse("green", "0.1 0.8 0.1")));
    const auto r = render(scene, small());
    EXPECT_TRUE(isRed(at(r.image, 44, 24)));
    EXPECT_TRUE(isGreen(at(r.image, 20, 24)));
}

TEST(PreviewCamera, ClippingHidesWhatIsNearerThanItsNearPlane) {
    auto r =
        render(camera("cam", "0 0 5", "0 0 -1", 60, "clipping 6 100\n") + kRedSquareScene, small());
    EXPECT_TRUE(isGrey(at(r.image, 32, 24)));
    r = render(camera("cam", "0 0 5", "0 0 -1", 60, "clipping 4 100\n") + kRedSquareScene, small());
    EXPECT_TRUE(isRed(at(r.image, 32, 24)));
}

TEST(PreviewCamera, LookAtWinsOverDirection) {
    const auto r =
        render(camera("cam", "0 0 5", "0 0 1", 60, "look_at 0 0 0\n") + kRedSquareScene, small());
    EXPECT_TRUE(isRed(at(r.image, 32, 24)));
}

// Width in pixels of the red run through the middle row.
int redWidth(const preview::Image& image) {
    int n = 0;
    for (int x = 0; x < image.width; ++x) n += isRed(at(image, x, image.height / 2)) ? 1 : 0;
    return n;
}

TEST(PreviewCamera, TheFieldOfViewIsHorizontalAndScalesAsItsTangent) {
    auto o = small();
    o.width = 128;
    const int wide =
        redWidth(render(camera("cam", "0 0 5", "0 0 -1", 60) + kRedSquareScene, o).image);
    const int narrow =
        redWidth(render(camera("cam", "0 0 5", "0 0 -1", 30) + kRedSquareScene, o).image);
    // Half a width of 1 at distance 5 over the tangent of half the angle, of 64 pixels.
    EXPECT_NEAR(wide, 128 * (1.0 / 5) / std::tan(M_PI / 6), 2.0);
    EXPECT_NEAR(static_cast<double>(narrow) / wide, std::tan(M_PI / 6) / std::tan(M_PI / 12), 0.06);
}

TEST(PreviewCamera, FourAnglesShiftThePicture) {
    // 0 degrees to the left edge, 60 to the right: the square's centre is at the left edge.
    const auto r = render(
        camera("cam", "0 0 5", "0 0 -1", 60, "fov4 0 60 20 20\n") + kRedSquareScene, small());
    EXPECT_TRUE(isRed(at(r.image, 1, 24)));
    EXPECT_TRUE(isGrey(at(r.image, 40, 24)));
}

TEST(PreviewTransforms, AChildAppearsWhereItsScaledAndTurnedParentPutsIt) {
    // Parent: scale 2 and a quarter turn about z; child: moved 1 along its parent's x.
    // The child's centre lands at world (0, 2, 0); applied the other way round, at (1, 2, 0).
    const std::string child =
        group("child", "1 0 0 0 0 1 0 0 0 0 1 0 1 0 0 1", square("quad", 0.25, kRed));
    const std::string scene = camera("cam", "0 0 10", "0 0 -1") +
                              group("parent", "0 2 0 0 -2 0 0 0 0 0 2 0 0 0 0 1", child);
    const auto r = render(scene, small());
    // y = 2 at distance 10: 2 / (10 tan 30 * 48/64) of the half height above the centre.
    const int row = static_cast<int>(std::lround(24 - 24 * 2 / (10 * std::tan(M_PI / 6) * 0.75)));
    EXPECT_TRUE(isRed(at(r.image, 32, row)));
    EXPECT_TRUE(isGrey(at(r.image, 37, row)));
    EXPECT_TRUE(isGrey(at(r.image, 32, 24)));
}

// A light grey floor of 100 x 100 at y = 0, facing up.
const std::string kFloor = group("floor", "1 0 0 0 0 0 -1 0 0 1 0 0 0 0 0 1",
                                 square("floor", 50, diffuse("f", "0.7 0.7 0.7")));

// A lamp: the exporter's unit octahedron with a point light material, scaled to 0.1.
std::string lamp(const std::string& name, const std::string& at, const std::string& power) {
    return group(
        name, "0.1 0 0 0 0 0.1 0 0 0 0 0.1 0 " + at + " 1",
        "object \"" + name +
            "\" {\ngeometry \"triangles\" {\n\"vertices\" [ 0 -1 0, 1 0 0, 0 0 1, -1 0 0, "
            "0 0 -1, 0 1 0 ],\n\"triangles\" [ 2 1 0, 1 2 5, 3 2 0, 2 3 5, 4 3 0, 3 4 5, 1 "
            "4 0, 4 1 5 ],\n}\nmaterial \"" +
            name + "\" {\nsurface \"tal_point_light\" {\n\"power\" " + power +
            ",\n\"color\" 1 1 1,\n}\n}\n}\n");
}

TEST(PreviewLights, AmongManyLightsTheStrongOneDominates) {
    // More lights than are sampled one by one: one bright lamp at the centre, 20 faint ones.
    std::string lamps = lamp("bright", "0 1 0", "100");
    for (int i = 0; i < 20; ++i)
        lamps += lamp("faint" + std::to_string(i), std::to_string(i - 10) + " 1 -10", "0.5");
    const std::string scene =
        camera("cam", "0 4 6", "0 0 -1", 60, "look_at 0 0 0\n" + skyColor("0 0 0")) + lamps +
        kFloor;
    const auto r = render(scene, small(16));
    EXPECT_GT(brightness(at(r.image, 32, 24)), 300);
    EXPECT_GT(brightness(at(r.image, 32, 24)), 3 * brightness(at(r.image, 2, 46)));
}

TEST(PreviewLights, APointLightBrightensTheFloorBeneathItMoreThanFarAway) {
    const std::string scene =
        camera("cam", "0 4 6", "0 0 -1", 60, "look_at 0 0 0\n" + skyColor("0 0 0")) +
        lamp("lamp", "0 1 0", "100") + kFloor;
    const auto r = render(scene, small(16));
    const Rgb beneath = at(r.image, 32, 24), far = at(r.image, 32, 2);
    EXPECT_GT(brightness(beneath), 300);  // lit well at 16 samples, not speckled dark
    EXPECT_GT(brightness(beneath), 3 * brightness(far));
    // The lamp's own mesh is a point, never drawn.
    EXPECT_GT(brightness(at(r.image, 32, 17)), 200);
}

TEST(PreviewLights, AMeshLightLightsTheFloorAndHidesWhenAskedTo) {
    // A panel facing down, one metre up.
    const std::string panel = group(
        "panel", "1 0 0 0 0 0 1 0 0 -1 0 0 0 1 0 1",
        square("panel", 0.5,
               "material \"panel\" {\nsurface \"tal_mesh_light\" {\n\"power\" 100,\n\"color\" 1 1 "
               "1,\n\"visible to the eye\" off,\n}\n}\n"));
    const std::string scene =
        camera("cam", "0 4 6", "0 0 -1", 60, "look_at 0 0 0\n" + skyColor("0 0 0")) + panel +
        kFloor;
    const auto r = render(scene, small(16));
    EXPECT_GT(brightness(at(r.image, 32, 24)), 3 * brightness(at(r.image, 32, 2)) + 30);
    // Its back, towards the camera, would be black where the floor beneath it is lit.
    EXPECT_GT(brightness(at(r.image, 32, 17)), 300);
}

}  // namespace
