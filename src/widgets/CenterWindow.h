#pragma once

// The window routine of Main; its file routines are in files/.

class QWidget;

namespace Main {

// Centres the window on its screen.
void CenterWindow(QWidget& window);

} // namespace Main
