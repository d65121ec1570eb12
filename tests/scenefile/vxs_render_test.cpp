// vxs render: the picture, its messages and exit statuses.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "scene_samples.h"
#include "tests/integration/process.h"
#include "tests/platform/test_files.h"

namespace {

namespace fs = std::filesystem;
using vxtest::runProcess;

const std::string kPngSignature = "\x89PNG\r\n\x1a\n";

TEST(VxsRender, WritesAPngAndOneSummaryLine) {
    const testfiles::TempDir dir;
    const std::string scene = dir / "grid.vxs";
    testfiles::writeFile(scene, vxtest::gridScene(2, 2, true));
    const auto r = runProcess({VXS_PATH, "render", scene, "-o", dir / "grid.png", "--width", "8",
                               "--height", "6", "--samples", "1"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(testfiles::readFile(dir / "grid.png").substr(0, 8), kPngSignature);
    EXPECT_EQ(r.out.rfind(dir / "grid.png" + ": 8 x 6 pixels, 1 paths per pixel, ", 0), 0u)
        << r.out;
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << r.out;
    // Not a terminal: no progress bar, only whole warning lines.
    EXPECT_EQ(r.err.find('\r'), std::string::npos) << r.err;
    for (std::size_t at = 0; at < r.err.size(); at = r.err.find('\n', at) + 1)
        EXPECT_EQ(r.err.compare(at, 14, "vxs: warning: "), 0) << r.err;
}

TEST(VxsRender, AMissingCameraIsAWarningNotAFailure) {
    const testfiles::TempDir dir;
    const std::string scene = dir / "grid.vxs";
    testfiles::writeFile(scene, vxtest::gridScene(1, 1, false));
    const auto r = runProcess({VXS_PATH, "render", scene, "-o", dir / "grid.png", "--width", "4",
                               "--height", "4", "--samples", "1", "--camera", "no such camera"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.err.find("vxs: warning: "), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(dir / "grid.png"));
}

TEST(VxsRender, AnUnreadableOrRefusedSceneExitsOneNamingTheFile) {
    const testfiles::TempDir dir;
    const std::string missing = dir / "none.vxs";
    auto r = runProcess({VXS_PATH, "render", missing, "-o", dir / "none.png"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err.rfind("vxs: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(missing), std::string::npos) << r.err;

    const std::string broken = dir / "broken.vxs";
    testfiles::writeFile(broken, "group \"g\" {\n");
    r = runProcess({VXS_PATH, "render", broken, "-o", dir / "broken.png"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.err.find(broken), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("end of input inside the group block \"g\""), std::string::npos) << r.err;

    // A folder named as the scene is refused, not read as empty.
    r = runProcess({VXS_PATH, "render", dir.path(), "-o", dir / "folder.png"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.err.find(dir.path()), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "none.png") || fs::exists(dir / "broken.png") ||
                 fs::exists(dir / "folder.png"));
}

TEST(VxsRender, AnUnwritablePictureExitsOneAndKeepsTheEarlierFile) {
    const testfiles::TempDir dir;
    const std::string scene = dir / "grid.vxs";
    testfiles::writeFile(scene, vxtest::gridScene(1, 1, true));
    const std::string small = "--width=4";
    auto r = runProcess({VXS_PATH, "render", scene, "-o", dir / "no/folder/x.png", small});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.err.find("vxs: cannot write \"" + dir / "no/folder/x.png\""), std::string::npos)
        << r.err;

    fs::create_directory(dir / "folder.png");
    r = runProcess({VXS_PATH, "render", scene, "-o", dir / "folder.png", small});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.err.find(dir / "folder.png"), std::string::npos) << r.err;

    // A file-size limit stands for a full disk: the earlier picture stays.
    testfiles::writeFile(dir / "earlier.png", "earlier");
    r = runProcess({"/bin/sh", "-c", "ulimit -f 0; exec \"$@\"", "sh", VXS_PATH, "render", scene,
                    "-o", dir / "earlier.png", small});
    EXPECT_EQ(r.exitStatus, 1) << r.err;
    EXPECT_EQ(testfiles::readFile(dir / "earlier.png"), "earlier");
}

TEST(VxsRender, ABadCommandLineExitsTwo) {
    const testfiles::TempDir dir;
    const std::string scene = dir / "grid.vxs";
    testfiles::writeFile(scene, vxtest::gridScene(1, 1, true));
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"render", scene},
             {"render", "-o", dir / "x.png"},
             {"render", scene, "-o", dir / "x.png", "--width", "0"},
             {"render", scene, "-o", dir / "x.png", "--height", "16385"},
             {"render", scene, "-o", dir / "x.png", "--samples", "many"},
             {"frobnicate"}}) {
        std::vector<std::string> argv{VXS_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        const auto r = runProcess(argv);
        EXPECT_EQ(r.exitStatus, 2) << args.back() << ": " << r.err;
    }
    EXPECT_FALSE(fs::exists(dir / "x.png"));
}

}  // namespace
