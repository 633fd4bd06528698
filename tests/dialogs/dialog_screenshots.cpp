// Saves pictures of both commands' dialogs and of one warning box as BMP
// files (`./kav screenshots` turns them into the PNG files under docs/).
// The components are the built DLLs next to this program, started through
// their class factories as the host starts them; the user's part is played
// by a second thread.  Usage: dialog_screenshots <output folder>
#include "kav/com_ref.h"
#include "kav/handles.h"
#include "morvik_command.h"
#include "ui_driver.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace kavtest;

namespace {

bool SaveWindowPicture(HWND window, const std::wstring& file) {
    RECT r{};
    ::GetWindowRect(window, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return false;
    const kav::WindowDc screen(nullptr);
    const kav::UniqueMemoryDc memory(::CreateCompatibleDC(screen.get()));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as the file stores it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const kav::UniqueBitmap bitmap(::CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    bool ok = false;
    if (bitmap) {
        const kav::SelectedObject selected(memory.get(), bitmap.get());
        ::BitBlt(memory.get(), 0, 0, width, height, screen.get(), r.left, r.top, SRCCOPY);
        ::GdiFlush();
        const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
        const DWORD imageSize = stride * static_cast<DWORD>(height);
        BITMAPFILEHEADER header{};
        header.bfType = 0x4D42;
        header.bfOffBits = sizeof header + sizeof info.bmiHeader;
        header.bfSize = header.bfOffBits + imageSize;
        const kav::UniqueFileHandle out(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        if (out) {
            DWORD n1 = 0, n2 = 0, n3 = 0;
            ok = ::WriteFile(out.get(), &header, sizeof header, &n1, nullptr) &&
                 ::WriteFile(out.get(), &info.bmiHeader, sizeof info.bmiHeader, &n2, nullptr) &&
                 ::WriteFile(out.get(), bits, imageSize, &n3, nullptr);
        }
    }
    return ok;
}

kav::ComRef<kavcmd::_MorvikVbCommand> Create(const wchar_t* file, const wchar_t* clsidText, const wchar_t* iidText) {
    kav::ComRef<kavcmd::_MorvikVbCommand> command;
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self);
    folder = folder.substr(0, folder.find_last_of(L"\\/"));
    const HMODULE module = ::LoadLibraryW((folder + L"\\" + file).c_str());  // stays loaded
    if (!module) return command;
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(::GetProcAddress(module, "DllGetClassObject"));
    CLSID clsid{};
    IID iid{};
    ::CLSIDFromString(clsidText, &clsid);
    ::IIDFromString(iidText, &iid);
    kav::ComRef<IClassFactory> factory;
    if (!get || FAILED(get(clsid, IID_IClassFactory, factory.putVoid()))) return command;
    factory->CreateInstance(nullptr, iid, command.putVoid());
    return command;
}

int failures = 0;
void Shot(UiDriver&, HWND window, const std::wstring& file) {
    ::Sleep(700);  // let it paint
    const bool ok = SaveWindowPicture(window, file);
    std::printf("%s %ls\n", ok ? "saved" : "FAILED", file.c_str());
    if (!ok) ++failures;
}

int Pictures(const std::wstring& out) {
    const auto csbclean = Create(L"csbclean.dll", L"{2D38DE7C-3BEC-4519-8B67-4D999253F6B7}",
                                 L"{A93F99F2-E8A4-487E-8608-2C084826F652}");
    const auto histclean = Create(L"histclean.dll", L"{BAFCABA9-20F0-4C5C-97B3-9E4DBDA513BD}",
                                  L"{70DB71C4-A6D5-469E-A2C5-32CF9756A036}");
    if (!csbclean || !histclean) {
        std::printf("FAILED: the components could not be created\n");
        return 1;
    }
    LONG code = 0;
    RunDialog([&] { return csbclean->VokProcStartCmd(0, 0, &code); },
              [&](UiDriver& ui) {
                  HWND dialog = ui.WaitForWindow(L"コマンドサブボックス履歴の削除");
                  Shot(ui, dialog, out + L"\\csbclean.bmp");
                  HWND text = ChildrenOfClass(dialog, L"Edit").at(0);
                  ui.SetText(text, L"CSB");
                  ui.Click(ui.Child(dialog, L"Button", L"削除実行(&G)"));
                  HWND box = ui.WaitForWindow(L"警告");
                  Shot(ui, box, out + L"\\warning.bmp");
                  ui.Answer(box, IDOK);
                  ui.WaitGone(box);
                  ui.Click(ui.Child(dialog, L"Button", L"中止(&C)"));
                  ui.WaitGone(dialog);
              });
    RunDialog([&] { return histclean->VokProcStartCmd(0, 0, &code); },
              [&](UiDriver& ui) {
                  HWND dialog = ui.WaitForWindow(L"各種履歴･情報ファイル削除");
                  Shot(ui, dialog, out + L"\\histclean.bmp");
                  ui.Click(ui.Child(dialog, L"Button", L"中止(&C)"));
                  ui.WaitGone(dialog);
              });
    return failures;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 100;
    const std::wstring out = argv[1];
    ::CoInitialize(nullptr);
    const int result = Pictures(out);
    ::CoUninitialize();
    return result;
}
