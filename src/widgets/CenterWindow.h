#pragma once

// Placing a window on the screen.

class QWidget;

namespace widgets {

// Centres the window on its screen.
void centerWindow(QWidget& window);

} // namespace widgets
