// The choice of a renderer instance from what the live-link library's query
// API answers: the instance list and, per attached instance, its scene
// description, both XML texts parsed with TinyXML.
//
// Contract. listInstances answers the instances of the list whose major
// version lies in min..max, in document order: the root is the document's
// first node and each of its children is one instance, holding somewhere
// below it "version_major", "process_id" and "livelink_port" elements with
// decimal texts. An entry that lacks one of them, or whose element has no
// text, is skipped. chooseInstance attaches to each listed instance in turn
// (detaching after every successful attach) and answers the newest instance
// that holds a model set named `sceneName`, else, with `preferRunning`, the
// newest reachable one, else the newest idle one, else none (versionMajor 0).
// Equal versions: the first listed wins. A text that is missing, empty or not
// well-formed XML counts as a document without nodes: no instances, a scene
// that is neither idle nor holds a name. Nothing here throws for bad XML.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "livelink/live_api.h"

namespace tal {

struct InstanceInfo {
    std::int32_t versionMajor = 0;  // 0: no instance (then all fields are 0)
    std::int64_t processId = 0;
    std::int32_t liveLinkPort = 0;  // 0 or negative: the instance advertises none
};

std::vector<InstanceInfo> parseInstanceList(const char* xml, int minVersion, int maxVersion);

struct SceneDescription {
    bool idle = false;       // its first section exists and holds nothing nested
    bool holdsName = false;  // an active model set of the name within the levels
};

// `levels`: how deep the name search goes, the root counting as level 1.
SceneDescription readSceneDescription(const char* xml, const std::string& sceneName, int levels);

// Levels of the name search for an instance of that major version: 4 from
// version 7 on, else 3.
int nameSearchLevels(int versionMajor);

struct InstanceChoice {
    InstanceInfo instance;  // versionMajor 0 when none suits
    bool matched = false;   // the instance holds a model set named sceneName
};

std::vector<InstanceInfo> listInstances(talQuery_api& query, int minVersion, int maxVersion);
InstanceChoice chooseInstance(talQuery_api& query, const std::vector<InstanceInfo>& instances,
                              const std::string& sceneName, bool preferRunning);

}  // namespace tal
