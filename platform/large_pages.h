// Large pages for large fresh blocks.
//
// preferLargePages asks the system to back the whole 2 MiB pages inside a
// fresh block of memory with large pages, where it can. Meant for arrays of
// many megabytes that are written once from end to end: a large page costs
// one fault where small pages cost 512. Only a hint: it changes no value,
// and where the system has no such hint it does nothing.
#pragma once

#include <cstddef>

namespace platform {

void preferLargePages(const void* data, std::size_t bytes);

}  // namespace platform
