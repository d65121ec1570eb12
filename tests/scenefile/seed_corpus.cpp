// Writes the reader's fuzz seed corpus: scenes made by the file writer.
//
//   scenefile_seed_corpus DIR
//
// Writes export-like scenes (binary and text arrays), a small grid, and
// generated call sequences of every statement kind in both array forms and
// with indentation, as DIR/seed-*.vxs.
#include <cstdio>
#include <string>

#include "call_script.h"
#include "scene_samples.h"
#include "sceneapi/scene_api_file.h"
#include "tests/support/memory_scene.h"

namespace {

bool save(const std::string& dir, const std::string& name, const std::string& bytes) {
    std::string path = dir + "/seed-" + name + ".vxs";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: scenefile_seed_corpus DIR\n");
        return 2;
    }
    std::string dir = argv[1];
    bool ok = save(dir, "export-binary", vxtest::exportLikeScene(true)) &&
              save(dir, "export-text", vxtest::exportLikeScene(false)) &&
              save(dir, "grid", vxtest::gridScene(4, 3, true));
    for (std::uint32_t seed = 1; seed <= 12 && ok; ++seed) {
        vxtest::MemoryStream memory;
        {
            tal::talScene_api_file writer(memory.stream(), seed % 2 == 0);
            if (seed % 3 == 0) writer.setFormatFlags(seed % 2 == 0 ? 1 : 0);
            vxtest::CallScript(seed).run(writer, 40);
        }
        ok = save(dir, "calls-" + std::to_string(seed), memory.text());
    }
    if (!ok) std::fprintf(stderr, "scenefile_seed_corpus: cannot write to %s\n", dir.c_str());
    return ok ? 0 : 1;
}
