#pragma once

// Shared window routine; the file routines of Main are in files/.

class QWidget;

namespace Main {

// Centres the window on its screen.
void CenterWindow(QWidget& window);

} // namespace Main
