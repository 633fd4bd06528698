// Owning wrappers for the platform handles, GDI objects and OLE objects that
// the library, the commands, kavhost and the tests hold.  Each closes exactly
// once, moves, never copies.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <utility>

namespace kav {

// Traits name the handle type, its "none" value and how to close it.
template <class Traits>
class UniqueHandle {
public:
    using T = typename Traits::type;
    UniqueHandle() = default;
    explicit UniqueHandle(T value) : value_(value) {}
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    T get() const { return value_; }
    T* put() { reset(); return &value_; }  // for out-parameters
    explicit operator bool() const { return value_ != Traits::invalid(); }
    T release() { return std::exchange(value_, Traits::invalid()); }
    void reset(T value = Traits::invalid()) {
        T old = std::exchange(value_, value);
        if (old != Traits::invalid()) Traits::close(old);
    }

private:
    T value_ = Traits::invalid();
};

#define KAV_HANDLE_TRAITS(Name, Type, None, CloseCall) \
    struct Name { \
        using type = Type; \
        static type invalid() { return None; } \
        static void close(type h) { CloseCall; } \
    }

namespace traits {
KAV_HANDLE_TRAITS(File, HANDLE, INVALID_HANDLE_VALUE, ::CloseHandle(h));
KAV_HANDLE_TRAITS(Handle, HANDLE, nullptr, ::CloseHandle(h));
KAV_HANDLE_TRAITS(View, void*, nullptr, ::UnmapViewOfFile(h));
KAV_HANDLE_TRAITS(Library, HMODULE, nullptr, ::FreeLibrary(h));
KAV_HANDLE_TRAITS(Window, HWND, nullptr, ::DestroyWindow(h));
KAV_HANDLE_TRAITS(Bstr, BSTR, nullptr, ::SysFreeString(h));
KAV_HANDLE_TRAITS(SafeArray, SAFEARRAY*, nullptr, ::SafeArrayDestroy(h));
KAV_HANDLE_TRAITS(Find, HANDLE, INVALID_HANDLE_VALUE, ::FindClose(h));
KAV_HANDLE_TRAITS(Font, HFONT, nullptr, ::DeleteObject(h));
KAV_HANDLE_TRAITS(Bitmap, HBITMAP, nullptr, ::DeleteObject(h));
KAV_HANDLE_TRAITS(Icon, HICON, nullptr, ::DestroyIcon(h));
KAV_HANDLE_TRAITS(MemoryDc, HDC, nullptr, ::DeleteDC(h));
KAV_HANDLE_TRAITS(RegKey, HKEY, nullptr, ::RegCloseKey(h));
KAV_HANDLE_TRAITS(CoTaskMem, void*, nullptr, ::CoTaskMemFree(h));
KAV_HANDLE_TRAITS(LocalMem, void*, nullptr, ::LocalFree(h));
}  // namespace traits

using UniqueFileHandle = UniqueHandle<traits::File>;
using UniqueMappingHandle = UniqueHandle<traits::Handle>;
using UniqueKernelHandle = UniqueHandle<traits::Handle>;
using UniqueView = UniqueHandle<traits::View>;
using UniqueLibrary = UniqueHandle<traits::Library>;
using UniqueWindow = UniqueHandle<traits::Window>;
using UniqueBstr = UniqueHandle<traits::Bstr>;
using UniqueSafeArray = UniqueHandle<traits::SafeArray>;
using UniqueFind = UniqueHandle<traits::Find>;
using UniqueFont = UniqueHandle<traits::Font>;
using UniqueBitmap = UniqueHandle<traits::Bitmap>;
using UniqueIcon = UniqueHandle<traits::Icon>;
using UniqueMemoryDc = UniqueHandle<traits::MemoryDc>;  // CreateCompatibleDC
using UniqueRegKey = UniqueHandle<traits::RegKey>;
using UniqueCoTaskMem = UniqueHandle<traits::CoTaskMem>;
using UniqueLocalMem = UniqueHandle<traits::LocalMem>;  // FORMAT_MESSAGE_ALLOCATE_BUFFER

// A window's device context from GetDC, released to that window.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_) ::ReleaseDC(window_, dc_);
    }
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// An object selected into a device context, put back at the end of scope.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() {
        if (previous_ && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_);
    }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace kav
