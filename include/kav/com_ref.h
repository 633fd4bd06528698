// An owning reference to a COM interface: Release exactly once.  The one COM
// pointer of the library's users, kavhost and the tests.
#pragma once
#include <unknwn.h>
#include <utility>

namespace kav {

template <class T>
class ComRef {
public:
    ComRef() = default;
    explicit ComRef(T* adopted) : p_(adopted) {}  // takes over a reference already counted
    ComRef(ComRef&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComRef& operator=(ComRef&& other) noexcept {
        if (this != &other) reset(std::exchange(other.p_, nullptr));
        return *this;
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() { reset(); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    T** put() { reset(); return &p_; }
    void** putVoid() { return reinterpret_cast<void**>(put()); }
    T* detach() { return std::exchange(p_, nullptr); }
    void reset(T* p = nullptr) {
        if (T* old = std::exchange(p_, p)) old->Release();
    }

private:
    T* p_ = nullptr;
};

}  // namespace kav
