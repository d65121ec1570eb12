// The host's status bar as the document loader drives it: named after the
// file, a fraction that only grows to 1, ended however the load ends; and a
// display that fails costs the load nothing.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "host/document_loader.h"
#include "host/plugin_api.h"
#include "tests/platform/test_files.h"

namespace {

// Records what the host tells its status bar.
class RecordingDisplay : public host::ProgressDisplay {
public:
    RecordingDisplay() { host::SetProgressDisplay(this); }
    ~RecordingDisplay() override { host::SetProgressDisplay(nullptr); }
    void begin(const std::string& what) override { events.push_back("begin " + what); }
    void update(double fraction) override {
        if (throws) throw std::runtime_error("the terminal went away");
        fractions.push_back(fraction);
    }
    void end() override { events.push_back("end"); }

    std::vector<std::string> events;
    std::vector<double> fractions;
    bool throws = false;
};

// About 1.3 MB of points in one object, and `tail` before the closing brace.
std::string bigDocument(const std::string& tail = "") {
    std::string points;
    for (int i = 0; i < 60000; ++i)
        points += (i ? ",[" : "[") + std::to_string(i) + ".5,1.25,-" + std::to_string(i) + "]";
    return R"({"objects": [{"type": "polygon", "name": "Cloud", "points": [)" + points +
           "]}, {\"type\": \"null\", \"name\": \"A\"}]" + tail + "}";
}

TEST(LoadProgress, NamesTheFileAndGrowsToOneAsTheBytesAreParsed) {
    const testfiles::TempDir dir;
    testfiles::writeFile(dir / "cloud.json", bigDocument());
    RecordingDisplay display;
    host::LoadDocumentFile(dir / "cloud.json");
    EXPECT_EQ(display.events, (std::vector<std::string>{"begin loading cloud.json", "end"}));
    ASSERT_GE(display.fractions.size(), 4u);  // a report per 256 KiB, then per object
    for (std::size_t i = 1; i < display.fractions.size(); ++i)
        EXPECT_GE(display.fractions[i], display.fractions[i - 1]) << i;
    EXPECT_GE(display.fractions.front(), 0.0);
    EXPECT_LT(display.fractions[2], 0.8);  // still parsing
    EXPECT_DOUBLE_EQ(display.fractions.back(), 1.0);
}

TEST(LoadProgress, EndsWhenTheLoadFailsAndIgnoresADisplayThatThrows) {
    const testfiles::TempDir dir;
    testfiles::writeFile(dir / "bad.json", bigDocument(R"(, "fps": "fast")"));
    testfiles::writeFile(dir / "good.json", bigDocument());
    {
        RecordingDisplay display;
        EXPECT_THROW(host::LoadDocumentFile(dir / "bad.json"), host::DocumentError);
        EXPECT_EQ(display.events, (std::vector<std::string>{"begin loading bad.json", "end"}));
        EXPECT_THROW(host::LoadDocumentFile(dir / "missing.json"), host::DocumentError);
        EXPECT_EQ(display.events.back(), "end");
    }
    RecordingDisplay display;
    display.throws = true;
    EXPECT_EQ(host::LoadDocumentFile(dir / "good.json")->GetFirstObject()->GetName().utf8(),
              "Cloud");
    EXPECT_EQ(display.events.back(), "end");
}

TEST(LoadProgress, TextLoadsAndHostsWithoutADisplayShowNothing) {
    {
        RecordingDisplay display;
        host::LoadDocumentText(bigDocument(), "/docs");
        EXPECT_TRUE(display.events.empty());
    }
    host::BeginProgress("nobody watches");
    host::SetProgress(0.5);
    host::EndProgress();
}

}  // namespace
