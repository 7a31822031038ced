#include "platform/ui/EventPump.h"

#include <QCoreApplication>
#include <chrono>

namespace ui {

namespace {
constexpr auto interval = std::chrono::milliseconds(5);
}

void letEventsThrough() {
    using Clock = std::chrono::steady_clock;
    static Clock::time_point last{};
    const auto now = Clock::now();
    if (now - last < interval) {
        return;
    }
    QCoreApplication::processEvents();
    last = Clock::now();
}

} // namespace ui
