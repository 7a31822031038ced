#include "platform/userio/Dialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace userio {

QString displayText(const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

void QtDialogs::message(QWidget* owner, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, ApplicationTitle, displayText(text), QMessageBox::Ok,
                    owner);
    box.exec();
}

Dialogs::Answer QtDialogs::ask(QWidget* owner, const QString& text, const QString& title,
                               bool defaultYes) {
    QMessageBox box(QMessageBox::NoIcon, title, displayText(text),
                    QMessageBox::Yes | QMessageBox::No, owner);
    box.setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

QString QtDialogs::input(QWidget* owner, const QString& prompt, const QString& title,
                         const QString& defaultText) {
    bool accepted = false;
    const QString answer =
        QInputDialog::getText(owner, title, prompt, QLineEdit::Normal, defaultText, &accepted);
    return accepted ? answer : QString();
}

QString QtDialogs::pickFolder(QWidget* owner, const QString& title) {
    const QString folder = QFileDialog::getExistingDirectory(
        owner, title, QString(), QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    return folder.isEmpty() ? QString() : QFileInfo(folder).absoluteFilePath();
}

} // namespace userio
