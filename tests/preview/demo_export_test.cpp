// The demo document as the plug-in exports it, rendered whole.
#include <gtest/gtest.h>

#include "preview/preview.h"
#include "tests/integration/process.h"
#include "tests/platform/test_files.h"

namespace {

TEST(PreviewExport, TheDemoExportRendersThroughItsCamera) {
    testfiles::TempDir dir;
    const std::string scene = dir / "demo.vxs";
    const auto exported = vxtest::runProcess({VXHOST_PATH, "export", "-o", scene});
    ASSERT_EQ(exported.exitStatus, 0) << exported.err;
    preview::RenderOptions o;
    o.width = 64;
    o.height = 36;
    o.samples = 4;
    std::vector<double> fractions;
    const auto r = preview::renderSceneFile(scene, o, [&](double f) { fractions.push_back(f); });
    ASSERT_EQ(r.image.rgb.size(), 64u * 36u * 3u);
    ASSERT_FALSE(fractions.empty());
    EXPECT_EQ(fractions.back(), 1.0);
    EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
    // The renderer's own environment map and the checker texture are not beside the export.
    for (const std::string& w : r.warnings)
        EXPECT_NE(w.find("cannot be read"), std::string::npos) << w;
    preview::writePng(dir / "demo.png", r.image);
}

}  // namespace
