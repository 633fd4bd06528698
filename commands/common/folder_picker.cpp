#include "folder_picker.h"

#include "kav/ignored.h"
#include "binding.h"
#include "text_utils.h"

#include <shlobj.h>

namespace kavcmd {
namespace {

LateBound<decltype(::SHBrowseForFolderW)> browseForFolder{"shell32.dll", "SHBrowseForFolderW"};
LateBound<decltype(::SHGetPathFromIDListW)> pathFromIdList{"shell32.dll", "SHGetPathFromIDListW"};
LateBound<decltype(::CoTaskMemFree)> taskMemFree{"ole32.dll", "CoTaskMemFree"};

constexpr UINT kBrowseFlags = 0x50;  // BIF_EDITBOX | BIF_NEWDIALOGSTYLE

// Frees the browser's item list with the COM task allocator.
struct ItemList {
    LPITEMIDLIST list = nullptr;
    ItemList() = default;
    ItemList(const ItemList&) = delete;
    ItemList& operator=(const ItemList&) = delete;
    ~ItemList() {
        if (list) taskMemFree(list);
    }
};

}  // namespace

int CALLBACK PickFolderCallback(HWND window, UINT message, LPARAM, LPARAM data) {
    try {
        const auto* initial = reinterpret_cast<const std::wstring*>(data);
        if (message == BFFM_INITIALIZED && initial) {
            const auto path = reinterpret_cast<LPARAM>(initial->c_str());
            // Selected now, and once more when the browser has worked through
            // the messages it queued while it was being made: a tree that
            // fills in after that (late, on a loaded machine) takes the
            // selection away again.  Posted messages come before the user's
            // input, so the second one never undoes a choice.  The path
            // lives in PickFolder until the browser has been destroyed.
            ::SendMessageW(window, BFFM_SETSELECTIONW, TRUE, path);
            ::PostMessageW(window, BFFM_SETSELECTIONW, TRUE, path);
        }
    } catch (...) {
        kav::ReportIgnoredException("folder picker");
    }
    return 0;
}

std::wstring PickFolder(HWND owner, const std::wstring& title, const std::wstring& initialPath) {
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;
    info.pszDisplayName = nullptr;
    info.lpszTitle = title.c_str();
    info.ulFlags = kBrowseFlags;
    info.lpfn = PickFolderCallback;
    info.lParam = reinterpret_cast<LPARAM>(&initialPath);  // this browser's, not a global

    ItemList picked;
    picked.list = browseForFolder(&info);
    if (!picked.list) return {};

    // A file-system path of up to 260 characters with its terminator.
    wchar_t path[MAX_PATH] = {};
    if (!pathFromIdList(picked.list, path)) return {};
    return CutAtNul(std::wstring_view(path, MAX_PATH));
}

}  // namespace kavcmd
