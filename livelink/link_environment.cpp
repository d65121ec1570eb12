#include "livelink/link_environment.h"

#include "livelink/live_services.h"
#include "livelink/vantrixlive_loader.h"

namespace tal {

namespace {

class SystemLinkEnvironment final : public LinkEnvironment {
public:
    talScene_api* sceneApi(int minVersion, int maxVersion) override {
        return tal_get_scene_api(minVersion, maxVersion);
    }
    talQuery_api* queryApi(int minVersion, int maxVersion) override {
        return tal_get_query_api(minVersion, maxVersion);
    }
    void freeLibrary() override { tal_free_live_loader(); }
    bool launchRenderer(int minVersion, int maxVersion) override {
        return liveServices().installation->launchRenderer(minVersion, maxVersion);
    }
    int readLiveLinkPorts(int minVersion, int maxVersion, int& first, int& last) override {
        return liveServices().installation->readLiveLinkPorts(minVersion, maxVersion, first, last);
    }
    void sleepMilliseconds(std::uint32_t milliseconds) override {
        liveServices().clock->sleepMilliseconds(milliseconds);
    }
    std::string refusalReason() override { return tal_live_refusal(); }
};

}  // namespace

LinkEnvironment& systemLinkEnvironment() {
    static SystemLinkEnvironment environment;
    return environment;
}

}  // namespace tal
