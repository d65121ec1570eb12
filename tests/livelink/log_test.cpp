#include "livelink/log.h"

#include <unistd.h>

#include "tests/livelink/live_fixture.h"

namespace {

using livetest::LiveTest;
using tal::logDEBUG4;
using tal::logERROR;
using tal::logWARNING;

using LogTest = LiveTest;

TEST_F(LogTest, LineNamesTheFileLineTimeAndLevel) {
    TAL_FILE_LOG_AT(logWARNING, "C:\\work\\dev\\vantrixlive_loader.cpp", 234) << "NO shared handle";
    TAL_FILE_LOG_AT(logDEBUG4, "/src/dev/loader.cpp", 7) << "handle " << 42;
    TAL_FILE_LOG_AT(logERROR, "/top.cpp", 1) << "x";  // a leading "/" does not count
    EXPECT_EQ(logText(),
              "vantrixlive_loader.cpp:234 - 14:03:07.000 WARNING:  NO shared handle\n"
              "loader.cpp:7 - 14:03:07.000 DEBUG4:  handle 42\n"
              "/top.cpp:1 - 14:03:07.000 ERROR:  x\n");
}

TEST_F(LogTest, MillisecondsCountFromTheFirstStampModuloAThousand) {
    clock.ticks = 0xFFFFFE00u;  // 512 ms before the tick count wraps
    EXPECT_EQ(tal::NowTime(), "14:03:07.000");
    clock.sleepMilliseconds(1500);
    EXPECT_EQ(tal::NowTime(), "14:03:07.500");
    clock.sleepMilliseconds(1);
    clock.time = platform::TimeOfDay{9, 5, 0};
    EXPECT_EQ(tal::NowTime(), "09:05:00.501");
    clock.time.reset();
    EXPECT_EQ(tal::NowTime(), "Error in NowTime()");
}

TEST_F(LogTest, ExistingLogBelowTwentyMebibytesIsAppendedTo) {
    const std::string path = resources + "/sceneapi.log";
    testfiles::writeFile(path, "old record\n");
    ASSERT_EQ(::truncate(path.c_str(), tal::kLogReplaceSize - 1), 0);
    TAL_FILE_LOG_AT(logWARNING, "a.cpp", 1) << "new";
    const std::string line = "a.cpp:1 - 14:03:07.000 WARNING:  new\n";
    EXPECT_EQ(std::filesystem::file_size(path),
              static_cast<std::uintmax_t>(tal::kLogReplaceSize - 1) + line.size());
    std::ifstream in(path);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "old record");
}

TEST_F(LogTest, ExistingLogOfTwentyMebibytesIsReplaced) {
    const std::string path = resources + "/sceneapi.log";
    testfiles::writeFile(path, "old record\n");
    ASSERT_EQ(::truncate(path.c_str(), tal::kLogReplaceSize), 0);
    TAL_FILE_LOG_AT(logWARNING, "a.cpp", 1) << "new";
    TAL_FILE_LOG_AT(logWARNING, "a.cpp", 2) << "again";  // appended to the fresh file
    EXPECT_EQ(logText(),
              "a.cpp:1 - 14:03:07.000 WARNING:  new\n"
              "a.cpp:2 - 14:03:07.000 WARNING:  again\n");
}

TEST_F(LogTest, UnopenableLogIsReportedAndRetriedAtEachStatement) {
    const std::string missing = dir / "not-yet";
    registerVersion(8, missing);
    ::testing::internal::CaptureStderr();
    TAL_FILE_LOG_AT(logWARNING, "a.cpp", 1) << "lost";
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "could not open log file:\nopening log: No such file or directory\n");

    std::filesystem::create_directories(missing);
    TAL_FILE_LOG_AT(logWARNING, "a.cpp", 2) << "kept";
    EXPECT_EQ(testfiles::readFile(missing + "/sceneapi.log"),
              "a.cpp:2 - 14:03:07.000 WARNING:  kept\n");
}

TEST_F(LogTest, WithoutAnInstallationNothingIsWrittenAnywhere) {
    registerVersion(0);
    bool evaluated = false;
    ::testing::internal::CaptureStderr();
    ::testing::internal::CaptureStdout();
    TAL_FILE_LOG_AT(logERROR, "a.cpp", 1) << (evaluated = true, "m");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(evaluated);
    EXPECT_FALSE(std::filesystem::exists(resources + "/sceneapi.log"));
}

TEST_F(LogTest, TheFileStaysOpenForTheProcess) {
    TAL_FILE_LOG_AT(logWARNING, "a.cpp", 1) << "first";
    const std::string elsewhere = dir / "elsewhere";
    std::filesystem::create_directories(elsewhere);
    registerVersion(8, elsewhere);
    TAL_FILE_LOG_AT(logWARNING, "a.cpp", 2) << "second";
    EXPECT_EQ(logLines().size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(elsewhere + "/sceneapi.log"));
}

}  // namespace
