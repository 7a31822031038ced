#include "support/ScriptedDialogs.h"

#include <gtest/gtest.h>

namespace testing_support {

namespace {
template <typename T> T takeFirst(std::deque<T>& queue, const QString& what) {
    if (queue.empty()) {
        ADD_FAILURE() << "no scripted answer for " << what.toStdString();
        return T{};
    }
    T first = queue.front();
    queue.pop_front();
    return first;
}
} // namespace

void ScriptedDialogs::message(QWidget*, const QString& text) {
    shown.push_back({"message", text, userio::ApplicationTitle, {}, false});
    if (whileOpen) {
        whileOpen();
    }
}

userio::Dialogs::Answer ScriptedDialogs::ask(QWidget*, const QString& text, const QString& title,
                                             bool defaultYes) {
    shown.push_back({"ask", text, title, {}, defaultYes});
    if (whileOpen) {
        whileOpen();
    }
    return takeFirst(answers, "question " + text);
}

QString ScriptedDialogs::input(QWidget*, const QString& prompt, const QString& title,
                               const QString& defaultText) {
    shown.push_back({"input", prompt, title, defaultText, false});
    if (whileOpen) {
        whileOpen();
    }
    return takeFirst(inputs, "input " + prompt);
}

QString ScriptedDialogs::pickFolder(QWidget*, const QString& title) {
    shown.push_back({"pickFolder", title, title, {}, false});
    return takeFirst(folders, "folder pick " + title);
}

QStringList ScriptedDialogs::messages() const {
    QStringList texts;
    for (const Shown& dialog : shown) {
        if (dialog.kind == "message") {
            texts << dialog.text;
        }
    }
    return texts;
}

} // namespace testing_support
