// Every test executable starts here: it refuses to run outside the sandbox,
// whose only drive is C:, so that no test can reach the real file system.
#include <windows.h>

#include <cstdio>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    wchar_t drives[256] = {};
    GetLogicalDriveStringsW(255, drives);
    for (const wchar_t* drive = drives; *drive; drive += wcslen(drive) + 1) {
        if ((drive[0] == L'Z' || drive[0] == L'z') && GetDriveTypeW(drive) != DRIVE_NO_ROOT_DIR) {
            fprintf(stderr,
                    "Refusing to run: drive Z: exists, this is not the Veltrane sandbox.\n");
            return 125;
        }
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
