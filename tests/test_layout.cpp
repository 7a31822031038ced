#include "setup/Form1.h"
#include "shell/Form2.h"
#include "shell/Pointer.h"
#include "support/IsolatedSettings.h"
#include "support/Recording.h"
#include "support/ScriptedDialogs.h"

#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace {

[[maybe_unused]] ::testing::Environment* const settingsEnvironment =
    testing_support::isolateSettings();

struct NoOpener : odbc::Opener {
    std::unique_ptr<odbc::Connection> open(const odbc::OpenRequest&) override {
        throw odbc::Error(-1, "no data source in this test");
    }
};

// Pixels at 96 dpi: 15 twips a pixel.
QRect pixelsAt96(int left, int top, int width, int height) {
    return {left / 15, top / 15, width / 15, height / 15};
}

// A control, its parent and where it must be.
using Placement = std::tuple<QWidget*, QWidget*, QRect>;

void expectPlaced(const std::vector<Placement>& controls) {
    for (const auto& [control, parent, rect] : controls) {
        const std::string name = control->metaObject()->className();
        EXPECT_EQ(control->parentWidget(), parent) << name;
        EXPECT_EQ(control->geometry(), rect) << name;
        EXPECT_TRUE(control->font().bold()) << name;
        EXPECT_EQ(control->font().pointSize(), 9) << name;
    }
}

// The widgets that Tab visits, starting from the first one.
QList<QWidget*> tabOrderFrom(QWidget* first) {
    QList<QWidget*> order;
    QWidget* widget = first;
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isEnabled() &&
            widget->isVisibleTo(first->window())) {
            order << widget;
        }
        widget = widget->nextInFocusChain();
    } while (widget != first);
    return order;
}

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
};

} // namespace

TEST_F(LayoutTest, SetupWindowControlsSitWhereTheDesignPutsThem) {
    setup::Form1 form(dialogs, opener);
    ASSERT_EQ(form.logicalDpiX(), 96);
    EXPECT_EQ(form.size(), QSize(425, 243));
    EXPECT_EQ(form.windowTitle(), "Setup Connections");
    const std::vector<Placement> controls = {
        {form.Frame1, &form, pixelsAt96(120, 120, 6135, 1455)},
        {form.Label2, form.Frame1, pixelsAt96(240, 405, 1455, 255)},
        {form.Text1, form.Frame1, pixelsAt96(1680, 360, 3735, 330)},
        {form.Check5, form.Frame1, pixelsAt96(5520, 360, 325, 330)},
        {form.Check3, &form, pixelsAt96(360, 960, 5655, 375)},
        {form.Frame2, &form, pixelsAt96(120, 1640, 6135, 1420)},
        {form.Label5, form.Frame2, pixelsAt96(240, 405, 1695, 255)},
        {form.Text2, form.Frame2, pixelsAt96(2040, 360, 3855, 330)},
        {form.Check1, form.Frame2, pixelsAt96(120, 840, 4335, 375)},
        {form.Check4, form.Frame2, pixelsAt96(4560, 840, 1335, 375)},
        {form.Check2, &form, pixelsAt96(120, 3120, 6135, 375)},
    };
    expectPlaced(controls);
    EXPECT_EQ(tabOrderFrom(form.Text1),
              (QList<QWidget*>{form.Text1, form.Check5, form.Check3, form.Check2, form.Text2,
                               form.Check4, form.Check1}));
}

TEST_F(LayoutTest, MainWindowControlsSitWhereTheDesignPutsThem) {
    shell::Form2 window(dialogs, settings, opener);
    EXPECT_EQ(window.size(), QSize(488, 362));
    const std::vector<Placement> controls = {
        {window.Frame1, &window, pixelsAt96(120, 120, 3465, 4215)},
        {window.List1, window.Frame1, pixelsAt96(240, 360, 2970, 1635)},
        {window.Check10, window.Frame1, pixelsAt96(240, 2160, 1335, 375)},
        {window.Check11, window.Frame1, pixelsAt96(1680, 2160, 1575, 375)},
        {window.Check3, window.Frame1, pixelsAt96(240, 2640, 3015, 375)},
        {window.Check1, window.Frame1, pixelsAt96(240, 3120, 3015, 375)},
        {window.Check6, &window, pixelsAt96(360, 3720, 3015, 375)},
        {window.Frame2, &window, pixelsAt96(3720, 120, 3465, 4215)},
        {window.List2, window.Frame2, pixelsAt96(240, 360, 2970, 1635)},
        {window.Check8, window.Frame2, pixelsAt96(240, 2160, 1335, 375)},
        {window.Check9, window.Frame2, pixelsAt96(1680, 2160, 1575, 375)},
        {window.Check4, &window, pixelsAt96(3960, 2760, 3015, 375)},
        {window.Check5, &window, pixelsAt96(3960, 3240, 3015, 375)},
        {window.Check7, &window, pixelsAt96(3960, 3720, 3015, 375)},
        {window.ProgressBar1, &window, pixelsAt96(120, 4440, 7095, 375)},
        {window.Check2, &window, pixelsAt96(120, 4920, 7095, 375)},
    };
    expectPlaced(controls);
    EXPECT_EQ(tabOrderFrom(window.List1),
              (QList<QWidget*>{window.List1, window.List2, window.Check1, window.Check2,
                               window.Check4, window.Check5, window.Check6, window.Check7,
                               window.Check8, window.Check9, window.Check10, window.Check11}));
    // Buttons of the window lying in a frame are on top, so the whole button
    // takes clicks.
    window.show();
    for (QWidget* button : {window.Check4, window.Check5, window.Check6, window.Check7}) {
        const QRect area = button->geometry();
        for (const QPoint corner : {area.topLeft(), area.bottomRight(), area.center()}) {
            EXPECT_EQ(window.childAt(corner), button);
        }
    }
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
}

TEST_F(LayoutTest, EnterAndEscapePressNothingAndSpacePressesOnce) {
    shell::Form2 window(dialogs, settings, opener);
    window.List1->add("a");
    window.show();
    QApplication::setActiveWindow(&window);
    int setups = 0;
    window.onSetup = [&] { ++setups; };
    window.Check2->setFocus();
    QTest::keyClick(window.Check2, Qt::Key_Return);
    QTest::keyClick(window.Check2, Qt::Key_Escape);
    QTest::keyClick(&window, Qt::Key_Enter);
    EXPECT_EQ(setups, 0);
    QTest::keyClick(window.Check2, Qt::Key_Space);
    EXPECT_EQ(setups, 1);
    EXPECT_EQ(window.Check2->value(), 0);
    window.Check10->click();
    EXPECT_EQ(window.List1->selectedCount(), 1);
}

TEST_F(LayoutTest, PointerFollowsTheRulesOfTheSetupWindow) {
    setup::Form1 form(dialogs, opener);
    form.show();
    moveOver(form, {1, 1});
    EXPECT_EQ(form.pointer(), shell::DefaultPointer);
    moveOver(*form.Check2);
    EXPECT_EQ(form.pointer(), shell::CustomPointer);
    moveOver(form, {1, 1});
    EXPECT_EQ(form.pointer(), shell::DefaultPointer);

    // A text field after a button shows its own text cursor again.
    moveOver(*form.Check5);
    EXPECT_EQ(form.Text1->cursor().shape(), Qt::ArrowCursor);
    moveOver(*form.Text1);
    EXPECT_EQ(form.pointer(), shell::DefaultPointer);
    EXPECT_EQ(form.Text1->cursor().shape(), Qt::IBeamCursor);

    // "Help" never sets the hand itself, and leaves the setting alone.
    moveOver(*form.Frame2);
    moveOver(*form.Check4);
    EXPECT_EQ(form.pointer(), shell::DefaultPointer);
    moveOver(*form.Check1);
    moveOver(*form.Check4);
    EXPECT_EQ(form.pointer(), shell::CustomPointer);
    moveOver(*form.Label2);
    EXPECT_EQ(form.pointer(), shell::CustomPointer);
}

TEST_F(LayoutTest, TheBusyPointerHoldsOverEverything) {
    shell::Form2 window(dialogs, settings, opener);
    window.show();
    window.setPointer(shell::BusyPointer);
    for (QWidget* control : std::initializer_list<QWidget*>{
             window.Check4, window.List1, window.List2->viewport(), window.Frame1, &window}) {
        moveOver(*control);
        EXPECT_EQ(window.pointer(), shell::BusyPointer);
        EXPECT_EQ(control->cursor().shape(), Qt::WaitCursor);
    }
    window.setPointer(shell::DefaultPointer);
    moveOver(*window.Check4);
    EXPECT_EQ(window.pointer(), shell::CustomPointer);
    moveOver(*window.List2->viewport());
    EXPECT_EQ(window.pointer(), shell::DefaultPointer);
    moveOver(*window.Check8);
    moveOver(*window.ProgressBar1);
    EXPECT_EQ(window.pointer(), shell::CustomPointer);
}

TEST(HandCursor, IsReadWithItsHotSpot) {
    const std::optional<QCursor> hand =
        shell::readCursorFile(QStringLiteral(ORVANDEL_RESOURCES_DIR "/HAND-M.CUR"));
    ASSERT_TRUE(hand.has_value());
    EXPECT_EQ(hand->hotSpot(), QPoint(10, 1));
    EXPECT_EQ(hand->pixmap().size(), QSize(32, 32));
    EXPECT_FALSE(shell::readCursorFile(QStringLiteral("/nonexistent/HAND-M.CUR")).has_value());
}
