// LinkEnvironment: everything the live-link factory reaches outside itself,
// behind one interface so that tests script it: the live-link library's
// scene and query APIs (through the loader), the renderer's installation
// (launch and port range) and the pause between waiting passes.
//
// Contract. The pointers answered belong to the loaded library and stay
// valid until freeLibrary(). readLiveLinkPorts answers the installation's
// status codes (kPortsRead and the others). Nothing here throws.
#pragma once

#include <cstdint>
#include <string>

#include "livelink/live_api.h"

namespace tal {

class LinkEnvironment {
public:
    virtual ~LinkEnvironment() = default;
    virtual talScene_api* sceneApi(int minVersion, int maxVersion) = 0;
    virtual talQuery_api* queryApi(int minVersion, int maxVersion) = 0;
    virtual void freeLibrary() = 0;
    virtual bool launchRenderer(int minVersion, int maxVersion) = 0;
    virtual int readLiveLinkPorts(int minVersion, int maxVersion, int& first, int& last) = 0;
    virtual void sleepMilliseconds(std::uint32_t milliseconds) = 0;
    // Why the renderer refused the scene the library last sent, in its own
    // words; empty when it gave no reason. Asked before freeLibrary().
    virtual std::string refusalReason() { return {}; }
};

// The library loader (vantrixlive_loader.h) and the live services it uses (the
// system's, or those a test installed with setLiveServices).
LinkEnvironment& systemLinkEnvironment();

}  // namespace tal
