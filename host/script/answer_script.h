// The answer script of kavhost: a plain-text file that says what the host
// answers to which request, which event methods it calls on the command
// after the start event, and how it works the command's dialog.
//
//   # comment                      (also after a statement)
//   on <export name | code | *>    starts a rule; the next request of that
//                                  export or code takes it (several rules for
//                                  the same key are used in order; the last
//                                  one stays)
//   on <key> event <method> <args...> [answer ..] [write ..]
//                                  a rule that also delivers an event inside
//                                  the request, before the host answers it
//   answer <n>                     the rule's 32-bit answer (decimal, 0x.., negative)
//   write <offset> <type> <value>  bytes the rule writes at a payload offset:
//                                  u8 i16 i32 <n> | f64 <x> | point <x> <y> |
//                                  text "..." (system code page, terminator
//                                  included) | hex "01 02 ..."
//   event <method> <args...>       an event method delivered after the start event
//                                  has returned, while the command has not ended
//   ui <step> <args...>            a step of the dialog driver (see kavhost --help);
//                                  "ui event <method> <args...>" delivers an event
//                                  from inside the command's dialog
//   element <kind> <numbers...>    an element of the drawing that exists before the
//                                  start event (kinds: the profile's "elementTypes"
//                                  keys point line longline circle arc ellipse ellarc
//                                  string); declared elements are numbered in order
//                                  from the profile's first index
// "on KEY answer N write ..." may also stand on one line, with several writes;
// "on KEY event ..." only on one line (a line of its own that starts with
// "event" is an event statement).
// In an event, "@N" names the N-th declared element: it stands for the element's
// index and its type code, the two arguments ElemIndex and elemType.
#pragma once
#include "exchange.h"
#include "input.h"

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kavhost {

// A script refused, with its line.
using ScriptError = InputError;

struct Rule {
    std::string key;        // export name, or "" when keyed by code
    uint32_t code = 0;      // when keyed by code
    bool any = false;       // "on *"
    bool hasAnswer = false;
    uint32_t answer = 0;
    std::vector<PayloadWrite> writes;
    std::optional<EventCall> event;  // "on KEY event ...": delivered inside the request
    int line = 0;
};

struct UiStep {
    std::string verb;
    std::vector<std::string> args;  // UTF-8; for "event", the method and then its arguments
    int line = 0;
};

// An `element` statement: its kind word and numbers (a string's text apart).
struct ElementStatement {
    std::string kind;
    std::vector<double> numbers;
    std::string text;  // UTF-8
    int line = 0;
};

struct Script {
    std::vector<Rule> rules;
    std::vector<EventCall> events;
    std::vector<UiStep> ui;
    std::vector<ElementStatement> elements;
};

// What "@N" in an event stands for: the N-th declared element's index
// (first + N - 1) and the type code of its kind (the profile's).
struct ElementNaming {
    int32_t first = 1;
    std::map<std::string, int32_t> typeCodes;  // by kind word; empty: "@N" is refused
};

// Event methods of a command component, in interface order, with their
// parameter types (VT_I2 VT_I4 VT_R8 VT_BSTR, and kByRefCode for the
// by-reference nCode) from the frame's event table.
struct EventMethod {
    const char* name;
    std::vector<VARTYPE> params;
    std::vector<std::string> paramNames;  // for the log ("hWnd" for the start event's window)
};
const std::vector<EventMethod>& eventMethods();
const EventMethod* findEventMethod(const std::string& name);

// Splits a line into words; "..." is one word, in which \" stands for a quote
// and \\ for a backslash; any other backslash is itself (C:\work\a.ini).
// Throws ScriptError on an unterminated quote.
std::vector<std::string> splitWords(const std::string& line, int lineNo);
// Parses an integer the way scripts and command lines write it.
bool parseInteger(const std::string& s, int64_t& out);
bool parseDouble(const std::string& s, double& out);

// Checks an event's method and arguments (`words` from `at` on: the method,
// then its arguments) and returns the call; throws ScriptError.  `declared`
// and `naming` resolve "@N".
EventCall parseEventCall(const std::vector<std::string>& words, size_t at, int lineNo,
                         const std::vector<ElementStatement>& declared = {}, const ElementNaming& naming = {});

// The numbers each element kind takes, in order ("x y" for a point); the
// string kind takes "x y" and then its text.
const std::vector<std::pair<const char*, const char*>>& elementKinds();

// Throws ScriptError for anything it does not understand.
Script parseScript(const std::string& text, const ElementNaming& naming = {});

// Chooses replies: script rules first (by export name, then code, then "*"),
// then the export's default answer, a column of the layout table: 1, the
// next counting index (create/append/assign), or one handle per id in the
// lParam (panels).
class Answerer {
public:
    explicit Answerer(Script script = {});
    // `row` is the export's row when the caller has it (else it is looked up).
    Reply reply(uint32_t code, uint32_t lParam, const std::vector<std::string>& exportNames, const ExportLayout* row = nullptr);
    const Script& script() const { return script_; }

private:
    const Rule* take(const std::string& key, uint32_t code, bool any);
    Script script_;
    std::map<std::string, size_t> used_;
    std::map<uint32_t, uint32_t> panels_;
    uint32_t nextPanel_ = 0x00010001;
    uint32_t nextIndex_ = 1;
};

}  // namespace kavhost
