// An owning reference to a COM interface: Release exactly once.  The one COM
// pointer of the commands, kavhost and the tests.  Beside it, the
// descriptions that a type library or type description lends out, given
// back at the end of scope.
#pragma once
#include <oaidl.h>
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

// A TYPEATTR, FUNCDESC or TLIBATTR lent by `owner`, which must outlive it.
template <class Owner, class T, void (STDMETHODCALLTYPE Owner::*GiveBack)(T*)>
class Lent {
public:
    explicit Lent(Owner* owner) : owner_(owner) {}
    Lent(const Lent&) = delete;
    Lent& operator=(const Lent&) = delete;
    ~Lent() { reset(); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    T** put() { reset(); return &p_; }
    void reset() {
        if (T* old = std::exchange(p_, nullptr)) (owner_->*GiveBack)(old);
    }

private:
    Owner* owner_;
    T* p_ = nullptr;
};

using TypeAttrRef = Lent<ITypeInfo, TYPEATTR, &ITypeInfo::ReleaseTypeAttr>;
using FuncDescRef = Lent<ITypeInfo, FUNCDESC, &ITypeInfo::ReleaseFuncDesc>;
using LibAttrRef = Lent<ITypeLib, TLIBATTR, &ITypeLib::ReleaseTLibAttr>;

}  // namespace kav
