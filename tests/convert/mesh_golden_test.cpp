// A textured quad as the scene file writer spells it (arrays as text): the
// object block, the six arrays in their order, the texture shader inside
// the surface shader, and the material bound to it.
#include <gtest/gtest.h>

#include "convert/traversal.h"
#include "host/document_loader.h"
#include "plugin/export_controller.h"
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
    plugin::ExportController controller;
    controller.scene = std::make_unique<tal::talSceneapi_oo>(&factory);
    convert::exportDocument(controller, doc.get());
    controller.scene.reset();

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

}  // namespace
