// Both components registered (from the build folder) for a test suite, and
// a bound recording host for each test.
#pragma once
#include "component_support.h"
#include "kav/com_ref.h"
#include "recording_host.h"

#include <gtest/gtest.h>

namespace kavtest {

using kavcmd::_MorvikVbCommand;
using kav::ComRef;

class RegisteredComponent : public ::testing::TestWithParam<ComponentInfo> {
public:
    static void SetUpTestSuite() {
        for (const ComponentInfo& c : components()) {
            const ProcessRun r = regsvr32(builtPath(c), false, exeFolder());
            ASSERT_TRUE(r.finished && r.exit == 0) << "regsvr32 " << c.label << ": " << r.exit << r.output();
        }
    }
    static void TearDownTestSuite() {
        for (const ComponentInfo& c : components()) regsvr32(builtPath(c), true, exeFolder());
    }

protected:
    void SetUp() override { host.bind(); }

    const ComponentInfo& component() const { return GetParam(); }
    // A new instance by CLSID, asked for _MorvikVbCommand by its IID.
    ComRef<_MorvikVbCommand> create() const {
        ComRef<_MorvikVbCommand> command;
        const HRESULT hr = ::CoCreateInstance(guidOf(component().clsid), nullptr, CLSCTX_INPROC_SERVER,
                                              guidOf(component().iid), command.putVoid());
        EXPECT_EQ(hr, S_OK);
        return command;
    }
    // Forgets earlier requests and fills the payload area with the sentinel.
    void fresh() {
        host.clear();
        host.prefill();
    }

    RecordingHost host;
};

inline std::string componentLabel(const ::testing::TestParamInfo<ComponentInfo>& info) { return info.param.label; }

}  // namespace kavtest
