#pragma once

namespace ui {

// Lets pending window events run during long work, so the window repaints and
// stays responsive. Cheap enough to call per value: it hands control to the
// event loop at most every few milliseconds.
void letEventsThrough();

} // namespace ui
