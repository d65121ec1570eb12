// The document loader's one pass: points, polygons and uvs read straight
// into host vectors hold the values nlohmann reads, their faults keep the
// messages and the order of the general path, and text the pass declines is
// named by nlohmann's parser as before.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <regex>
#include <string>
#include <tuple>

#include "host/document_loader.h"
#include "host/document_writer.h"
#include "host/loader_context.h"
#include "host/object.h"
#include "host/tag.h"
#include "tests/host/test_util.h"
#include "tests/platform/test_files.h"

namespace {

using namespace host;
using hosttest::loadError;

// A polygon object with `points`, `polygons` and a UVW tag with `uvw`.
std::string mesh(const std::string& points, const std::string& polygons, const std::string& uvw,
                 const std::string& more = "") {
    return R"({"objects": [{"type": "polygon", "points": )" + points + R"(, "polygons": )" +
           polygons + R"(, "tags": [{"type": "uvw", "uvw": )" + uvw + "}]" + more + "}]}";
}

const std::string kFourPoints = "[[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0]]";
const std::string kQuadAndTriangle = "[[0, 1, 2, 3], [0, 2, 3]]";
const std::string kCorners = "[[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0]]";
const std::string kTwoUvs = "[" + kCorners + ", [[0, 0, 0], [1, 1, 0], [0, 1, 0]]]";

const PolygonObject& polygonOf(const BaseDocument& doc) {
    return dynamic_cast<const PolygonObject&>(*doc.GetFirstObject());
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(LoaderOnePass, PointsHoldExactlyTheValuesNlohmannReads) {
    const std::string points =
        "[[0, -0, 1e-3], [1.5, -2.25e2, 12345678901234567890], [0.1, 1E2, -0.0], "
        "[3.000000000000000444, 5e-324, -99999999999999999999999], "
        "[0.012494792317669583, -7.25, 9007199254740993], [9007199254740992, "
        "0.1000000000000000055511, "
        "123.4567890123456789012345], [-0.30000000000000004, 1.7976931348623157e308, 0.000001]]";
    const auto doc = LoadDocumentText(mesh(points, kQuadAndTriangle, kTwoUvs), "/docs");
    const nlohmann::json reference = nlohmann::json::parse(points);
    const PolygonObject& o = polygonOf(*doc);
    ASSERT_EQ(o.GetPointCount(), 7);
    for (int i = 0; i < 7; ++i) {
        const Vector& p = o.GetPointR()[i];
        const double read[3] = {p.x, p.y, p.z};
        for (int k = 0; k < 3; ++k)
            EXPECT_TRUE(sameBits(read[k], reference[i][k].get<double>()))
                << "point " << i << " component " << k << ": " << read[k];
    }
    EXPECT_FALSE(std::signbit(o.GetPointR()[0].y));  // "-0" is the integer 0
    EXPECT_TRUE(std::signbit(o.GetPointR()[2].z));   // "-0.0" is a negative zero
}

TEST(LoaderOnePass, PolygonsAndUvsLoadAsTheGeneralPathLoadsThem) {
    const auto fast = LoadDocumentText(mesh(kFourPoints, kQuadAndTriangle, kTwoUvs), "/docs");
    // Integral numbers with a fraction are read the general way.
    const auto general =
        LoadDocumentText(mesh(kFourPoints, "[[0, 1, 2, 3.0], [0, 2.0, 3]]", kTwoUvs), "/docs");
    const PolygonObject& a = polygonOf(*fast);
    const PolygonObject& b = polygonOf(*general);
    ASSERT_EQ(a.GetPolygonCount(), 2);
    ASSERT_EQ(b.GetPolygonCount(), 2);
    for (int i = 0; i < 2; ++i) {
        const CPolygon &p = a.GetPolygonR()[i], &q = b.GetPolygonR()[i];
        EXPECT_EQ(std::tie(p.a, p.b, p.c, p.d), std::tie(q.a, q.b, q.c, q.d)) << i;
    }
    EXPECT_TRUE(a.GetPolygonR()[1].IsTriangle());
    const auto& uvw = dynamic_cast<const UVWTag&>(*a.GetFirstTag());
    ASSERT_EQ(uvw.GetDataCount(), 2);
    EXPECT_TRUE(hosttest::near(uvw.GetDataAddressR()[0].d, Vector(0, 1, 0)));
    EXPECT_TRUE(hosttest::near(uvw.GetDataAddressR()[1].d, Vector(0, 1, 0)));  // d = c
}

TEST(LoaderOnePass, FaultsInBulkArraysKeepTheirPathsAndOrder) {
    struct Case {
        std::string json, message;
    };
    const std::string quadUv = "[" + kCorners + "]";
    const std::string threeOnQuad = "[[[0, 0, 0], [1, 0, 0], [1, 1, 0]]]";
    const Case cases[] = {
        {mesh(kFourPoints, "[[0, 1, 2, 3], [0, 1, 9]]", quadUv),
         "objects[0].polygons[1][2]: point index 9 outside the 4 points"},
        {mesh(kFourPoints, "[[0, 1, 2, 3], [0, -1, 2]]", quadUv),
         "objects[0].polygons[1][1]: point index -1 outside the 4 points"},
        {mesh(kFourPoints, "[[0, 1, 2, 2147483648]]", quadUv),
         "objects[0].polygons[0][3]: integer out of range -2147483648..2147483647"},
        {mesh(kFourPoints, "[[0, 1, 2, 3]]", threeOnQuad),
         "objects[0].tags[0].uvw[0]: polygon 0 is a quad: four corners expected"},
        {mesh(kFourPoints, "[[0, 1, 2, 3]]", kTwoUvs),
         "objects[0].tags[0].uvw[1]: UVW entry outside the 1 polygons"},
        // The first fault in the general path's order, not in the file's.
        {mesh(kFourPoints, "[[0, 1, 2, 3]]",
              "[[[0, 0, 0], [1, 0, 0], [1, 1, 0]], " + kCorners + "]"),
         "objects[0].tags[0].uvw[0]: polygon 0 is a quad: four corners expected"},
        {R"({"objects": [{"type": "polygon", "points": [[0, 0, 0]], "polygons": [[0, 0, 9]],
            "bits": "x"}]})",
         "objects[0].bits: expected an integer, found a string"},
        {R"({"objects": [{"type": "polygon", "points": [[0, 0, 0]], "polygons": [[0, 0, 0]],
            "tags": [{"type": "polygonSelection", "polygons": [[0, 0, 0]]}]}]})",
         "objects[0].tags[0].polygons[0]: expected an integer, found an array"},
        {R"({"objects": [{"type": "null", "points": [[0, 0, 0]]}]})",
         "objects[0].points: only polygon objects (5100) have this key"},
        {R"({"points": [[0, 0, 0]]})",
         "points: unknown key (expected one of: name, directory, fps, time, layers, materials, "
         "objects)"},
    };
    for (const Case& c : cases) EXPECT_EQ(loadError(c.json), c.message) << c.json;
    EXPECT_EQ(loadError(R"({"objects": [{"type": "polygon", "points": [[0, 0, 0]],
        "polygons": [[0, 0, 9]], "colour": 1}]})")
                  .rfind("objects[0].colour: unknown key", 0),
              0u);
}

TEST(LoaderOnePass, ASelectionTagsPolygonListStillLoads) {
    const auto doc = LoadDocumentText(R"({"objects": [{"type": "polygon",
        "points": [[0, 0, 0], [1, 0, 0], [1, 1, 0]], "polygons": [[0, 1, 2], [2, 1, 0]],
        "tags": [{"type": "uvw"}, {"type": "polygonSelection", "polygons": [1]}]}]})",
                                      "/docs");
    const BaseTag* tag = polygonOf(*doc).GetFirstTag()->GetNext();
    ASSERT_NE(tag, nullptr);
    const BaseSelect* selected = static_cast<const SelectionTag*>(tag)->GetBaseSelect();
    EXPECT_EQ(selected->GetCount(), 1);
    EXPECT_TRUE(selected->IsSelected(1));
}

TEST(LoaderOnePass, TextThePassDeclinesIsNamedByTheJsonParser) {
    EXPECT_EQ(loadError(R"({"objects": [{"type": "polygon", "points": [[0, 0, 0], [1, 0 0]]}]})"),
              "JSON syntax error at line 1, column 62 (byte 61): syntax error while parsing array "
              "- unexpected number literal; expected ']'");
    EXPECT_EQ(loadError(R"({"objects": [{"type": "polygon", "points": [[0, 0, 1e400]]}]})"),
              "JSON error: [json.exception.out_of_range.406] number overflow parsing '1e400'");
    EXPECT_EQ(loadError(R"({"objects": [{"type": "polygon", "points": [], "points": []}]})"),
              "objects[0].points: duplicate key");
    // A syntax error anywhere comes before any fault of the document.
    const std::string late = loadError(R"({"objects": [{"type": "nothing"}], "fps": })");
    EXPECT_EQ(late.rfind("JSON syntax error at line 1, column 43 (byte 42): ", 0), 0u) << late;
    EXPECT_NE(loadError("{\"name\": \"a\xff\"}").find("ill-formed UTF-8 byte"), std::string::npos);
    EXPECT_EQ(loadError("{\"name\": \"a\x01\"}").rfind("JSON syntax error at line 1", 0), 0u);
    EXPECT_EQ(loadError("{} x").rfind("JSON syntax error at line 1, column 4 (byte 3): ", 0), 0u);
}

TEST(LoaderOnePass, EscapesUnicodeAndAByteOrderMarkRead) {
    const auto doc = LoadDocumentText(
        "\xEF\xBB\xBF{\"objects\": [{\"type\": \"null\", \"name\": \"a\\u00e4\\n\\\"b\\\\ "
        "\xC3\xA4\"}]}",
        "/docs");
    EXPECT_EQ(doc->GetFirstObject()->GetName().utf8(), "a\xC3\xA4\n\"b\\ \xC3\xA4");
}

// Single-byte edits of a valid document: the load fails with a JSON message
// exactly when nlohmann refuses the text, and never crashes.
TEST(LoaderOnePass, EditedDocumentsAreRefusedExactlyWhenTheJsonParserRefusesThem) {
    const std::string base =
        R"({"name": "e\u00e4", "materials": [{"id": "m", "params": {"2000": [1, 0.5, 0]}}],
  "objects": [{"type": "polygon", "name": "mesh", "key": 7, "points": [[0, 0, 0], [1, 0, 0],
    [1, 1, 0], [0, 1, -0.5e1]], "polygons": [[0, 1, 2, 3], [0, 2, 3]],
    "tags": [{"type": "uvw", "uvw": [[[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0]],
      [[0, 0, 0], [1, 1, 0], [0, 1, 0]]]}, {"type": "texture", "material": "m"}]}]})";
    ASSERT_EQ(loadError(base), "(loaded)");
    const std::string alphabet = "{}[],:\"\\0123456789-+.eEtrufalsn \n\xC3\xff";
    std::mt19937 random(20261208);
    for (int round = 0; round < 3000; ++round) {
        std::string text = base;
        const std::size_t at = random() % text.size();
        const char c = alphabet[random() % alphabet.size()];
        switch (random() % 4) {
            case 0:
                text.erase(at, 1);
                break;
            case 1:
                text.insert(at, 1, c);
                break;
            case 2:
                text[at] = c;
                break;
            default:
                text.resize(at);
                break;
        }
        const std::string message = loadError(text);
        const bool jsonFault =
            message.rfind("JSON syntax error", 0) == 0 || message.rfind("JSON error", 0) == 0;
        EXPECT_EQ(jsonFault, !nlohmann::json::accept(text)) << text << "\n" << message;
    }
}

// What a load of `text` comes to: the document as the writer writes it, or
// the message; by the one pass or by the general path alone.
std::string outcome(const std::string& text, bool bulkArrays) {
    try {
        return WriteDocumentText(*loader::loadText(text, "/docs", bulkArrays), "/docs");
    } catch (const DocumentError& e) {
        return e.what();
    }
}

// Edits of numbers and brackets in a document of bulk arrays in every place
// they may or may not be: the one pass and the general path agree on the
// document or on the message.
TEST(LoaderOnePass, EditedDocumentsComeOutAsTheGeneralPathMakesThem) {
    const std::string base =
        R"({"objects": [{"type": "polygon", "points": [[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0]],
  "polygons": [[0, 1, 2, 3], [0, 2, 3]], "tags": [
    {"type": "uvw", "uvw": [[[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0]], [[0, 0, 0], [1, 1, 0], [0, 1, 0]]]},
    {"type": 5673, "polygons": [1]}],
  "children": [{"type": "null", "tags": [{"type": "uvw", "uvw": []}]},
    {"type": 5100, "points": [[2, 2, 2]], "polygons": [[0, 0, 0]]}]}]})";
    ASSERT_EQ(outcome(base, true), outcome(base, false));
    const std::string replacements[] = {"-1",  "9",  "4",     "2147483648", "0.5",  "1e400", "2.0",
                                        "[0]", "[]", "\"x\"", "[0, 1, 2]",  "null", "-0"};
    std::vector<std::pair<std::size_t, std::size_t>> numbers;  // offset and length
    const std::regex number(R"(-?\d+(\.\d+)?([eE][+-]?\d+)?)");
    for (auto it = std::sregex_iterator(base.begin(), base.end(), number);
         it != std::sregex_iterator(); ++it)
        numbers.emplace_back(static_cast<std::size_t>(it->position()),
                             static_cast<std::size_t>(it->length()));
    std::mt19937 random(8122026);
    for (int round = 0; round < 3000; ++round) {
        std::string text = base;
        for (int edits = 1 + static_cast<int>(random() % 2); edits > 0; --edits) {
            if (random() % 3 == 0) {  // a bracket or comma goes or comes
                const std::size_t at = random() % text.size();
                const char* marks = "[],";
                if (random() % 2)
                    text.erase(at, 1);
                else
                    text.insert(at, 1, marks[random() % 3]);
            } else {  // one number of the original becomes something else
                const auto [at, length] = numbers[random() % numbers.size()];
                if (at + length <= text.size())
                    text.replace(at, length, replacements[random() % std::size(replacements)]);
            }
        }
        EXPECT_EQ(outcome(text, true), outcome(text, false)) << text;
    }
}

TEST(LoaderOnePass, AFileIsReadWholeAndAnEmptyOneIsASyntaxError) {
    const testfiles::TempDir dir("vx-one-pass");
    const std::string grid = dir / "mesh.json";
    std::ofstream(grid) << mesh(kFourPoints, kQuadAndTriangle, kTwoUvs);
    const auto doc = LoadDocumentFile(grid);
    EXPECT_EQ(polygonOf(*doc).GetPolygonCount(), 2);
    const std::string empty = dir / "empty.json";
    std::ofstream{empty};
    try {
        LoadDocumentFile(empty);
        ADD_FAILURE() << "an empty file loaded";
    } catch (const DocumentError& e) {
        EXPECT_EQ(
            std::string(e.what()).rfind("JSON syntax error at line 1, column 1 (byte 0): ", 0), 0u)
            << e.what();
    }
}

}  // namespace
