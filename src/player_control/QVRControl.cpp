#include "player_control/QVRControl.h"

#include <QFileInfo>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPalette>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "platform/widgets/Guarded.h"
#include "platform/widgets/WindowHandles.h"
#include "player_control/PanelAccessible.h"
#include "util/Attempt.h"
#include "util/Failure.h"
#include "util/Numeric.h"

namespace corvid {

const QString QVRControl::kInitialFilter = QStringLiteral(
    "Supported Media Files|*.avi;*.asf;*.mpg;*.mpeg;*.wmv;*.divx;*.dat;*.qvr|Divx/Avi files (divx "
    "avi)|*.avi;*.divx|Mpeg/MPG/Dat files (mpg mpeg dat)|*.mpg;*.mpeg;*.dat|Windows Media files "
    "(asf wmv)|*.asf;*.wmv");
const QString QVRControl::kOpenFilter =
    kInitialFilter + QStringLiteral("|Quiver Playlist (qvr)|*.qvr");
const QString QVRControl::kDialogTitle = QStringLiteral("Choose media to play");

namespace {

// Design geometry of a child control, in twips.
struct TwipsRect {
    double left, top, width, height;
};

constexpr TwipsRect kPicVidDesign{0, 360, 4695, 2775};
constexpr TwipsRect kSeekBackDesign{5640, 7740, 375, 315};
constexpr TwipsRect kSeekForDesign{8640, 7740, 375, 315};
constexpr TwipsRect kVolumeDesign{9060, 7740, 1575, 195};
constexpr TwipsRect kPositionDesign{6000, 7800, 2655, 195};
constexpr TwipsRect kBalanceDesign{360, 7920, 1215, 195};
// The top of the row of controls below the video, the seek buttons' top.
constexpr double kBottomRowTop = 7740;

// The panel measures in pixels from its own top-left corner.
constexpr int kScaleTop = 0;

// A picture box's size is never negative: a negative value is refused, not taken as 0.
void checkSize(int value, const char* what) {
    if (value < 0)
        throw Failure(Failure::InvalidArgument,
                      std::string("Invalid ") + what + " " + std::to_string(value));
}

void setHeight(QWidget* widget, int height) {
    checkSize(height, "height");
    widget->resize(widget->width(), height);
}

void setWidth(QWidget* widget, int width) {
    checkSize(width, "width");
    widget->resize(width, widget->height());
}

void setTop(QWidget* widget, int top) {
    widget->move(widget->x(), top);
}

}  // namespace

QVRControl::QVRControl(QWidget* parent) : QWidget(parent) {
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::black);
    setPalette(colours);
    setAutoFillBackground(true);

    PanelAccessible::install();
    createChildControls();
    createMenu();
    resize(twipsToWholePixels(kDesignWidthTwips, logicalDpiX()),
           twipsToWholePixels(kDesignHeightTwips, logicalDpiY()));

    UserControl_Initialize();
}

// The engine goes first: its video window lives inside PicVid.
QVRControl::~QVRControl() {
    clDShow.reset();
}

void QVRControl::createChildControls() {
    const auto place = [this](QWidget* child, const TwipsRect& design) {
        const double dpiX = logicalDpiX();
        const double dpiY = logicalDpiY();
        child->setGeometry(
            twipsToWholePixels(design.left, dpiX), twipsToWholePixels(design.top, dpiY),
            twipsToWholePixels(design.width, dpiX), twipsToWholePixels(design.height, dpiY));
    };
    const auto scrollBar = [this](const char* name, int minimum, int maximum, int smallChange,
                                  int largeChange, int value) {
        auto* bar = new ScrollBar(Qt::Horizontal, this);
        bar->setObjectName(name);
        bar->SetMin(minimum);
        bar->SetMax(maximum);
        bar->SetSmallChange(smallChange);
        bar->SetLargeChange(largeChange);
        bar->SetValue(value);
        return bar;
    };

    PicVid = new VideoSurface(this);
    PicVid->setObjectName("PicVid");
    place(PicVid, kPicVidDesign);

    cmdSeekBackButton = new QPushButton(QStringLiteral("<< "), this);
    cmdSeekBackButton->setObjectName("cmdSeekBack");
    place(cmdSeekBackButton, kSeekBackDesign);

    cmdSeekForButton = new QPushButton(QStringLiteral(" >>"), this);
    cmdSeekForButton->setObjectName("cmdSeekFor");
    place(cmdSeekForButton, kSeekForDesign);

    HScroll1 = scrollBar("HScroll1", 0, 100, 1, 10, 100);
    place(HScroll1, kVolumeDesign);
    HScroll2 = scrollBar("HScroll2", 0, 100, 1, 1, 0);
    place(HScroll2, kPositionDesign);
    HScroll3 = scrollBar("HScroll3", -5000, 5000, 50, 500, 0);
    place(HScroll3, kBalanceDesign);

    // Tab order follows the design's tab indices, 0 first.
    setTabOrder(HScroll3, HScroll2);
    setTabOrder(HScroll2, HScroll1);
    setTabOrder(HScroll1, cmdSeekForButton);
    setTabOrder(cmdSeekForButton, cmdSeekBackButton);
    setTabOrder(cmdSeekBackButton, PicVid);

    connect(PicVid, &VideoSurface::painted, this, &QVRControl::PicVid_Paint);
    connect(PicVid, &VideoSurface::menuRequested, this, &QVRControl::showMenu);
    connect(PicVid, &VideoSurface::doubleClicked, this,
            [this] { guarded(this, [this] { UserControl_DblClick(); }); });
    connect(PicVid, &VideoSurface::graphNotice, this, &QVRControl::PicVid_GraphNotice);
    connect(cmdSeekBackButton, &QPushButton::clicked, this,
            [this] { guarded(this, [this] { cmdSeekBack(); }); });
    connect(cmdSeekForButton, &QPushButton::clicked, this,
            [this] { guarded(this, [this] { cmdSeekFor(); }); });
    connect(HScroll1, &ScrollBar::Scroll, this, &QVRControl::HScroll1_Scroll);
    connect(HScroll1, &ScrollBar::Change, this, &QVRControl::HScroll1_Change);
    connect(HScroll2, &ScrollBar::Scroll, this, &QVRControl::HScroll2_Scroll);
    connect(HScroll3, &ScrollBar::Scroll, this, &QVRControl::HScroll3_Scroll);
    connect(HScroll3, &ScrollBar::Change, this, &QVRControl::HScroll3_Change);
}

void QVRControl::createMenu() {
    mnuMain = new QMenu(QStringLiteral("弹出菜单"), this);
    mnuMain->setObjectName("mnuMain");
    mnuCAspect = mnuMain->addAction(QStringLiteral("自动大小(Correct Aspect)"));
    mnuCAspect->setObjectName("mnuCAspect");
    mnuSMovie = mnuMain->addAction(QStringLiteral("全屏(Stretch Movie)"));
    mnuSMovie->setObjectName("mnuSMovie");
    mnuOpen = mnuMain->addAction(QStringLiteral("打开"));
    mnuOpen->setObjectName("mnuOpen");
    mnuMain->addSeparator();
    mnuResetZoom = mnuMain->addAction(tr("Whole picture (reset zoom)") + QStringLiteral("\t0"));
    mnuResetZoom->setObjectName("mnuResetZoom");
    mnuSaveStill =
        mnuMain->addAction(tr("Save stills of both cameras") + QStringLiteral("\tCtrl+S"));
    mnuSaveStill->setObjectName("mnuSaveStill");

    connect(mnuCAspect, &QAction::triggered, this,
            [this] { guarded(this, [this] { cmdCAspect(); }); });
    connect(mnuSMovie, &QAction::triggered, this,
            [this] { guarded(this, [this] { cmdStretch(); }); });
    connect(mnuOpen, &QAction::triggered, this, [this] { guarded(this, [this] { OpenFile(); }); });
    connect(mnuResetZoom, &QAction::triggered, this,
            [this] { guarded(this, [this] { ResetZoom(); }); });
    connect(mnuSaveStill, &QAction::triggered, this, &QVRControl::stillRequested);
}

// ---- Host operations ----

void QVRControl::SetPosition(float xPos) {
    attempt([&] { cmdPause(); });
    attempt([&] { clDShow->DS_SetPosition(clDShow->DS_GetDuration() / 100.0 * xPos); });
}

void QVRControl::SetPlay() {
    attempt([&] { vol = narrowToInt16(clDShow->DS_GetVolume()); });
    attempt([&] { cmdPlay(); });
}

void QVRControl::UserControl_Initialize() {
    PicVid->setHint(QString());
    menu = true;
    num = 0;
    mnuMain->setEnabled(true);
    clDShow = std::make_unique<clsDShowControl>();
    clDialog = std::make_unique<CommonDialog>();
    clDialog->setFilter(kInitialFilter);
    clDialog->setDialogTitle(kDialogTitle);
}

void QVRControl::cmdStretch() {
    if (clDShow->MediaFile.isEmpty()) return;
    clDShow->DS_StretchMovie(toInt16(PicVid->width()), toInt16(PicVid->height()));
}

void QVRControl::cmdCAspect() {
    if (clDShow->MediaFile.isEmpty()) return;
    clDShow->DS_CorrectAspect(toInt16(PicVid->width()), toInt16(PicVid->height()));
}

void QVRControl::OpenFile() {
    clDialog->setFilter(kOpenFilter);
    clDialog->setDialogTitle(kDialogTitle);
    clDialog->ShowOpen();
    const QString path = clDialog->FileName();
    if (path.isEmpty()) return;
    // A file chosen here is the panel's own, apart from any other panel.
    clDShow->DS_FollowClock(nullptr);
    if (pairMember_) {
        pairMember_ = false;
        emit leftPair();
    }
    runOpenTail(path);
}

void QVRControl::OpenFile2(const QString& file) {
    if (file.isEmpty()) return;
    runOpenTail(file);
}

void QVRControl::cmdOpenFile() {
    if (clDShow->MediaFile.isEmpty()) return;
    runOpenTail(clDShow->MediaFile);
}

std::int32_t QVRControl::Duration() {
    return toInt32(clDShow->DS_GetDuration());
}

std::int32_t QVRControl::Position() {
    return toInt32(clDShow->DS_GetPosition());
}

void QVRControl::cmdTogglePlay() {
    vol = narrowToInt16(clDShow->DS_GetVolume());
    if (!clDShow->DS_Playing) {
        clDShow->DS_Play();
    } else if (clDShow->DS_Playing) {
        clDShow->DS_Pause();
    }
}

void QVRControl::cmdPlay() {
    clDShow->DS_Play();
    vol = narrowToInt16(clDShow->DS_GetVolume());
}

void QVRControl::cmdPause() {
    clDShow->DS_Pause();
}

void QVRControl::cmdStop() {
    clDShow->DS_Stop();
}

void QVRControl::cmdSubVol() {
    const std::int32_t volume = clDShow->DS_GetVolume();
    clDShow->DS_SetVolume(volume - 10);
    vol = narrowToInt16(clDShow->DS_GetVolume());
}

void QVRControl::cmdAddVol() {
    const std::int32_t volume = clDShow->DS_GetVolume();
    clDShow->DS_SetVolume(volume + 10);
    vol = narrowToInt16(clDShow->DS_GetVolume());
}

std::int32_t QVRControl::GetVol() {
    vol = narrowToInt16(clDShow->DS_GetVolume());
    return clDShow->DS_GetVolume();
}

bool QVRControl::HasSound() {
    return clDShow->DS_HasSound();
}

void QVRControl::SetVol(std::int32_t ivol) {
    clDShow->DS_SetVolume(ivol);
    vol = narrowToInt16(clDShow->DS_GetVolume());
}

// Only a change of the slider reaches the engine (HScroll3_Change): with the slider
// already at 0 the balance set by cmdBalLft or cmdBalRgt stays.
void QVRControl::cmdBalCen() {
    HScroll3->SetValue(0);
}

void QVRControl::cmdBalLft() {
    clDShow->DS_SetBalance(-10000);
}

void QVRControl::cmdBalRgt() {
    clDShow->DS_SetBalance(10000);
}

void QVRControl::cmdSeekBack() {
    if (pairMember_) return emit pairSeekByRequested(-1.0);
    clDShow->DS_Seek(-1.0);
}

void QVRControl::cmdSeekFor() {
    if (pairMember_) return emit pairSeekByRequested(1.0);
    clDShow->DS_Seek(1.0);
}

// ---- Review operations ----

std::shared_ptr<IPlaybackClock> QVRControl::NewClock() {
    return clDShow->DS_NewClock();
}

void QVRControl::FollowClock(std::shared_ptr<IPlaybackClock> clock) {
    clDShow->DS_FollowClock(std::move(clock));
}

void QVRControl::PrepareFile(const QString& file) {
    if (!file.isEmpty()) clDShow->DS_PrepareFile(file);
}

bool QVRControl::FileReady(const QString& file, std::chrono::steady_clock::time_point until) {
    return file.isEmpty() || clDShow->DS_FileReady(file, until);
}

bool QVRControl::AtEnd() {
    return clDShow->DS_AtEnd();
}

void QVRControl::cmdResume() {
    clDShow->DS_Resume();
    vol = narrowToInt16(clDShow->DS_GetVolume());
}

void QVRControl::SeekBy(double seconds) {
    clDShow->DS_Seek(seconds);
}

void QVRControl::StepFrame(std::int32_t frames) {
    // A file without pictures has no frame to step to.
    if (clDShow->IsAudioOnly) return;
    clDShow->DS_StepFrame(frames);
}

void QVRControl::SetRate(double rate) {
    if (std::isnan(rate)) throw Failure(Failure::InvalidArgument, "The speed is not a number");
    rate_ = std::clamp(rate, clsDShowControl::kSlowestRate, clsDShowControl::kFastestRate);
    clDShow->DS_SetRate(rate_);
}

void QVRControl::PlaceOnClock(double seconds) {
    clDShow->DS_PlaceOnClock(seconds);
}

double QVRControl::StartTime() {
    return clDShow->DS_GetStartTime();
}

double QVRControl::ClockPosition() {
    return clDShow->DS_GetClockPosition();
}

bool QVRControl::ShownPicture(double& time, double& interval) {
    return clDShow->DS_GetShownPicture(time, interval);
}

void QVRControl::SetTimeOffset(double seconds) {
    clDShow->DS_SetTimeOffset(seconds);
}

std::optional<std::chrono::system_clock::time_point> QVRControl::RecordedAt() {
    return clDShow->DS_GetRecordedAt();
}

void QVRControl::FullScreen() {
    clDShow->DS_FullScreenMovie();
}

void QVRControl::LeaveFullScreen() {
    clDShow->DS_WindowedMovie();
}

bool QVRControl::isFullScreenVideo(const QWidget* widget) const {
    if (widget == nullptr || !widget->property("fullScreenMode").toBool()) return false;
    const auto* owner = widget->property("owner").value<QWidget*>();
    return owner != nullptr && (owner == this || isAncestorOf(owner));
}

void QVRControl::SetTimeOverlay(bool shown) {
    timeOverlay_ = shown;
    clDShow->DS_SetTimeOverlay(shown);
}

void QVRControl::ResetZoom() {
    clDShow->DS_ResetZoom();
}

double QVRControl::Zoom() {
    return clDShow->DS_GetZoom();
}

QImage QVRControl::CurrentPicture(double& time) {
    return clDShow->DS_GetCurrentImage(time);
}

void QVRControl::setNotice(const QString& text) {
    PicVid->setNotice(text);
}

void QVRControl::clearNotice() {
    PicVid->clearNotice();
}

QString QVRControl::notice() const {
    return PicVid->notice();
}

QString QVRControl::hint() const {
    return PicVid->hint();
}

// ---- Opening ----

void QVRControl::runOpenTail(const QString& path) {
    clearNotice();
    PicVid->setHint(QString());
    const std::int16_t width = toInt16(PicVid->width());
    const std::int16_t height = toInt16(PicVid->height());
    const WindowHandle surface = WindowHandles::handleOf(PicVid);
    clDShow->DS_OpenFile(path, 0, 0, width, height, surface);
    clDShow->DS_WatchFailures(surface);
    cmdCAspect();
    double duration = 0;
    try {
        duration = clDShow->DS_GetDuration();
    } catch (const Failure&) {
        if (clDShow->IsAudioOnly) noticeFailedOpen(path);
        throw;
    }
    if (duration <= 0 && clDShow->IsAudioOnly) noticeFailedOpen(path);
    if (duration > 0 && clDShow->IsAudioOnly) PicVid->setHint(tr("sound only"));
    // Whole seconds in 32 bits: a recording runs for many hours, past the 16-bit
    // range that the scroll bar's own Max allows.
    HScroll2->setMaximum(toInt32(duration));
    clDShow->DS_Play();
    if (HScroll1->Value() < 100) clDShow->DS_SetVolume(HScroll1->Value());
    if (rate_ != 1.0) clDShow->DS_SetRate(rate_);
    // A new file shows its whole picture; the overlay follows the panel's setting.
    if (!timeOverlay_) attempt([&] { clDShow->DS_SetTimeOverlay(false); });
}

void QVRControl::noticeFailedOpen(const QString& path) {
    const QFileInfo file(path);
    // Storage that did not answer is not asked again here, on the window's thread.
    const QString reason = clDShow->OpenFailure == Failure::Timeout ? tr("did not answer in time")
                           : file.exists()                          ? tr("cannot be played")
                                                                    : tr("file not found");
    setNotice(file.fileName() + QStringLiteral("\n") + reason);
}

// A recording that fails part-way is reported where a failed open is, inside the video
// surface; its graph goes, and whatever else plays goes on.
void QVRControl::PicVid_GraphNotice() {
    const QString failure = clDShow->DS_TakeFailure();
    if (failure.isEmpty()) return;
    setNotice(QFileInfo(clDShow->MediaFile).fileName() + QStringLiteral("\n") + failure);
}

// ---- Window events ----

void QVRControl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    UserControl_Resize();
}

void QVRControl::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    UserControl_Paint();
}

void QVRControl::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        showMenu(event->globalPosition().toPoint());
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void QVRControl::mouseDoubleClickEvent(QMouseEvent* event) {
    // Only the panel's own surface counts, never a child control the event came from.
    if (event->button() == Qt::LeftButton && childAt(event->position().toPoint()) == nullptr) {
        UserControl_DblClick();
        event->accept();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

void QVRControl::showMenu(const QPoint& globalPos) {
    if (mnuMain->isEnabled()) mnuMain->popup(globalPos);
}

bool QVRControl::hasRoomForBottomRow() const {
    return height() >= twipsToWholePixels(kDesignHeightTwips, logicalDpiY());
}

void QVRControl::placeBottomRow() {
    // The row keeps its designed distance from the bottom edge. A panel shorter than
    // designed has no room for it below the video, and it would cover the picture.
    const double dpiY = logicalDpiY();
    const bool room = hasRoomForBottomRow();
    const std::pair<QWidget*, TwipsRect> row[] = {{HScroll3, kBalanceDesign},
                                                  {cmdSeekBackButton, kSeekBackDesign},
                                                  {HScroll2, kPositionDesign},
                                                  {cmdSeekForButton, kSeekForDesign},
                                                  {HScroll1, kVolumeDesign}};
    for (const auto& [control, design] : row) {
        control->move(control->x(),
                      height() - twipsToWholePixels(kDesignHeightTwips - design.top, dpiY));
        control->setVisible(room);
    }
}

int QVRControl::videoHeight() const {
    if (!hasRoomForBottomRow()) return height() - 2;
    return height() - twipsToWholePixels(kDesignHeightTwips - kBottomRowTop, logicalDpiY()) - 2;
}

void QVRControl::UserControl_Resize() {
    placeBottomRow();
    attempt([&] { setHeight(PicVid, videoHeight()); });
    attempt([&] { setTop(PicVid, kScaleTop + 2); });
    attempt([&] { setWidth(PicVid, width()); });
    attempt([&] { cmdCAspect(); });
}

// A repaint must not open a modal box: its own repaints would fail again beneath it.
// A fit that cannot be made leaves the video where it is.
void QVRControl::UserControl_Paint() {
    attempt([&] {
        clDShow->DS_UpdateMovie();
        cmdCAspect();
    });
}

void QVRControl::PicVid_Paint() {
    attempt([&] { cmdCAspect(); });
}

void QVRControl::UserControl_DblClick() {
    clDShow->DS_FullScreenMovie();
    if (num < std::numeric_limits<std::int32_t>::max()) ++num;
}

void QVRControl::HScroll1_Scroll() {
    clDShow->DS_SetVolume(HScroll1->Value());
}

void QVRControl::HScroll1_Change() {
    clDShow->DS_SetVolume(HScroll1->Value());
}

// Dragging sends many seeks; one that fails is dropped and the next one tries again.
// The position is read in 32 bits, like the Max set by an open.
void QVRControl::HScroll2_Scroll() {
    if (pairMember_) return emit pairPositionRequested(HScroll2->value());
    attempt([&] { clDShow->DS_SetPosition(HScroll2->value()); });
}

void QVRControl::HScroll3_Scroll() {
    clDShow->DS_SetBalance(HScroll3->Value());
}

void QVRControl::HScroll3_Change() {
    clDShow->DS_SetBalance(HScroll3->Value());
}

}  // namespace corvid
