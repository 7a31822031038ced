#include "setup/SetupWindow.h"
#include "shell/MainWindow.h"
#include "support/Recording.h"
#include "support/ScriptedDialogs.h"
#include "widgets/Pointer.h"

#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct NoOpener : odbc::Opener {
    std::unique_ptr<odbc::Connection> open(const odbc::OpenRequest&) override {
        throw odbc::Error(-1, "no data source in this test");
    }
};

// A movement of the mouse to a point of a control, as the window system
// delivers it.
void moveOver(QWidget& control, QPoint at = {2, 2}) {
    QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(control.mapToGlobal(at)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&control, &move);
}

class LayoutTest : public ::testing::Test {
protected:
    testing_support::ScriptedDialogs dialogs;
    testing_support::FixedSettings settings;
    NoOpener opener;
    commands::Runner runner;
};

} // namespace

TEST_F(LayoutTest, WindowsHaveTheirFixedSizeLookAndClickableButtons) {
    setup::SetupWindow form(dialogs, opener, runner);
    shell::MainWindow window(dialogs, settings, opener, runner);
    ASSERT_EQ(form.logicalDpiX(), 96);
    EXPECT_EQ(form.size(), QSize(425, 243));
    EXPECT_EQ(window.size(), QSize(488, 362));
    EXPECT_EQ(form.windowTitle(), "Setup Connections");
    for (QWidget* top : {static_cast<QWidget*>(&form), static_cast<QWidget*>(&window)}) {
        EXPECT_FALSE(top->windowFlags() & Qt::WindowMaximizeButtonHint);
        EXPECT_TRUE(top->windowFlags() & Qt::WindowMinimizeButtonHint);
        for (const QWidget* control : top->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            EXPECT_TRUE(control->font().bold()) << control->metaObject()->className();
            EXPECT_EQ(control->font().pointSize(), 9);
        }
    }
    // Buttons of the window lying in a frame are on top, so the whole button
    // takes clicks.
    form.show();
    window.show();
    for (QWidget* button :
         {form.controls().testFolderButton, window.controls().sendToTargetButton,
          window.controls().deleteParadoxButton, window.controls().renameTargetButton,
          window.controls().renameParadoxButton}) {
        const QRect area = button->geometry();
        for (const QPoint corner : {area.topLeft(), area.bottomRight(), area.center()}) {
            EXPECT_EQ(button->parentWidget()->childAt(corner), button);
        }
    }
}

TEST_F(LayoutTest, EnterAndEscapePressNothingAndSpacePressesOnce) {
    shell::MainWindow window(dialogs, settings, opener, runner);
    const auto& controls = window.controls();
    controls.targetList->add("a");
    window.show();
    QApplication::setActiveWindow(&window);
    int setups = 0;
    window.onSetup = [&] { ++setups; };
    controls.setupButton->setFocus();
    QTest::keyClick(controls.setupButton, Qt::Key_Return);
    QTest::keyClick(controls.setupButton, Qt::Key_Escape);
    QTest::keyClick(&window, Qt::Key_Enter);
    EXPECT_EQ(setups, 0);
    QTest::keyClick(controls.setupButton, Qt::Key_Space);
    EXPECT_EQ(setups, 1);
    EXPECT_EQ(controls.setupButton->value(), 0);
    controls.selectAllTargetButton->click();
    EXPECT_EQ(controls.targetList->selectedCount(), 1);
}

namespace {

// Moves over each control in turn and checks the pointer setting after each.
void expectPointers(userio::PointerSetting& window,
                    std::initializer_list<std::pair<QWidget*, int>> steps) {
    for (const auto& [control, pointer] : steps) {
        moveOver(*control, control->isWindow() ? QPoint(1, 1) : QPoint(2, 2));
        EXPECT_EQ(window.pointer(), pointer) << control->metaObject()->className();
    }
}

} // namespace

TEST_F(LayoutTest, PointerFollowsTheRulesOfTheSetupWindow) {
    setup::SetupWindow form(dialogs, opener, runner);
    const auto& controls = form.controls();
    form.show();
    const int plain = userio::DefaultPointer, hand = userio::CustomPointer;
    expectPointers(form, {{&form, plain},
                          {controls.okButton, hand},
                          {&form, plain},
                          {controls.pickFolderButton, hand}});
    // A text field after a button shows its own text cursor again.
    EXPECT_EQ(controls.folderField->cursor().shape(), Qt::ArrowCursor);
    expectPointers(form, {{controls.folderField, plain}});
    EXPECT_EQ(controls.folderField->cursor().shape(), Qt::IBeamCursor);
    // "Help" never sets the hand itself, and leaves the setting alone.
    expectPointers(form, {{controls.dataSourceFrame, plain},
                          {controls.helpButton, plain},
                          {controls.testDataSourceButton, hand},
                          {controls.helpButton, hand},
                          {controls.folderLabel, hand}});
}

TEST_F(LayoutTest, TheBusyPointerHoldsOverEverything) {
    shell::MainWindow window(dialogs, settings, opener, runner);
    const auto& controls = window.controls();
    window.show();
    window.setPointer(userio::BusyPointer);
    for (QWidget* control : std::initializer_list<QWidget*>{
             controls.sendToTargetButton, controls.targetList, controls.paradoxList->viewport(),
             controls.targetFrame, &window}) {
        moveOver(*control);
        EXPECT_EQ(window.pointer(), userio::BusyPointer);
        EXPECT_EQ(control->cursor().shape(), Qt::WaitCursor);
    }
    window.setPointer(userio::DefaultPointer);
    expectPointers(window, {{controls.sendToTargetButton, userio::CustomPointer},
                            {controls.paradoxList->viewport(), userio::DefaultPointer},
                            {controls.selectAllParadoxButton, userio::CustomPointer},
                            {controls.progressBar, userio::CustomPointer}});
}

TEST(HandCursor, IsReadWithItsHotSpot) {
    const std::optional<QCursor> hand =
        widgets::readCursorFile(QStringLiteral(ORVANDEL_RESOURCES_DIR "/HAND-M.CUR"));
    ASSERT_TRUE(hand.has_value());
    EXPECT_EQ(hand->hotSpot(), QPoint(10, 1));
    EXPECT_EQ(hand->pixmap().size(), QSize(32, 32));
    EXPECT_FALSE(widgets::readCursorFile(QStringLiteral("/nonexistent/HAND-M.CUR")).has_value());
}
