#include <gtest/gtest.h>
#include <objbase.h>

int main(int argc, char** argv) {
    ::CoInitialize(nullptr);  // the host initialises COM/OLE before commands run
    testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    ::CoUninitialize();
    return rc;
}
