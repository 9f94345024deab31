#pragma once
// One owner of a system resource (a descriptor, a handle, a socket), given
// back once when the owner lets go. Each kind names in its traits the type
// of its values, the value that holds nothing, which values are open, and
// how one is given back.

#include <utility>

namespace tarnwick::os {

template <typename Traits>
class UniqueResource {
public:
    using Value = typename Traits::Value;

    explicit UniqueResource(Value value = Traits::kNone) : value_(value) {}
    UniqueResource(UniqueResource&& other) noexcept : value_(other.Release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) {
            Reset();
            value_ = other.Release();
        }
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    ~UniqueResource() { Reset(); }

    Value get() const { return value_; }
    bool valid() const { return Traits::IsOpen(value_); }
    // Hands the value over; this owner then holds none.
    Value Release() { return std::exchange(value_, Traits::kNone); }
    void Reset() {
        if (valid()) {
            Traits::Close(std::exchange(value_, Traits::kNone));
        }
    }

private:
    Value value_;
};

}  // namespace tarnwick::os
