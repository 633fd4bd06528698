// Marks and groups: where the mark travels (lParam or first payload bytes),
// 16-bit flags cut to their low half, group members as 4 payload bytes.
#include "export_table.h"
#include "io_case.h"

using namespace kavtest;

using MarksGroups = FamilyTest;

TEST_F(MarksGroups, EveryRequest) {
    const IoCase cases[] = {
        {"VokAssignMark", {}, {}, 1600, 0, {}},
        {"VokFreeMark", {slot(5)}, {}, 1601, 5, {}},
        {"VokOpenMark", {slot(0xFFFFFFFF)}, {}, 1602, 0xFFFFFFFF, {}},
        {"VokCloseMark", {slot(5)}, {}, 1603, 5, {}},
        {"VokReadMark", {slot(5)}, {}, 1604, 5, {}},
        {"VokMarkElement", {slot(5), slot(1000), slot(0xFFFF)}, {}, 1605, 0, Bytes{}.u32(5).u32(1000).u16(0xFFFF)},
        {"VokMarkElement", {slot(5), slot(1000), slot(0x10002)}, {}, 1605, 0, Bytes{}.u32(5).u32(1000).u16(2)},
        {"VokMarkAllElements", {slot(5), slot(1)}, {}, 1606, 0, Bytes{5, 0, 0, 0, 1, 0}},
        {"VokDeleteMarkElements", {slot(5)}, {}, 1607, 5, {}},
        {"VokCountMarkElements", {slot(5)}, {}, 1608, 5, {}},
        {"VokCheckMarkElement", {slot(5), slot(9)}, {}, 1609, 0, Bytes{}.u32(5).u32(9)},
        {"VokCreateGroup", {slot(77)}, {}, 1508, 77, {}},
        {"VokResolveGroup", {slot(3)}, {}, 1509, 3, {}},
        {"VokGetGroupFirstMember", {slot(3)}, {}, 1510, 3, {}},
        {"VokGetGroupNextMember", {slot(4)}, {}, 1511, 4, {}},
        {"VokAppendGroupMember", {slot(3), slot(0x01020304)}, {}, 1512, 3, Bytes{4, 3, 2, 1}},
        {"VokFreeGroupMember", {slot(3), slot(8)}, {}, 1513, 3, Bytes{}.u32(8)},
        {"VokGetGroupByMember", {slot(8)}, {}, 1533, 8, {}},
    };
    for (const IoCase& c : cases) runIoCase(host, c);
}

TEST(MarksGroupsUnbound, NoHostWindowAnswersZero) {
    RecordingHost host;
    host.unbind();
    EXPECT_EQ(host.call("VokAssignMark", {}).eax, 0u);
    EXPECT_EQ(host.call("VokGetGroupByMember", {8}).eax, 0u);
    EXPECT_TRUE(host.requests().empty());
}
