// Renders both windows to PNG files so their look can be checked by eye:
//     QT_QPA_PLATFORM=offscreen render-windows <folder>

#include "setup/SetupWindow.h"
#include "shell/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <cstdio>

namespace {

struct ShownSettings : sources::ConnectionSettings {
    QString paradoxFolder() const override { return QStringLiteral("/home/user/paradox"); }
    QString dataSourceName() const override { return QStringLiteral("Accounts"); }
};

bool saveImage(QWidget& window, const QString& path) {
    window.show();
    QCoreApplication::processEvents();
    const bool saved = window.grab().save(path, "PNG");
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: render-windows <folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    userio::QtDialogs dialogs;
    odbc::OdbcOpener opener;
    ShownSettings settings;

    commands::Runner runner;
    setup::SetupWindow setupWindow(dialogs, opener, runner);
    setupWindow.controls().folderField->setText(settings.paradoxFolder());
    setupWindow.controls().dataSourceField->setText(settings.dataSourceName());

    shell::MainWindow mainWindow(dialogs, settings, opener, runner);
    mainWindow.setWindowTitle(QString::fromLatin1(userio::ApplicationTitle));
    for (const char* name : {"Customers", "Orders", "Order Details"}) {
        mainWindow.controls().targetList->add(QString::fromLatin1(name));
    }
    for (const char* name : {"CUSTOMER", "ORDERS", "ITEMS", "VENDORS"}) {
        mainWindow.controls().paradoxList->add(QString::fromLatin1(name));
    }
    mainWindow.controls().paradoxList->setSelectedAt(1, true);
    mainWindow.controls().progressBar->setPercent(40);

    const bool ok = saveImage(setupWindow, folder.filePath(QStringLiteral("SetupWindow.png"))) &&
                    saveImage(mainWindow, folder.filePath(QStringLiteral("MainWindow.png")));
    return ok ? 0 : 1;
}
