// LinkFactory: what the Render and Update commands need of a live-link
// factory, on top of the plain LightFactory.
//
// Contract. The command configures the factory before the object layer asks
// it for a scene API: the scene name an instance may already hold (empty for
// Render), whether any reachable instance is welcome (preferRunning) and the
// accepted renderer major versions. sceneMatched() is meaningful once
// openApi() has answered a scene API: true when the chosen instance already
// holds a scene of that name. A failed link is not an error of the command:
// openApi() answers null and errorText() keeps the reason for the owner,
// which does not show it.
#pragma once

#include <string>

#include "sceneapi/light_factory.h"

namespace tal {

class LinkFactory : public LightFactory {
public:
    virtual void setSceneName(const std::string& name) = 0;
    virtual void setPreferRunning(bool preferRunning) = 0;
    virtual void setVersionRange(int minVersion, int maxVersion) = 0;
    virtual bool sceneMatched() const = 0;
    virtual const std::string& errorText() const = 0;
};

}  // namespace tal
