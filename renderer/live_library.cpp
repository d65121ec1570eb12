// talvantrixlive6_64.so: the live-link library the plug-in loads from the
// renderer's installation. Its entry point, vantrix_live_initialize, answers
// the root object with the query API (running instances from the instance
// folder, scene descriptions as the renderers publish them) and the scene
// API (live_scene_api.h). A second, optional export, vantrix_live_refusal,
// answers why the renderer refused the last scene of a root object's scene
// API, in the renderer's words (null when it did not refuse one); loaders
// that do not know it lose nothing. No exception leaves the library: the
// entry point answers null when it cannot build the root object.
#include <cstdint>
#include <memory>
#include <new>
#include <sstream>
#include <string>

#include "livelink/live_api.h"
#include "platform/regular_file.h"
#include "renderer/instance_records.h"
#include "renderer/live_scene_api.h"

namespace {

using vxrenderer::InstanceRecord;

// A scene description lists model sets by name: far below this.
constexpr std::uint64_t kMaxSceneDescriptionBytes = std::uint64_t{16} << 20;

// Answers from the instance folder; the texts live until the next call.
class LiveQueryApi final : public tal::talQuery_api {
public:
    const char* instanceList() override {
        try {
            std::ostringstream xml;
            xml << "<instances>";
            const std::string folder = vxrenderer::instanceFolder();
            if (!folder.empty()) {
                for (const InstanceRecord& r : vxrenderer::liveRecords(folder)) {
                    xml << "<instance><version_major>" << r.versionMajor
                        << "</version_major><process_id>" << r.processId
                        << "</process_id><livelink_port>" << r.liveLinkPort
                        << "</livelink_port></instance>";
                }
            }
            xml << "</instances>";
            list_ = xml.str();
            return list_.c_str();
        } catch (...) {
            return nullptr;
        }
    }

    bool attachInstance(std::uint64_t processId) override {
        try {
            attached_ = 0;
            const std::string folder = vxrenderer::instanceFolder();
            if (folder.empty()) return false;
            for (const InstanceRecord& r : vxrenderer::liveRecords(folder)) {
                if (static_cast<std::uint64_t>(r.processId) == processId) {
                    attached_ = r.processId;
                    folder_ = folder;
                    return true;
                }
            }
            return false;
        } catch (...) {
            return false;
        }
    }

    void detachInstance() override { attached_ = 0; }

    const char* sceneInfo() override {
        try {
            if (attached_ == 0) return nullptr;
            // A renderer writes its description whole; a file of another
            // kind, or one grown far past any model-set list, is not one.
            std::string error;
            if (!platform::readRegularFile(vxrenderer::sceneDescriptionPath(folder_, attached_),
                                           scene_, error, kMaxSceneDescriptionBytes)) {
                return nullptr;
            }
            return scene_.c_str();
        } catch (...) {
            return nullptr;
        }
    }

private:
    std::string list_;
    std::string scene_;
    std::string folder_;
    std::int64_t attached_ = 0;
};

class LiveRoot final : public tal::talLive_api {
public:
    tal::talScene_api* sceneApi() override { return &scene_; }
    tal::talQuery_api* queryApi() override { return &query_; }
    const std::string& refusal() const { return scene_.lastRefusal(); }

private:
    vxrenderer::LiveSceneApi scene_;
    LiveQueryApi query_;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) tal::talLive_api* vantrix_live_initialize() {
    try {
        return new LiveRoot();
    } catch (...) {
        return nullptr;
    }
}

// `root` is an object that vantrix_live_initialize of this library answered.
extern "C" __attribute__((visibility("default"))) const char* vantrix_live_refusal(
    const tal::talLive_api* root) {
    if (root == nullptr) return nullptr;
    const std::string& reason = static_cast<const LiveRoot*>(root)->refusal();
    return reason.empty() ? nullptr : reason.c_str();
}
