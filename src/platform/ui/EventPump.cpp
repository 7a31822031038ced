#include "platform/ui/EventPump.h"

#include <QCoreApplication>
#include <chrono>

namespace ui {

namespace {
constexpr auto interval = std::chrono::milliseconds(5);
int runningWork = 0;
bool stopRequested = false;
} // namespace

LongWork::LongWork() {
    ++runningWork;
}

LongWork::~LongWork() {
    if (--runningWork == 0) {
        stopRequested = false;
    }
}

void stopLongWork() {
    stopRequested = runningWork > 0;
}

void letEventsThrough() {
    using Clock = std::chrono::steady_clock;
    static Clock::time_point last{};
    if (stopRequested) {
        throw ProgramEnding{};
    }
    const auto now = Clock::now();
    if (now - last < interval) {
        return;
    }
    QCoreApplication::processEvents();
    last = Clock::now();
    if (stopRequested) {
        throw ProgramEnding{};
    }
}

} // namespace ui
