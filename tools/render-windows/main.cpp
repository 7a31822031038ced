// Renders both windows to PNG files so their look can be checked by eye:
//     QT_QPA_PLATFORM=offscreen render-windows <folder>

#include "setup/Form1.h"
#include "shell/Form2.h"

#include <QApplication>
#include <QDir>
#include <cstdio>

namespace {

struct ShownSettings : sources::LiveSettings {
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
    ui::QtDialogs dialogs;
    odbc::OdbcOpener opener;
    ShownSettings settings;

    commands::Runner runner;
    setup::Form1 form1(dialogs, opener, runner);
    form1.Text1->setText(settings.paradoxFolder());
    form1.Text2->setText(settings.dataSourceName());

    shell::Form2 form2(dialogs, settings, opener, runner);
    form2.setWindowTitle(QString::fromLatin1(ui::ApplicationTitle));
    for (const char* name : {"Customers", "Orders", "Order Details"}) {
        form2.List1->add(QString::fromLatin1(name));
    }
    for (const char* name : {"CUSTOMER", "ORDERS", "ITEMS", "VENDORS"}) {
        form2.List2->add(QString::fromLatin1(name));
    }
    form2.List2->setSelectedAt(1, true);
    form2.ProgressBar1->setPercent(40);

    const bool ok = saveImage(form1, folder.filePath(QStringLiteral("Form1.png"))) &&
                    saveImage(form2, folder.filePath(QStringLiteral("Form2.png")));
    return ok ? 0 : 1;
}
