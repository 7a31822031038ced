#pragma once

// Table lists for tests: their contents, a list without widgets, empty files.

#include "platform/userio/TableList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

namespace testing_support {

inline QStringList entriesOf(const userio::TableList& list) {
    QStringList names;
    for (int i = 0; i < list.count(); ++i) {
        names << list.textAt(i);
    }
    return names;
}

// A table list without widgets. Sorted like the window's lists, or in the
// order entries were added, so that tests see the order a catalogue delivers.
class MemoryList : public userio::TableList {
public:
    enum class Order { Sorted, AsAdded };
    explicit MemoryList(Order order = Order::Sorted) : order_(order) {}

    struct Entry {
        QString text;
        bool selected = false;
    };
    std::vector<Entry> entries;
    int currentIndex = -1;

    int count() const override { return static_cast<int>(entries.size()); }
    QString textAt(int index) const override { return entries.at(index).text; }
    bool isSelectedAt(int index) const override { return entries.at(index).selected; }
    void setSelectedAt(int index, bool selected) override { entries.at(index).selected = selected; }
    int selectedCount() const override {
        return static_cast<int>(std::count_if(entries.begin(), entries.end(),
                                              [](const Entry& e) { return e.selected; }));
    }
    int current() const override { return currentIndex; }
    void setCurrent(int index) override { currentIndex = index; }
    void add(const QString& text) override {
        auto place = entries.end();
        if (order_ == Order::Sorted) {
            place = std::upper_bound(
                entries.begin(), entries.end(), text,
                [](const QString& t, const Entry& e) { return userio::sortsBefore(t, e.text); });
        }
        entries.insert(place, {text});
    }
    void removeAt(int index) override { entries.erase(entries.begin() + index); }
    void clearAll() override {
        entries.clear();
        currentIndex = -1;
    }

private:
    Order order_;
};

// Adds the entries, selects those named in selected and makes the first
// entry current.
inline void fill(userio::TableList& list, const QStringList& entries, const QStringList& selected) {
    for (const QString& entry : entries) {
        list.add(entry);
    }
    for (int i = 0; i < list.count(); ++i) {
        list.setSelectedAt(i, selected.contains(list.textAt(i)));
    }
    list.setCurrent(0);
}

// An empty file, with the folders above it.
inline void touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

} // namespace testing_support
