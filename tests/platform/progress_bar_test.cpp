// The terminal's progress bar, drawn into a temporary file with a clock the
// test moves.
#include "platform/progress_bar.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace std::chrono_literals;
using platform::ProgressBar;

class ProgressBarDrawing : public ::testing::Test {
protected:
    void SetUp() override { out_ = std::tmpfile(); }
    void TearDown() override { std::fclose(out_); }
    std::string drawn() {
        std::fflush(out_);
        std::rewind(out_);
        std::string text;
        for (int c; (c = std::fgetc(out_)) != EOF;) text += static_cast<char>(c);
        return text;
    }
    ProgressBar::Timing timing(ProgressBar::Clock::duration delay) {
        return {delay, 100ms, [this] { return now_; }};
    }
    static std::size_t returns(const std::string& text) {
        std::size_t n = 0;
        for (char c : text) n += c == '\r';
        return n;
    }
    std::FILE* out_ = nullptr;
    ProgressBar::Clock::time_point now_{};
};

TEST_F(ProgressBarDrawing, DrawsInPlaceAtMostTenTimesASecondAndClearsTheLine) {
    {
        ProgressBar b(out_, true, "rendering", timing(0ms));
        for (int i = 0; i < 1000; ++i) {
            b.update(i / 1000.0);
            now_ += 1ms;
        }
        b.update(1.0);
    }
    const std::string text = drawn();
    // A draw at 0, 100, ..., 900 ms and the finished one, each starting with
    // "\r"; the clearing adds two.
    EXPECT_EQ(returns(text), 11u + 2u) << text;
    EXPECT_NE(text.find("rendering ["), std::string::npos);
    EXPECT_NE(text.find("100%"), std::string::npos);
    EXPECT_EQ(text.back(), '\r');
    EXPECT_EQ(text.find('\n'), std::string::npos);
}

TEST_F(ProgressBarDrawing, QuickWorkDrawsNothingEvenWhenItFinishes) {
    {
        ProgressBar b(out_, true, "loading a.json", timing(1s));
        for (int i = 0; i <= 900; ++i) {
            b.update(i / 900.0);
            b.count(static_cast<std::uint64_t>(i));
            now_ += 1ms;
        }
        b.show();
        b.clear();
    }
    EXPECT_EQ(drawn(), "");
}

TEST_F(ProgressBarDrawing, SlowWorkAppearsAfterTheDelayWithItsLabel) {
    ProgressBar b(out_, true, "loading big.json", timing(1s));
    b.update(0.1);
    now_ += 999ms;
    b.update(0.2);
    EXPECT_EQ(drawn(), "");
    now_ += 1ms;
    b.update(0.25);
    const std::string text = drawn();
    EXPECT_EQ(text.rfind("\rloading big.json [#######", 0), 0u) << text;
    EXPECT_NE(text.find(" 25%"), std::string::npos) << text;
}

TEST_F(ProgressBarDrawing, ARedrawWhenTheDelayEndsShowsAStepThatReportsNothingMore) {
    ProgressBar b(out_, true, "exporting", timing(1s));
    EXPECT_EQ(b.visibleFrom(), now_ + 1s);
    b.update(0.3);
    b.redraw();
    EXPECT_EQ(drawn(), "");
    now_ += 1s;
    b.redraw();
    EXPECT_EQ(drawn().rfind("\rexporting [#########     ", 0), 0u) << drawn();
}

TEST_F(ProgressBarDrawing, ShowsACountOrTheLabelAloneWhenTheTotalIsUnknown) {
    ProgressBar b(out_, true, "importing model.glb", timing(0ms));
    b.show();
    EXPECT_EQ(drawn(), "\rimporting model.glb");
    b.setLabel("reading");
    b.count(4096);
    // The shorter line blanks what the longer one left, then is drawn again.
    EXPECT_EQ(drawn(),
              "\rimporting model.glb\rreading 4096" + std::string(7, ' ') + "\rreading 4096");
}

TEST_F(ProgressBarDrawing, AClearedLineTakesAMessageAndTheBarComesBack) {
    ProgressBar b(out_, true, "exporting", timing(0ms));
    b.update(0.5);
    platform::clearProgressLine();
    std::fputs("vxhost: warning\n", out_);
    b.update(0.5);  // at once, not an interval later
    const std::string text = drawn();
    const std::size_t message = text.find("\rvxhost: warning\n");
    ASSERT_NE(message, std::string::npos) << text;
    EXPECT_EQ(text.substr(message - 1, 2), " \r");  // blanked up to the message
    EXPECT_NE(text.find("\rexporting [", message), std::string::npos) << text;
}

TEST_F(ProgressBarDrawing, ReadsTheClockRarelyInATightLoop) {
    int reads = 0;
    {
        ProgressBar::Timing t{0ms, 100ms, [&] {
                                  ++reads;
                                  return now_;
                              }};
        ProgressBar b(out_, true, "exporting", t);
        for (int i = 0; i < 1'000'000; ++i) b.update(0.5 + i * 1e-9);
    }
    EXPECT_LE(reads, 1'000'000 / 256 + 8);
}

TEST_F(ProgressBarDrawing, ADisabledBarWritesNothingAndClearingWithoutABarIsHarmless) {
    {
        ProgressBar b(out_, false, "exporting", timing(0ms));
        b.update(0.5);
        b.update(1.0);
        b.count(3);
        b.show();
        platform::clearProgressLine();
    }
    platform::clearProgressLine();
    EXPECT_EQ(drawn(), "");
}

TEST(ProgressDelay, IsOneSecondUnlessTheTestsSetIt) {
    const char* saved = std::getenv("VX_PROGRESS_DELAY_MS");
    const std::string keep = saved ? saved : "";
    ::unsetenv("VX_PROGRESS_DELAY_MS");
    EXPECT_EQ(platform::progressDelay(), 1000ms);
    ::setenv("VX_PROGRESS_DELAY_MS", "0", 1);
    EXPECT_EQ(platform::progressDelay(), 0ms);
    ::setenv("VX_PROGRESS_DELAY_MS", "soon", 1);
    EXPECT_EQ(platform::progressDelay(), 1000ms);
    if (saved)
        ::setenv("VX_PROGRESS_DELAY_MS", keep.c_str(), 1);
    else
        ::unsetenv("VX_PROGRESS_DELAY_MS");
}

}  // namespace
