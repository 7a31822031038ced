#pragma once

// The controls both windows are built from.

#include "platform/userio/Progress.h"
#include "platform/userio/TableList.h"

#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <functional>

namespace widgets {

// A two-state push control: a press sets its value to 1; the action runs only
// when the value is 1, after setting it back to 0, so it runs once per press.
class PressButton : public QPushButton {
    Q_OBJECT
public:
    PressButton(const QString& caption, QWidget* parent);
    int value() const { return isChecked() ? 1 : 0; }
    void setValue(int value) { setChecked(value == 1); }
    void onPress(std::function<void()> action) { action_ = std::move(action); }
    bool hasAction() const { return static_cast<bool>(action_); }

private:
    void handleValueChange();
    std::function<void()> action_;
};

// A sorted list of table names where a click toggles an entry's selection.
// The current entry is -1 when the list is empty or was just cleared.
class TableListWidget : public QListWidget, public userio::TableList {
    Q_OBJECT
public:
    explicit TableListWidget(QWidget* parent);
    int count() const override { return QListWidget::count(); }
    QString textAt(int index) const override { return item(index)->text(); }
    bool isSelectedAt(int index) const override { return item(index)->isSelected(); }
    void setSelectedAt(int index, bool selected) override { item(index)->setSelected(selected); }
    int selectedCount() const override { return static_cast<int>(selectedItems().size()); }
    int current() const override { return currentRow(); }
    void setCurrent(int index) override;
    void add(const QString& text) override;
    void removeAt(int index) override { delete takeItem(index); }
    void clearAll() override;
    // The tooltip of an entry, worked out only when it is asked for; empty
    // for none.
    void onTip(std::function<QString(const QString& entry)> tip) { tip_ = std::move(tip); }

protected:
    bool viewportEvent(QEvent* event) override;

private:
    std::function<QString(const QString&)> tip_;
};

// The progress bar keeps the exact percentage it was given.
class ProgressBar : public QProgressBar, public userio::Progress {
    Q_OBJECT
public:
    explicit ProgressBar(QWidget* parent);
    void setPercent(double percent) override;
    double percent() const override { return percent_; }

signals:
    void percentChanged(double percent);

private:
    double percent_ = 0;
};

} // namespace widgets
