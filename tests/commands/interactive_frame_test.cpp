// The frame with an interactive command: each event reaches its handler with
// its arguments, the command ends from any event with exactly one exit
// message, and nothing reaches a command that has ended.
#include "kav/com_ref.h"
#include "command.h"
#include "component_identity.h"
#include "morvik_command.h"
#include "recording_host.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

using namespace kavtest;
using kavcmd::_MorvikVbCommand;
using kav::ComRef;

namespace {

// What the probe command saw, and how many probes were made and destroyed.
struct Seen {
    std::vector<std::string> calls;
    int made = 0, destroyed = 0;
    _MorvikVbCommand* reenter = nullptr;  // called from inside OnStartCmd when set
    _MorvikVbCommand* restart = nullptr;  // started again from inside OnStartCmd when set
} seen;

std::string Join(std::ostringstream& out) { return out.str(); }
template <class T, class... R>
std::string Join(std::ostringstream& out, const T& first, const R&... rest) {
    out << (out.tellp() > 0 ? "," : "") << first;
    return Join(out, rest...);
}
template <class... A>
void Saw(const char* handler, const A&... args) {
    std::ostringstream out;
    seen.calls.push_back(std::string(handler) + "(" + Join(out, args...) + ")");
}

// Button events steer the probe: state 1 ends it, 2 throws a plain error,
// 3 fails with E_ACCESSDENIED, 4 ends it twice.
class Probe : public kavcmd::Command {
public:
    Probe() { ++seen.made; }
    ~Probe() override { ++seen.destroyed; }

    void OnStartCmd(HWND, int32_t cmdLine, int32_t& nCode) override {
        Saw("OnStartCmd", cmdLine, nCode);
        if (seen.reenter) {
            EXPECT_EQ(seen.reenter->VokProcButtonEvent(1, 1, 1), S_OK);
            EXPECT_EQ(seen.destroyed, 0) << "ended inside this handler, but still alive";
            nCode = 7;
        }
        if (seen.restart) {
            LONG code = 0;
            EXPECT_EQ(seen.restart->VokProcStartCmd(0, 9, &code), E_UNEXPECTED);
        }
    }
    void OnEndCmd(int32_t& nCode) override { Saw("OnEndCmd", nCode); nCode = 42; }
    void OnPreEvent() override { Saw("OnPreEvent"); }
    void OnDrawRubber(double x, double y) override { Saw("OnDrawRubber", x, y); }
    void OnPositionEvent(int16_t t, double x, double y) override { Saw("OnPositionEvent", t, x, y); }
    void OnPositionEventEx(int16_t t, double x, double y, double xr, double yr, int32_t e1, int32_t e2, int16_t a,
                           int16_t s) override {
        Saw("OnPositionEventEx", t, x, y, xr, yr, e1, e2, a, s);
    }
    void OnElementEvent(int32_t i, int16_t t) override { Saw("OnElementEvent", i, t); }
    void OnElementEventEx(int32_t i, int16_t t, double x, double y, int16_t s) override {
        Saw("OnElementEventEx", i, t, x, y, s);
    }
    void OnMultiElementEvent(int16_t t, int32_t s, int32_t a, int32_t l) override {
        Saw("OnMultiElementEvent", t, s, a, l);
    }
    void OnMultiElementEventEx(int16_t t, int32_t s, int32_t a, int32_t l, double x, double y, double w,
                               double h) override {
        Saw("OnMultiElementEventEx", t, s, a, l, x, y, w, h);
    }
    void OnSystemEvent(int16_t t) override { Saw("OnSystemEvent", t); }
    void OnOperationEvent(int16_t t, int16_t turn) override { Saw("OnOperationEvent", t, turn); }
    void OnIntBoxEvent(int16_t c, int16_t i, int32_t v) override { Saw("OnIntBoxEvent", c, i, v); }
    void OnRealBoxEvent(int16_t c, int16_t i, double v) override { Saw("OnRealBoxEvent", c, i, v); }
    void OnStringBoxEvent(int16_t c, int16_t i, std::wstring_view text) override {
        Saw("OnStringBoxEvent", c, i, std::string(text.begin(), text.end()));
    }
    void OnButtonEvent(int16_t c, int16_t i, int16_t state) override {
        Saw("OnButtonEvent", c, i, state);
        switch (state) {
        case 1: ExitCommand(); break;
        case 2: throw std::runtime_error("handler failed");
        case 3: throw kavcmd::HresultFailure(E_ACCESSDENIED);
        case 4: ExitCommand(); ExitCommand(); break;
        }
    }
};

}  // namespace

KAVCMD_COMMAND(Probe)

class InteractiveFrame : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(kavcmd::CreateMorvikVbCommand(kavcmd::ThisComponent().iid, command_.putVoid()), S_OK);
        // The running command is the thread's: end the one an earlier test
        // may have left, then count from here.
        seen = {};
        ASSERT_EQ(Start(), S_OK);
        ASSERT_EQ(command_->VokProcButtonEvent(1, 1, 1), S_OK);
        seen = {};
        host_.clear();
    }
    HRESULT Start(LONG cmdLine = 5) {
        LONG code = 0;
        const HRESULT hr =
            command_->VokProcStartCmd(static_cast<LONG>(reinterpret_cast<LONG_PTR>(host_.window())), cmdLine, &code);
        startCode_ = code;
        return hr;
    }
    size_t Exits() const {
        size_t n = 0;
        for (const Recorded& r : host_.requests()) n += r.message == 1765;
        return n;
    }

    RecordingHost host_;
    ComRef<_MorvikVbCommand> command_;
    LONG startCode_ = 0;
};

TEST_F(InteractiveFrame, EachEventReachesItsHandlerWithItsArguments) {
    ASSERT_EQ(Start(), S_OK);
    EXPECT_EQ(startCode_, 1);
    EXPECT_EQ(Exits(), 0u) << "an interactive command goes on after its start event";
    _MorvikVbCommand* c = command_.get();
    const kav::UniqueBstr typedText(::SysAllocStringLen(L"typed\0rest", 10));
    const BSTR typed = typedText.get();
    LONG code = 3;
    struct Case {
        HRESULT hr;
        const char* expected;
    };
    const Case cases[] = {
        {c->VokProcEndCmd(&code), "OnEndCmd(3)"},
        {c->VokProcPreEvent(), "OnPreEvent()"},
        {c->VokProcDrawRubber(1.5, -2.25), "OnDrawRubber(1.5,-2.25)"},
        {c->VokProcPositionEvent(-1, 10, 20), "OnPositionEvent(-1,10,20)"},
        {c->VokProcPositionEventEx(2, 1, 2, 3, 4, 70000, -5, 6, 7), "OnPositionEventEx(2,1,2,3,4,70000,-5,6,7)"},
        {c->VokProcElementEvent(123456, 9), "OnElementEvent(123456,9)"},
        {c->VokProcElementEventEx(8, 3, 0.5, 0.25, -2), "OnElementEventEx(8,3,0.5,0.25,-2)"},
        {c->VokProcMultiElementEvent(1, 2, 3, 4), "OnMultiElementEvent(1,2,3,4)"},
        {c->VokProcMultiElementEventEx(1, 2, 3, 4, 5, 6, 7, 8), "OnMultiElementEventEx(1,2,3,4,5,6,7,8)"},
        {c->VokProcSystemEvent(12), "OnSystemEvent(12)"},
        {c->VokProcOperationEvent(4, 5), "OnOperationEvent(4,5)"},
        {c->VokProcIntBoxEvent(1, 2, -300000), "OnIntBoxEvent(1,2,-300000)"},
        {c->VokProcRealBoxEvent(1, 3, 0.125), "OnRealBoxEvent(1,3,0.125)"},
        {c->VokProcButtonEvent(1, 4, 0), "OnButtonEvent(1,4,0)"},
        {c->VokProcStringBoxEvent(1, 5, typed), "OnStringBoxEvent(1,5,typed)"},
    };
    ASSERT_EQ(seen.calls.size(), 1 + std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(cases[i].hr, S_OK) << cases[i].expected;
        EXPECT_EQ(seen.calls[i + 1], cases[i].expected);
    }
    EXPECT_EQ(code, 42) << "nCode goes back as OnEndCmd left it";
    EXPECT_TRUE(host_.requests().empty()) << "the handlers sent nothing, nor did the frame";
}

TEST_F(InteractiveFrame, EndsFromALaterEventWithOneExitMessageAndHearsNothingAfter) {
    struct Case {
        const char* label;
        short endingState;
    };
    for (const Case& k : {Case{"ExitCommand once", 1}, Case{"ExitCommand twice", 4}}) {
        SCOPED_TRACE(k.label);
        seen = {};
        host_.clear();
        ASSERT_EQ(Start(), S_OK);
        EXPECT_EQ(command_->VokProcPositionEvent(1, 1, 1), S_OK);
        EXPECT_EQ(command_->VokProcButtonEvent(1, 1, k.endingState), S_OK);
        EXPECT_EQ(Exits(), 1u);
        EXPECT_EQ(seen.destroyed, 1) << "the command goes when the event that ended it returns";
        const size_t handled = seen.calls.size();
        EXPECT_EQ(command_->VokProcPositionEvent(1, 2, 2), S_OK);
        EXPECT_EQ(command_->VokProcButtonEvent(1, 1, 1), S_OK);
        EXPECT_EQ(seen.calls.size(), handled) << "no handler runs after the end";
        EXPECT_EQ(host_.requests().size(), 1u) << "nothing is sent after the end";
    }
}

TEST_F(InteractiveFrame, AFailingHandlerGivesItsHresultAndTheCommandGoesOn) {
    ASSERT_EQ(Start(), S_OK);
    EXPECT_EQ(command_->VokProcButtonEvent(1, 1, 2), E_UNEXPECTED);
    EXPECT_EQ(command_->VokProcButtonEvent(1, 1, 3), E_ACCESSDENIED);
    EXPECT_EQ(Exits(), 0u);
    EXPECT_EQ(command_->VokProcButtonEvent(1, 1, 1), S_OK);
    EXPECT_EQ(Exits(), 1u);
    EXPECT_EQ(seen.calls.size(), 4u);
}

TEST_F(InteractiveFrame, EveryStartMakesAFreshCommand) {
    ASSERT_EQ(Start(1), S_OK);
    ASSERT_EQ(Start(2), S_OK);
    EXPECT_EQ(seen.made, 2);
    EXPECT_EQ(seen.destroyed, 1) << "the second start replaced the first command";
    EXPECT_EQ(seen.calls, (std::vector<std::string>{"OnStartCmd(1,1)", "OnStartCmd(2,1)"}));
}

TEST_F(InteractiveFrame, EndingInsideANestedEventKeepsTheCommandUntilTheOuterHandlerReturns) {
    seen.reenter = command_.get();
    ASSERT_EQ(Start(), S_OK);
    EXPECT_EQ(startCode_, 7) << "nCode goes back as OnStartCmd left it";
    EXPECT_EQ(Exits(), 1u);
    EXPECT_EQ(seen.destroyed, 1);
}

TEST_F(InteractiveFrame, AStartInsideAnEventIsRefusedBeforeItTouchesTheLibrary) {
    seen.restart = command_.get();
    ASSERT_EQ(Start(), S_OK);
    EXPECT_EQ(command_->VokProcButtonEvent(1, 1, 1), S_OK);
    EXPECT_EQ(Exits(), 1u) << "the refused start left the library bound to another window";
    EXPECT_EQ(seen.made, 1);
}

TEST_F(InteractiveFrame, StringBoxHookHandsTheBoxTextToTheHandler) {
    ASSERT_EQ(Start(), S_OK);
    host_.reply(0x3001);                                               // VokGetCSBHandle
    host_.reply(Reply(1).write(2 + 16, Bytes().str("typed")));         // VokGetTextBoxStatus
    EXPECT_EQ(command_->VokProcStringBoxEventHook(5, 6, 0), S_OK);
    ASSERT_EQ(host_.requests().size(), 2u);
    EXPECT_EQ(host_.requests()[0].code, 1807u);
    EXPECT_EQ(host_.requests()[1].code, 1824u);
    EXPECT_EQ(host_.requests()[1].lParam, 0x3001u);
    EXPECT_EQ(seen.calls.back(), "OnStringBoxEvent(5,6,typed)");
}
