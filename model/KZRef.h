#pragma once
// A strong reference to a file record. Records count their own references (a record is the
// only allocation per scanned item, so there is no separate control block); the last release
// frees it, and freeing a folder releases its children without recursion.

// moc reads this header too: <cstddef> must come before <compare> for it.
// clang-format off
#include <cstddef>
#include <compare>
// clang-format on
#include <functional>
#include <type_traits>
#include <utility>

template <class T>
class KZRef {
public:
    KZRef() = default;
    KZRef(std::nullptr_t) {}
    KZRef(T* p) : p_(p)
    {
        if (p_) p_->retain();
    }
    KZRef(const KZRef& o) : KZRef(o.p_) {}
    KZRef(KZRef&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    // clang-format 14 does not lay out requires-clauses.
    // clang-format off
    template <class U>
        requires std::is_convertible_v<U*, T*>
    KZRef(const KZRef<U>& o) : KZRef(static_cast<T*>(o.get()))
    {
    }
    template <class U>
        requires std::is_convertible_v<U*, T*>
    KZRef(KZRef<U>&& o) noexcept : p_(static_cast<T*>(o.release()))
    {
    }
    // clang-format on
    ~KZRef()
    {
        if (p_) p_->release();
    }
    KZRef& operator=(KZRef o) noexcept
    {
        std::swap(p_, o.p_);
        return *this;
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // Gives up ownership without releasing.
    T* release() { return std::exchange(p_, nullptr); }
    // Takes over a pointer whose reference is already counted.
    static KZRef adopt(T* p)
    {
        KZRef r;
        r.p_ = p;
        return r;
    }
    friend bool operator==(const KZRef& a, const KZRef& b) { return a.p_ == b.p_; }
    friend bool operator==(const KZRef& a, const T* b) { return a.p_ == b; }
    friend bool operator==(const KZRef& a, std::nullptr_t) { return a.p_ == nullptr; }
    friend auto operator<=>(const KZRef& a, const KZRef& b) { return std::compare_three_way()(a.p_, b.p_); }

private:
    T* p_ = nullptr;
};

template <class T>
struct std::hash<KZRef<T>> {
    size_t operator()(const KZRef<T>& r) const noexcept { return std::hash<T*>()(r.get()); }
};
