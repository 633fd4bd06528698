// A named object of another kind that holds the block's name makes the
// mapping impossible: kavlink.dll must then refuse to load.  Once the name is
// free again it loads.
#include <windows.h>
#include <cstdio>

int main() {
    HANDLE squatter = ::CreateEventW(nullptr, TRUE, FALSE, L"vbcmd_memfilemap");
    if (!squatter) {
        std::printf("could not create the squatting event (%lu)\n", ::GetLastError());
        return 2;
    }
    int failures = 0;
    HMODULE m = ::LoadLibraryA("kavlink.dll");
    if (m != nullptr) {
        std::printf("FAIL: kavlink.dll loaded although the block could not be mapped\n");
        ::FreeLibrary(m);
        ++failures;
    }
    ::CloseHandle(squatter);
    m = ::LoadLibraryA("kavlink.dll");
    if (m == nullptr) {
        std::printf("FAIL: kavlink.dll did not load once the name was free (%lu)\n", ::GetLastError());
        ++failures;
    } else {
        ::FreeLibrary(m);
    }
    std::printf("%d passed, %d failed\n", 2 - failures, failures);
    return failures == 0 ? 0 : 1;
}
