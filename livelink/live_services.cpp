#include "livelink/live_services.h"

#include <optional>

#include "livelink/log.h"

namespace tal {

namespace {

const LiveServices& systemServices() {
    static const LiveServices services{&Installation::system(), &platform::systemSharedLibraries(),
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
