// The loader of the renderer's live-link library: finds it in the renderer's
// installation, loads it once per process, and hands out the scene API and the
// query API of its root object.
//
// Contract. The first getter call creates the process-wide loader for the
// given major version range; later calls reuse it whatever range they pass.
// When the installation, the library file, its entry point or the entry
// point's root object is missing, the loader is freed again and the getters
// answer null; the reason is only in the log. The returned APIs belong to the
// root object and stay valid until tal_free_live_loader, which deletes the
// root object and then unloads the library. Nothing here throws. All calls
// come from the one thread that runs the live-link commands.
//
// Library files. The installation's "BinFolder" and then the current folder
// are tried, each with the suffix "32.so" before "64.so", after the base name
// "talvantrixlive6_" (installations of major 6 and up) or "talvantrixlive":
//     <BinFolder>/talvantrixlive6_32.so   <BinFolder>/talvantrixlive6_64.so
//     ./talvantrixlive6_32.so             ./talvantrixlive6_64.so
// (These are the POSIX forms of the renderer's own file names: ".so" files
// with no "lib" prefix, and "/" between folder and file.)
#pragma once

#include <string>
#include <vector>

#include "livelink/live_api.h"

namespace tal {

talScene_api* tal_get_scene_api(int min, int max) noexcept;
talQuery_api* tal_get_query_api(int min, int max) noexcept;
void tal_free_live_loader() noexcept;

// Why the renderer refused the last scene, as the loaded library reports it
// (kLiveRefusalSymbol); empty when no library is loaded, the library does not
// report reasons, or the renderer refused nothing.
std::string tal_live_refusal() noexcept;

// The library files tried for an installation, in load order.
std::vector<std::string> liveLibraryCandidates(const std::string& binFolder, int version);

}  // namespace tal
