// The built-in demo document. It holds, in this order: a scene null with a
// props null (on a layer) that carries a textured cube (two texture tags, one
// restricted to a polygon selection, a UVW tag, a phong tag; on the layer;
// selected), a hidden triangle and a plate in the layer's colour with a
// normal tag; a cube generator with its cache; a
// deformed plane with its deform cache; a subdivision generator whose input
// is a control object and a hair object with a hair material; an area
// light; a camera nested under a rig null that pans and turns; and
// an animated null whose blade has a gradient material with a specular colour.
#include "host/demo_document.h"

#include "host/document_loader.h"

namespace host {

namespace {

const char* const kDemoJson = R"json({
  "name": "demo.c4d",
  "fps": 30,
  "time": {"current": 0, "start": 0},
  "layers": [
    {"id": "props", "name": "Props", "params": {"1001": 1, "1002": 1, "1009": [0.2, 0.6, 0.9]}}
  ],
  "materials": [
    {"id": "fur", "type": "hairMaterialNode", "name": "Fur",
     "params": {"3009": 1.5, "3010": 0.25, "3139": {"gradient": [
       {"position": 0, "color": [0.45, 0.3, 0.15]}, {"position": 1, "color": [0.9, 0.85, 0.7]}]}}},
    {"id": "red", "type": "standard", "name": "Red", "channels": {"0": true},
     "params": {"2100": [0.8, 0.1, 0.1], "2101": 1.0}},
    {"id": "checker", "type": "standard", "name": "Checker", "channels": {"0": true, "3": true},
     "params": {"2100": [1, 1, 1], "8000": {"link": "checker-bitmap"}},
     "container": {"65": [0.2, 0.2, 0.2]},
     "shaders": [{"id": "checker-bitmap", "type": "bitmap", "params": {"1000": {"file": "checker.png"}}}]},
    {"id": "blue", "type": "standard", "name": "Blue", "channels": {"0": true},
     "params": {"2100": [0.1, 0.2, 0.8]}},
    {"id": "sunset", "type": "standard", "name": "Sunset", "channels": {"0": true, "8": true},
     "params": {"2100": [1, 1, 1], "8000": {"link": "sunset-gradient"}, "3100": [0.3, 0.3, 0.3]},
     "shaders": [{"id": "sunset-gradient", "type": "gradient", "params": {"1007": {"gradient": [
       {"position": 0, "color": [0.9, 0.4, 0.1]}, {"position": 1, "color": [0.2, 0.1, 0.5]}]}}}]}
  ],
  "objects": [
    {"type": "null", "name": "Scene", "children": [
      {"type": "null", "name": "Props", "layer": "props", "position": [0, 0, 0], "children": [
        {"type": "polygon", "name": "Cube", "layer": "props", "position": [0, 50, 0], "rotation": [0.5, 0, 0],
         "selected": true,
         "points": [[-50, -50, -50], [-50, 50, -50], [50, -50, -50], [50, 50, -50],
                    [50, -50, 50], [50, 50, 50], [-50, -50, 50], [-50, 50, 50]],
         "polygons": [[0, 1, 3, 2], [2, 3, 5, 4], [4, 5, 7, 6], [6, 7, 1, 0], [1, 7, 5, 3], [6, 0, 2, 4]],
         "tags": [
           {"type": "texture", "name": "Red texture", "material": "red",
            "params": {"1004": 6, "1000": 0.0, "1001": 0.0, "1002": 1.0, "1003": 1.0, "1007": 1}},
           {"type": "texture", "name": "Top texture", "material": "checker",
            "params": {"1006": "Top", "1004": 2, "1000": 0.0, "1001": 0.0, "1002": 1.0, "1003": 1.0, "1007": 1},
            "textureMatrix": {"off": [0, 0, 0], "v1": [50, 0, 0], "v2": [0, 50, 0], "v3": [0, 0, 50]}},
           {"type": "uvw", "uvw": [
             [[0, 0, 0], [0, 1, 0], [1, 1, 0], [1, 0, 0]], [[0, 0, 0], [0, 1, 0], [1, 1, 0], [1, 0, 0]],
             [[0, 0, 0], [0, 1, 0], [1, 1, 0], [1, 0, 0]], [[0, 0, 0], [0, 1, 0], [1, 1, 0], [1, 0, 0]],
             [[0, 0, 0], [0, 1, 0], [1, 1, 0], [1, 0, 0]], [[0, 0, 0], [0, 1, 0], [1, 1, 0], [1, 0, 0]]]},
           {"type": "phong", "params": {"1000": 1, "1001": 0.6981317007977318}},
           {"type": "polygonSelection", "name": "Top", "polygons": [4]}
         ]},
        {"type": "polygon", "name": "Hidden triangle", "position": [200, 0, 0], "params": {"902": 1},
         "points": [[0, 0, 0], [0, 100, 0], [100, 0, 0]], "polygons": [[0, 1, 2]]},
        {"type": "polygon", "name": "Layer plate", "layer": "props", "position": [0, -1, 0], "params": {"907": 3},
         "points": [[-150, 0, -150], [-150, 0, 150], [150, 0, 150], [150, 0, -150]], "polygons": [[0, 1, 2, 3]],
         "tags": [{"type": "normal"}]}
      ]},
      {"type": 5159, "name": "Cube generator", "position": [-250, 50, 0],
       "cache": {"type": "polygon", "name": "Cube",
         "points": [[-50, -50, -50], [-50, 50, -50], [50, -50, -50], [50, 50, -50],
                    [50, -50, 50], [50, 50, 50], [-50, -50, 50], [-50, 50, 50]],
         "polygons": [[0, 1, 3, 2], [2, 3, 5, 4], [4, 5, 7, 6], [6, 7, 1, 0], [1, 7, 5, 3], [6, 0, 2, 4]]},
       "tags": [{"type": "texture", "material": "blue"}]},
      {"type": "polygon", "name": "Bent plane", "position": [0, 0, 250],
       "points": [[-100, 0, -100], [-100, 0, 100], [100, 0, -100], [100, 0, 100]],
       "polygons": [[0, 1, 3, 2]],
       "deformCache": {"type": "polygon", "name": "Bent plane",
         "points": [[-100, 40, -100], [-100, 40, 100], [100, 0, -100], [100, 0, 100]],
         "polygons": [[0, 1, 3, 2]]}},
      {"type": 1007455, "name": "Subdivision", "position": [250, 50, 0],
       "cache": {"type": "polygon", "name": "Smoothed",
         "points": [[0, 60, 0], [-40, 0, -40], [40, 0, -40], [0, 0, 40]],
         "polygons": [[0, 2, 1], [0, 3, 2], [0, 1, 3], [1, 2, 3]]},
       "children": [
         {"type": "polygon", "name": "Subdivision input", "bits": 512,
          "points": [[0, 50, 0], [-50, 0, -50], [50, 0, -50], [0, 0, 50]],
          "polygons": [[0, 2, 1], [0, 3, 2], [0, 1, 3], [1, 2, 3]]}
       ]},
      {"type": "hair", "name": "Tuft", "position": [300, 0, -100],
       "tags": [{"type": "hairMaterial", "name": "Fur tag", "material": "fur"}],
       "hair": {"segments": 3,
                "guides": [[[300, 0, -100], [300, 10, -100], [302, 20, -99], [305, 30, -97]],
                           [[310, 0, -100], [310, 10, -100], [311, 20, -102], [313, 29, -105]],
                           [[300, 0, -90], [300, 10, -90], [298, 19, -88], [295, 27, -86]]],
                "rootUV": [[0, 0], [1, 0], [0, 1]]}}
    ]},
    {"type": "light", "name": "Key light", "position": [0, 400, -200], "rotation": [0, -1.0, 0],
     "params": {"90002": 8, "90001": 1.5, "100010": 200, "100011": 100, "100012": 0}},
    {"type": "null", "name": "Camera rig", "position": [0, 100, 0], "children": [
      {"type": "camera", "name": "Main camera", "position": [0, 50, -600],
       "tracks": [
         {"param": [903, 1000], "name": "Position . X", "keys": [
           {"time": 0, "value": 0, "interpolation": "linear"}, {"time": 2, "value": 150}]},
         {"param": [904, 1000], "name": "Rotation . H", "keys": [
           {"time": 0, "value": 0, "interpolation": "spline"}, {"time": 2, "value": -0.25}]}]}
    ]},
    {"type": "null", "name": "Spinner", "position": [0, 0, -200],
     "tracks": [
       {"param": [903, 1000], "name": "Position . X", "keys": [
         {"time": 0, "value": 0, "interpolation": "linear"}, {"time": 2, "value": 200}]},
       {"param": [904, 1000], "name": "Rotation . H", "keys": [
         {"time": 0, "value": 0, "interpolation": "spline"},
         {"time": 1, "value": 1.5707963267948966, "interpolation": "spline"},
         {"time": 2, "value": 3.141592653589793}]}
     ],
     "children": [
       {"type": "polygon", "name": "Blade", "points": [[0, 0, 0], [0, 20, 0], [80, 0, 0]], "polygons": [[0, 1, 2]],
        "tags": [{"type": "texture", "material": "sunset"}]}
     ]}
  ]
}
)json";

}  // namespace

const std::string& DemoDocumentJson() {
    static const std::string json = kDemoJson;
    return json;
}

std::unique_ptr<BaseDocument> LoadDemoDocument() {
    return LoadDocumentText(DemoDocumentJson(), "");
}

}  // namespace host
