#include "widgets/Layout.h"

#include <QFont>
#include <QImage>
#include <QPixmap>
#include <QWidget>

namespace widgets {

int pixelsOf(const QWidget& widget, int twips) {
    return twips * widget.logicalDpiX() / 1440;
}

void place(QWidget& widget, int left, int top, int width, int height) {
    widget.setGeometry(pixelsOf(widget, left), pixelsOf(widget, top), pixelsOf(widget, width),
                       pixelsOf(widget, height));
}

void fixWindow(QWidget& window, int width, int height) {
    window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    window.setFixedSize(pixelsOf(window, width), pixelsOf(window, height));
    QImage transparent(32, 32, QImage::Format_ARGB32);
    transparent.fill(Qt::transparent);
    window.setWindowIcon(QPixmap::fromImage(transparent));
}

void applyLook(QWidget& window) {
    QFont font(QStringLiteral("Arial"), 9, QFont::Bold);
    font.setStyleHint(QFont::SansSerif);
    const QList<QWidget*> controls = window.findChildren<QWidget*>();
    for (QWidget* control : controls) {
        control->setFont(font);
    }
    // The buttons keep one look under the pointer: no hover colour.
    window.setStyleSheet(QStringLiteral("QWidget#%1, QGroupBox, QLabel { background-color: white; }"
                                        "QPushButton { background-color: white;"
                                        " border: 1px solid #7a7a7a; border-radius: 2px; }"
                                        "QPushButton:pressed { background-color: #e4e4e4; }"
                                        "QPushButton:disabled { color: #a0a0a0; }")
                             .arg(window.objectName()));
}

} // namespace widgets
