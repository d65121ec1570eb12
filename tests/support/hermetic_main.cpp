// The main of every test program: the tests run inside a private world
// (test_world.h), never in the user's, and a test that leaves a program
// running fails the run.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/test_world.h"

int main(int argc, char** argv) {
    std::string error;
    if (!vxtest::enterTestWorld(error)) {
        std::fprintf(stderr, "test world: %s\n", error.c_str());
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    int status = RUN_ALL_TESTS();
    for (const std::string& left : vxtest::leaveTestWorld()) {
        std::fprintf(stderr, "test world: %s was left running by the tests; stopped it\n",
                     left.c_str());
        status = 1;
    }
    return status;
}
