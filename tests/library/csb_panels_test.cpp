// CSB panels: csbID zero-extended into lParam, the panel handle unchanged,
// itemID as the first 2 payload bytes, texts back to back with their
// terminators, status records copied back from offset 2 whatever the answer.
#include "caller_rows.h"
#include "export_table.h"

using namespace kavtest;
using namespace kavtest::caller;

static const ExportTable kCsbPanels{
    {"VokCreateCSB", "i16 text text i16"}, {"VokComposeCSB", "i32"}, {"VokDestroyCSB", "i32"},
    {"VokGetCSBHandle", "i16"}, {"VokCreatePushButton", "i32 i16 text"}, {"VokCreateCheckButton", "i32 i16 text"},
    {"VokCreateRadioButton", "i32 i16 text"}, {"VokCreatePullBox", "i32 i16 text"},
    {"VokCreateIntegerBox", "i32 i16 i16 text"}, {"VokCreateRealBox", "i32 i16 i16 i16 text"},
    {"VokCreateTextBox", "i32 i16 text"}, {"VokGetButtonStatus", "i32 i16 ref:6"},
    {"VokGetPullBoxStatus", "i32 i16 ref:2"}, {"VokGetIntegerBoxStatus", "i32 i16 ref:276"},
    {"VokGetRealBoxStatus", "i32 i16 ref:276"}, {"VokGetTextBoxStatus", "i32 i16 ref:276"},
    {"VokSetButtonStatus", "i32 i16 ref:6"}, {"VokSetPullBoxStatus", "i32 i16 i16"},
    {"VokSetIntegerBoxStatus", "i32 i16 ref:276"}, {"VokSetRealBoxStatus", "i32 i16 ref:276"},
    {"VokSetTextBoxStatus", "i32 i16 ref:276"}, {"VokEnableCSBPart", "i32 i16"}, {"VokDisableCSBPart", "i32 i16"},
    {"VokCSBSetFocus", "i32 i16"},
};

namespace {
constexpr uint32_t kPanel = 0x80C5B001;  // a handle with the high bit set travels unchanged
const Bytes kButton = seq(0x10, 6);
const Bytes kBox = seq(0x20, 276);
Bytes str(const std::string& s) { return Bytes{}.str(s); }
}  // namespace

using CsbPanels = FamilyTest;

TEST_F(CsbPanels, PanelsAndControls) {
    const RecordRow rows[] = {
        {"VokCreateCSB", {v(7), txt("Title"), txt("Sub"), v(3)}, 1800, 7, cat({str("Title"), str("Sub"), Bytes{3, 0}})},
        {"VokCreateCSB", {v(0xFFFFFFFF), txt(""), txt(""), v(0x10002)}, 1800, 65535, Bytes{0, 0, 2, 0}},
        {"VokComposeCSB", {v(kPanel)}, 1801, kPanel, {}},
        {"VokDestroyCSB", {v(kPanel)}, 1802, kPanel, {}},
        {"VokGetCSBHandle", {v(7)}, 1807, 7, {}},
        {"VokGetCSBHandle", {v(0xFFFFFFFF)}, 1807, 65535, {}},
        {"VokGetCSBHandle", {v(0x30007)}, 1807, 7, {}},
        {"VokCreatePushButton", {v(kPanel), v(3), txt("")}, 1803, kPanel, Bytes{3, 0, 0}},
        {"VokCreateCheckButton", {v(kPanel), v(0x10004), txt("On")}, 1804, kPanel, Bytes{4, 0, 'O', 'n', 0}},
        {"VokCreateRadioButton", {v(kPanel), v(0xFFFF), txt("A")}, 1805, kPanel, Bytes{0xFF, 0xFF, 'A', 0}},
        {"VokCreatePullBox", {v(kPanel), v(8), txt("List")}, 1806, kPanel, cat({Bytes{8, 0}, str("List")})},
        {"VokCreateIntegerBox", {v(kPanel), v(4), v(0x2FFFF), txt("N")}, 1810, kPanel, Bytes{4, 0, 0xFF, 0xFF, 'N', 0}},
        {"VokCreateRealBox", {v(kPanel), v(5), v(10), v(3), txt("X")}, 1811, kPanel, Bytes{5, 0, 10, 0, 3, 0, 0x58, 0}},
        {"VokCreateTextBox", {v(kPanel), v(6), txt("Name")}, 1812, kPanel, cat({Bytes{6, 0}, str("Name")})},
        {"VokEnableCSBPart", {v(kPanel), v(0x10009)}, 1840, kPanel, Bytes{9, 0}},
        {"VokDisableCSBPart", {v(kPanel), v(9)}, 1841, kPanel, Bytes{9, 0}},
        {"VokCSBSetFocus", {v(kPanel), v(0x8001)}, 1842, kPanel, Bytes{1, 0x80}},
        refusal("VokCreateCSB", {v(7), txt("Title"), null(), v(3)}),
        refusal("VokCreatePushButton", {v(kPanel), v(3), null()}),
        refusal("VokCreateRealBox", {v(kPanel), v(5), v(10), v(3), null()}),
    };
    for (const RecordRow& row : rows) runRecordRow(host, row);
}

TEST_F(CsbPanels, StatusRecordsFollowTheItemID) {
    const RecordRow rows[] = {
        {"VokGetButtonStatus", {v(kPanel), v(2), out(kButton, 2)}, 1820, kPanel, cat({Bytes{2, 0}, kButton})},
        {"VokGetPullBoxStatus", {v(kPanel), v(2), out(Bytes{0x34, 0x12}, 2)}, 1821, kPanel, Bytes{2, 0, 0x34, 0x12}},
        {"VokGetIntegerBoxStatus", {v(kPanel), v(2), out(kBox, 2)}, 1822, kPanel, cat({Bytes{2, 0}, kBox})},
        {"VokGetRealBoxStatus", {v(kPanel), v(2), out(kBox, 2)}, 1823, kPanel, cat({Bytes{2, 0}, kBox})},
        {"VokGetTextBoxStatus", {v(kPanel), v(0x10002), out(kBox, 2)}, 1824, kPanel, cat({Bytes{2, 0}, kBox})},
        // copied back whatever the answer
        {"VokGetTextBoxStatus", {v(kPanel), v(2), out(kBox, 2)}, 1824, kPanel, cat({Bytes{2, 0}, kBox}), 0},
        {"VokGetButtonStatus", {v(kPanel), v(2), out(kButton, 2)}, 1820, kPanel, cat({Bytes{2, 0}, kButton}), 0},
        {"VokSetButtonStatus", {v(kPanel), v(2), in(kButton)}, 1830, kPanel, cat({Bytes{2, 0}, kButton})},
        {"VokSetPullBoxStatus", {v(kPanel), v(2), v(0x1FFFE)}, 1831, kPanel, Bytes{2, 0, 0xFE, 0xFF}},
        {"VokSetIntegerBoxStatus", {v(kPanel), v(2), in(kBox)}, 1832, kPanel, cat({Bytes{2, 0}, kBox})},
        {"VokSetRealBoxStatus", {v(kPanel), v(2), in(kBox)}, 1833, kPanel, cat({Bytes{2, 0}, kBox})},
        {"VokSetTextBoxStatus", {v(kPanel), v(2), in(kBox)}, 1834, kPanel, cat({Bytes{2, 0}, kBox})},
        refusal("VokGetButtonStatus", {v(kPanel), v(2), null()}),
        refusal("VokGetPullBoxStatus", {v(kPanel), v(2), null()}),
        refusal("VokGetTextBoxStatus", {v(kPanel), v(2), null()}),
        refusal("VokSetIntegerBoxStatus", {v(kPanel), v(2), null()}),
    };
    for (const RecordRow& row : rows) runRecordRow(host, row);
}

// Two texts, their terminators and the setting must fit the 16380-byte payload area.
TEST_F(CsbPanels, TextsThatWouldOverflowThePayloadAreaAreRefused) {
    const std::string fits(16376, 'w');  // 16377 + 1 + 2 = 16380
    const std::string over(16377, 'w');  // one byte too many
    const RecordRow rows[] = {
        {"VokCreateCSB", {v(1), txt(fits), txt(""), v(3)}, 1800, 1, cat({str(fits), Bytes{0, 3, 0}})},
        refusal("VokCreateCSB", {v(1), txt(over), txt(""), v(3)}),
        refusal("VokCreateRealBox", {v(kPanel), v(5), v(10), v(3), txt(std::string(16374, 'w'))}),
    };
    for (const RecordRow& row : rows) runRecordRow(host, row);
}
