#include "form.h"

#include "com_barrier.h"
#include "command_icon.h"
#include "module.h"
#include "settings.h"

#include <cmath>

namespace kavcmd {
namespace {

// An in-memory dialog template: no controls (they are created at load in
// pixels), no font (set on every window at load).
struct alignas(4) EmptyTemplate {
    DLGTEMPLATE header;
    WORD menu = 0;
    WORD windowClass = 0;
    WORD title = 0;
};

constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN | DS_MODALFRAME;
constexpr DWORD kDialogExStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;

int LogicalDpi(int index) {
    const kav::WindowDc screen(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen.get(), index) : 96;
    return dpi > 0 ? dpi : 96;
}

// Rounds halves to the even neighbour.
long RoundHalfEven(double x) {
    const double lower = std::floor(x);
    const double fraction = x - lower;
    if (fraction > 0.5) return static_cast<long>(lower) + 1;
    if (fraction < 0.5) return static_cast<long>(lower);
    return std::fmod(lower, 2.0) == 0.0 ? static_cast<long>(lower) : static_cast<long>(lower) + 1;
}

}  // namespace

int TwipsToPixels(int twips, int dpi) { return ::MulDiv(twips, dpi, 1440); }

HRESULT Form::ShowModal(HWND owner) {
    EmptyTemplate tmpl{};
    tmpl.header.style = kDialogStyle;
    tmpl.header.dwExtendedStyle = kDialogExStyle;
    // The owner is the host window's top-level window, if it has one on the
    // desktop (a message-only window cannot own a dialog).
    if (owner && ::IsWindow(owner)) {
        owner = ::GetAncestor(owner, GA_ROOT);
        if (owner && ::GetAncestor(owner, GA_PARENT) != ::GetDesktopWindow()) owner = nullptr;
    } else {
        owner = nullptr;
    }

    failure_ = S_OK;
    const INT_PTR result = ::DialogBoxIndirectParamW(ThisModule(), &tmpl.header, owner, DialogProc,
                                                     reinterpret_cast<LPARAM>(this));
    const DWORD lastError = ::GetLastError();
    font_.reset();
    bigIcon_.reset();
    smallIcon_.reset();
    window_ = nullptr;
    if (FAILED(failure_)) return failure_;
    if (result == -1) return lastError ? HRESULT_FROM_WIN32(lastError) : E_FAIL;
    return S_OK;
}

INT_PTR CALLBACK Form::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Form* form = nullptr;
    if (message == WM_INITDIALOG) {
        form = reinterpret_cast<Form*>(lParam);
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
        form->window_ = window;
    } else {
        form = reinterpret_cast<Form*>(::GetWindowLongPtrW(window, DWLP_USER));
    }
    if (!form) return FALSE;
    try {
        return form->Handle(message, wParam, lParam);
    } catch (...) {
        form->failure_ = HresultFromCaughtException();
    }
    ::EndDialog(window, -1);
    return TRUE;
}

INT_PTR Form::Handle(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        Build();
        OnLoad();
        // Focus on the first control in tab order that takes it.
        if (HWND first = ::GetNextDlgTabItem(window_, nullptr, FALSE)) ::SetFocus(first);
        return FALSE;
    }
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (HIWORD(wParam) != BN_CLICKED) return FALSE;
        for (const ControlDef& c : def_.tabOrder) {
            if (c.id == id && c.kind != ControlKind::Edit && c.kind != ControlKind::Label) {
                OnClick(id);
                return TRUE;
            }
        }
        return TRUE;  // Escape (IDCANCEL) and anything else: no handler
    }
    case WM_CLOSE:
        Close();
        return TRUE;
    case WM_GETFONT:  // the dialog's own font is the one its controls use
        ::SetWindowLongPtrW(window_, DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(font_.get()));
        return TRUE;
    default:
        return FALSE;
    }
}

void Form::Build() {
    dpiX_ = LogicalDpi(LOGPIXELSX);
    dpiY_ = LogicalDpi(LOGPIXELSY);

    LOGFONTW lf{};
    lf.lfHeight = -::MulDiv(9, dpiY_, 72);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = SHIFTJIS_CHARSET;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    wcscpy(lf.lfFaceName, L"Meiryo UI");
    font_.reset(::CreateFontIndirectW(&lf));
    if (!font_) throw StepFailure(E_FAIL);

    bigIcon_.reset(static_cast<HICON>(::LoadImageW(ThisModule(), MAKEINTRESOURCEW(IDI_KAVCMD_ICON), IMAGE_ICON, 32, 32, 0)));
    smallIcon_.reset(static_cast<HICON>(::LoadImageW(ThisModule(), MAKEINTRESOURCEW(IDI_KAVCMD_ICON), IMAGE_ICON,
                                                     ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0)));
    if (bigIcon_) ::SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    if (smallIcon_) ::SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));

    ::SetWindowTextW(window_, def_.caption);

    RECT outer{0, 0, TwipsToPixels(def_.clientWidth, dpiX_), TwipsToPixels(def_.clientHeight, dpiY_)};
    ::AdjustWindowRectEx(&outer, static_cast<DWORD>(::GetWindowLongW(window_, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongW(window_, GWL_EXSTYLE)));
    ::SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    for (const ControlDef& c : def_.tabOrder) {
        const wchar_t* cls = L"BUTTON";
        DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
        DWORD exStyle = 0;
        switch (c.kind) {
        case ControlKind::Label:
            cls = L"STATIC";
            style = WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
            break;
        case ControlKind::Edit:
            cls = L"EDIT";
            style |= ES_LEFT | ES_AUTOHSCROLL;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case ControlKind::Button:
            style |= BS_PUSHBUTTON;
            break;
        case ControlKind::DefaultButton:
            style |= BS_DEFPUSHBUTTON;
            defaultId_ = c.id;
            break;
        case ControlKind::CheckBox:
            style |= BS_AUTOCHECKBOX;
            break;
        }
        HWND control = ::CreateWindowExW(exStyle, cls, c.caption ? c.caption : L"", style,
                                         TwipsToPixels(c.left, dpiX_), TwipsToPixels(c.top, dpiY_),
                                         TwipsToPixels(c.width, dpiX_), TwipsToPixels(c.height, dpiY_), window_,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), ThisModule(), nullptr);
        if (!control) throw StepFailure(HRESULT_FROM_WIN32(::GetLastError()));
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    }
    if (defaultId_) ::SendMessageW(window_, DM_SETDEFID, static_cast<WPARAM>(defaultId_), 0);
}

std::wstring Form::Text(int id) const {
    HWND control = Item(id);
    const int length = ::GetWindowTextLengthW(control);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

void Form::SetText(int id, const std::wstring& text) { ::SetWindowTextW(Item(id), text.c_str()); }

int Form::CheckState(int id) const { return static_cast<int>(::SendMessageW(Item(id), BM_GETCHECK, 0, 0)); }

void Form::SetCheckState(int id, int state) { ::SendMessageW(Item(id), BM_SETCHECK, static_cast<WPARAM>(state), 0); }

void Form::SetEnabled(int id, bool enabled) { ::EnableWindow(Item(id), enabled ? TRUE : FALSE); }

void Form::CentreOnScreen() {
    RECT outer{};
    ::GetWindowRect(window_, &outer);
    const double twipsPerPixelX = 1440.0 / dpiX_, twipsPerPixelY = 1440.0 / dpiY_;
    const long diffX = RoundHalfEven((::GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) * twipsPerPixelX);
    const long diffY = RoundHalfEven((::GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) * twipsPerPixelY);
    const long leftTwips = diffX / 2, topTwips = diffY / 2;  // integer halving drops the remainder
    const int left = static_cast<int>(std::lround(leftTwips / twipsPerPixelX));
    const int top = static_cast<int>(std::lround(topTwips / twipsPerPixelY));
    ::SetWindowPos(window_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::Close() { ::EndDialog(window_, 1); }

}  // namespace kavcmd
