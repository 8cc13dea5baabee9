// The end-to-end tests' entry: no COM port of the Wine prefix points
// anywhere but where a test points it, and none is left behind.
#include "Harness.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    e2e::LinkComPorts({});
    const int result = RUN_ALL_TESTS();
    e2e::LinkComPorts({});
    e2e::Shell("rm -f \"$WINEPREFIX/dosdevices/com30\"");
    return result;
}
