#include "shell/Application.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    shell::Application orvandel;
    orvandel.start();
    return app.exec();
}
