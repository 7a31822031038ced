#pragma once

// The dialogs the windows use. Windows never open message boxes themselves,
// so tests can answer them with a scripted stand-in.

#include <QString>

class QWidget;

namespace userio {

inline constexpr auto ApplicationTitle = "Orvandel";

class Dialogs {
public:
    enum class Answer { Yes, No };

    virtual ~Dialogs() = default;
    // A message box titled "Orvandel" with OK and no icon.
    virtual void message(QWidget* owner, const QString& text) = 0;
    // A question with Yes and No, no icon; defaultYes makes Yes the default.
    virtual Answer ask(QWidget* owner, const QString& text, const QString& title,
                       bool defaultYes) = 0;
    // An input box titled title, offering defaultText; the empty string on Cancel.
    virtual QString input(QWidget* owner, const QString& prompt, const QString& title,
                          const QString& defaultText) = 0;
    // A modal folder chooser showing title, folders only; an absolute path, or
    // the empty string on Cancel.
    virtual QString pickFolder(QWidget* owner, const QString& title) = 0;
};

// Message boxes, input boxes and the folder chooser of Qt.
class QtDialogs : public Dialogs {
public:
    void message(QWidget* owner, const QString& text) override;
    Answer ask(QWidget* owner, const QString& text, const QString& title, bool defaultYes) override;
    QString input(QWidget* owner, const QString& prompt, const QString& title,
                  const QString& defaultText) override;
    QString pickFolder(QWidget* owner, const QString& title) override;
};

// Qt breaks lines only at line feeds; carriage returns stand for line breaks
// in the program's texts.
QString displayText(const QString& text);

} // namespace userio
