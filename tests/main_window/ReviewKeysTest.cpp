#include "main_window/ReviewKeys.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <map>
#include <memory>

#include "main_window/Form1.h"
#include "media_engine/clsDShowControl.h"
#include "platform/file_views/DriveList.h"
#include "platform/file_views/FolderList.h"
#include "platform/graph/GraphFactory.h"
#include "platform/widgets/ScrollBar.h"
#include "player_control/QVRControl.h"
#include "player_control/VideoSurface.h"
#include "support/FakeGraphWindowTest.h"

namespace corvid {
namespace {

// What a command can change in the window and its panels, with the graph calls it made.
struct Snapshot {
    QString caption;
    bool playEnabled;
    bool stopEnabled;
    bool timer;
    bool playing1;
    bool playing2;
    std::vector<std::string> calls;

    bool operator==(const Snapshot&) const = default;
};

void PrintTo(const Snapshot& s, std::ostream* out) {
    *out << s.caption.toStdString() << " play " << s.playEnabled << " stop " << s.stopEnabled
         << " timer " << s.timer << " playing " << s.playing1 << s.playing2 << " calls";
    for (const std::string& call : s.calls) *out << ' ' << call;
}

// The main window's keys on fake media graphs, over a real folder of empty recording files.
class ReviewKeysTest : public test::FakeGraphWindowTest {
protected:
    void SetUp() override {
        touch({"r-1.asf", "r-2.asf", "s-1.asf", "s-2.asf"});
        media("r-1.asf", 600);
        media("r-2.asf", 500);
        showWindow();
    }

    Snapshot snapshot() const {
        return {form->mnuPlay->text(),
                form->mnuPlay->isEnabled(),
                form->mnuClose->isEnabled(),
                form->timPS->isActive(),
                form->QVRControl1->engine()->DS_Playing,
                form->QVRControl2->engine()->DS_Playing,
                factory->log().calls()};
    }

    QLabel* speedLabel() const { return form->fraPlay->findChild<QLabel*>("lblSpeed"); }
};

TEST_F(ReviewKeysTest, space_changesExactlyWhatTheMenuCommandChanges_andNothingWhenDisabled) {
    form->hsVol->setFocus();  // focusing the list would select, and so load, its first line
    factory->log().clear();
    Snapshot before = snapshot();
    press(Qt::Key_Space);
    EXPECT_EQ(snapshot(), before);  // nothing loaded: the command is disabled

    selectLine("AB\tr");
    for (const char* from : {"playing", "paused"}) {
        SCOPED_TRACE(from);
        factory->log().clear();
        press(Qt::Key_Space);
        const Snapshot byKey = snapshot();
        form->mnuPlay->trigger();  // back to where the key started
        factory->log().clear();
        form->mnuPlay->trigger();
        EXPECT_EQ(byKey, snapshot());
    }

    // While a drag on the bar has disabled the command, Space does nothing either.
    form->P1_MouseDown(1, 0, 100, 0);
    factory->log().clear();
    before = snapshot();
    press(Qt::Key_Space);
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(ReviewKeysTest, arrows_seekEachPanelByItsOwnSeconds_clamped_whateverControlHasFocus) {
    selectLine("AB\tr");
    auto camera1 = graphOf("r-1.asf");
    auto camera2 = graphOf("r-2.asf");
    camera1->position = camera2->position = 100;
    const int row = form->lsASF->currentRow();

    form->lsASF->setFocus();
    press(Qt::Key_Right);
    EXPECT_EQ(camera1->position, 105);
    EXPECT_EQ(camera2->position, 105);
    EXPECT_EQ(form->lsASF->currentRow(), row);

    form->hsVol->setFocus();
    const int volume = form->hsVol->Value();
    press(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(camera1->position, 165);
    EXPECT_EQ(form->hsVol->Value(), volume);

    // Plain arrows are the volume's and the option buttons' own where they have the focus.
    press(Qt::Key_Left);
    press(Qt::Key_Left);
    EXPECT_EQ(camera1->position, 165);
    EXPECT_EQ(form->hsVol->Value(), volume - 10);
    form->optLeft->setFocus();
    press(Qt::Key_Right);
    EXPECT_EQ(camera1->position, 165);
    EXPECT_TRUE(form->optRight->isChecked());
    EXPECT_GT(camera2->volume, camera1->volume);  // camera 2 is heard, camera 1 is not
    press(Qt::Key_Left);
    EXPECT_TRUE(form->optLeft->isChecked());

    form->lsASF->setFocus();
    press(Qt::Key_Left);
    EXPECT_EQ(camera1->position, 160);

    // Each panel stops at its own end and at the start.
    camera1->position = 598;
    camera2->position = 498;
    press(Qt::Key_Right);
    EXPECT_EQ(camera1->position, 600);
    EXPECT_EQ(camera2->position, 500);
    camera1->position = camera2->position = 3;
    press(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(camera1->position, 0);
    EXPECT_EQ(camera2->position, 0);

    // Other modifiers leave the key to the control.
    press(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(camera1->position, 0);
}

TEST_F(ReviewKeysTest, keys_areLeftToTextFieldsAndModalBoxes) {
    selectLine("AB\tr");
    auto camera1 = graphOf("r-1.asf");
    camera1->position = 100;

    auto* field = new QLineEdit(form->centralWidget());
    field->show();
    field->setFocus();
    press(Qt::Key_Period);
    press(Qt::Key_Space);
    press(Qt::Key_Right);
    EXPECT_EQ(field->text(), ". ");
    EXPECT_EQ(camera1->position, 100);
    EXPECT_EQ(form->mnuPlay->text(), "Pause");

    QDialog box(form.get());
    box.setModal(true);
    box.show();
    ASSERT_EQ(QApplication::activeModalWidget(), &box);
    QTest::keyClick(form->lsASF, Qt::Key_Right);
    QTest::keyClick(form->lsASF, Qt::Key_Space);
    EXPECT_EQ(camera1->position, 100);
    EXPECT_EQ(form->mnuPlay->text(), "Pause");
    box.hide();
    QTest::keyClick(form->lsASF, Qt::Key_Right);
    EXPECT_EQ(camera1->position, 105);
}

TEST_F(ReviewKeysTest, seekKeys_redrawTheProgressAtOnce_whilePaused) {
    selectLine("AB\tr");
    form->mnuPlay->trigger();  // paused: the timer no longer redraws
    graphOf("r-1.asf")->position = 100;
    form->lsASF->setFocus();
    press(Qt::Key_Right);
    EXPECT_EQ(form->L1->text(), "00:01:45 / 00:10:00");
    EXPECT_FALSE(form->timPS->isActive());

    // Back to the start of both cameras: the bar shows the start, not the old times.
    graphOf("r-1.asf")->position = 3;
    press(Qt::Key_Left);
    EXPECT_EQ(form->L1->text(), "00:00:00 / 00:10:00");
    EXPECT_FLOAT_EQ(form->S1Width(), 0);
}

TEST_F(ReviewKeysTest, frameKeys_pauseThroughThePauseCommand_thenStepBothPanels) {
    selectLine("AB\tr");
    auto camera1 = graphOf("r-1.asf");
    auto camera2 = graphOf("r-2.asf");
    camera1->position = camera2->position = 10;
    factory->log().clear();

    form->lsASF->setFocus();
    press(Qt::Key_Period);
    EXPECT_EQ(form->mnuPlay->text(), "Play");
    EXPECT_FALSE(form->timPS->isActive());
    // Both cameras go to the pair's next picture, at one instant.
    EXPECT_EQ(factory->log().callsNamed({"Pause", "put_CurrentPosition"}),
              (std::vector<std::string>{"Pause()", "Pause()", "put_CurrentPosition(10.04)",
                                        "put_CurrentPosition(10.04)"}));
    EXPECT_DOUBLE_EQ(camera1->position, 10.04);
    EXPECT_DOUBLE_EQ(camera2->position, 10.04);

    factory->log().clear();
    press(Qt::Key_Comma);
    press(Qt::Key_Comma);
    EXPECT_EQ(factory->log().callsNamed({"Pause", "put_CurrentPosition"}).size(), 4u);
    EXPECT_NEAR(camera1->position, 9.96, 1e-9);
    EXPECT_NEAR(camera2->position, 9.96, 1e-9);

    // Space plays on from the stepped picture.
    press(Qt::Key_Space);
    EXPECT_EQ(form->mnuPlay->text(), "Pause");
    EXPECT_EQ(camera1->state, FakeGraph::State::Running);
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(ReviewKeysTest, frameKeys_stepTheOtherCamera_whenOneHasNoPicturesOrFails) {
    media("s-2.asf", 300).height = 0;  // camera 2 recorded sound only
    selectLine("AB\ts");
    auto camera1 = graphOf("s-1.asf");
    camera1->position = 5;
    form->lsASF->setFocus();
    factory->log().clear();
    press(Qt::Key_Period);
    // Camera 1's next picture; camera 2's sound follows to the same moment.
    EXPECT_EQ(factory->log().callsNamed({"put_CurrentPosition"}),
              (std::vector<std::string>{"put_CurrentPosition(5.04)", "put_CurrentPosition(5.04)"}));
    EXPECT_EQ(messages.count(), 0);

    selectLine("AB\tr");
    factory->log().clear();
    factory->log().failOn("put_CurrentPosition", 1);
    press(Qt::Key_Period);
    EXPECT_EQ(factory->log().callsNamed({"put_CurrentPosition"}).size(), 2u);
    EXPECT_DOUBLE_EQ(graphOf("r-2.asf")->position, 0.04);  // camera 2 stepped all the same
    EXPECT_EQ(messages.count(), 1);                        // the failure is told, once

    // A camera whose panel already shows why its file does not play is not told again.
    camera1 = graphOf("r-1.asf");
    camera1->position = 100;
    form->QVRControl2->setNotice("r-2.asf\ncannot be played");
    factory->log().failOn("put_CurrentPosition", 2);
    press(Qt::Key_Right);
    EXPECT_EQ(camera1->position, 105);
    EXPECT_EQ(messages.count(), 1);
}

TEST_F(ReviewKeysTest, speedKeys_halveAndDoubleWithinRange_andShowTheSpeedUnlessNormal) {
    selectLine("AB\tr");
    auto camera1 = graphOf("r-1.asf");
    auto camera2 = graphOf("r-2.asf");
    form->lsASF->setFocus();
    EXPECT_TRUE(speedLabel()->isHidden());

    press(Qt::Key_BracketRight);
    EXPECT_EQ(camera1->rate, 2.0);
    EXPECT_EQ(camera2->rate, 2.0);
    EXPECT_TRUE(speedLabel()->isVisible());
    EXPECT_EQ(speedLabel()->text(), "Speed 2x");
    for (int i = 0; i < 5; ++i) press(Qt::Key_BracketRight);
    EXPECT_EQ(camera1->rate, 16.0);
    EXPECT_EQ(speedLabel()->text(), "Speed 16x");
    for (int i = 0; i < 10; ++i) press(Qt::Key_BracketLeft);
    EXPECT_EQ(camera1->rate, 0.125);
    EXPECT_EQ(camera2->rate, 0.125);
    EXPECT_EQ(speedLabel()->text(), "Speed 1/8x");
    press(Qt::Key_Backspace);
    EXPECT_EQ(camera1->rate, 1.0);
    EXPECT_EQ(camera2->rate, 1.0);
    EXPECT_TRUE(speedLabel()->isHidden());

    // The label sits in the frame's title row, clear of the bar and the frame's title.
    press(Qt::Key_BracketRight);
    const QRect label = speedLabel()->geometry();
    EXPECT_FALSE(label.intersects(form->P1->geometry()));
    EXPECT_LE(label.right(), form->fraPlay->width());
    EXPECT_GT(label.left(), form->fraPlay->fontMetrics().horizontalAdvance(form->fraPlay->title()));
}

TEST_F(ReviewKeysTest, speed_staysLinkedThroughDragsStopAndLoads_untilChanged) {
    selectLine("AB\tr");
    form->lsASF->setFocus();
    press(Qt::Key_BracketRight);
    press(Qt::Key_BracketRight);

    form->P1_MouseDown(1, 0, 1000, 0);
    form->P1_MouseUp(1, 0, 1000, 0);
    EXPECT_EQ(graphOf("r-1.asf")->rate, 4.0);
    form->mnuPlay->trigger();
    form->mnuPlay->trigger();
    EXPECT_EQ(graphOf("r-2.asf")->rate, 4.0);

    form->mnuClose->trigger();
    selectLine("AB\ts");
    EXPECT_EQ(graphOf("s-1.asf")->rate, 4.0);
    EXPECT_EQ(graphOf("s-2.asf")->rate, 4.0);
    EXPECT_EQ(speedLabel()->text(), "Speed 4x");
    EXPECT_TRUE(speedLabel()->isVisible());
    // The rate is set after the file plays, so a refused rate cannot keep it from playing.
    EXPECT_EQ(graphOf("s-1.asf")->state, FakeGraph::State::Running);
}

TEST_F(ReviewKeysTest, fullScreenKey_takesThePanelUnderThePointer_andEscBringsItBack) {
    selectLine("AB\tr");
    auto camera1 = graphOf("r-1.asf");
    auto camera2 = graphOf("r-2.asf");
    form->lsASF->setFocus();

    QCursor::setPos(form->QVRControl2->mapToGlobal(form->QVRControl2->rect().center()));
    press(Qt::Key_F);
    EXPECT_EQ(camera2->fullScreenMode, -1);
    EXPECT_EQ(camera1->fullScreenMode, 0);
    EXPECT_EQ(form->QVRControl2->num, 0);  // counts double-clicks only
    press(Qt::Key_Escape);
    EXPECT_EQ(camera2->fullScreenMode, 0);

    QCursor::setPos(form->lsASF->mapToGlobal(QPoint(5, 5)));
    press(Qt::Key_F);
    EXPECT_EQ(camera1->fullScreenMode, -1);
    EXPECT_EQ(camera2->fullScreenMode, 0);
    press(Qt::Key_Escape);
    EXPECT_EQ(camera1->fullScreenMode, 0);
}

TEST_F(ReviewKeysTest, tab_visitsEveryControlInTheDesignsOrder_andTheListLoadsOnlyAChosenLine) {
    form->QVRControl1->PicVid->setFocus();
    const auto visit = [&](int stops) {
        QList<QWidget*> visited{QApplication::focusWidget()};
        for (int i = 1; i < stops; ++i) {
            press(Qt::Key_Tab);
            visited << QApplication::focusWidget();
        }
        return visited;
    };
    // Only the panels' pictures and the window's own controls are stops: the panels have
    // no room for their own row at this size.
    const QList<QWidget*> idle = visit(8);
    ASSERT_EQ(idle.size(), 8);
    EXPECT_EQ(idle[0], form->QVRControl1->PicVid);
    EXPECT_EQ(idle[1], form->QVRControl2->PicVid);
    EXPECT_EQ(idle[2], form->lsASF);
    EXPECT_TRUE(form->DrvList->isAncestorOf(idle[3]) || idle[3] == form->DrvList);
    EXPECT_TRUE(form->DirList->isAncestorOf(idle[4]) || idle[4] == form->DirList);
    EXPECT_EQ(idle[5], form->optLeft);
    EXPECT_EQ(idle[6], form->hsVol);
    EXPECT_EQ(factory->created(), 0);  // the list was passed through without a load

    // Into the list again: Enter chooses the line the focus brought, and the bar follows
    // the volume.
    form->QVRControl2->PicVid->setFocus();
    press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), form->lsASF);
    EXPECT_EQ(factory->created(), 0);
    press(Qt::Key_Return);
    ASSERT_EQ(factory->created(), 2);
    EXPECT_EQ(graphOf("r-1.asf")->renderedFile, folder.filePath("r-1.asf").toStdString());
    form->hsVol->setFocus();
    press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form->P1);
    // The bar's focus mark: amber at its edge, gone with the focus.
    EXPECT_EQ(form->P1->grab().toImage().pixelColor(0, 0), QColor(255, 176, 0));
    press(Qt::Key_Tab);
    EXPECT_NE(form->P1->grab().toImage().pixelColor(0, 0), QColor(255, 176, 0));
    EXPECT_EQ(form->QVRControl1->PicVid->grab().toImage().pixelColor(0, 0), QColor(255, 176, 0));
}

TEST_F(ReviewKeysTest, menuKeyAndShiftF10_openTheFocusedPanelsMenu) {
    selectLine("AB\tr");
    for (const auto& [key, modifiers] :
         {std::pair{Qt::Key_Menu, Qt::KeyboardModifiers{}},
          std::pair{Qt::Key_F10, Qt::KeyboardModifiers{Qt::ShiftModifier}}}) {
        form->QVRControl2->PicVid->setFocus();
        press(key, modifiers);
        EXPECT_TRUE(form->QVRControl2->mnuMain->isVisible()) << key;
        EXPECT_FALSE(form->QVRControl1->mnuMain->isVisible()) << key;
        form->QVRControl2->mnuMain->hide();
    }
}

// What a screen reader reaches walking down from the window: each interface by the
// object it stands for.
void collect(QAccessibleInterface* face, std::map<QObject*, QAccessibleInterface*>& found,
             int depth = 0) {
    if (face == nullptr || depth > 30) return;
    if (face->object() != nullptr) found.emplace(face->object(), face);
    for (int i = 0; i < face->childCount(); ++i) collect(face->child(i), found, depth + 1);
}

TEST_F(ReviewKeysTest, accessibleTree_namesEveryControlWithItsRoleAndState) {
    std::map<QObject*, QAccessibleInterface*> tree;
    collect(QAccessible::queryAccessibleInterface(form.get()), tree);
    // Read through the walk: a control it does not reach is not there for a reader.
    const auto read = [&](QWidget* widget) {
        const auto found = tree.find(widget);
        EXPECT_NE(found, tree.end()) << widget->objectName().toStdString();
        return found != tree.end() ? found->second : QAccessible::queryAccessibleInterface(widget);
    };
    for (QWidget* control : form->findChildren<QWidget*>()) {
        if (!control->isVisibleTo(form.get()) || !(control->focusPolicy() & Qt::TabFocus)) continue;
        const QAccessibleInterface* face = read(control);
        const std::string name = control->objectName().toStdString();
        EXPECT_FALSE(face->text(QAccessible::Name).isEmpty()) << name;
        EXPECT_NE(face->role(), QAccessible::NoRole) << name;
        EXPECT_NE(face->role(), QAccessible::Client) << name;
    }
    QAccessibleInterface* camera1 = read(form->QVRControl1->PicVid);
    QAccessibleInterface* camera2 = read(form->QVRControl2->PicVid);
    EXPECT_EQ(camera1->text(QAccessible::Name), "Camera 1");
    EXPECT_EQ(camera2->text(QAccessible::Name), "Camera 2");
    EXPECT_EQ(camera1->role(), QAccessible::Animation);
    EXPECT_EQ(camera1->text(QAccessible::Description), "No recording");
    EXPECT_TRUE(camera1->state().focusable);

    selectLine("AB\tr");
    EXPECT_EQ(camera1->text(QAccessible::Description), "r-1.asf, playing");
    EXPECT_EQ(camera2->text(QAccessible::Description), "r-2.asf, playing");
    form->mnuPlay->trigger();
    EXPECT_EQ(camera2->text(QAccessible::Description), "r-2.asf, paused");

    QAccessibleInterface* bar = read(form->P1);
    EXPECT_EQ(bar->role(), QAccessible::Slider);
    EXPECT_EQ(bar->text(QAccessible::Name), "Playback position");
    EXPECT_EQ(bar->text(QAccessible::Value), form->L1->text());
    EXPECT_FALSE(bar->text(QAccessible::Value).isEmpty());

    QAccessibleInterface* cam1 = read(form->optLeft);
    QAccessibleInterface* cam2 = read(form->optRight);
    EXPECT_EQ(cam1->role(), QAccessible::RadioButton);
    EXPECT_EQ(cam1->text(QAccessible::Name), "Cam1");
    EXPECT_EQ(cam2->text(QAccessible::Description), "Hear camera 2");
    EXPECT_TRUE(cam1->state().checked);
    EXPECT_FALSE(cam2->state().checked);

    QAccessibleInterface* volume = read(form->hsVol);
    EXPECT_EQ(volume->text(QAccessible::Name), "Volume");
    ASSERT_NE(volume->valueInterface(), nullptr);
    EXPECT_EQ(volume->valueInterface()->currentValue().toInt(), form->hsVol->value());
    EXPECT_EQ(read(form->lsASF)->text(QAccessible::Name), "Recordings");
    EXPECT_EQ(read(form->lsASF)->role(), QAccessible::List);
    QAccessibleInterface* drive = read(form->DrvList);
    EXPECT_EQ(drive->role(), QAccessible::ComboBox);
    EXPECT_EQ(drive->text(QAccessible::Name), "Drive");
    EXPECT_EQ(drive->text(QAccessible::Value), form->DrvList->currentText());
    EXPECT_FALSE(drive->text(QAccessible::Value).isEmpty());
    ASSERT_EQ(drive->childCount(), 1);
    EXPECT_EQ(drive->child(0)->role(), QAccessible::List) << "the drives it offers";
    EXPECT_EQ(drive->indexOfChild(drive->child(0)), 0);
    EXPECT_EQ(read(form->DirList)->text(QAccessible::Name), "Folder");
    EXPECT_EQ(read(form->DirList)->role(), QAccessible::Tree);
    EXPECT_EQ(volume->role(), QAccessible::ScrollBar);
}

TEST_F(ReviewKeysTest, stillsAndExport_askForARecording_whenNothingIsLoaded) {
    form->lsASF->setFocus();
    press(Qt::Key_S, Qt::ControlModifier);
    press(Qt::Key_E, Qt::ControlModifier);
    ASSERT_EQ(messages.count(), 2);
    for (const QString& text : messages.texts())
        EXPECT_TRUE(text.endsWith("\n\nLoad a recording first.")) << text.toStdString();
    EXPECT_EQ(factory->created(), 0);
}

TEST_F(ReviewKeysTest, helpMenu_followsTheTwoCommands_andListsEveryBinding) {
    const auto actions = form->menuBar()->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[0], form->mnuPlay);
    EXPECT_EQ(actions[1], form->mnuClose);
    QMenu* help = actions[2]->menu();
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->title(), "Help");
    QStringList entries;
    for (QAction* entry : help->actions()) {
        if (!entry->isSeparator()) entries << entry->text();
    }
    for (const QString key :
         {"Space", "Left", "Shift+Right", ",", ".", "[", "]", "Backspace", "F", "Esc"}) {
        EXPECT_EQ(entries.filter("\t" + key).size(), 1) << key.toStdString();
    }

    // An entry runs what its key runs.
    selectLine("AB\tr");
    for (QAction* entry : help->actions()) {
        if (entry->text().endsWith("\t]")) entry->trigger();
    }
    EXPECT_EQ(graphOf("r-1.asf")->rate, 2.0);
}

}  // namespace
}  // namespace corvid
