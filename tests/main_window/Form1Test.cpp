#include "main_window/Form1.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <memory>

#include "main_window/RecordingScan.h"
#include "media_engine/clsDShowControl.h"
#include "platform/file_views/FolderList.h"
#include "platform/files/FileSystem.h"
#include "platform/graph/GraphFactory.h"
#include "platform/widgets/ScrollBar.h"
#include "player_control/QVRControl.h"
#include "support/FakeFileSystem.h"
#include "support/FakeGraphWindowTest.h"

namespace corvid {
namespace {

// Relative luminance and contrast ratio as the web's accessibility guidelines define them.
double luminance(const QColor& colour) {
    const auto linear = [](int channel) {
        const double v = channel / 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.red()) + 0.7152 * linear(colour.green()) +
           0.0722 * linear(colour.blue());
}

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The highest contrast against `background` of the pixels of `image` inside `area`:
// where text is drawn, that of the text's own colour.
double strongestContrast(const QImage& image, const QRect& area, const QColor& background) {
    double strongest = 1.0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            strongest = std::max(strongest, contrast(image.pixelColor(x, y), background));
        }
    }
    return strongest;
}

// How many pixels of a widget are clearly of one primary colour (0 red, 2 blue).
int pixelsOfPrimary(QWidget* widget, int primary) {
    const QImage image = widget->grab().toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const int channels[] = {c.red(), c.green(), c.blue()};
            int others = 0;
            for (int i = 0; i < 3; ++i) {
                if (i != primary) others = std::max(others, channels[i]);
            }
            if (channels[primary] - others > 100) ++count;
        }
    }
    return count;
}

// The main window on fake media graphs, over a real folder of empty recording files.
class Form1Test : public test::FakeGraphWindowTest {
protected:
    void open() {
        form = std::make_unique<Form1>();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        form->setWidth(FormLayout::MinimumWidth);
        form->setHeight(FormLayout::MinimumHeight);
        QCoreApplication::processEvents();
        form->DirList->setPath(folder.path());
        QCoreApplication::processEvents();
    }

    int row(const QString& line) const {
        for (int i = 0; i < form->lsASF->count(); ++i) {
            if (form->lsASF->item(i)->text() == line) return i;
        }
        return -1;
    }

    void loadPair(double seconds1 = 600, double seconds2 = 500) {
        touch({"r-1.asf", "r-2.asf"});
        media("r-1.asf", seconds1);
        media("r-2.asf", seconds2);
        open();
        selectLine("AB\tr");
        ASSERT_TRUE(graphOf("r-1.asf"));
        ASSERT_TRUE(graphOf("r-2.asf"));
    }

    bool idle() const {
        return form->mnuPlay->text() == "Play" && !form->mnuPlay->isEnabled() &&
               !form->mnuClose->isEnabled() && !form->timPS->isActive();
    }
};

// ---- Start-up and layout ----------------------------------------------------------------

TEST_F(Form1Test, start_showsDesignValues_andIdleCommandsWithRunningTimer) {
    open();
    EXPECT_EQ(form->windowTitle(), "Corvid");
    // The two commands come first; a Help menu may follow them.
    const auto actions = form->menuBar()->actions();
    ASSERT_GE(actions.size(), 2);
    EXPECT_EQ(actions[0], form->mnuPlay);
    EXPECT_EQ(actions[1], form->mnuClose);
    EXPECT_EQ(form->mnuClose->text(), "Stop");
    EXPECT_FALSE(form->mnuPlay->isEnabled());
    EXPECT_FALSE(form->mnuClose->isEnabled());
    EXPECT_TRUE(form->timPS->isActive());
    EXPECT_EQ(form->timPS->interval(), 1000);
    EXPECT_TRUE(form->P1->isEnabled());
    EXPECT_TRUE(form->optLeft->isChecked());
    EXPECT_EQ(form->hsVol->Value(), 75);
    EXPECT_EQ(form->hsVol->Max(), 150);
    EXPECT_EQ(form->hsVol->SmallChange(), 5);
    EXPECT_EQ(form->hsVol->LargeChange(), 1);
    EXPECT_EQ(form->L1->text(), "00:00:00 / 00:00:00");
    EXPECT_EQ(form->Label1->text(), "VOL：");
    EXPECT_EQ(form->fraVol->title(), "Volume Control");
    EXPECT_EQ(form->fraPlay->title(), "Playback progress");
    EXPECT_EQ(form->optLeft->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(form->optRight->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    const QImage fill = form->S1->grab().toImage();
    EXPECT_EQ(fill.pixelColor(0, 0), QColor(0, 0, 255));
    const auto sizes = Form1::icon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
}

TEST_F(Form1Test, start_fillsRecordingList_whenFolderListAlreadyShowsStartFolder) {
    touch({"a-1.asf"});
    const QString before = QDir::currentPath();
    QDir::setCurrent(folder.path());
    form = std::make_unique<Form1>();
    QDir::setCurrent(before);
    ASSERT_EQ(form->lsASF->count(), 1);
    EXPECT_EQ(form->lsASF->item(0)->text(), "A \ta");
}

TEST_F(Form1Test, resize_matchesWorkedExample_atMinimumSize) {
    open();
    const FormLayout& l = form->layout();
    EXPECT_FLOAT_EQ(l.QVRControl1Width, 5370);
    EXPECT_FLOAT_EQ(l.QVRControl1Height, 5460);
    EXPECT_FLOAT_EQ(l.QVRControl2Left, 5385);
    EXPECT_FLOAT_EQ(l.fraPlayTop, 5510);
    EXPECT_FLOAT_EQ(l.lsASFTop, 6175);
    EXPECT_FLOAT_EQ(l.DirListTop, 6475);
    EXPECT_FLOAT_EQ(l.lsASFWidth, 5340);
    EXPECT_FLOAT_EQ(l.fraPlayWidth, 5965);
    EXPECT_FLOAT_EQ(l.fraVolLeft, 6015);
    EXPECT_FLOAT_EQ(l.P1Width, 5765);
    EXPECT_FLOAT_EQ(l.L1Left, 2005);
    // Applied at 15 twips per pixel.
    EXPECT_EQ(form->QVRControl1->geometry(), QRect(0, 0, 358, 364));
    EXPECT_EQ(form->QVRControl2->geometry(), QRect(359, 0, 358, 364));
    EXPECT_EQ(form->lsASF->geometry(), QRect(352, 412, 356, 208));
    EXPECT_EQ(form->P1->width(), 384);
}

TEST_F(Form1Test, resize_matchesWorkedExample_at12000x11000) {
    open();
    form->setWidth(12000);
    form->setHeight(11000);
    QCoreApplication::processEvents();
    const FormLayout& l = form->layout();
    EXPECT_FLOAT_EQ(l.QVRControl1Width, 6000);
    EXPECT_FLOAT_EQ(l.QVRControl1Height, 6265);
    EXPECT_FLOAT_EQ(l.QVRControl2Height, 6265);
    EXPECT_FLOAT_EQ(l.QVRControl2Left, 6015);
    EXPECT_FLOAT_EQ(l.fraPlayTop, 6315);
    EXPECT_FLOAT_EQ(l.lsASFTop, 6980);
    EXPECT_FLOAT_EQ(l.DirListTop, 7280);
    EXPECT_FLOAT_EQ(l.lsASFWidth, 6600);
    EXPECT_FLOAT_EQ(l.fraPlayWidth, 7225);
    EXPECT_FLOAT_EQ(l.fraVolLeft, 7275);
    EXPECT_FLOAT_EQ(l.P1Width, 7025);
    EXPECT_FLOAT_EQ(l.L1Left, 2635);
    EXPECT_EQ(form->QVRControl2->geometry(), QRect(401, 0, 400, 418));
}

TEST_F(Form1Test, resize_keepsWidth_whenExactlyMinimum_andSnapsBackWhenSmaller) {
    open();
    // The user drags the outer edge to exactly 716 px = 10740 twips.
    const QSize frame = form->frameGeometry().size() - form->size();
    form->resize(716 - frame.width(), 690);
    QCoreApplication::processEvents();
    EXPECT_EQ(form->frameGeometry().width(), 716);
    EXPECT_FLOAT_EQ(form->layout().lsASFWidth, 10740 - 5280 - 120);

    form->resize(533 - frame.width(), 467 - frame.height());  // 8000 x 7000 twips
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_FLOAT_EQ(form->Width(), 10740);
    EXPECT_FLOAT_EQ(form->Height(), 10195);
    EXPECT_EQ(form->frameGeometry().size(), QSize(716, 680));
    EXPECT_FLOAT_EQ(form->layout().QVRControl1Height, 5460);
    EXPECT_FLOAT_EQ(form->layout().P1Width, 5765);
}

// ---- Play and Stop ----------------------------------------------------------------------

TEST_F(Form1Test, mnuPlay_pausesAndResumesBothPanels_byCaption) {
    loadPair();
    auto g1 = graphOf("r-1.asf");
    auto g2 = graphOf("r-2.asf");
    EXPECT_EQ(form->mnuPlay->text(), "Pause");
    EXPECT_EQ(g1->state, FakeGraph::State::Running);
    EXPECT_EQ(g2->state, FakeGraph::State::Running);

    factory->log().clear();
    form->mnuPlay->trigger();
    EXPECT_EQ(form->mnuPlay->text(), "Play");
    EXPECT_FALSE(form->timPS->isActive());
    EXPECT_TRUE(form->mnuPlay->isEnabled());
    EXPECT_TRUE(form->mnuClose->isEnabled());
    EXPECT_EQ(g1->state, FakeGraph::State::Paused);
    EXPECT_EQ(g2->state, FakeGraph::State::Paused);
    std::vector<int> pausedGraphs;
    for (const auto& entry : factory->log().entries()) {
        if (FakeCallLog::nameOf(entry.call) == "Pause") pausedGraphs.push_back(entry.graph);
    }
    EXPECT_EQ(pausedGraphs, (std::vector<int>{g1->number, g2->number}));

    form->mnuPlay->trigger();
    EXPECT_EQ(form->mnuPlay->text(), "Pause");
    EXPECT_TRUE(form->timPS->isActive());
    EXPECT_EQ(g1->state, FakeGraph::State::Running);
    EXPECT_EQ(g2->state, FakeGraph::State::Running);
}

TEST_F(Form1Test, mnuClose_releasesBothGraphs_andClearsDisplay) {
    loadPair();
    factory->graph(1)->position = 150;
    form->timPS_Timer();
    ASSERT_GT(form->S1Width(), 0);

    form->mnuClose->trigger();
    EXPECT_EQ(factory->alive(), 0);
    EXPECT_TRUE(idle());
    EXPECT_EQ(form->L1->text(), "00:00:00 / 00:00:00");
    EXPECT_FLOAT_EQ(form->S1Width(), 0);
    EXPECT_EQ(form->S1->width(), 0);
    EXPECT_TRUE(form->P1->isEnabled());  // Stop leaves the bar as it was
    EXPECT_EQ(form->QVRControl1->Duration(), 0);

    // Again on two empty panels: no error, same state.
    form->mnuClose_Click();
    EXPECT_TRUE(idle());
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(Form1Test, guard_showsFailureOfPanelCommand_andWindowStaysUsable) {
    loadPair();
    factory->log().failOn("Pause", 1);
    form->mnuPlay->trigger();
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.texts()[0].contains("Corvid could not"));
    form->mnuClose->trigger();
    EXPECT_TRUE(idle());
    EXPECT_EQ(factory->alive(), 0);
}

// ---- Progress bar -----------------------------------------------------------------------

TEST_F(Form1Test, progress_isShownAtOnce_afterALoadAndAStop) {
    touch({"r-1.asf", "r-2.asf", "c-2.asf"});
    media("r-1.asf", 600);
    media("r-2.asf", 500);
    media("c-2.asf", 90);
    open();

    selectLine("AB\tr");
    EXPECT_EQ(form->L1->text(), "00:00:00 / 00:10:00");
    EXPECT_FLOAT_EQ(form->S1Width(), 0);

    graphOf("r-1.asf")->position = 150;
    form->timPS_Timer();
    ASSERT_GT(form->S1Width(), 0);
    form->mnuClose->trigger();
    EXPECT_EQ(form->L1->text(), "00:00:00 / 00:00:00");
    EXPECT_FLOAT_EQ(form->S1Width(), 0);

    selectLine(" B\tc");
    EXPECT_EQ(form->L1->text(), "00:00:00 / 00:01:30");
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(Form1Test, timer_followsCamera1_elseCamera2_andKeepsFillWithoutDuration) {
    loadPair();
    auto g1 = graphOf("r-1.asf");
    auto g2 = graphOf("r-2.asf");

    g1->position = 150;
    g2->position = 40;
    form->timPS_Timer();
    EXPECT_FLOAT_EQ(form->S1Width(), 1441.25f);
    EXPECT_EQ(form->L1->text(), "00:02:30 / 00:10:00");

    // Camera 2's time on the pair's timeline, which is as long as the longer file.
    g1->position = 0;
    form->timPS_Timer();
    EXPECT_FLOAT_EQ(form->S1Width(), static_cast<float>(40.0 / 600 * 5765));
    EXPECT_EQ(form->L1->text(), "00:00:40 / 00:10:00");

    // A panel whose times cannot be read counts as position 0.
    g1->position = 300;
    factory->log().failOn("get_CurrentPosition", 1);
    form->timPS_Timer();
    EXPECT_EQ(form->L1->text(), "00:00:40 / 00:10:00");

    // Neither panel beyond 0: nothing changes.
    g2->position = 0;
    g1->position = 0;
    form->timPS_Timer();
    EXPECT_EQ(form->L1->text(), "00:00:40 / 00:10:00");

    // A duration of 0 leaves the fill while the label shows the position.
    const float fill = form->S1Width();
    g1->media->duration = 0;
    g1->position = 5;
    form->timPS_Timer();
    EXPECT_FLOAT_EQ(form->S1Width(), fill);
    EXPECT_EQ(form->L1->text(), "00:00:05 / 00:00:00");
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(Form1Test, dragOnBar_seeksBothToOneMoment_pausesWhileDragging_andPlaysOnRelease) {
    loadPair(600, 500);
    auto g1 = graphOf("r-1.asf");
    auto g2 = graphOf("r-2.asf");

    // The bar spans the pair's timeline: half of it is 300 s for both cameras.
    form->P1_MouseDown(1, 0, 2882.5f, 0);
    EXPECT_FLOAT_EQ(form->S1Width(), 2882.5f);
    EXPECT_DOUBLE_EQ(g1->position, 300);
    EXPECT_DOUBLE_EQ(g2->position, 300);
    EXPECT_EQ(g1->state, FakeGraph::State::Paused);
    EXPECT_EQ(g2->state, FakeGraph::State::Paused);
    EXPECT_TRUE(idle());
    EXPECT_TRUE(form->P1->isEnabled());

    form->P1_MouseMove(1, 0, 9000, 0);
    EXPECT_FLOAT_EQ(form->S1Width(), 5765);
    EXPECT_DOUBLE_EQ(g1->position, 600);
    EXPECT_DOUBLE_EQ(g2->position, 500);
    EXPECT_EQ(form->L1->text(), "00:10:00 / 00:10:00");

    // Both buttons held, or a right-button press: nothing.
    form->P1_MouseMove(3, 0, 100, 0);
    form->P1_MouseDown(2, 0, 100, 0);
    EXPECT_FLOAT_EQ(form->S1Width(), 5765);

    form->P1_MouseMove(1, 0, -50, 0);
    EXPECT_FLOAT_EQ(form->S1Width(), 0);
    EXPECT_DOUBLE_EQ(g1->position, 0);

    factory->log().clear();
    form->P1_MouseUp(1, 0, 1441.25f, 0);
    EXPECT_FLOAT_EQ(form->S1Width(), 1441.25f);
    EXPECT_EQ(factory->log().count("put_CurrentPosition"), 0);  // no seek on release
    EXPECT_EQ(g1->state, FakeGraph::State::Running);
    EXPECT_EQ(g2->state, FakeGraph::State::Running);
    EXPECT_EQ(form->mnuPlay->text(), "Pause");
    EXPECT_TRUE(form->mnuPlay->isEnabled());
    EXPECT_TRUE(form->mnuClose->isEnabled());
    EXPECT_TRUE(form->timPS->isActive());
}

TEST_F(Form1Test, mouseOnBar_isConvertedToTwips_andIgnoredWhileBarDisabled) {
    loadPair(600, 500);
    auto g1 = graphOf("r-1.asf");
    const QPoint middle(form->P1->width() / 2, 5);  // 192 px = 2880 twips
    QTest::mousePress(form->P1, Qt::LeftButton, {}, middle);
    EXPECT_FLOAT_EQ(form->S1Width(), 2880);
    EXPECT_NEAR(g1->position, 2880.0 / 5765 * 600, 1e-3);
    QTest::mouseRelease(form->P1, Qt::LeftButton, {}, middle);
    EXPECT_EQ(form->mnuPlay->text(), "Pause");

    // A missing file leaves the window idle with the bar disabled.
    QFile::remove(folder.filePath("r-1.asf"));
    form->lsASF->addItem("--\tgone");
    selectLine("--\tgone");
    ASSERT_EQ(messages.count(), 1);
    EXPECT_FALSE(form->P1->isEnabled());
    QTest::mousePress(form->P1, Qt::LeftButton, {}, QPoint(10, 5));
    QTest::mouseRelease(form->P1, Qt::LeftButton, {}, QPoint(10, 5));
    EXPECT_TRUE(idle());
}

TEST_F(Form1Test, pressAndRelease_onEmptyPanels_enablesCommands) {
    open();
    form->P1_MouseDown(1, 0, 100, 0);
    form->P1_MouseUp(1, 0, 100, 0);
    EXPECT_EQ(form->mnuPlay->text(), "Pause");
    EXPECT_TRUE(form->mnuPlay->isEnabled());
    EXPECT_EQ(factory->created(), 0);
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(Form1Test, progressText_isWhiteOverTheFill_andDarkBesideIt) {
    loadPair();
    graphOf("r-1.asf")->position = 300;  // half way: the fill ends inside the centred text
    form->timPS_Timer();
    const QRect text = form->L1->geometry();
    const QRect fill = form->S1->geometry();
    ASSERT_TRUE(fill.intersects(text) && !fill.contains(text));

    const QImage bar = form->P1->grab().toImage();
    const QColor background = bar.pixelColor(text.right() + 2, text.center().y());
    const QRect overFill = text & fill;
    const QRect besideFill(fill.right() + 1, text.top(), text.right() - fill.right(),
                           text.height());
    EXPECT_GE(strongestContrast(bar, overFill, QColor(0, 0, 255)), 4.5);
    EXPECT_GE(strongestContrast(bar, besideFill, background), 4.5);
    // Beside the fill the text keeps its dark colour.
    double darkest = 1.0;
    for (int x = besideFill.left(); x <= besideFill.right(); ++x) {
        for (int y = besideFill.top(); y <= besideFill.bottom(); ++y) {
            darkest = std::min(darkest, luminance(bar.pixelColor(x, y)));
        }
    }
    EXPECT_LT(darkest, 0.1);
}

// ---- Volume -----------------------------------------------------------------------------

TEST_F(Form1Test, cameraOptions_greyTheirCaptionWhenDisabled_andKeepTheirColourWhenEnabled) {
    touch({"right-2.asf", "left-1.asf", "pair-1.asf", "pair-2.asf"});
    open();
    constexpr int red = 0;
    constexpr int blue = 2;

    selectLine(" B\tright");
    ASSERT_FALSE(form->optLeft->isEnabled());
    EXPECT_EQ(pixelsOfPrimary(form->optLeft, blue), 0);
    EXPECT_GT(pixelsOfPrimary(form->optRight, red), 0);

    selectLine("A \tleft");
    ASSERT_FALSE(form->optRight->isEnabled());
    EXPECT_GT(pixelsOfPrimary(form->optLeft, blue), 0);
    EXPECT_EQ(pixelsOfPrimary(form->optRight, red), 0);

    selectLine("AB\tpair");
    EXPECT_GT(pixelsOfPrimary(form->optLeft, blue), 0);
    EXPECT_GT(pixelsOfPrimary(form->optRight, red), 0);
}

TEST_F(Form1Test, volume_goesToSelectedCamera_andSilencesTheOther) {
    loadPair();
    form->hsVol->SetValue(40);
    EXPECT_EQ(form->QVRControl1->GetVol(), 40);
    EXPECT_EQ(form->QVRControl2->GetVol(), 0);

    QTest::mouseClick(form->optRight, Qt::LeftButton);
    ASSERT_TRUE(form->optRight->isChecked());
    EXPECT_EQ(form->QVRControl1->GetVol(), 0);
    EXPECT_EQ(form->QVRControl2->GetVol(), 40);

    form->hsVol->SetValue(150);
    EXPECT_EQ(form->QVRControl2->GetVol(), 100);
    form->hsVol->SetValue(0);
    EXPECT_EQ(form->QVRControl1->GetVol(), 0);
    EXPECT_EQ(form->QVRControl2->GetVol(), 0);
}

TEST_F(Form1Test, load_readsSliderBackFromHeardPanel) {
    touch({"r-1.asf", "r-2.asf"});
    open();
    form->hsVol->SetValue(120);
    selectLine("AB\tr");
    EXPECT_EQ(form->hsVol->Value(), 100);
    EXPECT_EQ(form->QVRControl1->GetVol(), 100);
    EXPECT_EQ(form->QVRControl2->GetVol(), 0);
}

TEST_F(Form1Test, load_keepsTheSlider_whenTheHeardCameraHasNoSound_forTheNextRecordings) {
    touch({"mute-1.asf", "mute-2.asf", "dead-1.asf", "dead-2.asf", "r-1.asf", "r-2.asf"});
    FakeMedia silent;
    silent.hasAudio = false;
    factory->catalog().files[folder.filePath("mute-1.asf").toStdString()] = silent;
    factory->catalog().unplayable.insert(folder.filePath("dead-1.asf").toStdString());
    media("r-1.asf", 600);
    media("r-2.asf", 500);
    open();
    form->hsVol->SetValue(60);

    // A camera 1 without sound, or one that does not open, reads back a volume of 0 that
    // nobody chose; the next healthy pair plays at the slider's volume.
    for (const QString& silentLine : {QStringLiteral("AB\tmute"), QStringLiteral("AB\tdead")}) {
        selectLine(silentLine);
        EXPECT_EQ(form->hsVol->Value(), 60) << silentLine.toStdString();
        selectLine("AB\tr");
        EXPECT_EQ(form->hsVol->Value(), 60);
        EXPECT_EQ(graphOf("r-1.asf")->volume, 60 * 100 - 10000);
        EXPECT_EQ(graphOf("r-2.asf")->volume, -10000);
    }
}

// ---- Loading ----------------------------------------------------------------------------

TEST_F(Form1Test, load_followsMarkerTable_forEveryKindOfLine) {
    touch({"pair-1.asf", "pair-2.asf", "left-1.asf", "right-2.asf", "clip.asf"});
    open();

    selectLine("AB\tpair");
    EXPECT_TRUE(graphOf("pair-1.asf"));
    EXPECT_TRUE(graphOf("pair-2.asf"));
    EXPECT_EQ(form->QVRControl1->engine()->MediaFile, folder.filePath("pair-1.asf"));
    EXPECT_EQ(form->QVRControl2->engine()->MediaFile, folder.filePath("pair-2.asf"));
    EXPECT_TRUE(form->optLeft->isChecked() && form->optLeft->isEnabled());
    EXPECT_TRUE(form->optRight->isEnabled());

    selectLine(" B\tright");
    EXPECT_EQ(factory->alive(), 1);
    EXPECT_TRUE(graphOf("right-2.asf"));
    EXPECT_EQ(form->QVRControl1->engine()->MediaFile, "");
    EXPECT_TRUE(form->optRight->isChecked());
    EXPECT_FALSE(form->optLeft->isEnabled());
    EXPECT_TRUE(form->optRight->isEnabled());
    EXPECT_EQ(form->QVRControl1->GetVol(), 0);
    EXPECT_EQ(form->QVRControl2->GetVol(), 75);

    selectLine("A \tleft");
    EXPECT_EQ(form->QVRControl1->engine()->MediaFile, folder.filePath("left-1.asf"));
    EXPECT_EQ(form->QVRControl2->engine()->MediaFile, "");
    EXPECT_TRUE(form->optLeft->isChecked());
    EXPECT_FALSE(form->optRight->isEnabled());

    selectLine("--\tclip");
    EXPECT_EQ(form->QVRControl1->engine()->MediaFile, folder.filePath("clip.asf"));
    EXPECT_EQ(factory->alive(), 1);
    EXPECT_EQ(form->mnuPlay->text(), "Pause");
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(Form1Test, mouseClickOnLine_loadsOnce_andReloadsTheSelectedLine) {
    touch({"r-1.asf", "r-2.asf"});
    open();
    const QRect place = form->lsASF->visualItemRect(form->lsASF->item(row("AB\tr")));
    QTest::mouseClick(form->lsASF->viewport(), Qt::LeftButton, {}, place.center());
    EXPECT_EQ(factory->created(), 2);
    QTest::mouseClick(form->lsASF->viewport(), Qt::LeftButton, {}, place.center());
    EXPECT_EQ(factory->created(), 4);
    EXPECT_EQ(factory->alive(), 2);
}

TEST_F(Form1Test, load_opensFileAsNamedOnDisk_andNeverSplitsATabInAName) {
    touch({"Run-1.ASF", "RUN-2.asf", "a\tb-1.asf", "a\tb-2.asf", "a-1.asf", "a-2.asf"});
    open();

    selectLine("AB\tRun");
    EXPECT_TRUE(graphOf("Run-1.ASF"));
    EXPECT_TRUE(graphOf("RUN-2.asf"));

    selectLine("AB\ta\tb");
    EXPECT_TRUE(graphOf("a\tb-1.asf"));
    EXPECT_TRUE(graphOf("a\tb-2.asf"));
    EXPECT_FALSE(graphOf("a-1.asf"));
}

TEST_F(Form1Test, load_reportsUnplayableFileInsideItsPanel_whileOtherCameraPlays) {
    touch({"r-1.asf", "r-2.asf"});
    factory->catalog().unplayable.insert(folder.filePath("r-1.asf").toStdString());
    open();
    selectLine("AB\tr");
    EXPECT_FALSE(form->QVRControl1->notice().isEmpty());
    EXPECT_TRUE(form->QVRControl2->notice().isEmpty());
    auto g2 = graphOf("r-2.asf");
    ASSERT_TRUE(g2);
    EXPECT_EQ(g2->state, FakeGraph::State::Running);
    EXPECT_EQ(messages.count(), 0);

    factory->catalog().unplayable.clear();
    selectLine("AB\tr");
    EXPECT_TRUE(form->QVRControl1->notice().isEmpty());
}

TEST_F(Form1Test, load_showsFixedMessages_andLeavesWindowIdleOrStopped) {
    touch({"pair-1.asf", "pair-2.asf", "half-1.asf", "half-2.asf", "clip.asf"});
    open();

    QFile::remove(folder.filePath("clip.asf"));
    selectLine("--\tclip");
    ASSERT_EQ(messages.texts(), QStringList{"文件不存在"});
    EXPECT_TRUE(idle());
    EXPECT_FALSE(form->P1->isEnabled());
    EXPECT_GE(row("--\tclip"), 0);  // not rescanned

    messages.clear();
    QFile::remove(folder.filePath("pair-1.asf"));
    selectLine("AB\tpair");
    ASSERT_EQ(messages.texts(), QStringList{"第一个端口文件不存在，点确定刷列文件列表"});
    EXPECT_TRUE(idle());
    EXPECT_GE(row(" B\tpair"), 0);
    EXPECT_LT(row("--\tclip"), 0);  // rebuilt

    messages.clear();
    QFile::remove(folder.filePath("half-2.asf"));
    selectLine("AB\thalf");
    ASSERT_EQ(messages.texts(), QStringList{"第二个端口文件不存在，点确定刷列文件列表"});
    EXPECT_TRUE(idle());
    EXPECT_GE(row("A \thalf"), 0);

    // An unknown marker: stopped, bar still enabled.
    selectLine("A \thalf");
    messages.clear();
    form->lsASF->addItem("ab\thalf");
    selectLine("ab\thalf");
    ASSERT_EQ(messages.texts(), QStringList{"文件信息不正确"});
    EXPECT_TRUE(idle());
    EXPECT_TRUE(form->P1->isEnabled());
    EXPECT_EQ(factory->alive(), 0);

    // A line without a tab: stopped, no message.
    messages.clear();
    form->lsASF->addItem("no tab");
    selectLine("no tab");
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(Form1Test, load_changesNothing_whenFolderPathIsBlank) {
    // Without any volume the folder list never gets a path.
    auto files = std::make_shared<FakeFileSystem>();
    files->setVolumes({});
    FileSystem::Scoped installed(files);
    form = std::make_unique<Form1>();
    ASSERT_TRUE(form->DirList->Path().trimmed().isEmpty());
    form->lsASF->addItem("--\tanything");
    form->lsASF->setCurrentRow(0);
    form->LoadSelectedRecording();
    EXPECT_EQ(factory->created(), 0);
    EXPECT_TRUE(form->timPS->isActive());  // not even stopped
    EXPECT_FALSE(form->mnuPlay->isEnabled());
    EXPECT_EQ(form->L1->text(), "00:00:00 / 00:00:00");
    EXPECT_EQ(messages.count(), 0);
    EXPECT_EQ(files->calls().findFile, 0);
}

TEST_F(Form1Test, selectRecording_selectsAndPlaysTheLineOfTheFileNamed_inAnyCameraOrCase) {
    touch({"pair-1.asf", "pair-2.asf", "Right-2.asf", "clip.asf"});
    open();

    EXPECT_TRUE(form->SelectRecording("pair-2.asf"));
    EXPECT_EQ(form->lsASF->currentRow(), row("AB\tpair"));
    EXPECT_TRUE(graphOf("pair-1.asf"));
    EXPECT_TRUE(graphOf("pair-2.asf"));
    EXPECT_EQ(form->mnuPlay->text(), "Pause");

    EXPECT_TRUE(form->SelectRecording("RIGHT-2.ASF"));
    EXPECT_EQ(form->lsASF->currentRow(), row(" B\tRight"));
    EXPECT_TRUE(graphOf("Right-2.asf"));
    EXPECT_EQ(factory->alive(), 1);

    // Naming the selected recording again plays it again, as a click on its line does.
    EXPECT_TRUE(form->SelectRecording("clip.asf"));
    EXPECT_TRUE(form->SelectRecording("clip.asf"));
    EXPECT_EQ(form->QVRControl1->engine()->MediaFile, folder.filePath("clip.asf"));
    EXPECT_EQ(factory->created(), 5);
    EXPECT_EQ(factory->alive(), 1);
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(Form1Test, selectRecording_prefersTheNameAsWritten_whenTwoDifferOnlyInCase) {
    touch({"a-1.asf", "A-1.asf"});
    open();
    ASSERT_EQ(form->lsASF->count(), 2);
    EXPECT_TRUE(form->SelectRecording("A-1.asf"));
    EXPECT_EQ(form->lsASF->currentRow(), row("A \tA"));
    EXPECT_TRUE(graphOf("A-1.asf"));
    EXPECT_FALSE(graphOf("a-1.asf"));
}

TEST_F(Form1Test, selectRecording_saysSoAndChangesNothing_whenNoLinePlaysTheName) {
    touch({"r-1.asf", "notes.txt", ".hidden-1.asf"});
    open();
    form->SelectRecording("r-1.asf");
    const int selected = form->lsASF->currentRow();

    for (const QString& name : {QStringLiteral("notes.txt"), QStringLiteral(".hidden-1.asf"),
                                QStringLiteral("r"), QStringLiteral("r-2.asf")}) {
        messages.clear();
        EXPECT_FALSE(form->SelectRecording(name)) << name.toStdString();
        ASSERT_EQ(messages.count(), 1) << name.toStdString();
        EXPECT_TRUE(messages.texts()[0].contains(name));
        EXPECT_EQ(form->lsASF->currentRow(), selected);
    }
    EXPECT_EQ(factory->created(), 1);
    EXPECT_EQ(factory->alive(), 1);
}

TEST_F(Form1Test, load_saysSoAndShowsTheNearestParent_whenFolderWentAwaySinceTheScan) {
    ASSERT_TRUE(QDir(folder.path()).mkpath("cams/day"));
    touch({"cams/day/r-1.asf", "cams/day/r-2.asf", "p-1.asf"});
    open();
    form->DirList->setPath(folder.filePath("cams/day"));
    ASSERT_GE(row("AB\tr"), 0);
    ASSERT_TRUE(QDir(folder.filePath("cams")).removeRecursively());
    selectLine("AB\tr");
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.texts()[0].startsWith("The recording cannot be loaded."));
    EXPECT_TRUE(idle());
    EXPECT_EQ(factory->created(), 0);

    // After the message the folder and recording lists show the nearest folder that is left.
    EXPECT_EQ(form->DirList->Path(), folder.path());
    EXPECT_EQ(row("AB\tr"), -1);
    EXPECT_GE(row("A \tp"), 0);
    EXPECT_EQ(messages.count(), 1);
}

}  // namespace
}  // namespace corvid
