// CSB panels: csbID zero-extended into lParam, the panel handle unchanged,
// itemID as the first 2 payload bytes, texts back to back with their
// terminators, status records copied back from offset 2 whatever the answer.
#include "io_case.h"
#include "export_table.h"

using namespace kavtest;

namespace {
constexpr uint32_t kPanel = 0x80C5B001;  // a handle with the high bit set travels unchanged
const Bytes kButton = seq(0x10, 6);
const Bytes kBox = seq(0x20, 276);
Bytes str(const std::string& s) { return Bytes{}.str(s); }
}  // namespace

using CsbPanels = FamilyTest;

TEST_F(CsbPanels, PanelsAndControls) {
    const IoCase rows[] = {
        {"VokCreateCSB", {slot(7), txt("Title"), txt("Sub"), slot(3)}, {}, 1800, 7, cat({str("Title"), str("Sub"), Bytes{3, 0}}), patterned()},
        {"VokCreateCSB", {slot(0xFFFFFFFF), txt(""), txt(""), slot(0x10002)}, {}, 1800, 65535, Bytes{0, 0, 2, 0}, patterned()},
        {"VokComposeCSB", {slot(kPanel)}, {}, 1801, kPanel, {}, patterned()},
        {"VokDestroyCSB", {slot(kPanel)}, {}, 1802, kPanel, {}, patterned()},
        {"VokGetCSBHandle", {slot(7)}, {}, 1807, 7, {}, patterned()},
        {"VokGetCSBHandle", {slot(0xFFFFFFFF)}, {}, 1807, 65535, {}, patterned()},
        {"VokGetCSBHandle", {slot(0x30007)}, {}, 1807, 7, {}, patterned()},
        {"VokCreatePushButton", {slot(kPanel), slot(3), txt("")}, {}, 1803, kPanel, Bytes{3, 0, 0}, patterned()},
        {"VokCreateCheckButton", {slot(kPanel), slot(0x10004), txt("On")}, {}, 1804, kPanel, Bytes{4, 0, 'O', 'n', 0}, patterned()},
        {"VokCreateRadioButton", {slot(kPanel), slot(0xFFFF), txt("A")}, {}, 1805, kPanel, Bytes{0xFF, 0xFF, 'A', 0}, patterned()},
        {"VokCreatePullBox", {slot(kPanel), slot(8), txt("List")}, {}, 1806, kPanel, cat({Bytes{8, 0}, str("List")}), patterned()},
        {"VokCreateIntegerBox", {slot(kPanel), slot(4), slot(0x2FFFF), txt("N")}, {}, 1810, kPanel, Bytes{4, 0, 0xFF, 0xFF, 'N', 0}, patterned()},
        {"VokCreateRealBox", {slot(kPanel), slot(5), slot(10), slot(3), txt("X")}, {}, 1811, kPanel, Bytes{5, 0, 10, 0, 3, 0, 0x58, 0}, patterned()},
        {"VokCreateTextBox", {slot(kPanel), slot(6), txt("Name")}, {}, 1812, kPanel, cat({Bytes{6, 0}, str("Name")}), patterned()},
        {"VokEnableCSBPart", {slot(kPanel), slot(0x10009)}, {}, 1840, kPanel, Bytes{9, 0}, patterned()},
        {"VokDisableCSBPart", {slot(kPanel), slot(9)}, {}, 1841, kPanel, Bytes{9, 0}, patterned()},
        {"VokCSBSetFocus", {slot(kPanel), slot(0x8001)}, {}, 1842, kPanel, Bytes{1, 0x80}, patterned()},
        refusal("VokCreateCSB", {slot(7), txt("Title"), nul(), slot(3)}),
        refusal("VokCreatePushButton", {slot(kPanel), slot(3), nul()}),
        refusal("VokCreateRealBox", {slot(kPanel), slot(5), slot(10), slot(3), nul()}),
    };
    for (const IoCase& row : rows) runIoCase(host, row);
}

TEST_F(CsbPanels, StatusRecordsFollowTheItemID) {
    const IoCase rows[] = {
        {"VokGetButtonStatus", {slot(kPanel), slot(2), out(kButton, 2)}, {}, 1820, kPanel, cat({Bytes{2, 0}, kButton}), patterned()},
        {"VokGetPullBoxStatus", {slot(kPanel), slot(2), out(Bytes{0x34, 0x12}, 2)}, {}, 1821, kPanel, Bytes{2, 0, 0x34, 0x12}, patterned()},
        {"VokGetIntegerBoxStatus", {slot(kPanel), slot(2), out(kBox, 2)}, {}, 1822, kPanel, cat({Bytes{2, 0}, kBox}), patterned()},
        {"VokGetRealBoxStatus", {slot(kPanel), slot(2), out(kBox, 2)}, {}, 1823, kPanel, cat({Bytes{2, 0}, kBox}), patterned()},
        {"VokGetTextBoxStatus", {slot(kPanel), slot(0x10002), out(kBox, 2)}, {}, 1824, kPanel, cat({Bytes{2, 0}, kBox}), patterned()},
        // copied back whatever the answer
        {"VokGetTextBoxStatus", {slot(kPanel), slot(2), out(kBox, 2)}, {}, 1824, kPanel, cat({Bytes{2, 0}, kBox}), patterned(0)},
        {"VokGetButtonStatus", {slot(kPanel), slot(2), out(kButton, 2)}, {}, 1820, kPanel, cat({Bytes{2, 0}, kButton}), patterned(0)},
        {"VokSetButtonStatus", {slot(kPanel), slot(2), buf(kButton)}, {}, 1830, kPanel, cat({Bytes{2, 0}, kButton}), patterned()},
        {"VokSetPullBoxStatus", {slot(kPanel), slot(2), slot(0x1FFFE)}, {}, 1831, kPanel, Bytes{2, 0, 0xFE, 0xFF}, patterned()},
        {"VokSetIntegerBoxStatus", {slot(kPanel), slot(2), buf(kBox)}, {}, 1832, kPanel, cat({Bytes{2, 0}, kBox}), patterned()},
        {"VokSetRealBoxStatus", {slot(kPanel), slot(2), buf(kBox)}, {}, 1833, kPanel, cat({Bytes{2, 0}, kBox}), patterned()},
        {"VokSetTextBoxStatus", {slot(kPanel), slot(2), buf(kBox)}, {}, 1834, kPanel, cat({Bytes{2, 0}, kBox}), patterned()},
        refusal("VokGetButtonStatus", {slot(kPanel), slot(2), nul()}),
        refusal("VokGetPullBoxStatus", {slot(kPanel), slot(2), nul()}),
        refusal("VokGetTextBoxStatus", {slot(kPanel), slot(2), nul()}),
        refusal("VokSetIntegerBoxStatus", {slot(kPanel), slot(2), nul()}),
    };
    for (const IoCase& row : rows) runIoCase(host, row);
}

// Two texts, their terminators and the setting must fit the 16380-byte payload area.
TEST_F(CsbPanels, TextsThatWouldOverflowThePayloadAreaAreRefused) {
    const std::string fits(16376, 'w');  // 16377 + 1 + 2 = 16380
    const std::string over(16377, 'w');  // one byte too many
    const IoCase rows[] = {
        {"VokCreateCSB", {slot(1), txt(fits), txt(""), slot(3)}, {}, 1800, 1, cat({str(fits), Bytes{0, 3, 0}}), patterned()},
        refusal("VokCreateCSB", {slot(1), txt(over), txt(""), slot(3)}),
        refusal("VokCreateRealBox", {slot(kPanel), slot(5), slot(10), slot(3), txt(std::string(16374, 'w'))}),
    };
    for (const IoCase& row : rows) runIoCase(host, row);
}
