// perpcopy: copies a line or a circle at a distance.  The user picks the
// element, then a point; the host gives the foot of the perpendicular from
// that point onto the element and the distance between the two, and when the
// panel's OK button is pressed the command appends as many copies as the
// panel's integer box says, each shifted once more by the offset from the
// foot to the point.  Cancel ends it without drawing.
#include "command.h"
#include "kavlink.h"
#include "kavlink_host.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The panel and its controls; the numbers are ours to choose.
constexpr int16_t kPanel = 1, kCopiesBox = 1, kOkButton = 2, kCancelButton = 3;

class PerpCopy : public kavcmd::Command {
    void OnStartCmd(HWND, int32_t, int32_t&) override {
        savedMask_ = VokGetEventMask();
        VokSetEventMask(KAVHOST_EVENT_MASK_ELEMENT | KAVHOST_EVENT_MASK_POSITION);
        VokCommandMode("Perpendicular copy");
        VokCommandGuide("Pick a line or a circle");
        VokCreateCSB(kPanel, "Perpendicular copy", "", 0);
        panel_ = VokGetCSBHandle(kPanel);  // the handle names the panel from now on
        VokCreateIntegerBox(panel_, kCopiesBox, 3, "Copies");
        VokCreatePushButton(panel_, kOkButton, "OK");
        VokCreatePushButton(panel_, kCancelButton, "Cancel");
        VokComposeCSB(panel_);
    }

    // The element to copy, read back from the drawing.
    void OnElementEvent(int32_t element, int16_t type) override {
        const bool read = type == KAVHOST_ELEMENT_LINE     ? VokGetLineShape(element, &line_) != KAVHOST_ANSWER_NONE
                          : type == KAVHOST_ELEMENT_CIRCLE ? VokGetCircleShape(element, &circle_) != KAVHOST_ANSWER_NONE
                                                           : false;
        if (!read) {
            VokWarnBeep();  // neither a line nor a circle
            return;
        }
        element_ = element;
        type_ = type;
        VokCommandGuide("Pick a point at the distance of the first copy");
    }

    // The offset: from the foot of the perpendicular to the point picked.
    void OnPositionEvent(int16_t, double x, double y) override {
        if (element_ == 0) {
            VokWarnBeep();
            return;
        }
        PointShape picked{x, y}, foot{};
        ResultPoint result{};
        if (VokCalPerpend(&picked, element_, &result) == KAVHOST_ANSWER_NONE) {
            VokErrorMessage("No perpendicular from that point");
            return;
        }
        std::memcpy(&foot, result.bytes + KAVHOST_CALC_RESULT_POINT_AT, sizeof foot);
        const double distance = VokCalDist2P(&foot, &picked);
        VokCalVecOf2P(&foot, &picked, &offset_);
        char guide[80];
        std::snprintf(guide, sizeof guide, "Distance %g: set the copies, then OK", distance);
        VokCommandGuide(guide);
        haveOffset_ = true;
    }

    void OnButtonEvent(int16_t csbID, int16_t itemID, int16_t) override {
        if (csbID != kPanel) return;
        if (itemID == kCancelButton) {
            Finish();
            ExitCommand();
            return;
        }
        if (itemID != kOkButton || !haveOffset_) return;
        BoxStatus box{};
        VokGetIntegerBoxStatus(panel_, kCopiesBox, &box);
        const int copies = std::atoi(box.text);
        ElementAttr attr{};
        VokGetElementAttr(element_, &attr);
        for (int k = 1; k <= copies; ++k) {
            PointShape step{offset_.x * k, offset_.y * k};
            TransMatrix move{};
            VokCalMatrixMove(&step, &move);
            if (type_ == KAVHOST_ELEMENT_LINE) {
                LineShape copy{};
                VokCalTransLine(&line_, &move, &copy);
                VokAppendLine(&copy, &attr);
            } else {
                CircleShape copy{};
                VokCalTransCircle(&circle_, &move, &copy);
                VokAppendCircle(&copy, &attr);
            }
        }
        Finish();
        ExitCommand();
    }

    // The host ends the command: tidy up and end.
    void OnEndCmd(int32_t&) override {
        Finish();
        ExitCommand();
    }

    void Finish() {
        VokDestroyCSB(panel_);
        VokSetEventMask(savedMask_);
    }

    int32_t savedMask_ = 0, panel_ = 0, element_ = 0;
    int16_t type_ = 0;
    LineShape line_{};
    CircleShape circle_{};
    PointShape offset_{};
    bool haveOffset_ = false;
};

}  // namespace

KAVCMD_COMMAND(PerpCopy)
