// ModelSets: the scenes a renderer holds, one model set per scene name, and
// the scene description it publishes for the live link's instance choice.
//
// Contract. apply() takes one whole received scene. Its model set name is
// the name of the top-level group that carries the "source file" attribute
// (the document's group), else of the first top-level group, else
// "untitled". A scene whose import options turn "import_adjust_camera" off
// comes from an Update of a scene this renderer holds: it updates that model
// set, replacing the objects, cameras and animations it carries and keeping
// all others. Any other scene replaces the model set of its name. Objects
// are keyed by their path of group names and their own name.
//
// describe() is the scene description XML: a root <scene> whose first
// section <modelsets> holds one <modelset name=".." modelset="active"> per
// model set, each with a <summary .../> child, so an idle renderer is
// "<scene><modelsets/></scene>" and a model set's name is found at the third
// level. Counting rules are vxs info's (scenefile/scene_stats.h).
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "scenefile/tree.h"

namespace vxrenderer {

struct Counts {
    std::uint64_t objects = 0, triangles = 0, materials = 0, cameras = 0, lights = 0,
                  animations = 0;
};

struct Applied {
    std::string name;     // the model set
    bool update = false;  // merged into a held model set rather than replacing it
    Counts scene;         // what the scene itself carried
    Counts modelSet;      // the model set afterwards
};

class ModelSets {
public:
    Applied apply(const scenefile::Document& scene);
    std::string describe() const;
    std::size_t size() const { return sets_.size(); }

private:
    struct ObjectEntry {
        std::uint64_t triangles = 0;
        bool light = false;
        std::string material;
    };
    struct ModelSet {
        std::map<std::string, ObjectEntry> objects;  // by path
        std::set<std::string> cameras;
        std::map<std::string, std::uint64_t> animations;  // by group path
        std::set<std::string> lightBlocks;
        std::uint64_t scenes = 0;
        Counts counts() const;
    };
    static ModelSet extract(const scenefile::Document& scene);
    std::map<std::string, ModelSet> sets_;
};

// The model set name a scene is held under (see above).
std::string modelSetName(const scenefile::Document& scene);
// True when the scene's import options turn "import_adjust_camera" off.
bool keepsView(const scenefile::Document& scene);
std::string xmlEscape(const std::string& text);

}  // namespace vxrenderer
