// A stand-in live-link library whose entry point answers no root object.
#include "livelink/live_api.h"

extern "C" tal::talLive_api* vantrix_live_initialize() { return nullptr; }
