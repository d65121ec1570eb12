// A stand-in live-link library whose entry point answers a root object. The
// scene API it hands out is a marker that is compared, never called.
#include "livelink/live_api.h"

namespace {

int g_destroyed = 0;
alignas(tal::talScene_api*) unsigned char g_sceneMarker[sizeof(void*)];

class Query final : public tal::talQuery_api {
public:
    const char* instanceList() override { return "<instances/>"; }
    bool attachInstance(std::uint64_t) override { return false; }
    void detachInstance() override {}
    const char* sceneInfo() override { return nullptr; }
};

class Root final : public tal::talLive_api {
public:
    ~Root() override { ++g_destroyed; }
    tal::talScene_api* sceneApi() override {
        return reinterpret_cast<tal::talScene_api*>(g_sceneMarker);
    }
    tal::talQuery_api* queryApi() override { return &query_; }

private:
    Query query_;
};

}  // namespace

extern "C" tal::talLive_api* vantrix_live_initialize() { return new Root(); }

// How many root objects were destroyed so far (read by the tests before unload).
extern "C" int vxtest_roots_destroyed() { return g_destroyed; }
