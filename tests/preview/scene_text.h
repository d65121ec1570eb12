// Small scenes written as scene file text, and looks at rendered pictures,
// for the preview tests.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "preview/preview.h"
#include "scenefile/reader.h"

namespace previewtest {

// A camera block: "position", "direction", "up" and "fov", then `extra` lines.
inline std::string camera(const std::string& name, const std::string& position,
                          const std::string& direction, double fov = 60,
                          const std::string& extra = "") {
    return "camera \"" + name + "\" {\nprojection \"perspective\"\nfov " + std::to_string(fov) +
           "\nposition " + position + "\ndirection " + direction + "\nup 0 1 0\n" + extra + "}\n";
}

// A sky of one colour, as a camera's environment.
inline std::string skyColor(const std::string& rgb) {
    return "reflection map \"tal_envmap\" {\n\"color\" " + rgb + ",\n}\n";
}

inline std::string diffuse(const std::string& name, const std::string& rgb) {
    return "material \"" + name + "\" {\nsurface \"tal_diffuse\" {\n\"diffuse\" " + rgb +
           ",\n}\n}\n";
}

// An object with a square of side 2*half in its own x-y plane, facing +z.
inline std::string square(const std::string& name, double half, const std::string& material,
                          const std::string& extraGeometry = "") {
    const std::string h = std::to_string(half), m = "-" + h;
    return "object \"" + name + "\" {\ngeometry \"triangles\" {\n\"vertices\" [ " + m + " " + m +
           " 0, " + h + " " + m + " 0, " + h + " " + h + " 0, " + m + " " + h +
           " 0 ],\n\"triangles\" [ 0 1 2, 0 2 3 ],\n" + extraGeometry + "}\n" + material + "}\n";
}

inline std::string group(const std::string& name, const std::string& transform,
                         const std::string& content) {
    return "group \"" + name + "\" {\n" +
           (transform.empty() ? std::string() : "transform " + transform + "\n") + content + "}\n";
}

inline preview::RenderOptions small(int samples = 4) {
    preview::RenderOptions o;
    o.width = 64;
    o.height = 48;
    o.samples = samples;
    return o;
}

inline preview::RenderResult render(const std::string& text, const preview::RenderOptions& o,
                                    const std::string& folder = ".") {
    return preview::renderScene(scenefile::readScene(text), folder, o);
}

using Rgb = std::array<int, 3>;

inline Rgb at(const preview::Image& image, int x, int y) {
    const std::size_t i = (static_cast<std::size_t>(y) * image.width + x) * 3;
    return {image.rgb[i], image.rgb[i + 1], image.rgb[i + 2]};
}

inline bool isRed(Rgb c) { return c[0] > c[1] + 60 && c[0] > c[2] + 60; }
inline bool isGreen(Rgb c) { return c[1] > c[0] + 60 && c[1] > c[2] + 60; }
// The default sky: a neutral grey.
inline bool isGrey(Rgb c) {
    return std::abs(c[0] - c[1]) < 8 && std::abs(c[1] - c[2]) < 8 && c[0] > 60;
}
inline int brightness(Rgb c) { return c[0] + c[1] + c[2]; }

}  // namespace previewtest
