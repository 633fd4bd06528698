// The two CSB panel functions of the command components' string box hook
// (goes together with api/csb_hook_exports_tmp.cpp when the CSB panel family
// lands).
#include "export_table.h"
#include "family_case.h"
#include "kavlink.h"

using namespace kavtest;

static const ExportTable kCsbHookExports{
    {"VokGetCSBHandle", "i16"},
    {"VokGetTextBoxStatus", "i32 i16 ref:276"},
};

using CsbHookExports = FamilyTest;

TEST_F(CsbHookExports, Requests) {
    BoxStatus status{};
    const RequestCase cases[] = {
        {"VokGetCSBHandle", {7}, 1807, 7, {}},
        {"VokGetCSBHandle", {0xFFFFFFFF}, 1807, 65535, {}},
        {"VokGetTextBoxStatus", Slots{0x1234, 0x10003}.ptr(&status), 1824, 0x1234,
         Bytes{}.u16(3).fill(0, sizeof status)},
    };
    for (const RequestCase& c : cases) runRequestCase(host, c);
}
