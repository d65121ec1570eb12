// A textured quad as the scene file writer spells it (arrays as text): the
// object block, the six arrays in their order, the texture shader inside
// the surface shader, and the material bound to it.
#include <gtest/gtest.h>

#include <string>

#include "convert/export_context.h"
#include "convert/traversal.h"
#include "host/document_loader.h"
#include "tests/support/memory_scene.h"

namespace {

TEST(MeshGolden, TexturedQuadWithNormalsAndUvs) {
    const auto doc = host::LoadDocumentText(
        R"({"materials": [{"id": "m", "name": "Tiles", "channels": {"0": true},
        "params": {"2100": [1, 1, 1], "8000": {"link": "b"}},
        "shaders": [{"id": "b", "type": "bitmap", "params": {"1000": {"file": "tiles.png"}}}]}],
      "objects": [{"type": "polygon", "name": "Quad",
        "points": [[0, 0, 0], [0, 2, 0], [2, 2, 0], [2, 0, 0]], "polygons": [[0, 1, 2, 3]],
        "tags": [{"type": "texture", "material": "m", "params": {"1004": 6, "1002": 2, "1003": 2, "1007": 1}},
                 {"type": "uvw", "uvw": [[[0, 0, 0], [0, 1, 0], [1, 1, 0], [1, 0, 0]]]},
                 {"type": "phong"}]}]})",
        "");
    vxtest::MemoryFileFactory factory;
    convert::ExportContext context;
    context.scene = std::make_unique<tal::talSceneapi_oo>(&factory);
    convert::exportDocument(context, doc.get());
    context.scene.reset();

    const std::string text = vxtest::afterOpening(factory.text());
    const std::string group =
        "\ngroup \"Quad\" {\nflags 1\ntransform 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\n";
    const std::size_t at = text.find(group);
    ASSERT_NE(at, std::string::npos) << text;
    EXPECT_EQ(text.substr(at + group.size(), text.find("}\nprogress", at) + 2 - at - group.size()),
              "object \"Quad\" {\n"
              "geometry \"triangles\" {\n"
              "\"vertices\" [ 0 0 0,0 2 0,2 2 0,2 0 0 ] ,\n"
              "\"normals\" [ 0 0 -1,0 0 -1,0 0 -1,0 0 -1 ] ,\n"
              "\"triangles_norm\" [ 0,3,1,2,1,3 ] ,\n"
              "\"uv_tex\" [ 0,0,0,1,1,1,1,0 ] ,\n"
              "\"triangles_uv\" [ 0,3,1,2,1,3 ] ,\n"
              "\"triangles\" [ 0,3,1,2,1,3 ] ,\n"
              "}\n"
              "material \"Tiles\" {\n"
              "surface \"tal_advanced\" {\n"
              "\"diffuse\" 1 1 1,\n"
              "\"specular\" 0 0 0,\n"
              "\"fresnel\" on,\n"
              "\"roughness\" 0,\n"
              "\"ior\" 1.5,\n"
              "\"glossy\" on,\n"
              "\"glossy_samples\" 9,\n"
              "\"alpha\" 1,\n"
              "\"diffuse\" ! \"texture2_rgb\" {\n"
              "\"texture\" \"tiles.png\",\n"
              "\"default_color\" 0 0 0,\n"
              "\"wrap\" on,\n"
              "\"uv_projection\" 4,\n"
              "\"scale_u\" 2,\n"
              "\"scale_v\" 2,\n"
              "\"shift_u\" 0,\n"
              "\"shift_v\" 0,\n"
              "\"uv_flags\" 62,\n"
              "},\n"
              "}\n"
              "}\n"    // the material
              "}\n"    // the object
              "}\n");  // the group
}

// A grid of side x side polygons over a wave, every seventh a triangle
// (with `triangles`), with uvs for the first half of its polygons, a phong
// tag with an angle limit, and a texture tag restricted to a selection of
// scattered ranges.
std::string waveGrid(int side, bool triangles) {
    std::string points, polygons, uvw, selection;
    for (int y = 0; y <= side; ++y) {
        for (int x = 0; x <= side; ++x) {
            points += (points.empty() ? "[" : ",[") + std::to_string(x) + "," +
                      std::to_string((x * 7 + y * 3) % 5) + "," + std::to_string(y) + "]";
        }
    }
    int polygon = 0;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x, ++polygon) {
            const int a = y * (side + 1) + x, b = a + side + 1, c = b + 1, d = a + 1;
            const bool triangle = triangles && polygon % 7 == 3;
            polygons += (polygon == 0 ? "[" : ",[") + std::to_string(a) + "," + std::to_string(b) +
                        "," + std::to_string(c) + "," + std::to_string(triangle ? c : d) + "]";
            if (polygon < side * side / 2) {
                const std::string u = std::to_string(x) + ".5";
                uvw += std::string(polygon == 0 ? "[" : ",[") + "[" + u + ",0,0],[0," + u +
                       ",0],[1,1,0],[" + u + "," + u + ",0]]";
            }
            if (polygon % 5 < 2 || (polygon / 100) % 3 == 0)
                selection += (selection.empty() ? "" : ",") + std::to_string(polygon);
        }
    }
    return R"({"materials": [{"id": "m", "name": "Stone", "channels": {"0": true}, "params": {"2100": [1, 0, 0]}}],
      "objects": [{"type": "polygon", "name": "wave", "points": [)" +
           points + "], \"polygons\": [" + polygons + R"(],
        "tags": [{"type": "uvw", "uvw": [)" +
           uvw + R"(]}, {"type": "phong", "params": {"1000": 1, "1001": 0.6}},
                 {"type": "polygonSelection", "name": "some", "polygons": [)" +
           selection + R"(]},
                 {"type": "texture", "material": "m", "params": {"1006": "some"}}]},
        {"type": "polygon", "name": "flat", "points": [[0,0,0],[0,1,0],[1,1,0],[1,0,0],[2,0,0]],
         "polygons": [[0,1,2,3],[3,2,4,4]], "tags": [{"type": "normal"}, {"type": "uvw"}]}]})";
}

TEST(MeshGolden, ArraysTakenInPiecesWriteTheBytesOfWholeArrays) {
    // With triangles among the quads, and quads only (whose arrays are made
    // a stretch of polygons at a time).
    for (const bool triangles : {true, false}) {
        const auto doc = host::LoadDocumentText(waveGrid(150, triangles), "");
        std::string texts[2];
        for (const bool pieces : {false, true}) {
            vxtest::MemoryFileFactory factory(true, pieces);
            convert::ExportContext context;
            context.scene = std::make_unique<tal::talSceneapi_oo>(&factory);
            convert::exportDocument(context, doc.get());
            context.scene.reset();
            texts[pieces ? 1 : 0] = factory.text();
        }
        EXPECT_GT(texts[0].size(), std::size_t{1} << 20);  // arrays of several pieces
        EXPECT_EQ(texts[0].find("object \"wave\""), texts[1].find("object \"wave\""));
        EXPECT_TRUE(texts[0] == texts[1]) << "the two forms differ, triangles " << triangles;
    }
}

}  // namespace
