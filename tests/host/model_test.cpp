// Values, file names, selections and the plug-in interface of the host.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "host/plugin_api.h"
#include "host/tag.h"
#include "tests/platform/test_files.h"

namespace {

using namespace host;

TEST(GeData, NumbersTruncateTowardZeroAndClamp) {
    EXPECT_EQ(GeData::Number(-2.7).GetInt32(), -2);
    EXPECT_EQ(GeData::Number(2.7).GetInt32(), 2);
    EXPECT_EQ(GeData::Number(1e20).GetInt32(), 2147483647);
    EXPECT_EQ(GeData::Integer(5).GetFloat(), 5.0);
    EXPECT_TRUE(GeData::Integer(5).IsInteger());
    EXPECT_FALSE(GeData::Number(5.5).IsInteger());
}

TEST(GeData, WrongTypeReadsTheEmptyValueButTextKindsConvert) {
    const GeData v(Vector(1, 2, 3));
    EXPECT_EQ(v.GetInt32(), 0);
    EXPECT_EQ(v.GetString(), String());
    EXPECT_EQ(GeData::Integer(3).GetVector(), Vector());
    EXPECT_EQ(GeData(String("a/b.png")).GetFilename().GetFileString(), String("b.png"));
    EXPECT_EQ(GeData(Filename(String("a/b.png"))).GetString(), String("a/b.png"));
    EXPECT_EQ(GeData::Link(nullptr).GetLink(), nullptr);
    EXPECT_EQ(GeData::Integer(1).GetCustomDataType(CUSTOMDATATYPE_GRADIENT), nullptr);
    EXPECT_EQ(BaseTime(2, 0).Get(), 0.0);
}

TEST(Filename, KeepsThePathAndSplitsIt) {
    const Filename f(String("/tex/wood.png"));
    EXPECT_EQ(f.GetString(), String("/tex/wood.png"));
    EXPECT_EQ(f.GetFileString(), String("wood.png"));
    EXPECT_EQ(f.GetDirectory().GetString(), String("/tex"));
    EXPECT_EQ(Filename(String("wood.png")).GetDirectory().GetString(), String());
    EXPECT_EQ(Filename(String("a/b/")).GetString(), String("a/b/"));
    EXPECT_EQ(Filename(String("a/b/")).GetDirectory().GetString(), String("a"));
    EXPECT_FALSE(Filename().IsPopulated());

    Filename g;
    g.SetDirectory("%USERDATA%");
    g.SetFile("untitled");
    g.SetSuffix("vxs");
    EXPECT_EQ(g.GetString(), String("%USERDATA%/untitled.vxs"));
    g.SetSuffix("txt");
    EXPECT_EQ(g.GetFileString(), String("untitled.txt"));
}

TEST(String, CopyIsNullWhenEmpty) {
    EXPECT_EQ(String().GetCStringCopy(), nullptr);
    char* copy = String("héllo").GetCStringCopy();
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy, "héllo");
    DeleteMem(copy);
    EXPECT_EQ(copy, nullptr);
}

TEST(BaseSelect, SelectKeepsRangesSortedAndMerged) {
    BaseSelect s;
    for (Int32 i : {7, 3, 5, 4, 9, 8, -1, 4}) s.Select(i);
    ASSERT_EQ(s.ranges(), (std::vector<std::pair<Int32, Int32>>{{3, 5}, {7, 9}}));
    EXPECT_EQ(s.GetCount(), 6);
    EXPECT_TRUE(s.IsSelected(8));
    EXPECT_FALSE(s.IsSelected(6));
    s.Select(6);
    EXPECT_EQ(s.ranges(), (std::vector<std::pair<Int32, Int32>>{{3, 9}}));
}

TEST(BaseSelect, RangesAreClippedToTheElementCount) {
    BaseSelect s;
    for (Int32 i : {1, 2, 10, 11}) s.Select(i);
    Int32 a = -1, b = -1;
    ASSERT_TRUE(s.GetRange(0, 2147483647, &a, &b));
    EXPECT_EQ(std::pair(a, b), std::pair(1, 2));
    ASSERT_TRUE(s.GetRange(0, 2, &a, &b));
    EXPECT_EQ(b, 1);
    EXPECT_FALSE(s.GetRange(1, 5, &a, &b));  // 10..11 lies beyond 5 elements
    EXPECT_FALSE(s.GetRange(2, 100, &a, &b));
    EXPECT_FALSE(s.GetRange(-1, 100, &a, &b));
}

struct Counting : CommandData {
    explicit Counting(int* deletions) : deletions_(deletions) {}
    ~Counting() override { ++*deletions_; }
    bool Execute(BaseDocument*) override { return true; }
    int* deletions_;
};

TEST(PluginApi, RegistrationOwnsCommandsAndRefusesDuplicatesAndNull) {
    int deletions = 0;
    auto* first = NewObjClear<Counting>(&deletions);
    EXPECT_TRUE(RegisterCommandPlugin(42, "First", 0, nullptr, "help", first));
    auto* second = NewObjClear<Counting>(&deletions);
    EXPECT_FALSE(RegisterCommandPlugin(42, "Second", 0, nullptr, "help", second));
    EXPECT_FALSE(RegisterCommandPlugin(43, "Null", 0, nullptr, "help", nullptr));
    ASSERT_EQ(RegisteredCommands().size(), 1u);
    EXPECT_FALSE(RegisteredCommands()[0].icon.has_value());
    DeleteObj(second);
    EXPECT_EQ(deletions, 1);
    ClearRegisteredCommands();
    EXPECT_EQ(deletions, 2);
    EXPECT_TRUE(RegisteredCommands().empty());
}

TEST(PluginApi, FailedAllocationsComeFirstThenAllocationWorksAgain) {
    FailNextAllocations(2);
    EXPECT_EQ(AllocateMem(8), nullptr);
    EXPECT_EQ(NewObjClear<int>(1), nullptr);
    int* p = NewObjClear<int>(7);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(*p, 7);
    DeleteObj(p);
}

TEST(PluginApi, IconNeedsAReadableFile) {
    EXPECT_EQ(BaseBitmap::Load(Filename(String("/nonexistent/icon.png")), 1.0), nullptr);
    const testfiles::TempDir dir("vx-icon");
    EXPECT_EQ(BaseBitmap::Load(Filename(String(dir.path())), 1.0), nullptr);  // a folder
    const std::string path = dir / "vx_icon.png";
    std::ofstream(path) << "x";
    auto icon = BaseBitmap::Load(Filename(String(path)), 1.0);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->file().GetString(), String(path));
    std::remove(path.c_str());
}

TEST(PluginApi, SaveDialogForcesTheSuffixAndRecordsTheAnswer) {
    const auto ask = [](std::optional<std::string> answer) {
        SetFileDialogHandler([answer](const std::string&, const std::string&) { return answer; });
        Filename f(String("untitled.vxs"));
        const bool ok = FileSelect(f, FILESELECTTYPE::ANYTHING, FILESELECT::SAVE, "Export", "vxs");
        return std::pair(ok, f.GetString().utf8());
    };
    EXPECT_EQ(ask("out"), std::pair(true, std::string("out.vxs")));
    EXPECT_EQ(LastFileSelectPath(), std::optional<std::string>("out.vxs"));
    EXPECT_EQ(ask("dir/out.vxs"), std::pair(true, std::string("dir/out.vxs")));
    EXPECT_EQ(ask("-"), std::pair(true, std::string("-")));
    EXPECT_EQ(ask(std::nullopt).first, false);
    EXPECT_FALSE(LastFileSelectPath().has_value());
    SetFileDialogHandler(nullptr);
    Filename f;
    EXPECT_FALSE(FileSelect(f, FILESELECTTYPE::ANYTHING, FILESELECT::SAVE, "Export", "vxs"));
}

TEST(PluginApi, ConsoleAndMessagesReachTheInstalledHandlers) {
    std::string console, message;
    Int32 flags = -1;
    SetConsoleSink([&](const std::string& t) { console = t; });
    SetMessageBoxHandler([&](const std::string& t, Int32 f) {
        message = t;
        flags = f;
    });
    GePrint("printed");
    GeOutString("shown", GEMB_ICONEXCLAMATION);
    SetConsoleSink(nullptr);
    SetMessageBoxHandler(nullptr);
    EXPECT_EQ(console, "printed");
    EXPECT_EQ(message, "shown");
    EXPECT_EQ(flags, GEMB_ICONEXCLAMATION);
}

}  // namespace
