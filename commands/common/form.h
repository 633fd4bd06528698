// A small modal dialog built from a table of controls laid out in twips.
// Positions and sizes are converted to pixels at the display's logical DPI
// (1440 twips per inch); the dialog and every control use "Meiryo UI" 9 pt,
// regular, Shift-JIS character set; the command icon is shown in the
// caption.  Controls are created in tab order, so the tab key follows it and
// focus starts on the first one that takes focus.  Enter presses the
// default button; the close box ends the dialog like a cancel.
#pragma once
#include "kav/handles.h"
#include <windows.h>
#include <string>
#include <vector>

namespace kavcmd {

enum class ControlKind { Label, Edit, Button, DefaultButton, CheckBox };

struct ControlDef {
    int id;
    ControlKind kind;
    const wchar_t* caption;
    int left, top, width, height;  // twips within the client area
};

struct FormDef {
    const wchar_t* caption;
    int clientWidth, clientHeight;      // twips
    std::vector<ControlDef> tabOrder;   // every control, in tab order
};

// Pixels for a length in twips at `dpi` (rounded to the nearest pixel).
int TwipsToPixels(int twips, int dpi);

class Form {
public:
    explicit Form(FormDef def) : def_(std::move(def)) {}
    virtual ~Form() = default;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    // Shows the dialog modally; S_OK once it has closed, a failure HRESULT
    // when it could not be shown or one of its handlers failed.
    HRESULT ShowModal(HWND owner);

protected:
    virtual void OnLoad() = 0;
    virtual void OnClick(int id) = 0;

    HWND Window() const { return window_; }
    HWND Item(int id) const { return ::GetDlgItem(window_, id); }
    std::wstring Text(int id) const;
    void SetText(int id, const std::wstring& text);
    int CheckState(int id) const;
    void SetCheckState(int id, int state);
    void SetEnabled(int id, bool enabled);
    // Left = (screen width - dialog width) \ 2, Top likewise, in twips, with
    // the outer size of the dialog.
    void CentreOnScreen();
    void Close();

private:
    static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Build();

    FormDef def_;
    HWND window_ = nullptr;
    kav::UniqueFont font_;
    kav::UniqueIcon bigIcon_;
    kav::UniqueIcon smallIcon_;
    int dpiX_ = 96, dpiY_ = 96;
    int defaultId_ = 0;
    HRESULT failure_ = S_OK;
};

}  // namespace kavcmd
