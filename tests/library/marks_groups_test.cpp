// Marks and groups: where the mark travels (lParam or first payload bytes),
// 16-bit flags cut to their low half, group members as 4 payload bytes.
#include "rows.h"

using namespace kavtest;

using MarksGroups = FamilyTest;

TEST_F(MarksGroups, EveryRequest) {
    const IoCase cases[] = {
        IoCase{"VokAssignMark", {}, {}, 1600, 0, {}},
        IoCase{"VokFreeMark", {slot(5)}, {}, 1601, 5, {}},
        IoCase{"VokOpenMark", {slot(0xFFFFFFFF)}, {}, 1602, 0xFFFFFFFF, {}},
        IoCase{"VokCloseMark", {slot(5)}, {}, 1603, 5, {}},
        IoCase{"VokReadMark", {slot(5)}, {}, 1604, 5, {}},
        IoCase{"VokMarkElement", {slot(5), slot(1000), slot(0xFFFF)}, {}, 1605, 0, Bytes{}.u32(5).u32(1000).u16(0xFFFF)},
        IoCase{"VokMarkElement", {slot(5), slot(1000), slot(0x10002)}, {}, 1605, 0, Bytes{}.u32(5).u32(1000).u16(2)},
        IoCase{"VokMarkAllElements", {slot(5), slot(1)}, {}, 1606, 0, Bytes{5, 0, 0, 0, 1, 0}},
        IoCase{"VokDeleteMarkElements", {slot(5)}, {}, 1607, 5, {}},
        IoCase{"VokCountMarkElements", {slot(5)}, {}, 1608, 5, {}},
        IoCase{"VokCheckMarkElement", {slot(5), slot(9)}, {}, 1609, 0, Bytes{}.u32(5).u32(9)},
        IoCase{"VokCreateGroup", {slot(77)}, {}, 1508, 77, {}},
        IoCase{"VokResolveGroup", {slot(3)}, {}, 1509, 3, {}},
        IoCase{"VokGetGroupFirstMember", {slot(3)}, {}, 1510, 3, {}},
        IoCase{"VokGetGroupNextMember", {slot(4)}, {}, 1511, 4, {}},
        IoCase{"VokAppendGroupMember", {slot(3), slot(0x01020304)}, {}, 1512, 3, Bytes{4, 3, 2, 1}},
        IoCase{"VokFreeGroupMember", {slot(3), slot(8)}, {}, 1513, 3, Bytes{}.u32(8)},
        IoCase{"VokGetGroupByMember", {slot(8)}, {}, 1533, 8, {}},
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
