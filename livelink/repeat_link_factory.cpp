#include "livelink/repeat_link_factory.h"

#include "livelink/installation.h"
#include "livelink/instance_choice.h"

namespace tal {

namespace {

// The port range is read for every renderer generation that has a live link.
constexpr int kPortRangeMinVersion = 5;
constexpr int kPortRangeMaxVersion = 20;

// Host texts and attempt modes of connect: an advertised port is reached by
// the machine's loopback host name, a scanned port by the numeric address.
constexpr const char* kAdvertisedHost = "localhost";
constexpr int kAdvertisedMode = 4;
constexpr const char* kScanHost = "127.0.0.1";
constexpr int kScanMode = 1;

}  // namespace

RepeatLinkFactory::RepeatLinkFactory(LinkEnvironment& environment) : environment_(environment) {}

RepeatLinkFactory::~RepeatLinkFactory() { closeApi(); }

void RepeatLinkFactory::setVersionRange(int minVersion, int maxVersion) {
    minVersion_ = minVersion;
    maxVersion_ = maxVersion;
}

talScene_api* RepeatLinkFactory::openApi() {
    errorText_.clear();
    if (api_ != nullptr) return api_;
    if (!establishLink()) {
        errorText_ = kFailedToConnectPrefix + errorText_;
        return nullptr;
    }
    return api_;
}

void RepeatLinkFactory::beginScene(talSceneapi_oo& /*scene*/) {
    // The renderer's side of the link needs no header lines.
}

void RepeatLinkFactory::closeApi() {
    if (api_ == nullptr) return;
    const bool complete = api_->disconnect();
    // Asked while the library that holds the reason is still loaded.
    const std::string refusal = complete ? std::string() : environment_.refusalReason();
    environment_.freeLibrary();
    api_ = nullptr;
    if (!complete) errorText_ = refusal.empty() ? kLinkLostText : kRefusedPrefix + refusal;
}

bool RepeatLinkFactory::establishLink() {
    matched_ = false;
    api_ = environment_.sceneApi(minVersion_, maxVersion_);
    if (api_ == nullptr) {
        errorText_ = kNoSceneApiText;
        return false;
    }
    api_->id(static_cast<unsigned int>(apiId_));
    talQuery_api* query = environment_.queryApi(minVersion_, maxVersion_);
    if (query == nullptr) {
        errorText_ = kNoQueryApiText;
        api_ = nullptr;
        return false;
    }
    if (!connectToInstance(*query)) {
        // errorText_ is set; the library stays loaded for the next attempt.
        api_ = nullptr;
        return false;
    }
    return true;
}

bool RepeatLinkFactory::connectToInstance(talQuery_api& query) {
    InstanceChoice choice = chooseInstance(query, listInstances(query, minVersion_, maxVersion_),
                                           sceneName_, preferRunning_);
    if (choice.instance.versionMajor == 0) {
        if (!environment_.launchRenderer(minVersion_, maxVersion_)) {
            errorText_ = kLaunchFailedText;
            return false;
        }
        for (std::int32_t pass = 1; pass < retryCount_; ++pass) {
            choice = chooseInstance(query, listInstances(query, minVersion_, maxVersion_),
                                    sceneName_, preferRunning_);
            environment_.sleepMilliseconds(static_cast<std::uint32_t>(retryDelayMs_));
            if (choice.instance.versionMajor != 0) break;
        }
    }
    matched_ = choice.matched;
    bool connected = false;
    if (choice.instance.liveLinkPort > 0) {
        connected = api_->connect(kAdvertisedHost, choice.instance.liveLinkPort, kAdvertisedMode);
    } else {
        connected = scanPorts();
    }
    if (!connected) {
        matched_ = false;
        errorText_ = kNoPortText;
    }
    return connected;
}

bool RepeatLinkFactory::scanPorts() {
    int first = -1;
    int last = -1;
    const int status =
        environment_.readLiveLinkPorts(kPortRangeMinVersion, kPortRangeMaxVersion, first, last);
    if (status == kNoInstallation || status == kPortMissing) return false;
    for (long long port = first; port <= last; ++port) {
        if (api_->connect(kScanHost, static_cast<int>(port), kScanMode)) return true;
    }
    return false;
}

}  // namespace tal
