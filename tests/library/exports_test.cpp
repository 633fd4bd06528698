// The export table of kavlink.dll: exactly the declared names, undecorated,
// each removing exactly its declared argument bytes from the stack.
#include "kavlink_table.h"
#include "recording_host.h"

#include <gtest/gtest.h>
#include <ole2.h>
#include <algorithm>
#include <set>
#include <string>

using namespace kavtest;

TEST(ExportTable, ExactlyTheDeclaredNamesUndecorated) {
    std::set<std::string> declared;
    for (const kavtable::Export& e : kavtable::kExports) EXPECT_TRUE(declared.insert(e.name).second) << "declared twice: " << e.name;
    std::set<std::string> exported;
    for (const std::string& n : lib().exportedNames()) {
        EXPECT_EQ(n.find('@'), std::string::npos) << "decorated export " << n;
        exported.insert(n);
    }
    std::vector<std::string> missing, extra;
    std::set_difference(declared.begin(), declared.end(), exported.begin(), exported.end(), std::back_inserter(missing));
    std::set_difference(exported.begin(), exported.end(), declared.begin(), declared.end(), std::back_inserter(extra));
    EXPECT_EQ(exported.size(), 400u) << "the library exports 400 functions";
    EXPECT_TRUE(missing.empty()) << "not exported: " << ::testing::PrintToString(missing);
    EXPECT_TRUE(extra.empty()) << "exported but not declared: " << ::testing::PrintToString(extra);
}

// Called with all-zero slots every export either refuses (a null address it
// would read) or makes its request; either way it must return normally and
// remove exactly its argument bytes.
TEST(ExportTable, EveryExportRemovesItsArgumentBytes) {
    RecordingHost host;
    host.bind();
    for (const kavtable::Export& e : kavtable::kExports) {
        if (std::string(e.name) == "InitVBCmdLib") continue;  // would unbind the host
        Slots zeros;
        zeros.v.assign(e.argBytes / 4, 0);
        const CallResult r = lib().call(e.name, zeros, e.result == kavtable::ResultForm::F64);
        EXPECT_EQ(r.popped, e.argBytes) << e.name;
        const kav::UniqueBstr returned = r.ownedBstr(e.result == kavtable::ResultForm::Bstr);
    }
    const CallResult r = lib().call("InitVBCmdLib", Slots{}.ptr(host.window()).u32(0));
    EXPECT_EQ(r.popped, 8u);
}
