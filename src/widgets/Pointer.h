#pragma once

// The window pointer: one setting per window, shown over all its controls,
// and the rules that change it as the mouse moves.

#include "platform/userio/Pointer.h"

#include <QCursor>
#include <QHash>
#include <QObject>
#include <optional>

class QWidget;

namespace widgets {

// Shows the setting over the window: the busy pointer or the hand (the arrow
// without one) over every control, or each control's own pointer.
void showPointer(QWidget& window, int setting, const std::optional<QCursor>& hand);

// The hand pointer from HAND-M.CUR beside the executable, when it is there.
std::optional<QCursor> loadHandCursor();

// A pointer from a cursor file with the file's hot spot; nothing when the file
// is missing or cannot be read.
std::optional<QCursor> readCursorFile(const QString& path);

// The pointer setting of one window and its hand pointer. The controls'
// pointers are set again only when the setting changes.
class WindowPointer {
public:
    explicit WindowPointer(QWidget& window) : window_(window) {}
    int setting() const { return setting_; }
    void set(int setting);
    // Loads HAND-M.CUR beside the executable and shows it if it is due.
    void loadHand();

private:
    QWidget& window_;
    int setting_ = userio::DefaultPointer;
    std::optional<QCursor> hand_;
};

// On every mouse movement over a window, sets the window's pointer to the
// setting of the control under the mouse, unless the window is busy. Controls
// registered without a setting, and their parts, change nothing.
class PointerRules : public QObject {
public:
    PointerRules(QWidget& window, userio::PointerSetting& setting);
    // Registers a control with the setting shown over it.
    void addRule(QWidget& control, int setting);
    // Registers a control over which the setting stays as it is.
    void addWithoutRule(QWidget& control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watch(QWidget& control);
    void applyRuleAt(const QPoint& globalPosition);

    QWidget& window_;
    userio::PointerSetting& setting_;
    QHash<const QWidget*, std::optional<int>> rules_;
};

} // namespace widgets
