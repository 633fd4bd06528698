// The model of the host: what kavhost answers when no script rule does.
// It keeps the drawing (drawing.h), the system attributes, the panels and
// their controls, the event mask and the detection and selection options,
// the database values, and asks the plane geometry (calculations.h) for the
// calculation family.  Every value whose meaning the host owns comes from
// the profile (profile.h).
//
// Which exports it answers, family by family, is listed with
// Model::answers(); everything else (B-spline calculation, dimensions,
// symbols and parts, host tables, the database and style records whose
// layout is the host's, direct selection) is left to script rules, and a
// request the model leaves is "unanswered" unless a rule takes it.
#pragma once
#include "model/drawing.h"
#include "model/profile.h"

#include "exchange.h"
#include "script/answer_script.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kavhost::model {

class Calculator;

// A request that named a panel handle no panel has.
struct WrongHandle {
    uint32_t seq = 0;
    std::string exportName;
    uint32_t handle = 0;
};

// One control of a panel, as the command made it and the events left it.
struct Control {
    std::string exportName;  // the export that made it ("VokCreateIntegerBox")
    std::string text;        // its label (system code page)
    ButtonStatus button{};
    BoxStatus box{};
    int16_t pull = 0;
    bool enabled = true;
};

struct Panel {
    int16_t csbID = 0;
    uint32_t handle = 0;
    std::string title;        // text1 (system code page)
    bool composed = false, destroyed = false;
    std::map<int16_t, Control> controls;
};

class Model {
public:
    explicit Model(const Profile& profile);
    ~Model();
    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;

    // The script's drawing, before the start event: numbered from the
    // profile's first index, with the system element (or string) attributes.
    void declare(const std::vector<ElementStatement>& elements);
    // The naming of "@N" in the script's events: the first index and the type codes.
    ElementNaming naming() const;

    // Answers the request when the model can: fills `reply` (answer, writes,
    // source "model") and returns true.  `r` is the request as it arrived.
    // `reply` is made in place, reusing the storage of its earlier writes;
    // on false it holds nothing of use.
    bool answer(const LoggedRequest& r, Reply& reply);
    // What a request answered by someone else (a rule, a recording) tells
    // the model: state it keeps follows the answer (an element index, a
    // panel handle, a link), so that later requests find it.
    void learn(const LoggedRequest& r);
    // An event delivered to the command: box and button states follow it.
    void delivered(const DeliveredEvent& e);

    const Drawing& drawing() const { return drawing_; }
    const std::map<int16_t, Panel>& panels() const { return panels_; }
    const std::vector<WrongHandle>& wrongHandles() const { return wrongHandles_; }
    int32_t eventMask() const { return mask_; }
    // The options as last set: the export's name and mode ("VokSetOptionColor 1")
    // to the bytes of its value.
    const std::map<std::string, std::vector<uint8_t>>& options() const { return options_; }
    // The profile value the last answer rested on ("elementTypes/line"), or "".
    const std::string& lastProfileKey() const { return lastKey_; }
    const Profile& profile() const { return profile_; }

private:
    struct Req;
    bool elements(Req& q);
    bool shapes(Req& q);
    bool attributes(Req& q);
    bool properties(Req& q);
    bool panelsFamily(Req& q);
    bool optionsFamily(Req& q);
    bool feedback(Req& q);
    bool display(Req& q);
    bool database(Req& q);
    bool marksAndGroups(Req& q);
    Panel* panelByHandle(Req& q, uint32_t handle);
    Element makeElement(Shape shape, uint32_t seq) const;
    int32_t created(Element e);

    const Profile& profile_;
    const ProfileValues& v_;
    Drawing drawing_;
    ElementAttr systemAttr_{};
    StringAttr systemStringAttr_{};
    int16_t exValue1_ = 0, exValue2_ = 0;
    int32_t mask_ = 0;
    int32_t inputLayer_ = 0, dispDigit_ = 0;
    double epsLength_ = 0, epsAngle_ = 0;
    std::map<int16_t, Panel> panels_;
    std::map<uint32_t, int16_t> handles_;
    uint32_t nextHandle_ = 0;
    std::vector<WrongHandle> wrongHandles_;
    std::map<std::string, std::vector<uint8_t>> options_;
    int32_t nextLink_ = 0, nextMark_ = 0, nextGroup_ = 0;
    std::string lastKey_;
    std::unique_ptr<Calculator> calc_;
};

}  // namespace kavhost::model
