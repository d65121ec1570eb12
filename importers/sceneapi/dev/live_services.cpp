#include "importers/sceneapi/dev/live_services.h"

#include <optional>

#include "importers/sceneapi/dev/log.h"

namespace tal {

namespace {

const LiveServices& systemServices() {
    static const LiveServices services{&livelink::Installation::system(),
                                       &platform::systemSharedLibraries(),
                                       &platform::systemClock()};
    return services;
}

std::optional<LiveServices> g_services;

}  // namespace

const LiveServices& liveServices() { return g_services ? *g_services : systemServices(); }

void setLiveServices(const LiveServices* services) {
    if (services != nullptr) {
        g_services = *services;
    } else {
        g_services.reset();
    }
    Output2FILE::closeLogFile();
    restartNowTime();
}

}  // namespace tal
