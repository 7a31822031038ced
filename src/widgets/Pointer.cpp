#include "widgets/Pointer.h"

#include "files/Files.h"

#include <QCoreApplication>
#include <QFile>
#include <QMouseEvent>
#include <QPixmap>
#include <QWidget>

namespace widgets {

namespace {
constexpr auto ownCursorProperty = "orvandelOwnCursor";

// Remembers a control's own pointer before the window's setting covers it.
void rememberOwnCursor(QWidget& control) {
    if (control.property(ownCursorProperty).isValid()) {
        return;
    }
    const bool hasOwn = control.testAttribute(Qt::WA_SetCursor);
    control.setProperty(ownCursorProperty,
                        hasOwn ? QVariant::fromValue(control.cursor()) : QVariant(false));
}

void restoreOwnCursor(QWidget& control) {
    const QVariant own = control.property(ownCursorProperty);
    if (own.canConvert<QCursor>() && own.typeId() == QMetaType::QCursor) {
        control.setCursor(own.value<QCursor>());
    } else {
        control.unsetCursor();
    }
}
} // namespace

void showPointer(QWidget& window, int setting, const std::optional<QCursor>& hand) {
    QList<QWidget*> controls = window.findChildren<QWidget*>();
    controls.prepend(&window);
    for (QWidget* control : controls) {
        rememberOwnCursor(*control);
        if (setting == userio::BusyPointer) {
            control->setCursor(Qt::WaitCursor);
        } else if (setting == userio::CustomPointer) {
            control->setCursor(hand ? *hand : QCursor(Qt::ArrowCursor));
        } else {
            restoreOwnCursor(*control);
        }
    }
}

std::optional<QCursor> loadHandCursor() {
    return readCursorFile(QCoreApplication::applicationDirPath() + QStringLiteral("/HAND-M.CUR"));
}

std::optional<QCursor> readCursorFile(const QString& path) {
    if (!files::fileExists(path)) {
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    QPixmap image;
    // The directory entry of the first image holds the hot spot at bytes 10 to 13.
    if (bytes.size() < 22 || !image.loadFromData(bytes, "cur")) {
        return std::nullopt;
    }
    const auto wordAt = [&bytes](int offset) {
        return static_cast<unsigned char>(bytes[offset]) |
               static_cast<unsigned char>(bytes[offset + 1]) << 8;
    };
    return QCursor(image, wordAt(10), wordAt(12));
}

void WindowPointer::set(int setting) {
    if (setting == setting_) {
        return;
    }
    setting_ = setting;
    showPointer(window_, setting_, hand_);
}

void WindowPointer::loadHand() {
    hand_ = loadHandCursor();
    if (setting_ == userio::CustomPointer) {
        showPointer(window_, setting_, hand_);
    }
}

PointerRules::PointerRules(QWidget& window, userio::PointerSetting& setting)
    : QObject(&window), window_(window), setting_(setting) {
    addRule(window, userio::DefaultPointer);
}

void PointerRules::addRule(QWidget& control, int setting) {
    rules_.insert(&control, setting);
    watch(control);
}

void PointerRules::addWithoutRule(QWidget& control) {
    rules_.insert(&control, std::nullopt);
    watch(control);
}

void PointerRules::watch(QWidget& control) {
    QList<QWidget*> parts = control.findChildren<QWidget*>();
    parts.prepend(&control);
    for (QWidget* part : parts) {
        part->setMouseTracking(true);
        part->installEventFilter(this);
    }
}

bool PointerRules::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        applyRuleAt(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
    }
    return QObject::eventFilter(watched, event);
}

// A movement reaches the control under the mouse and, when ignored there, its
// parents too; the rule is taken from the control under the mouse each time.
void PointerRules::applyRuleAt(const QPoint& globalPosition) {
    if (setting_.pointer() == userio::BusyPointer) {
        return;
    }
    const QWidget* under = window_.childAt(window_.mapFromGlobal(globalPosition));
    if (!under) {
        under = &window_;
    }
    while (under && !rules_.contains(under)) {
        under = under->parentWidget();
    }
    if (!under) {
        return;
    }
    if (const std::optional<int> rule = rules_.value(under)) {
        setting_.setPointer(*rule);
    }
}

} // namespace widgets
