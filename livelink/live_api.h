// The objects of the renderer's live-link library, as the plug-in sees them.
//
// Contract. The library exports one entry point, "vantrix_live_initialize"
// (LiveInitializeFn): no arguments, answers the root object talLive_api or
// null. The root object is owned by whoever called the entry point and is
// deleted through its virtual destructor before the library is unloaded; the
// scene API and query API it hands out belong to it and are never deleted by
// the caller. Texts from the query API are zero-terminated UTF-8 XML owned by
// the library, valid until its next call; the caller parses them at once.
//
// The library is built separately, so the slot order of every virtual below
// is fixed, including slots the plug-in never calls. No exception crosses
// this boundary: failures are null pointers and false.
#pragma once

#include <cstdint>

#include "sceneapi/scene_api.h"

namespace tal {

class talQuery_api {
public:
    virtual const char* instanceList() = 0;                    // 0, XML or null
    virtual bool attachInstance(std::uint64_t processId) = 0;  // 1
    virtual bool reservedQuery2() { return false; }            // 2, never called
    virtual void detachInstance() = 0;                         // 3, only after an attach
    virtual bool reservedQuery4() { return false; }            // 4, never called
    virtual bool reservedQuery5() { return false; }            // 5, never called
    virtual const char* sceneInfo() = 0;                       // 6, XML or null

protected:
    // Owned by the root object; the caller never deletes it, and slot 0 is
    // not a destructor.
    ~talQuery_api() = default;
};

class talLive_api {
public:
    virtual ~talLive_api() = default;      // 0
    virtual talScene_api* sceneApi() = 0;  // 1, owned by this object
    virtual talQuery_api* queryApi() = 0;  // 2, owned by this object
};

// The library's entry point, looked up by this name.
inline constexpr const char* kLiveInitializeSymbol = "vantrix_live_initialize";
using LiveInitializeFn = talLive_api* (*)();

// An optional export of the project's own library: why the renderer refused
// the last scene sent through `root`'s scene API, in the renderer's words, or
// null. Text owned by the library, valid until its next call. A library
// without it simply gives no reasons.
inline constexpr const char* kLiveRefusalSymbol = "vantrix_live_refusal";
using LiveRefusalFn = const char* (*)(const talLive_api* root);

}  // namespace tal
