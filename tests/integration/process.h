// Runs a program to completion and captures what it printed.
#pragma once

#include <string>
#include <vector>

namespace vxtest {

struct ProcessResult {
    int exitStatus = -1;  // -1: did not exit normally (signal, spawn failure)
    std::string out;
    std::string err;
};

// Runs `argv` (argv[0] is the program path) with standard input empty.
ProcessResult runProcess(const std::vector<std::string>& argv);

std::string readFile(const std::string& path);
bool fileExists(const std::string& path);

}  // namespace vxtest
