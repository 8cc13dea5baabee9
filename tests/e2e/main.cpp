#include "Harness.h"

#include <cstdio>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    std::string error;
    if (!e2e::Session::Get().Start(&error)) {
        std::fprintf(stderr, "e2e: cannot set up: %s\n", error.c_str());
        e2e::Session::Get().Stop();
        return 1;
    }
    const int result = RUN_ALL_TESTS();
    e2e::Session::Get().Stop();
    return result;
}
