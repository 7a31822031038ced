#pragma once

// Dialogs answered from a script, recording what was shown.

#include "platform/userio/Dialogs.h"

#include <QStringList>
#include <deque>
#include <functional>

namespace testing_support {

class ScriptedDialogs : public userio::Dialogs {
public:
    struct Shown {
        QString kind; // "message", "ask", "input" or "pickFolder"
        QString text; // message, question, prompt or title
        QString title;
        QString defaultText;
        bool defaultYes = false;
    };

    void message(QWidget* owner, const QString& text) override;
    Answer ask(QWidget* owner, const QString& text, const QString& title, bool defaultYes) override;
    QString input(QWidget* owner, const QString& prompt, const QString& title,
                  const QString& defaultText) override;
    QString pickFolder(QWidget* owner, const QString& title) override;

    // Answers, taken in order; a dialog without a scripted answer fails the test.
    std::deque<Answer> answers;
    std::deque<QString> inputs;
    std::deque<QString> folders;
    // Runs while a dialog is open, e.g. to press another button meanwhile.
    std::function<void()> whileOpen;

    std::vector<Shown> shown;
    QStringList messages() const;
};

} // namespace testing_support
