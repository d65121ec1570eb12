// Scripted stand-ins for what the live-link factory talks to: a query API
// that answers instance lists and scene descriptions from a script, a scene
// API that records id, connect and disconnect, and an environment that
// records launches, port reads and pauses instead of doing them.
#pragma once

#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "livelink/link_environment.h"
#include "livelink/live_api.h"
#include "sceneapi/scene_api_file.h"

namespace linktest {

class ScriptedQuery final : public tal::talQuery_api {
public:
    const char* instanceList() override {
        calls.push_back("instanceList");
        list_ = lists.empty() ? std::optional<std::string>() : lists.front();
        if (lists.size() > 1) lists.erase(lists.begin());
        return list_ ? list_->c_str() : nullptr;
    }
    bool attachInstance(std::uint64_t processId) override {
        calls.push_back("attach " + std::to_string(processId));
        if (refused.contains(processId)) return false;
        attached_ = processId;
        return true;
    }
    void detachInstance() override { calls.push_back("detach"); }
    const char* sceneInfo() override {
        calls.push_back("sceneInfo");
        const auto it = scenes.find(attached_);
        scene_ = it != scenes.end() ? it->second : std::optional<std::string>(kIdle);
        return scene_ ? scene_->c_str() : nullptr;
    }

    static constexpr const char* kIdle = "<scene><modelsets/></scene>";
    // Answers of instanceList in turn; the last one repeats; none: null.
    std::vector<std::optional<std::string>> lists;
    // Scene descriptions by process id (default: idle); nullopt: null.
    std::map<std::uint64_t, std::optional<std::string>> scenes;
    std::set<std::uint64_t> refused;
    std::vector<std::string> calls;

private:
    std::optional<std::string> list_;
    std::optional<std::string> scene_;
    std::uint64_t attached_ = 0;
};

// The real writer on a scratch stream, recording the link operations.
class RecordingLinkApi final : public tal::talScene_api_file {
public:
    RecordingLinkApi() : talScene_api_file(scratch(), true) {}
    bool connect(const char* host, int port, int mode) override {
        connects.push_back(std::string(host) + ":" + std::to_string(port) + "/" +
                           std::to_string(mode));
        return acceptedPorts.contains(port);
    }
    bool disconnect() override {
        ++disconnects;
        return disconnectResult;
    }
    void id(unsigned int value) override { ids.push_back(value); }

    std::set<int> acceptedPorts;
    bool disconnectResult = true;
    std::vector<std::string> connects;
    std::vector<unsigned int> ids;
    int disconnects = 0;

private:
    static std::FILE* scratch() {
        static std::FILE* stream = std::tmpfile();
        return stream;
    }
};

class ScriptedEnvironment final : public tal::LinkEnvironment {
public:
    tal::talScene_api* sceneApi(int minVersion, int maxVersion) override {
        events.push_back("sceneApi " + range(minVersion, maxVersion));
        return giveSceneApi ? &api : nullptr;
    }
    tal::talQuery_api* queryApi(int minVersion, int maxVersion) override {
        events.push_back("queryApi " + range(minVersion, maxVersion));
        return giveQueryApi ? &query : nullptr;
    }
    void freeLibrary() override { events.push_back("freeLibrary"); }
    bool launchRenderer(int minVersion, int maxVersion) override {
        events.push_back("launch " + range(minVersion, maxVersion));
        if (launched) launched();
        return launchResult;
    }
    int readLiveLinkPorts(int minVersion, int maxVersion, int& first, int& last) override {
        events.push_back("ports " + range(minVersion, maxVersion));
        if (firstPort) first = *firstPort;
        if (lastPort) last = *lastPort;
        return portStatus;
    }
    void sleepMilliseconds(std::uint32_t milliseconds) override { sleeps.push_back(milliseconds); }
    std::string refusalReason() override {
        events.push_back("refusalReason");
        return refusal;
    }

    RecordingLinkApi api;
    ScriptedQuery query;
    bool giveSceneApi = true;
    bool giveQueryApi = true;
    bool launchResult = true;
    std::function<void()> launched;
    int portStatus = 0;
    std::optional<int> firstPort = 5000;
    std::optional<int> lastPort = 5003;
    std::vector<std::string> events;
    std::vector<std::uint32_t> sleeps;
    std::string refusal;  // what refusalReason() answers

private:
    static std::string range(int a, int b) { return std::to_string(a) + "-" + std::to_string(b); }
};

// An instance list entry, and a list of entries.
inline std::string entry(int version, long long pid, int port) {
    return "<instance><version_major>" + std::to_string(version) + "</version_major><process_id>" +
           std::to_string(pid) + "</process_id><livelink_port>" + std::to_string(port) +
           "</livelink_port></instance>";
}
inline std::string instances(const std::vector<std::string>& entries) {
    std::string text = "<instances>";
    for (const std::string& e : entries) text += e;
    return text + "</instances>";
}

}  // namespace linktest
