#pragma once

// The window pointer as the commands see it: one setting per window.

namespace userio {

enum Pointer : int { DefaultPointer = 0, BusyPointer = 11, CustomPointer = 99 };

class PointerSetting {
public:
    virtual ~PointerSetting() = default;
    virtual int pointer() const = 0;
    virtual void setPointer(int setting) = 0;
};

// Shows the busy pointer for as long as it lives, then the default pointer.
class BusyScope {
public:
    explicit BusyScope(PointerSetting& pointer) : pointer_(pointer) {
        pointer_.setPointer(BusyPointer);
    }
    ~BusyScope() { pointer_.setPointer(DefaultPointer); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    PointerSetting& pointer_;
};

} // namespace userio
