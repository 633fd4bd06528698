// The start skeleton's order and its failure paths, with stand-in start
// steps linked in place of a command's own and the frame called directly.
#include "binding.h"
#include "kav/com_ref.h"
#include "command_steps.h"
#include "component_identity.h"
#include "morvik_command.h"
#include "recording_host.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace kavtest;
using kavcmd::_MorvikVbCommand;
using kav::ComRef;

namespace {

enum class Act { Succeed, Fail, ThrowError, ThrowBindingFailure };

struct StepSeen {
    std::string name;
    uint32_t storedHandle;
    LONG code;
    size_t requestsBefore;
    HWND owner;
};

struct StandIn {
    RecordingHost* host = nullptr;
    const LONG* code = nullptr;
    Act prepare = Act::Succeed, dialog = Act::Succeed;
    std::vector<StepSeen> seen;
} standIn;

constexpr HRESULT kStepFailure = HRESULT_FROM_WIN32(ERROR_CANCELLED);
constexpr HRESULT kBindingFailure = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);

HRESULT step(const char* name, Act act, HWND owner) {
    standIn.seen.push_back({name, standIn.host->storedHandle(), standIn.code ? *standIn.code : -1,
                            standIn.host->requests().size(), owner});
    switch (act) {
    case Act::Succeed: return S_OK;
    case Act::Fail: return kStepFailure;
    case Act::ThrowError: throw std::runtime_error("step failed");
    case Act::ThrowBindingFailure: throw kavcmd::BindingFailure(kBindingFailure);
    }
    return S_OK;
}

}  // namespace

namespace kavcmd {
HRESULT PrepareCommandState() { return step("prepare", standIn.prepare, nullptr); }
HRESULT RunCommandDialog(HWND owner) { return step("dialog", standIn.dialog, owner); }
}  // namespace kavcmd

struct SkeletonCase {
    const char* label;
    Act prepare, dialog;
    HRESULT result;
    std::vector<std::string> steps;
    bool exits;
};

class StartSkeleton : public ::testing::TestWithParam<SkeletonCase> {};

TEST_P(StartSkeleton, RunsItsStepsInOrder) {
    const SkeletonCase& c = GetParam();
    RecordingHost host;
    host.unbind();
    host.clear();
    LONG code = -4;
    standIn = {&host, &code, c.prepare, c.dialog, {}};
    ComRef<_MorvikVbCommand> command;
    ASSERT_EQ(kavcmd::CreateMorvikVbCommand(kavcmd::ThisComponent().iid, command.putVoid()), S_OK);
    const LONG window = static_cast<LONG>(reinterpret_cast<LONG_PTR>(host.window()));

    EXPECT_EQ(command->VokProcStartCmd(window, 31, &code), c.result);

    EXPECT_EQ(code, 1) << "nCode is 1 once the first step has run";
    ASSERT_EQ(standIn.seen.size(), c.steps.size());
    for (size_t i = 0; i < c.steps.size(); ++i) {
        const StepSeen& s = standIn.seen[i];
        EXPECT_EQ(s.name, c.steps[i]);
        EXPECT_EQ(s.storedHandle, static_cast<uint32_t>(window)) << "InitVBCmdLib ran first, with the window received";
        EXPECT_EQ(s.code, 1) << s.name << " runs after nCode = 1";
        EXPECT_EQ(s.requestsBefore, 0u) << "nothing is sent before the exit message";
    }
    if (c.steps.size() == 2) {
        EXPECT_EQ(standIn.seen[1].owner, host.window()) << "the dialog's owner is the host window";
    }
    if (c.exits) {
        ASSERT_EQ(host.requests().size(), 1u);
        EXPECT_EQ(host.requests()[0].message, 1765u);
    } else {
        EXPECT_TRUE(host.requests().empty()) << "no exit message after a failed step";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartSkeleton,
    ::testing::Values(
        SkeletonCase{"AllStepsSucceed", Act::Succeed, Act::Succeed, S_OK, {"prepare", "dialog"}, true},
        SkeletonCase{"PrepareFails", Act::Fail, Act::Succeed, kStepFailure, {"prepare"}, false},
        SkeletonCase{"PrepareThrows", Act::ThrowError, Act::Succeed, E_UNEXPECTED, {"prepare"}, false},
        SkeletonCase{"DialogFails", Act::Succeed, Act::Fail, kStepFailure, {"prepare", "dialog"}, false},
        SkeletonCase{"DialogCannotBind", Act::Succeed, Act::ThrowBindingFailure, kBindingFailure,
                     {"prepare", "dialog"}, false}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(StartSkeletonArguments, NullCodeFailsBeforeAnyStep) {
    RecordingHost host;
    host.clear();
    standIn = {&host, nullptr, Act::Succeed, Act::Succeed, {}};
    ComRef<_MorvikVbCommand> command;
    ASSERT_EQ(kavcmd::CreateMorvikVbCommand(kavcmd::ThisComponent().iid, command.putVoid()), S_OK);
    EXPECT_EQ(command->VokProcStartCmd(static_cast<LONG>(reinterpret_cast<LONG_PTR>(host.window())), 0, nullptr),
              E_POINTER);
    EXPECT_TRUE(standIn.seen.empty());
    EXPECT_TRUE(host.requests().empty());
}

TEST(StartSkeletonArguments, EveryStartRunsAgain) {
    RecordingHost host;
    host.clear();
    LONG code = 0;
    standIn = {&host, &code, Act::Succeed, Act::Succeed, {}};
    ComRef<_MorvikVbCommand> command;
    ASSERT_EQ(kavcmd::CreateMorvikVbCommand(kavcmd::ThisComponent().iid, command.putVoid()), S_OK);
    const LONG window = static_cast<LONG>(reinterpret_cast<LONG_PTR>(host.window()));
    EXPECT_EQ(command->VokProcStartCmd(window, 1, &code), S_OK);
    code = 0;
    EXPECT_EQ(command->VokProcStartCmd(window, 2, &code), S_OK);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(standIn.seen.size(), 4u);
    EXPECT_EQ(host.requests().size(), 2u) << "one exit message per start";
}

// The text the string box hook hands to VokProcStringBoxEvent: the whole
// 256-byte field from code page 932, always 256 characters.
TEST(StringBoxHookText, FieldBecomesTwoHundredFiftySixCharacters) {
    ASSERT_EQ(::GetACP(), 932u) << "run with the Japanese code page (LANG/LC_ALL=ja_JP.UTF-8)";
    struct Case {
        const char* label;
        std::vector<std::pair<size_t, std::string>> bytes;  // at offsets of the field
        std::vector<std::pair<size_t, std::wstring>> text;  // expected at character offsets
    };
    const Case cases[] = {
        {"empty field", {}, {}},
        // "テキスト": 8 bytes become 4 characters, so a later byte moves up by 4.
        {"double-byte text, then a byte further in", {{0, "\x83\x65\x83\x4C\x83\x58\x83\x67"}, {250, "Z"}},
         {{0, L"テキスト"}, {246, L"Z"}}},
        {"text filling the field", {{0, std::string(256, 'x')}}, {{0, std::wstring(256, L'x')}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        char field[256] = {};
        for (const auto& [at, b] : c.bytes) std::copy(b.begin(), b.end(), field + at);
        std::wstring expected(256, L'\0');
        for (const auto& [at, t] : c.text) expected.replace(at, t.size(), t);
        const std::wstring text = kavcmd::BoxText(field);
        ASSERT_EQ(text.size(), 256u);
        EXPECT_TRUE(text == expected) << ::testing::PrintToString(text.substr(0, 8));
    }
}
