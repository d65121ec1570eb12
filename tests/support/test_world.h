// The private world of a test process: a folder from mkdtemp that stands in
// for everything of the user's a test could touch.
//
// Contract. enterTestWorld() makes the folder and points the environment at
// it, before any test runs: HOME and the XDG folders, both registry roots
// (TALVIK_REGISTRY_USER, TALVIK_REGISTRY_MACHINE, files that do not exist,
// so the registry is empty), the renderers' instance folder
// (TALVIK_RUNTIME_DIR) and TMPDIR (so every temporary folder lies inside).
// Renderers started from it end on their own after a minute without a client
// (VXRENDERER_EXIT_WHEN_IDLE, unless set already). VX_TEST_WORLD holds the
// folder's path and marks every program the tests start (process_sweep.h);
// VX_TEST_OUTER_TMPDIR keeps the temporary folder from before, for output
// a person asked to keep.
//
// A guardian process, detached from the test's session, waits for the test
// process to end in any way (also SIGKILL or an abort), then stops every
// program still marked and removes the folder. leaveTestWorld() does the
// same at a normal end and names what it had to stop: a test that leaves a
// program running is a fault.
//
// A process that finds VX_TEST_WORLD already set (a test program started by
// a test) lives in that world and makes no other.
#pragma once

#include <string>
#include <vector>

namespace vxtest {

inline constexpr const char* kWorldVariable = "VX_TEST_WORLD";

// False, with `error` set, when the folder cannot be made.
bool enterTestWorld(std::string& error);

// The world's folder; empty before enterTestWorld().
const std::string& testWorldFolder();

// Stops what the tests left running and removes the folder (when this
// process made it). One line per stopped program ("vxrenderer (pid 123)").
std::vector<std::string> leaveTestWorld();

}  // namespace vxtest
