#include "widgets/CenterWindow.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace widgets {

void centerWindow(QWidget& window) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen) {
        return;
    }
    const QRect available = screen->geometry();
    const QSize outer = window.frameGeometry().size();
    window.move(available.x() + (available.width() - outer.width()) / 2,
                available.y() + (available.height() - outer.height()) / 2);
}

} // namespace widgets
