// The traversal's bytes as the scene file writer spells them: the document
// group, nested object groups with their local matrices, and the progress
// statements with the correction after a subtree.
#include <gtest/gtest.h>

#include "convert/export_context.h"
#include "convert/traversal.h"
#include "host/document_loader.h"
#include "tests/platform/test_files.h"
#include "tests/support/memory_scene.h"

namespace {

// The folder the documents of these tests live in: a real, empty one.
const std::string& documentFolder() {
    static const testfiles::TempDir folder("vx-document");
    return folder.path();
}

TEST(TraversalGolden, TwoTopLevelNullsOneWithAChild) {
    const auto doc = host::LoadDocumentText(R"({"objects": [
      {"type": "null", "name": "A", "position": [1, 2, 3], "children": [
        {"type": "null", "name": "B",
         "matrix": {"off": [4, 5, 6], "v1": [0, 1, 0], "v2": [-1, 0, 0], "v3": [0, 0, 1]}}]},
      {"type": "null", "name": "C"}]})",
                                            documentFolder());
    vxtest::MemoryFileFactory factory;
    convert::ExportContext context;
    context.scene = std::make_unique<tal::talSceneapi_oo>(&factory);
    convert::exportDocument(context, doc.get());
    context.scene.reset();

    EXPECT_EQ(vxtest::afterOpening(factory.text()),
              "\ngroup \"untitled\" {\n"
              "transform 1 0 0 0 0 1 0 0 0 0 -1 0 0 0 0 1\n"
              "attribute \"source file\" \"source file\"\n"
              "progress \"A\" 0.000\n\n"
              "\ngroup \"A\" {\n"
              "flags 1\n"
              "transform 1 0 0 0 0 1 0 0 0 0 1 0 1 2 3 1\n"
              "progress \"B\" 0.000\n\n"
              "\ngroup \"B\" {\n"
              "flags 1\n"
              "transform 0 1 0 0 -1 0 0 0 0 0 1 0 4 5 6 1\n"
              "}\n"
              "progress \"B\" 0.500\n\n"
              "}\n"
              "progress \"C\" 0.500\n\n"
              "\ngroup \"C\" {\n"
              "flags 1\n"
              "transform 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\n"
              "}\n"
              "progress \"C\" 1.000\n\n"
              "}\n");
}

}  // namespace
