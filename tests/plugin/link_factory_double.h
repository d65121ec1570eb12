// RecordingLinkFactory: a live-link factory for the controller tests. It
// records what the controller asks of it, in order, gives a scene file writer
// on a memory stream as its scene API (or none), and answers sceneMatched as
// scripted. At its destruction it notes whether the controller's object
// layer was already gone, and keeps everything the scene API received.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "livelink/link_factory.h"
#include "plugin/export_controller.h"
#include "sceneapi/scene_api_file.h"
#include "tests/support/memory_scene.h"

namespace vxtest {

struct FactoryScript {
    bool givesApi = true;
    bool matched = false;
    bool failClose = false;
    std::string errorText;  // what the live-link factory says went wrong
    std::vector<std::string> events;
    std::string text;  // what the scene API received
    const plugin::ExportController* controller = nullptr;
};

// Shared by the live-link and the file factory doubles.
class RecordingBackEnd {
public:
    explicit RecordingBackEnd(FactoryScript& script) : script_(script) {}
    ~RecordingBackEnd() {
        script_.events.push_back(std::string("~factory, layer ") + layerState());
        writer_.reset();
        script_.text = stream_.text();
    }
    tal::talScene_api* open() {
        script_.events.push_back("openApi");
        if (!script_.givesApi) return nullptr;
        writer_ = std::make_unique<tal::talScene_api_file>(stream_.stream(), false);
        return writer_.get();
    }
    void close() {
        script_.events.push_back(std::string("closeApi, layer ") + layerState());
        writer_.reset();
        if (script_.failClose) throw std::runtime_error("could not close file");
    }
    FactoryScript& script() { return script_; }

private:
    const char* layerState() const {
        return script_.controller && script_.controller->context.scene ? "open" : "gone";
    }
    FactoryScript& script_;
    MemoryStream stream_;
    std::unique_ptr<tal::talScene_api_file> writer_;
};

class RecordingLinkFactory : public tal::LinkFactory {
public:
    explicit RecordingLinkFactory(FactoryScript& script) : script_(script), backEnd_(script) {}
    tal::talScene_api* openApi() override { return backEnd_.open(); }
    void beginScene(tal::talSceneapi_oo& /*scene*/) override { event("beginScene"); }
    void closeApi() override { backEnd_.close(); }
    void setSceneName(const std::string& name) override { event("setSceneName " + name); }
    void setPreferRunning(bool prefer) override {
        event(std::string("setPreferRunning ") + (prefer ? "true" : "false"));
    }
    void setVersionRange(int minVersion, int maxVersion) override {
        event("setVersionRange " + std::to_string(minVersion) + " " + std::to_string(maxVersion));
    }
    bool sceneMatched() const override { return script_.matched; }
    const std::string& errorText() const override { return script_.errorText; }

private:
    void event(std::string text) { script_.events.push_back(std::move(text)); }
    FactoryScript& script_;
    RecordingBackEnd backEnd_;
};

class RecordingFileFactory : public tal::LightFactory {
public:
    explicit RecordingFileFactory(FactoryScript& script) : backEnd_(script) {}
    tal::talScene_api* openApi() override { return backEnd_.open(); }
    void beginScene(tal::talSceneapi_oo& /*scene*/) override {
        backEnd_.script().events.push_back("beginScene");
    }
    void closeApi() override { backEnd_.close(); }

private:
    RecordingBackEnd backEnd_;
};

// The import options block of a scene text, from "load" to its "}".
inline std::string optionsBlock(const std::string& text) {
    const std::size_t begin = text.find("load \"talrtopt.so\" {\n");
    if (begin == std::string::npos) return {};
    return text.substr(begin, text.find("}\n", begin) + 2 - begin);
}

inline std::string expectedOptions(bool adjust) {
    const std::string a = adjust ? "on" : "off";
    return "load \"talrtopt.so\" {\n"
           "\"import_mode\" on,\n"
           "\"import_merge_groups\" off,\n"
           "\"import_merge_objects\" off,\n"
           "\"import_up_vector\" 1,\n"
           "\"meter_scale\" 100,\n"
           "\"import_keep_original\" on,\n"
           "\"import_center_geometry\" off,\n"
           "\"import_snap_to_ground\" off,\n"
           "\"import_adjust_camera\" " +
           a +
           ",\n"
           "\"import_adjust_environment\" " +
           a +
           ",\n"
           "\"ext\" off,\n"
           "}\n";
}

}  // namespace vxtest
