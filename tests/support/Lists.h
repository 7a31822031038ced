#pragma once

// Small helpers of the window tests: list contents and empty files.

#include "shell/Controls.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <gtest/gtest.h>

namespace testing_support {

inline QStringList entriesOf(const QListWidget& list) {
    QStringList names;
    for (int i = 0; i < list.count(); ++i) {
        names << list.item(i)->text();
    }
    return names;
}

// Adds the entries, selects those named in selected and makes the first
// entry current.
inline void fill(shell::TableList& list, const QStringList& entries, const QStringList& selected) {
    for (const QString& entry : entries) {
        list.add(entry);
    }
    for (int i = 0; i < list.count(); ++i) {
        list.setSelectedAt(i, selected.contains(list.textAt(i)));
    }
    list.setCurrentRow(0, QItemSelectionModel::NoUpdate);
}

// An empty file, with the folders above it.
inline void touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

} // namespace testing_support
