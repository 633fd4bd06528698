#include "folder_picker.h"

#include "kav/ignored.h"
#include "binding.h"
#include "text_utils.h"

#include <shlobj.h>

namespace kavcmd {
namespace {

LateBound<decltype(::SHBrowseForFolderA)> browseForFolder{"shell32.dll", "SHBrowseForFolderA"};
LateBound<decltype(::SHGetPathFromIDListA)> pathFromIdList{"shell32.dll", "SHGetPathFromIDListA"};
LateBound<decltype(::CoTaskMemFree)> taskMemFree{"ole32.dll", "CoTaskMemFree"};

// The initial path for the callback, in the system code page.
thread_local std::string initialFolder;

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

int CALLBACK PickFolderCallback(HWND window, UINT message, LPARAM, LPARAM) {
    try {
        if (message == BFFM_INITIALIZED) {
            ::SendMessageA(window, BFFM_SETSELECTIONA, 1, reinterpret_cast<LPARAM>(initialFolder.c_str()));
        }
    } catch (...) {
        kav::ReportIgnoredException("folder picker");
    }
    return 0;
}

std::wstring PickFolder(HWND owner, const std::wstring& title, const std::wstring& initialPath) {
    initialFolder = ToAnsi(initialPath);
    const std::string titleText = ToAnsi(title);

    BROWSEINFOA info{};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;
    info.pszDisplayName = nullptr;
    info.lpszTitle = titleText.c_str();
    info.ulFlags = kBrowseFlags;
    info.lpfn = PickFolderCallback;
    info.lParam = 0;

    ItemList picked;
    picked.list = browseForFolder(&info);
    if (!picked.list) return {};

    char path[260] = {};
    if (!pathFromIdList(picked.list, path)) return {};
    return FromAnsi(CutAtNul(std::string_view(path, sizeof path)));
}

}  // namespace kavcmd
