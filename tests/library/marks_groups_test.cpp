// Marks and groups: where the mark travels (lParam or first payload bytes),
// 16-bit flags cut to their low half, group members as 4 payload bytes.
#include "export_table.h"
#include "family_case.h"

using namespace kavtest;

static const ExportTable kMarksGroups{
    {"VokAssignMark", ""}, {"VokFreeMark", "i32"}, {"VokOpenMark", "i32"}, {"VokCloseMark", "i32"},
    {"VokReadMark", "i32"}, {"VokMarkElement", "i32 i32 i16"}, {"VokMarkAllElements", "i32 i16"},
    {"VokDeleteMarkElements", "i32"}, {"VokCountMarkElements", "i32"}, {"VokCheckMarkElement", "i32 i32"},
    {"VokCreateGroup", "i32"}, {"VokResolveGroup", "i32"}, {"VokGetGroupFirstMember", "i32"},
    {"VokGetGroupNextMember", "i32"}, {"VokAppendGroupMember", "i32 i32"}, {"VokFreeGroupMember", "i32 i32"},
    {"VokGetGroupByMember", "i32"},
};

using MarksGroups = FamilyTest;

TEST_F(MarksGroups, EveryRequest) {
    const RequestCase cases[] = {
        {"VokAssignMark", {}, 1600, 0, {}},
        {"VokFreeMark", {5}, 1601, 5, {}},
        {"VokOpenMark", {0xFFFFFFFF}, 1602, 0xFFFFFFFF, {}},
        {"VokCloseMark", {5}, 1603, 5, {}},
        {"VokReadMark", {5}, 1604, 5, {}},
        {"VokMarkElement", {5, 1000, 0xFFFF}, 1605, 0, Bytes{}.u32(5).u32(1000).u16(0xFFFF)},
        {"VokMarkElement", {5, 1000, 0x10002}, 1605, 0, Bytes{}.u32(5).u32(1000).u16(2)},
        {"VokMarkAllElements", {5, 1}, 1606, 0, Bytes{5, 0, 0, 0, 1, 0}},
        {"VokDeleteMarkElements", {5}, 1607, 5, {}},
        {"VokCountMarkElements", {5}, 1608, 5, {}},
        {"VokCheckMarkElement", {5, 9}, 1609, 0, Bytes{}.u32(5).u32(9)},
        {"VokCreateGroup", {77}, 1508, 77, {}},
        {"VokResolveGroup", {3}, 1509, 3, {}},
        {"VokGetGroupFirstMember", {3}, 1510, 3, {}},
        {"VokGetGroupNextMember", {4}, 1511, 4, {}},
        {"VokAppendGroupMember", {3, 0x01020304}, 1512, 3, Bytes{4, 3, 2, 1}},
        {"VokFreeGroupMember", {3, 8}, 1513, 3, Bytes{}.u32(8)},
        {"VokGetGroupByMember", {8}, 1533, 8, {}},
    };
    for (const RequestCase& c : cases) runRequestCase(host, c);
}

TEST(MarksGroupsUnbound, NoHostWindowAnswersZero) {
    RecordingHost host;
    host.unbind();
    EXPECT_EQ(host.call("VokAssignMark", {}).eax, 0u);
    EXPECT_EQ(host.call("VokGetGroupByMember", {8}).eax, 0u);
    EXPECT_TRUE(host.requests().empty());
}
