// The unit tests' entry: the framework finds its texts and dialogs in the
// program's own file, as the program does in itself.
#include "fw/App.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    const HMODULE program =
        LoadLibraryExA(VORLIX_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!program) {
        std::fprintf(stderr, "cannot load %s\n", VORLIX_EXE);
        return 1;
    }
    AfxSetResourceHandle(program);
    return RUN_ALL_TESTS();
}
