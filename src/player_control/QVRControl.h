#pragma once

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

#include "file_dialogs/CommonDialog.h"
#include "media_engine/clsDShowControl.h"
#include "platform/widgets/ScrollBar.h"
#include "player_control/VideoSurface.h"

namespace corvid {

// The player panel: one media engine and one open-file dialog behind a video surface,
// three sliders (volume, position, balance), two seek buttons and a popup menu.
// Hosts drive it only through the public operations below.
class QVRControl : public QWidget {
    Q_OBJECT

public:
    // Client size of the panel as designed, in twips.
    static constexpr double kDesignWidthTwips = 10980;
    static constexpr double kDesignHeightTwips = 8115;

    static const QString kInitialFilter;
    static const QString kOpenFilter;
    static const QString kDialogTitle;

    explicit QVRControl(QWidget* parent = nullptr);
    ~QVRControl() override;

    // Public properties.
    std::int32_t num = 0;
    bool menu = false;
    std::int16_t vol = 0;

    // Host operations.
    void SetPosition(float xPos);
    void SetPlay();
    void UserControl_Initialize();
    void cmdStretch();
    void cmdCAspect();
    void OpenFile();
    void OpenFile2(const QString& file);
    void cmdOpenFile();
    std::int32_t Duration();
    std::int32_t Position();
    void cmdTogglePlay();
    void cmdPlay();
    void cmdPause();
    void cmdStop();
    void cmdSubVol();
    void cmdAddVol();
    std::int32_t GetVol();
    // Whether the file open in the panel has sound; GetVol reads 0 for a panel without.
    bool HasSound();
    void SetVol(std::int32_t ivol);
    void cmdBalCen();
    void cmdBalLft();
    void cmdBalRgt();
    void cmdSeekBack();
    void cmdSeekFor();

    // Review operations. The speed is the panel's own setting: it outlives opens and
    // resets, and every file the panel opens plays at it.
    void SeekBy(double seconds);
    // Lockstep with other panels on one clock (the main window's two cameras). A clock
    // this panel's graphs can share, or null; the clock its later opens follow (null: a
    // clock of their own; the panel's own open dialog always opens on a clock of its own).
    std::shared_ptr<IPlaybackClock> NewClock();
    void FollowClock(std::shared_ptr<IPlaybackClock> clock);
    // Lets a file the host will open soon start opening now.
    void PrepareFile(const QString& file);
    // Whether OpenFile2 of a prepared file would not wait on its open; waits for that
    // until `until` at most.
    bool FileReady(const QString& file, std::chrono::steady_clock::time_point until = {});
    // Whether cmdPlay would start over: the file is at its end, or none is open.
    bool AtEnd();
    // Plays on from where the file stands, also at its end.
    void cmdResume();
    void StepFrame(std::int32_t frames);
    void SetRate(double rate);
    double Rate() const { return rate_; }
    void FullScreen();
    void LeaveFullScreen();

    // The pair's timeline (see clsDShowControl's DS_PlaceOnClock and what follows it).
    void PlaceOnClock(double seconds);
    double StartTime();
    double ClockPosition();
    bool ShownPicture(double& time, double& interval);
    void SetTimeOffset(double seconds);
    std::optional<std::chrono::system_clock::time_point> RecordedAt();
    // While the panel plays one camera of a recording pair, its own seek buttons and
    // position slider ask the pair to move both cameras, and a file opened from its own
    // dialog takes it out of the pair.
    void SetPairMember(bool member) { pairMember_ = member; }
    bool PairMember() const { return pairMember_; }

    // Picture review. The time overlay is the panel's own setting, like the speed: every
    // file it opens shows the overlay or not as set.
    void SetTimeOverlay(bool shown);
    bool TimeOverlay() const { return timeOverlay_; }
    void ResetZoom();
    double Zoom();
    // The picture on show at its native size and its media time; throws Failure when
    // there is none.
    QImage CurrentPicture(double& time);
    // Whether `widget` is this panel's video, shown full screen as a window of its own.
    bool isFullScreenVideo(const QWidget* widget) const;

    // The engine and dialog of the current initialization, for hosts and tests.
    clsDShowControl* engine() const { return clDShow.get(); }
    CommonDialog* dialog() const { return clDialog.get(); }

    // A short text over the video surface saying why the last open shows nothing;
    // every open clears it first.
    void setNotice(const QString& text);
    void clearNotice();
    QString notice() const;
    // A quiet note on the surface while the panel plays a file without pictures: it is
    // not a failure, and the surface would otherwise look broken.
    QString hint() const;

    // Child controls. The two seek buttons carry a suffix in code because their design
    // names belong to the seek operations; their object names are the design names.
    VideoSurface* PicVid;
    QPushButton* cmdSeekBackButton;
    QPushButton* cmdSeekForButton;
    ScrollBar* HScroll1;
    ScrollBar* HScroll2;
    ScrollBar* HScroll3;
    QMenu* mnuMain;
    QAction* mnuCAspect;
    QAction* mnuSMovie;
    QAction* mnuOpen;
    QAction* mnuResetZoom;
    QAction* mnuSaveStill;

signals:
    // A pair member's own controls: move both cameras by `seconds`, or to `seconds` of
    // this panel's file.
    void pairSeekByRequested(double seconds);
    void pairPositionRequested(double seconds);
    // The panel's own open dialog chose a file: it no longer plays a camera of the pair.
    void leftPair();
    // The popup menu asks the host to save the pictures on show of all its panels.
    void stillRequested();
    // Events declared for hosts; the panel raises none of them.
    void Click();
    void KeyDown(int KeyCode, int Shift);
    void KeyPress(int KeyAscii);
    void KeyUp(int KeyCode, int Shift);
    void MouseDown(int Button, int Shift, float X, float Y);
    void MouseMove(int Button, int Shift, float X, float Y);
    void MouseUp(int Button, int Shift, float X, float Y);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void createChildControls();
    void createMenu();

    void runOpenTail(const QString& path);
    void noticeFailedOpen(const QString& path);
    void PicVid_GraphNotice();
    void showMenu(const QPoint& globalPos);

    bool hasRoomForBottomRow() const;
    void placeBottomRow();
    // The height of the video surface: down to the bottom row where it is shown.
    int videoHeight() const;
    void UserControl_Resize();
    void UserControl_Paint();
    void UserControl_DblClick();
    void PicVid_Paint();
    void HScroll1_Scroll();
    void HScroll1_Change();
    void HScroll2_Scroll();
    void HScroll3_Scroll();
    void HScroll3_Change();

    std::unique_ptr<clsDShowControl> clDShow;
    std::unique_ptr<CommonDialog> clDialog;
    double rate_ = 1.0;
    bool timeOverlay_ = true;
    bool pairMember_ = false;
};

}  // namespace corvid
