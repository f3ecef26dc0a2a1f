// main() of the tests that need no display.
#include "tests/support/TempXdg.h"

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    InstallTempXdg();
    return RUN_ALL_TESTS();
}
