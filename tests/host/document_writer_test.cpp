// The document writer prints big arrays as it prints every array: on one
// line when they hold at most 16 numbers, else an entry a line; and a file it
// writes in pieces holds exactly its text, or nothing when a write fails.
#include "host/document_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "host/document_loader.h"
#include "host/object.h"
#include "tests/platform/test_files.h"

namespace {

using namespace host;

// The writer's own text for a document of small and big arrays, triangles,
// given normals, uvs (a missing entry reads 0), a selection and empty lists.
const char* const kLayout = R"({
  "name": "layout",
  "objects": [
    {
      "type": "polygon",
      "name": "small",
      "key": 1,
      "points": [[0.0, 0.0, 0.0], [0.5, -1.0, 0.0], [1.0, 1e+20, 0.0], [0.0, 1.0, 0.25]],
      "polygons": [[0, 1, 2, 3], [0, 1, 2]],
      "normals": [
        [[0.0, 0.0, 1.0], [0.0, 0.0, 1.0], [0.0, 1.0, 0.0], [1.0, 0.0, 0.0]],
        [[0.0, 0.0, -1.0], [0.0, 0.0, -1.0], [0.0, 0.0, -1.0]]
      ],
      "tags": [
        {
          "type": "uvw",
          "uvw": [
            [[0.0, 0.0, 0.0], [1.0, 0.0, 0.0], [1.0, 1.0, 0.0], [0.0, 1.0, 0.0]],
            [[0.0, 0.0, 0.0], [1.0, 1.0, 0.0], [0.0, 1.0, 0.0]]
          ]
        },
        {
          "type": "polygonSelection",
          "polygons": [1]
        }
      ],
      "children": [
        {
          "type": "polygon",
          "name": "row",
          "key": 2,
          "points": [
            [0.0, 0.0, 0.0],
            [1.0, 0.0, 0.0],
            [2.0, 0.0, 0.0],
            [3.0, 0.0, 0.0],
            [4.0, 0.0, 0.0],
            [5.0, 0.0, 0.0]
          ],
          "polygons": [[0, 1, 2], [3, 4, 5]],
          "tags": [
            {
              "type": "uvw",
              "uvw": [
                [[0.0, 0.0, 0.0], [1.0, 0.0, 0.0], [1.0, 1.0, 0.0]],
                [[0.0, 0.0, 0.0], [0.0, 0.0, 0.0], [0.0, 0.0, 0.0]]
              ]
            }
          ]
        }
      ]
    },
    {
      "type": "polygon",
      "name": "empty",
      "key": 3,
      "points": [],
      "polygons": []
    }
  ]
}
)";

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A row of `count` points under one polygon fan: text of a few MiB.
std::unique_ptr<BaseDocument> bigRow(int count) {
    auto doc = std::make_unique<BaseDocument>();
    auto mesh = std::make_unique<PolygonObject>();
    for (int i = 0; i < count; ++i) mesh->points().push_back({i * 0.1, -i / 3.0, 1e-7 * i});
    for (int i = 2; i < count; ++i) mesh->polygons().push_back({0, i - 1, i, i});
    doc->InsertObject(std::move(mesh));
    return doc;
}

TEST(DocumentWriter, BigArraysKeepTheLayoutOfEveryArray) {
    const auto doc = LoadDocumentText(kLayout, "/docs");
    EXPECT_EQ(WriteDocumentText(*doc, "/docs"), kLayout);
}

TEST(DocumentWriter, AFileWrittenInPiecesHoldsExactlyTheText) {
    const testfiles::TempDir dir("vx-writer");
    const std::string path = dir / "row.json";
    const auto doc = bigRow(100000);
    WriteDocumentFile(*doc, path);
    const std::string text = slurp(path);
    EXPECT_GT(text.size(), std::size_t{4} << 20);
    EXPECT_EQ(text, WriteDocumentText(*doc, dir.path()));
    const auto back = LoadDocumentFile(path);
    EXPECT_EQ(static_cast<const PolygonObject*>(back->GetFirstObject())->GetPolygonCount(), 99998);
}

TEST(DocumentWriter, AFailedWriteIsAnErrorAndKeepsTheEarlierFile) {
    try {
        WriteDocumentFile(*bigRow(100000), "/dev/full");
        ADD_FAILURE() << "a write to a full device succeeded";
    } catch (const DocumentError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("cannot write the file: ", 0), 0u) << e.what();
    }
    const testfiles::TempDir dir("vx-writer");
    const std::string folder = dir / "folder";
    std::filesystem::create_directory(folder);
    EXPECT_THROW(WriteDocumentFile(*bigRow(10), folder), DocumentError);
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

}  // namespace
