// Runs every test of an executable inside a QApplication, so that window and
// event-loop tests work alongside plain ones, with the per-user settings in a
// folder of the run's own and no code page named by the user.

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Windows are never shown on a screen, also when tests are listed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const QTemporaryDir settings;
    if (!settings.isValid()) {
        return 1;
    }
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    // The code page the user may name for Paradox tables is not the tests'.
    qunsetenv("ORVANDEL_CODE_PAGE");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
