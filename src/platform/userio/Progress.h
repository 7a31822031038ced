#pragma once

// The progress bar as the commands see it: a percentage from 0 to 100.

namespace userio {

class Progress {
public:
    virtual ~Progress() = default;
    virtual void setPercent(double percent) = 0;
    virtual double percent() const = 0;
};

} // namespace userio
