#pragma once

namespace userio {

// Lets pending window events run during long work, so the window repaints and
// stays responsive. Cheap enough to call per value: it hands control to the
// event loop at most every few milliseconds. Throws ProgramEnding once the
// program was asked to end while the work runs.
void letEventsThrough();

// Thrown out of long work when the program is to end; not an error.
struct ProgramEnding {};

// Marks long work (a command, loading the lists) for as long as it lives.
class LongWork {
public:
    LongWork();
    ~LongWork();
    LongWork(const LongWork&) = delete;
    LongWork& operator=(const LongWork&) = delete;
};

// Asks the long work that runs, if any, to stop at its next chance.
void stopLongWork();

} // namespace userio
