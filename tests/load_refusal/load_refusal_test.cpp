// A named object of another kind that holds the block's name makes the
// mapping impossible: kavlink.dll must then refuse to load.  Once the name is
// free again it loads.  The name is written out here rather than taken from
// kav/protocol.h, so that a wrong name there fails this test.
#include "kav/handles.h"

#include <windows.h>
#include <cstdio>

int main() {
    kav::UniqueKernelHandle squatter(::CreateEventW(nullptr, TRUE, FALSE, L"vbcmd_memfilemap"));
    if (!squatter) {
        std::printf("could not create the squatting event (%lu)\n", ::GetLastError());
        return 2;
    }
    int failures = 0;
    if (kav::UniqueLibrary(::LoadLibraryA("kavlink.dll"))) {
        std::printf("FAIL: kavlink.dll loaded although the block could not be mapped\n");
        ++failures;
    }
    squatter.reset();
    if (!kav::UniqueLibrary(::LoadLibraryA("kavlink.dll"))) {
        std::printf("FAIL: kavlink.dll did not load once the name was free (%lu)\n", ::GetLastError());
        ++failures;
    }
    std::printf("%d passed, %d failed\n", 2 - failures, failures);
    return failures == 0 ? 0 : 1;
}
