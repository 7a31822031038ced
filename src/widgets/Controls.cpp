#include "widgets/Controls.h"

#include "platform/userio/EventPump.h"

#include <QHelpEvent>
#include <QToolTip>

namespace widgets {

PressButton::PressButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setCheckable(true);
    setAutoDefault(false);
    setDefault(false);
    connect(this, &QPushButton::toggled, this, &PressButton::handleValueChange);
}

void PressButton::handleValueChange() {
    if (value() != 1) {
        return;
    }
    setValue(0);
    if (action_) {
        action_();
    }
}

namespace {

// An entry that sorts in the lists' order.
class TableItem : public QListWidgetItem {
public:
    using QListWidgetItem::QListWidgetItem;
    bool operator<(const QListWidgetItem& other) const override {
        return userio::sortsBefore(text(), other.text());
    }
};

} // namespace

TableListWidget::TableListWidget(QWidget* parent) : QListWidget(parent) {
    setSortingEnabled(true);
    setSelectionMode(QAbstractItemView::MultiSelection);
    // Every entry is one line of the same font; the view then lays out and
    // repaints a list of thousands without measuring each entry.
    setUniformItemSizes(true);
}

void TableListWidget::setCurrent(int index) {
    setCurrentRow(index, QItemSelectionModel::NoUpdate);
}

void TableListWidget::add(const QString& text) {
    addItem(new TableItem(text));
}

void TableListWidget::clearAll() {
    clear();
    setCurrentRow(-1);
}

bool TableListWidget::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip || !tip_) {
        return QListWidget::viewportEvent(event);
    }
    const auto* help = static_cast<QHelpEvent*>(event);
    QListWidgetItem* entry = itemAt(help->pos());
    QString text;
    try {
        text = entry ? tip_(entry->text()) : QString();
    } catch (const userio::ProgramEnding&) {
        // The program ends while a command runs: no exception may cross Qt's
        // event dispatch, and the command stops at its own next chance.
    }
    if (text.isEmpty()) {
        QToolTip::hideText();
    } else {
        QToolTip::showText(help->globalPos(), text, viewport(), visualItemRect(entry));
    }
    return true;
}

ProgressBar::ProgressBar(QWidget* parent) : QProgressBar(parent) {
    setRange(0, 10000);
    setValue(0);
    setTextVisible(false);
}

// The bar is only told a new value when that changes what it draws: the
// filled width in pixels, or an end.
void ProgressBar::setPercent(double percent) {
    percent_ = percent;
    const int next = static_cast<int>(percent * 100.0 + 0.5);
    const auto filled = [this](int v) { return static_cast<qint64>(v) * width() / maximum(); };
    if (next != value() &&
        (next == minimum() || next == maximum() || filled(next) != filled(value()))) {
        setValue(next);
    }
    emit percentChanged(percent);
}

} // namespace widgets
