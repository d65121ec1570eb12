// The services the live-link loader and its log reach the system through:
// the installation discovery, the shared-library loader and the clock.
//
// Contract. liveServices() answers the system's services until a test
// replaces them with setLiveServices (which copies the record; the services
// it points to are not owned and must outlive their use). Replacing or restoring (null) the
// services also closes the log file and restarts the log's millisecond count, so that the next log
// statement opens the log afresh through the new services. The loaded
// library, if any, is not touched: free it first.
#pragma once

#include "livelink/installation.h"
#include "platform/clock.h"
#include "platform/shared_library.h"

namespace tal {

struct LiveServices {
    const Installation* installation;
    platform::SharedLibraries* libraries;
    platform::Clock* clock;
};

const LiveServices& liveServices();
void setLiveServices(const LiveServices* services);

}  // namespace tal
