// twopoint: an interactive command.  It asks for two points, shows the line
// between them as a rubber band while the pointer moves, asks the host for
// their midpoint and distance, and draws the line and, when the panel's
// check button is on, a circle around the midpoint.  The panel's real box
// scales that circle; its Cancel button ends the command without drawing.
#include "command.h"
#include "kavlink.h"
#include "kavlink_host.h"

#include <utility>

namespace {

// The panel and its controls; the numbers are ours to choose.
constexpr int16_t kPanel = 1, kCircleButton = 1, kScaleBox = 2, kCancelButton = 3;

// Input settings whose meaning belongs to the host: kavlink_host.h names
// them, from the host profile that kavhost answers with.
constexpr int32_t kPositionEventMask = KAVHOST_EVENT_MASK_POSITION;
constexpr int32_t kAnyPosition = KAVHOST_DETECT_ANY_POSITION;

class TwoPoints : public kavcmd::Command {
    void OnStartCmd(HWND, int32_t, int32_t&) override {
        savedMask_ = VokGetEventMask();
        maskSaved_ = true;
        VokSetEventMask(kPositionEventMask);
        VokSetOptionDetectablePosition(kAnyPosition);
        VokCommandMode("Two points");
        VokCommandGuide("Pick the first point");
        VokCreateCSB(kPanel, "Two points", "", 0);
        panel_ = VokGetCSBHandle(kPanel);  // the handle names the panel from now on
        panelUp_ = true;
        VokCreateCheckButton(panel_, kCircleButton, "Circle");
        VokCreateRealBox(panel_, kScaleBox, 8, 2, "Circle scale");
        VokCreatePushButton(panel_, kCancelButton, "Cancel");
        VokComposeCSB(panel_);
    }

    void OnPositionEvent(int16_t, double x, double y) override {
        if (!haveFirst_) {
            first_ = {x, y};
            haveFirst_ = true;
            VokCommandGuide("Pick the second point");
            VokStartRubber();
            rubber_ = true;
            return;
        }
        // The host may end the command while it answers a request (it then
        // calls OnEndCmd before the request returns): after each request the
        // handler goes on only while the command runs.
        PointShape second{x, y}, middle{};
        VokCalMidP(&first_, &second, &middle);
        if (!Running()) return;
        const double length = VokCalDist2P(&first_, &second);
        if (!Running()) return;
        Finish();  // the rubber band and the panel go before the drawing
        if (!Running()) return;
        ElementAttr attr{};
        VokGetSystemElementAttr(&attr);
        if (!Running()) return;
        const LineShape line{first_, second};
        VokAppendLine(&line, &attr);
        if (!Running()) return;
        if (circle_) {
            const CircleShape circle{middle, length / 2 * scale_};
            VokAppendCircle(&circle, &attr);
            if (!Running()) return;
        }
        ExitCommand();
    }

    void OnDrawRubber(double x, double y) override {
        if (!haveFirst_) return;
        const LineShape line{first_, {x, y}};
        VokDrawRubberLine(&line);
    }

    void OnButtonEvent(int16_t csbID, int16_t itemID, int16_t state) override {
        if (csbID != kPanel) return;
        if (itemID == kCircleButton) circle_ = state != 0;
        if (itemID == kCancelButton) {
            Finish();
            VokCommandGuide("Cancelled");
            ExitCommand();
        }
    }

    void OnRealBoxEvent(int16_t csbID, int16_t itemID, double value) override {
        if (csbID == kPanel && itemID == kScaleBox && value > 0) scale_ = value;
    }

    // The host ends the command (the user cancelled it there): tidy up and end.
    void OnEndCmd(int32_t&) override {
        Finish();
        ExitCommand();
    }

    // Takes down what the command put up, and gives the host its mask back.
    // Each part goes once, also when the host ends the command inside one of
    // these requests and OnEndCmd calls Finish again.
    void Finish() {
        if (std::exchange(rubber_, false)) VokEndRubber();
        if (!Running()) return;
        if (std::exchange(panelUp_, false)) VokDestroyCSB(panel_);
        if (!Running()) return;
        if (std::exchange(maskSaved_, false)) VokSetEventMask(savedMask_);
    }

    int32_t savedMask_ = 0, panel_ = 0;
    PointShape first_{};
    bool haveFirst_ = false, rubber_ = false, panelUp_ = false, maskSaved_ = false, circle_ = false;
    double scale_ = 1.0;
};

}  // namespace

KAVCMD_COMMAND(TwoPoints)
