#include "platform/userio/EventPump.h"

#include <QCoreApplication>
#include <chrono>
#include <ctime>

namespace userio {

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

namespace {

// The coarse clock costs a memory read where the precise one reads the
// processor's counter; its steps of a few milliseconds are fine for this.
std::chrono::nanoseconds coarseNow() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

} // namespace

void letEventsThrough() {
    static std::chrono::nanoseconds last{};
    if (stopRequested) {
        throw ProgramEnding{};
    }
    if (coarseNow() - last < interval) {
        return;
    }
    QCoreApplication::processEvents();
    last = coarseNow();
    if (stopRequested) {
        throw ProgramEnding{};
    }
}

} // namespace userio
