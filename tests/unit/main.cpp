// The unit tests' entry: the framework finds its texts and dialogs in the
// program's own file, as the program does in itself.
#include "fw/App.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // A native build names the program with forward slashes, which LoadLibraryEx does not take.
    std::string path = VORLIX_EXE;
    std::replace(path.begin(), path.end(), '/', '\\');
    const HMODULE program =
        LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!program) {
        std::fprintf(stderr, "cannot load %s\n", VORLIX_EXE);
        return 1;
    }
    AfxSetResourceHandle(program);
    // A crash ends the run with a word, instead of waiting for a debugger.
    SetUnhandledExceptionFilter([](EXCEPTION_POINTERS* e) -> LONG {
        std::fprintf(stderr, "crashed: exception 0x%08lx\n", e->ExceptionRecord->ExceptionCode);
        ExitProcess(3);
    });
    return RUN_ALL_TESTS();
}
