// RepeatLinkFactory: the scene API factory of the live link (Render, Update).
//
// Contract. The first openApi() runs the whole connection procedure: it
// obtains the live-link library's scene API (and sends it the client id 1),
// lists the running renderer instances, picks one (see instance_choice.h),
// starts the renderer when none suits and then looks again up to
// kRetryCount - 1 times, pausing kRetryDelayMs after each look, and connects
// to the chosen instance's advertised port on "localhost", or, when there is
// none, tries the installation's port range on "127.0.0.1" one port at a
// time. It answers the connected scene API, which the library keeps owning,
// or null with errorText() set to "Failed to connect. " and the reason. A
// failed factory tries again from the start on the next openApi(); after a
// failure the library stays loaded for that retry.
//
// closeApi() (and the destructor) disconnects and unloads the library. A
// link that did not carry the whole scene makes the disconnect fail;
// errorText() then holds kRefusedPrefix and the renderer's reason when the
// renderer refused the scene and said why, else (it died or stopped
// reading) kLinkLostText. Failures are texts, never exceptions; the factory
// never shows them: its owner decides.
#pragma once

#include <cstdint>
#include <string>

#include "livelink/link_environment.h"
#include "livelink/link_factory.h"

namespace tal {

// Looks at the instance list after a launch: kRetryCount - 1 passes, each
// followed by a pause of kRetryDelayMs milliseconds.
inline constexpr std::int32_t kRetryCount = 20;
inline constexpr std::int32_t kRetryDelayMs = 1000;

inline constexpr const char* kNoSceneApiText =
    "Could not get a scene api. Please check your Vantrix installation.\n";
inline constexpr const char* kNoQueryApiText =
    "Could not get a query api. Please check your Vantrix installation.\n";
inline constexpr const char* kLaunchFailedText =
    "Unabled to launch Vantrix. Please check your Vantrix installation.";
inline constexpr const char* kNoPortText =
    "Could not connect on any known port. Please check your Vantrix installation and Live Link "
    "settings.";
inline constexpr const char* kFailedToConnectPrefix = "Failed to connect. ";
inline constexpr const char* kLinkLostText =
    "The live link to Vantrix failed before the whole scene arrived. Please check that Vantrix "
    "is still running.";
// Followed by the renderer's own reason when it refused the scene.
inline constexpr const char* kRefusedPrefix = "Vantrix refused the scene: ";

class RepeatLinkFactory : public LinkFactory {
public:
    explicit RepeatLinkFactory(LinkEnvironment& environment = systemLinkEnvironment());
    ~RepeatLinkFactory() override;

    talScene_api* openApi() override;
    void beginScene(talSceneapi_oo& scene) override;
    void closeApi() override;

    void setSceneName(const std::string& name) override { sceneName_ = name; }
    void setPreferRunning(bool preferRunning) override { preferRunning_ = preferRunning; }
    void setVersionRange(int minVersion, int maxVersion) override;
    bool sceneMatched() const override { return matched_; }
    const std::string& errorText() const override { return errorText_; }

private:
    bool establishLink();
    bool connectToInstance(talQuery_api& query);
    bool scanPorts();

    LinkEnvironment& environment_;
    std::int32_t retryCount_ = kRetryCount;
    std::int32_t retryDelayMs_ = kRetryDelayMs;
    talScene_api* api_ = nullptr;  // owned by the library
    std::int32_t minVersion_ = 7;
    std::int32_t maxVersion_ = 20;
    std::string sceneName_;
    bool preferRunning_ = false;
    bool matched_ = false;
    std::string errorText_;
    std::int32_t apiId_ = 1;
};

}  // namespace tal
