// Drawing database, layers and files: read-back getters (16-bit answer, the
// caller's buffer copied back from offset 0), double results from an own
// buffer holding 0.0, origins filled through an own zeroed buffer, layer
// masks as array data, 16-bit layer numbers zero-extended, and the block
// name behind the 2 bytes of the block number.
#include "export_table.h"
#include "io_case.h"

#include <string>

using namespace kavtest;

using Database = FamilyTest;

TEST_F(Database, EveryRequest) {
    const Bytes info = pattern(1336, 0x10), infoEx = pattern(130, 0x10), mask = pattern(128, 0x90);
    const Bytes name32 = pattern(32, 0x60), point = Bytes{}.f64(1.5).f64(-2.5);
    const Bytes zeroDouble = Bytes{}.f64(0.0), zeroPoint = Bytes{}.fill(0, 16);
    const Bytes fileName = Bytes{}.str("a");
    const IoCase cases[] = {
        {"VokGetDBInfo", {buf(0)}, {{info, scribbled(0, 1336)}}, 1300, 0, info, scribble(), low16()},
        // The same request as VokGetDBInfo when the database is 0.
        {"VokGetSpecificDBInfo", {slot(0), buf(0)}, {{info, scribbled(0, 1336)}}, 1300, 0, info, scribble(), low16()},
        {"VokGetSpecificDBInfo", {slot(0x80000005), buf(0)}, {{info, scribbled(0, 1336)}}, 1300, 0x80000005, info,
         scribble(), low16()},
        {"VokGetDBInfoEx", {buf(0)}, {{infoEx, scribbled(0, 130)}}, 1301, 0, infoEx, scribble(), low16()},
        {"VokGetNumberElement", {}, {}, 1302, 0, {}},
        // Double results: an own buffer holding 0.0 goes out, the 8 bytes read back come home.
        {"VokGetEpsLength", {}, {}, 1304, 0, zeroDouble, Reply{kAnswer}.write(0, Bytes{}.f64(2.5)), dblResult(2.5)},
        {"VokGetEpsLength", {}, {}, 1304, 0, zeroDouble, Reply{kAnswer}, dblResult(0.0)},
        {"VokSetEpsLength", {dbl(1.25)}, {}, 1305, 0, Bytes{}.f64(1.25)},
        {"VokGetEpsAngle", {}, {}, 1306, 0, zeroDouble, Reply{kAnswer}.write(0, Bytes{}.f64(0.001)), dblResult(0.001)},
        {"VokSetEpsAngle", {dbl(0.5)}, {}, 1307, 0, Bytes{}.f64(0.5), Reply{0x10001}, low16()},
        {"VokGetDispDigit", {}, {}, 1308, 0, {}, scribble(), low16()},
        {"VokSetDispDigit", {slot(0x10003)}, {}, 1309, 3, {}},
        {"VokSetDispDigit", {slot(0xFFFFFFFF)}, {}, 1309, 65535, {}},
        {"VokGetDBDispLayerMask", {arr(0)}, {{mask, scribbled(0, 128)}}, 1310, 0, mask, scribble(), low16()},
        {"VokSetDBDispLayerMask", {arr(0)}, {{mask}}, 1311, 0, mask},
        {"VokGetDBEditLayerMask", {arr(0)}, {{mask, scribbled(0, 128)}}, 1312, 0, mask, scribble(), low16()},
        {"VokSetDBEditLayerMask", {arr(0)}, {{mask}}, 1313, 0, mask},
        {"VokGetInputLayer", {}, {}, 1314, 0, {}},
        {"VokChangeInputLayer", {slot(0xFFFFFFFF)}, {}, 1315, 65535, {}},
        {"VokChangeInputLayer", {slot(0x10005)}, {}, 1315, 5, {}},
        {"VokGetLayerBlockScale", {slot(0xFFFFFFFF)}, {}, 1316, 65535, zeroDouble,
         Reply{kAnswer}.write(0, Bytes{}.f64(0.75)), dblResult(0.75)},
        {"VokSetLayerBlockScale", {slot(0x10002), dbl(3.5)}, {}, 1317, 2, Bytes{}.f64(3.5)},
        {"VokGetLayerName", {slot(0x10004), buf(0)}, {{name32, scribbled(0, 32)}}, 1318, 4, name32, scribble(), low16()},
        {"VokSetLayerName", {slot(4), buf(0)}, {{Bytes{}.str("Layer")}}, 1319, 4, Bytes{}.str("Layer")},
        {"VokSetLayerName", {slot(4), buf(0)}, {{Bytes{}.str("")}}, 1319, 4, Bytes{0}},
        {"VokGetDBOrigin1", {buf(0)}, {{point, scribbled(0, 16)}}, 1320, 0, zeroPoint, scribble(), address(0)},
        {"VokSetDBOrigin1", {buf(0)}, {{point}}, 1321, 0, point},
        {"VokGetDBOrigin2", {buf(0)}, {{point, scribbled(0, 16)}}, 1322, 0, zeroPoint, scribble(), address(0)},
        {"VokSetDBOrigin2", {buf(0)}, {{point}}, 1323, 0, point},
        {"VokSetDBInfo", {buf(0)}, {{info}}, 1324, 0, info},
        {"VokSetDBInfoEx", {buf(0)}, {{infoEx}}, 1325, 0, infoEx},
        // The name is the first argument, the mode the second; the mode travels in lParam.
        {"VokOpenFile", {buf(0), slot(3)}, {{fileName}}, 1326, 3, Bytes{'a', 0}},
        {"VokOpenFile", {buf(0), slot(0xFFFFFFFF)}, {{fileName}}, 1326, 65535, Bytes{'a', 0}},
        {"VokSaveFile", {buf(0)}, {{Bytes{}.str("C:\\work\\plan.drw")}}, 1327, 0, Bytes{}.str("C:\\work\\plan.drw")},
        {"VokLockCurrentDB", {}, {}, 1328, 0, {}},
        {"VokUnlockCurrentDB", {}, {}, 1329, 0, {}},
        {"VokCreateDB", {buf(0)}, {{info}}, 1330, 0, info},
        {"VokGetCurrentDBHandle", {}, {}, 1331, 0, {}},
        {"VokGetNextDBHandle", {slot(0x80000005)}, {}, 1332, 0x80000005, {}},
        {"VokActivateDB", {slot(6)}, {}, 1333, 6, {}},
        {"VokDeleteDB", {slot(7)}, {}, 1334, 7, {}},
        // block at 0 (its slot's low half), the name at 2 and back from 2.
        {"VokGetBlockName", {slot(0x80000000), slot(0x10007), buf(0)}, {{name32, scribbled(2, 32)}}, 1335, 0x80000000,
         cat({Bytes{}.u16(7), name32})},
        {"VokGetCharDispMode", {}, {}, 1336, 0, {}},
    };
    for (const IoCase& c : cases) runIoCase(host, c);
}

TEST_F(Database, MissingMemoryIsRefused) {
    const Mem nullDescriptor{Bytes{}.u32(0)};  // an array variable that holds no descriptor
    const IoCase cases[] = {
        refusal("VokGetDBInfo", {nul()}, {}, low16()),
        refusal("VokGetSpecificDBInfo", {slot(1), nul()}, {}, low16()),
        refusal("VokGetDBInfoEx", {nul()}, {}, low16()),
        refusal("VokGetDBDispLayerMask", {nul()}, {}, low16()),
        refusal("VokGetDBDispLayerMask", {buf(0)}, {nullDescriptor}, low16()),
        refusal("VokSetDBDispLayerMask", {buf(0)}, {nullDescriptor}),
        refusal("VokGetDBEditLayerMask", {nul()}, {}, low16()),
        refusal("VokSetDBEditLayerMask", {nul()}),
        refusal("VokGetLayerName", {slot(1), nul()}, {}, low16()),
        refusal("VokSetLayerName", {slot(1), nul()}),
        refusal("VokGetDBOrigin1", {nul()}, {}, address(0)),
        refusal("VokGetDBOrigin2", {nul()}, {}, address(0)),
        refusal("VokSetDBOrigin1", {nul()}),
        refusal("VokSetDBOrigin2", {nul()}),
        refusal("VokSetDBInfo", {nul()}),
        refusal("VokSetDBInfoEx", {nul()}),
        refusal("VokCreateDB", {nul()}),
        refusal("VokOpenFile", {nul(), slot(3)}),
        refusal("VokSaveFile", {nul()}),
        refusal("VokGetBlockName", {slot(1), slot(2), nul()}),
    };
    for (const IoCase& c : cases) runIoCase(host, c);
}

// A file name fills the payload area at most: 16379 bytes and the
// terminator travel, one byte more is refused.
TEST_F(Database, FileNameBoundedByThePayloadArea) {
    const std::string longest(kPayloadSize - 1, 'x');
    const std::string tooLong(kPayloadSize, 'x');
    const IoCase cases[] = {
        {"VokSaveFile", {buf(0)}, {{Bytes{}.str(longest)}}, 1327, 0, Bytes{}.str(longest)},
        refusal("VokSaveFile", {buf(0)}, {{Bytes{}.str(tooLong)}}),
    };
    for (const IoCase& c : cases) runIoCase(host, c);
}
