// Base-class answers of the scene API slots that this system never drives.
// Every back end inherits them unless it has a meaning of its own (the live
// link overrides connect and disconnect).
#include "sceneapi/scene_api.h"

namespace tal {

talScene_api::~talScene_api() = default;

void talScene_api::reservedHook1() {}

bool talScene_api::connect(const char* /*host*/, int /*port*/, int /*attemptMode*/) {
    return false;
}

bool talScene_api::disconnect() { return false; }

bool talScene_api::reservedQuery4() { return false; }

int talScene_api::reservedCount51() { return 10; }

int talScene_api::reservedCount52() { return 10; }

int talScene_api::reservedQuery53() { return 0; }

void talScene_api::reservedHook58() {}

bool talScene_api::reservedQuery64() { return false; }

}  // namespace tal
