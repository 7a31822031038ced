#pragma once

// Placing controls from design units (twips, 1440 to the inch).

class QWidget;

namespace widgets {

// Twips to device-independent pixels at the widget's logical density.
int pixelsOf(const QWidget& widget, int twips);

// Sets the widget's geometry within its parent, all in twips.
void place(QWidget& widget, int left, int top, int width, int height);

// Gives a top-level window its fixed client size (twips), a single border,
// a minimise button and no maximise button.
void fixWindow(QWidget& window, int width, int height);

// The shared look: white backgrounds and Arial 9 pt bold on every control.
void applyLook(QWidget& window);

} // namespace widgets
