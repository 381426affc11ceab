#include "main_window/Form1.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <initializer_list>

#include "main_window/DriveAccessible.h"
#include "main_window/ProgressAccessible.h"
#include "main_window/ProgressText.h"
#include "main_window/RecordingLine.h"
#include "main_window/RecordingScan.h"
#include "main_window/ReviewKeys.h"
#include "media_engine/clsDShowControl.h"
#include "platform/file_views/DriveList.h"
#include "platform/file_views/FolderList.h"
#include "platform/files/FileSystem.h"
#include "platform/files/FolderPath.h"
#include "platform/widgets/FocusMark.h"
#include "platform/widgets/Guarded.h"
#include "platform/widgets/MessageBox.h"
#include "platform/widgets/ScrollBar.h"
#include "player_control/QVRControl.h"
#include "player_control/VideoSurface.h"
#include "recording_pair/RecordingPair.h"
#include "util/AllocatorPolicy.h"
#include "util/Attempt.h"
#include "util/Failure.h"
#include "util/Numeric.h"

namespace corvid {

namespace {

// Design values in twips.
constexpr double kClientWidth = 10650;
constexpr double kClientHeight = 9660;

const QString kFileMissing = QStringLiteral("文件不存在");
const QString kFirstPortMissing = QStringLiteral("第一个端口文件不存在，点确定刷列文件列表");
const QString kSecondPortMissing = QStringLiteral("第二个端口文件不存在，点确定刷列文件列表");
const QString kBadLine = QStringLiteral("文件信息不正确");

// The captions of the play command: what a click does next.
const QString kPlayCaption = QStringLiteral("Play");
const QString kPauseCaption = QStringLiteral("Pause");

// Long enough after a click that its opens and first pictures are done with the allocator.
constexpr int kIdleBeforeTrim = 2000;

// The colour is for an enabled control; a disabled one keeps the style's grey, so that it
// shows that it cannot be chosen.
void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::WindowText, colour);
        palette.setColor(group, QPalette::ButtonText, colour);
        palette.setColor(group, QPalette::Text, colour);
    }
    widget->setPalette(palette);
}

std::int16_t mouseButtons(Qt::MouseButtons buttons) {
    return static_cast<std::int16_t>(buttons.toInt() & 0x7);
}

// The places of the controls as designed, before the first resize.
FormLayout designLayout() {
    FormLayout l;
    l.Width = 10740;
    l.Height = 10195;
    l.QVRControl1Height = 5655;
    l.fraPlayTop = 5640;
    l.fraVolTop = 5640;
    l.lsASFTop = 6360;
    l.DrvListTop = 6270;
    l.DirListTop = 6600;
    l.lsASFWidth = 5295;
    l.fraPlayWidth = 6015;
    l.fraVolLeft = 6000;
    l.P1Width = 5835;
    l.L1Left = 870;
    l.QVRControl1Width = 5295;
    l.QVRControl2Left = 5280;
    l.QVRControl2Height = 5655;
    l.QVRControl2Width = 5295;
    return l;
}

}  // namespace

Form1::Form1(QWidget* parent) : QMainWindow(parent), fileSystem_(FileSystem::current()) {
    setWindowTitle(QStringLiteral("Corvid"));
    setWindowIcon(icon());
    // Before the controls: the toolkit makes and keeps a control's accessible interface at
    // its first change (the drive box's at its first drive), from the factories there are.
    ProgressAccessible::install();
    DriveAccessible::install();
    createControls();
    createMenu();
    setTabOrder();
    nameControls();
    connectHandlers();
    pair_ = std::make_unique<RecordingPair>(*QVRControl1, *QVRControl2);
    connect(pair_.get(), &RecordingPair::timelineChanged, this,
            [this] { guarded(this, [this] { showPairMembers(); }); });
    reviewKeys_ = std::make_unique<ReviewKeys>(*this);
    resize(pixelsOf(kClientWidth), pixelsOf(kClientHeight) + menuBar()->sizeHint().height());
    guarded(this, [this] { Form_Load(); });
}

Form1::~Form1() = default;

void Form1::createControls() {
    auto* client = new QWidget(this);
    setCentralWidget(client);

    QVRControl1 = new QVRControl(client);
    QVRControl1->setObjectName("QVRControl1");
    QVRControl2 = new QVRControl(client);
    QVRControl2->setObjectName("QVRControl2");

    lsASF = new QListWidget(client);
    lsASF->setObjectName("lsASF");
    lsASF->setSortingEnabled(false);

    DrvList = new DriveList(client);
    DrvList->setObjectName("DrvList");
    DirList = new FolderList(client);
    DirList->setObjectName("DirList");

    fraVol = new QGroupBox(QStringLiteral("Volume Control"), client);
    fraVol->setObjectName("fraVol");
    Label1 = new QLabel(QStringLiteral("VOL："), fraVol);
    Label1->setObjectName("Label1");
    optLeft = new QRadioButton(QStringLiteral("Cam1"), fraVol);
    optLeft->setObjectName("optLeft");
    setTextColour(optLeft, QColor(0, 0, 255));
    optLeft->setChecked(true);
    optRight = new QRadioButton(QStringLiteral("Cam2"), fraVol);
    optRight->setObjectName("optRight");
    setTextColour(optRight, QColor(255, 0, 0));
    hsVol = new ScrollBar(Qt::Horizontal, fraVol);
    hsVol->setObjectName("hsVol");
    hsVol->SetMin(0);
    hsVol->SetMax(150);
    hsVol->SetSmallChange(5);
    hsVol->SetLargeChange(1);
    hsVol->SetValue(75);
    hsVol->setFocusPolicy(Qt::StrongFocus);

    fraPlay = new QGroupBox(QStringLiteral("Playback progress"), client);
    fraPlay->setObjectName("fraPlay");
    P1 = new QWidget(fraPlay);
    P1->setObjectName("P1");
    P1->setFocusPolicy(Qt::StrongFocus);
    P1->installEventFilter(this);
    auto* timeText = new ProgressText(QStringLiteral("00:00:00 / 00:00:00"), P1);
    L1 = timeText;
    L1->setObjectName("L1");
    L1->setAlignment(Qt::AlignCenter);
    L1->setAttribute(Qt::WA_TransparentForMouseEvents);
    S1 = new QFrame(P1);
    S1->setObjectName("S1");
    S1->setAutoFillBackground(true);
    QPalette fill = S1->palette();
    fill.setColor(QPalette::Window, QColor(0, 0, 255));
    S1->setPalette(fill);
    S1->setAttribute(Qt::WA_TransparentForMouseEvents);
    // The time text stays readable where the fill reaches it.
    timeText->setFill(S1);
    L1->raise();
    // The style's own focus marks are faint on several of these; one mark for every stop.
    for (QWidget* stop :
         std::initializer_list<QWidget*>{P1, lsASF, DrvList, DirList, optLeft, optRight, hsVol})
        new FocusMark(stop);

    scan_ = std::make_unique<RecordingScan>(lsASF, [] { QCoreApplication::processEvents(); });
    scan_->keepInLine(DrvList, DirList);
    scan_->setMessageParent(this);

    timPS = new QTimer(this);
    timPS->setObjectName("timPS");
    timPS->setInterval(1000);
    timPS->start();

    idleTrim_ = new QTimer(this);
    idleTrim_->setSingleShot(true);
    idleTrim_->setInterval(kIdleBeforeTrim);

    layout_ = designLayout();
    applyLayout();
}

void Form1::createMenu() {
    mnuPlay = menuBar()->addAction(kPlayCaption);
    mnuPlay->setObjectName("mnuPlay");
    mnuPlay->setEnabled(false);
    mnuClose = menuBar()->addAction(QStringLiteral("Stop"));
    mnuClose->setObjectName("mnuClose");
    mnuClose->setEnabled(false);
}

// The names a screen reader gives the controls, where their own text says too little or
// they have none.
void Form1::nameControls() {
    QVRControl1->PicVid->setAccessibleName(QStringLiteral("Camera 1"));
    QVRControl2->PicVid->setAccessibleName(QStringLiteral("Camera 2"));
    lsASF->setAccessibleName(QStringLiteral("Recordings"));
    DrvList->setAccessibleName(QStringLiteral("Drive"));
    DirList->setAccessibleName(QStringLiteral("Folder"));
    optLeft->setAccessibleDescription(QStringLiteral("Hear camera 1"));
    optRight->setAccessibleDescription(QStringLiteral("Hear camera 2"));
    hsVol->setAccessibleName(QStringLiteral("Volume"));
    P1->setAccessibleName(QStringLiteral("Playback position"));
}

void Form1::setTabOrder() {
    QWidget* order[] = {QVRControl1, QVRControl2, lsASF, DrvList, DirList,
                        optLeft,     optRight,    hsVol, P1};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        QWidget::setTabOrder(order[i], order[i + 1]);
    }
}

void Form1::connectHandlers() {
    connect(mnuPlay, &QAction::triggered, this,
            [this] { guarded(this, [this] { mnuPlay_Click(); }); });
    connect(mnuClose, &QAction::triggered, this,
            [this] { guarded(this, [this] { mnuClose_Click(); }); });
    connect(timPS, &QTimer::timeout, this, [this] { guarded(this, [this] { timPS_Timer(); }); });
    connect(idleTrim_, &QTimer::timeout, this, [] { AllocatorPolicy::returnFreedMemory(); });
    connect(optLeft, &QRadioButton::clicked, this,
            [this] { guarded(this, [this] { optLeft_Click(); }); });
    connect(optRight, &QRadioButton::clicked, this,
            [this] { guarded(this, [this] { optRight_Click(); }); });
    connect(hsVol, &ScrollBar::Change, this, [this] { guarded(this, [this] { hsVol_Change(); }); });
    connect(DrvList, &DriveList::Change, this,
            [this] { guarded(this, [this] { DrvList_Change(); }); });
    connect(DirList, &FolderList::Change, this,
            [this] { guarded(this, [this] { DirList_Change(); }); });

    // A click on a line selects it, a click on the selected line reloads it, and moving the
    // selection with the keyboard selects too: each runs the click handler once.
    // The focus coming into the list makes its first line current without selecting it:
    // only a chosen line loads. Enter chooses the line the focus brought.
    connect(lsASF, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row < 0 || !lsASF->item(row)->isSelected()) return;
        rowChangedByPress_ = QApplication::mouseButtons() != Qt::NoButton;
        guarded(this, [this] { lsASF_Click(); });
    });
    connect(lsASF, &QListWidget::itemClicked, this, [this] {
        if (rowChangedByPress_) {
            rowChangedByPress_ = false;
            return;
        }
        guarded(this, [this] { lsASF_Click(); });
    });
    connect(lsASF, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        if (item->isSelected()) return;
        item->setSelected(true);
        guarded(this, [this] { lsASF_Click(); });
    });
}

// ---- Start-up and layout -------------------------------------------------------------

void Form1::Form_Load() {
    // Without any volume to show there is no folder to start in.
    if (DrvList->Drive().isEmpty()) return;
    const QString before = DirList->Path();
    DirList->setPath(DrvList->Drive());
    // The folder list raises no change when it already shows the start folder; the list of
    // recordings is wanted at start-up all the same.
    if (DirList->Path() == before) DirList_Change();
}

void Form1::Form_Resize() {
    // Setting the size below raises a nested resize; one level of nesting computes the same
    // layout, anything deeper would only repeat it.
    if (resizeDepth_ > 1) return;
    ++resizeDepth_;
    struct Leave {
        int& depth;
        ~Leave() { --depth; }
    } leave{resizeDepth_};

    // A minimised window has nothing to show; a maximised or full-screen one keeps the size
    // the window manager gave it, even on a screen smaller than the minimum.
    if (isMinimized()) return;
    const bool sizable = !isMaximized() && !isFullScreen();
    if (sizable && Width() < FormLayout::MinimumWidth) setWidth(FormLayout::MinimumWidth);
    if (sizable && Height() < FormLayout::MinimumHeight) setHeight(FormLayout::MinimumHeight);
    layout_ = FormLayout::compute(Width(), Height());
    applyLayout();
}

float Form1::Width() const {
    const int pixels = frameGeometry().width();
    if (requestedWidth_ && pixels == requestedWidthPixels_) return *requestedWidth_;
    return static_cast<float>(twipsOf(pixels));
}

float Form1::Height() const {
    const int pixels = frameGeometry().height();
    if (requestedHeight_ && pixels == requestedHeightPixels_) return *requestedHeight_;
    return static_cast<float>(twipsOf(pixels));
}

void Form1::setWidth(float twips) {
    const int outer = pixelsOf(twips);
    requestedWidth_ = twips;
    requestedWidthPixels_ = outer;
    resize(outer - frameExtra().width(), height());
}

void Form1::setHeight(float twips) {
    const int outer = pixelsOf(twips);
    requestedHeight_ = twips;
    requestedHeightPixels_ = outer;
    resize(width(), outer - frameExtra().height());
}

QSize Form1::frameExtra() const {
    // Without a window manager (offscreen) the frame adds nothing and the outer size is the
    // window's own.
    return frameGeometry().size() - geometry().size();
}

void Form1::applyLayout() {
    const FormLayout& l = layout_;
    const FormLayout::Design d;
    QVRControl1->setGeometry(
        twipsRect(0, d.QVRControl1Top, l.QVRControl1Width, l.QVRControl1Height));
    QVRControl2->setGeometry(
        twipsRect(l.QVRControl2Left, 0, l.QVRControl2Width, l.QVRControl2Height));
    lsASF->setGeometry(twipsRect(d.lsASFLeft, l.lsASFTop, l.lsASFWidth, d.lsASFHeight));
    DrvList->setGeometry(twipsRect(0, l.DrvListTop, 5280, d.DrvListHeight));
    DirList->setGeometry(twipsRect(0, l.DirListTop, 5295, 2820));
    fraVol->setGeometry(twipsRect(l.fraVolLeft, l.fraVolTop, d.fraVolWidth, d.fraVolHeight));
    fraPlay->setGeometry(twipsRect(d.fraPlayLeft, l.fraPlayTop, l.fraPlayWidth, d.fraPlayHeight));
    P1->setGeometry(twipsRect(60, 240, l.P1Width, 225));
    L1->setGeometry(twipsRect(l.L1Left, 0, d.L1Width, 195));
    Label1->setGeometry(twipsRect(180, 270, 555, 195));
    optLeft->setGeometry(twipsRect(750, 270, 915, 195));
    optRight->setGeometry(twipsRect(1680, 270, 915, 195));
    hsVol->setGeometry(twipsRect(2640, 270, 1785, 195));
    setS1Width(s1WidthTwips_);
}

double Form1::dpi() const {
    return logicalDpiX();
}

int Form1::pixelsOf(double twips) const {
    return twipsToWholePixels(twips, dpi());
}

double Form1::twipsOf(int pixels) const {
    return pixelsToTwips(pixels, dpi());
}

QRect Form1::twipsRect(double left, double top, double width, double height) const {
    // Edges are rounded rather than sizes, so neighbours that meet in twips meet in pixels.
    const int x = pixelsOf(left);
    const int y = pixelsOf(top);
    return QRect(x, y, pixelsOf(left + width) - x, pixelsOf(top + height) - y);
}

void Form1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    guarded(this, [this] { Form_Resize(); });
}

void Form1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (centred_) return;
    centred_ = true;
    if (QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

QIcon Form1::icon() {
    // Two camera lenses side by side, blue for camera 1 and red for camera 2.
    QIcon result;
    for (int size : {16, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const double s = size / 16.0;
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(40, 40, 48));
        painter.drawRoundedRect(QRectF(0.5 * s, 3 * s, 15 * s, 10 * s), 2 * s, 2 * s);
        painter.setBrush(QColor(0, 0, 255));
        painter.drawEllipse(QRectF(1.5 * s, 5 * s, 6 * s, 6 * s));
        painter.setBrush(QColor(255, 0, 0));
        painter.drawEllipse(QRectF(8.5 * s, 5 * s, 6 * s, 6 * s));
        painter.setBrush(QColor(255, 255, 255, 200));
        painter.drawEllipse(QRectF(3 * s, 6.5 * s, 1.6 * s, 1.6 * s));
        painter.drawEllipse(QRectF(10 * s, 6.5 * s, 1.6 * s, 1.6 * s));
        painter.end();
        result.addPixmap(pixmap);
    }
    return result;
}

// ---- Recording list --------------------------------------------------------------------

void Form1::DrvList_Change() {
    DirList->setPath(DrvList->Drive());
}

void Form1::DirList_Change() {
    scan_->run(DirList->Path());
}

// ---- Progress bar and timer ------------------------------------------------------------

void Form1::timPS_Timer() {
    UpdateProgress();
}

void Form1::UpdateProgress() {
    drawProgress(false);
}

void Form1::ShowProgressNow() {
    drawProgress(true);
}

void Form1::drawProgress(bool evenAtTheStart) {
    // Each camera's whole seconds, as its panel reports them, placed on the pair's timeline:
    // the bar spans the timeline from its start to its end.
    double position1 = 0;
    double duration1 = 0;
    double position2 = 0;
    double duration2 = 0;
    attempt([&] { position1 = toInt32(QVRControl1->Position()); });
    attempt([&] { duration1 = toInt32(QVRControl1->Duration()); });
    attempt([&] { position2 = toInt32(QVRControl2->Position()); });
    attempt([&] { duration2 = toInt32(QVRControl2->Duration()); });
    const double start = pair_->start();
    const auto onTimeline = [&](int camera, double seconds) {
        return seconds + pair_->offset(camera) - start;
    };
    const double length = std::max(roundHalfEven(pair_->length()), std::max(duration1, duration2));

    double position = 0;
    double duration = 0;
    // Camera 1 tells the moment while it plays within its file; camera 2 while camera 1
    // is at its start or has ended before it.
    const bool camera1Ended = position1 >= duration1 && position2 > 0 && position2 < duration2;
    if (position1 > 0 && !camera1Ended) {
        position = onTimeline(0, position1);
        duration = duration1 > 0 ? length : 0;
    } else if (position2 > 0) {
        position = onTimeline(1, position2);
        duration = duration2 > 0 ? length : 0;
    } else if (!evenAtTheStart) {
        return;
    } else {
        // Both at their start: the times of the camera that holds a recording, camera 1
        // first; with none, zero times.
        duration = duration1 > 0 || duration2 > 0 ? length : 0;
        setS1Width(0);
    }

    attempt([&] {
        if (duration == 0) throw Failure(Failure::DivisionByZero, "Division by zero");
        setS1Width(static_cast<float>(position / duration * P1Width()));
    });
    attempt([&] { L1->setText(TimeText(position) + " / " + TimeText(duration)); });
}

QString Form1::TimeText(double seconds) {
    return clsDShowControl::SecToTime(seconds);
}

void Form1::setS1Width(float twips) {
    s1WidthTwips_ = twips;
    S1->setGeometry(twipsRect(0, 0, twips, 165));
    L1->update();  // its colours follow the fill's edge
}

float Form1::clampToBar(float x) const {
    if (x <= 0) return 0;
    if (x >= P1Width()) return P1Width();
    return x;
}

float Form1::seekPercentage() const {
    return S1Width() / P1Width() * 100.0f;
}

void Form1::P1_MouseDown(std::int16_t Button, std::int16_t, float X, float) {
    if (Button != 1) return;
    SetPlayState(PlayState::Seeking);
    setS1Width(clampToBar(X));
    pair_->seekToPercentage(seekPercentage());
}

void Form1::P1_MouseMove(std::int16_t Button, std::int16_t, float X, float) {
    if (Button != 1) return;
    setS1Width(clampToBar(X));
    pair_->seekToPercentage(seekPercentage());
    UpdateProgress();
}

void Form1::P1_MouseUp(std::int16_t Button, std::int16_t, float X, float) {
    if (Button != 1) return;
    setS1Width(clampToBar(X));
    pair_->forEachPanel([](QVRControl& panel) { panel.SetPlay(); });
    SetPlayState(PlayState::Loaded);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched != P1) return QMainWindow::eventFilter(watched, event);
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseMove && type != QEvent::MouseButtonDblClick) {
        return QMainWindow::eventFilter(watched, event);
    }
    // Event filters see the events of a disabled widget too; a disabled bar takes no input.
    if (!P1->isEnabled()) return true;
    auto* mouse = static_cast<QMouseEvent*>(event);
    const float x = static_cast<float>(twipsOf(1) * mouse->position().x());
    const float y = static_cast<float>(twipsOf(1) * mouse->position().y());
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            guarded(this, [&] { P1_MouseDown(mouseButtons(mouse->button()), 0, x, y); });
            break;
        case QEvent::MouseMove:
            guarded(this, [&] { P1_MouseMove(mouseButtons(mouse->buttons()), 0, x, y); });
            break;
        default:
            guarded(this, [&] { P1_MouseUp(mouseButtons(mouse->button()), 0, x, y); });
            break;
    }
    return true;
}

void Form1::SetPlayState(PlayState state) {
    if (state == PlayState::Idle) {
        mnuPlay->setEnabled(false);
        mnuPlay->setText(kPlayCaption);
        mnuClose->setEnabled(false);
        timPS->stop();
        P1->setEnabled(false);
    } else if (state == PlayState::Loaded) {
        mnuClose->setEnabled(true);
        mnuPlay->setEnabled(true);
        mnuPlay->setText(kPauseCaption);
        timPS->start();
        P1->setEnabled(true);
    } else {
        mnuPlay->setEnabled(false);
        mnuPlay->setText(kPlayCaption);
        mnuClose->setEnabled(false);
        timPS->stop();
    }
}

// ---- Play and Stop ---------------------------------------------------------------------

bool Form1::isPlaying() const {
    return mnuPlay->isEnabled() && mnuPlay->text() == kPauseCaption;
}

void Form1::mnuPlay_Click() {
    if (mnuPlay->text() == kPlayCaption) {
        timPS->start();
        mnuPlay->setText(kPauseCaption);
        pair_->play();
    } else {
        timPS->stop();
        mnuPlay->setText(kPlayCaption);
        pair_->pause();
    }
    ShowProgressNow();
}

void Form1::commandBothPanels(const std::function<void(QVRControl&)>& command) {
    pair_->forEachPanel(command);
}

void Form1::mnuClose_Click() {
    pair_->stop();
    mnuPlay->setText(kPlayCaption);
    mnuPlay->setEnabled(false);
    mnuClose->setEnabled(false);
    timPS->stop();
    setS1Width(0);
    L1->setText(QString());
    ShowProgressNow();
    idleTrim_->start();
}

// ---- Audio source and volume -----------------------------------------------------------

void Form1::hsVol_Change() {
    ApplyVolume();
}

void Form1::optLeft_Click() {
    ApplyVolume();
}

void Form1::optRight_Click() {
    ApplyVolume();
}

void Form1::ApplyVolume() {
    if (optLeft->isChecked()) {
        pair_->hear(0, hsVol->Value());
    } else if (optRight->isChecked()) {
        pair_->hear(1, hsVol->Value());
    }
}

// ---- Loading a recording ---------------------------------------------------------------

void Form1::lsASF_Click() {
    LoadSelectedRecording();
}

void Form1::LoadSelectedRecording() {
    const QString path = DirList->Path();
    if (path.trimmed().isEmpty()) return;
    const QString prefix = folderPrefix(path);
    // The recording on show is closed while the new one's files open (RecordingPair::load's
    // `meanwhile`), or before a failure is reported when there is nothing to open.
    const auto closeShown = [this] {
        mnuClose_Click();
        QVRControl1->clearNotice();
        QVRControl2->clearNotice();
    };

    const std::optional<RecordingLine> line = RecordingLine::of(lsASF->currentItem());
    if (!line) return closeShown();
    const std::optional<RecordingLine::Kind> kind = line->kind();
    const QStringList files = line->fileNames();

    // A folder that went away since the scan (an unmounted volume, a removed folder) is
    // reported as such; the window then stays idle as for a missing file.
    QString unreachable;
    auto missing = [&](const QString& message) {
        closeShown();
        SetPlayState(PlayState::Idle);
        MessageBox::show(this, unreachable.isEmpty() ? message : unreachable);
        // The lists must not go on showing a folder that has gone.
        if (!unreachable.isEmpty()) scan_->recover();
    };
    const auto closeAndLoad = [this, closeShown] {
        closeShown();
        SetPlayState(PlayState::Loaded);
    };

    if (kind == RecordingLine::Kind::Pair) {
        // A camera missing from a pair means the list is out of date: it is scanned again.
        const auto missingFromPair = [&](const QString& message) {
            missing(message);
            if (unreachable.isEmpty()) DirList_Change();
        };
        const auto camera1 = existingFile(prefix + files[0], unreachable);
        if (!camera1) return missingFromPair(kFirstPortMissing);
        const auto camera2 = existingFile(prefix + files[1], unreachable);
        if (!camera2) return missingFromPair(kSecondPortMissing);
        pair_->load(
            *camera1, *camera2,
            [this] {
                SetCameraMode(CameraMode::Both);
                FinishLoading();
            },
            closeAndLoad);
    } else if (kind) {
        // One camera: camera 2 alone plays on the right, anything else on the left.
        const bool second = kind == RecordingLine::Kind::Camera2Only;
        const auto file = existingFile(prefix + files[0], unreachable);
        if (!file) return missing(kFileMissing);
        pair_->load(
            second ? QString() : *file, second ? *file : QString(),
            [this, second] {
                (second ? QVRControl1 : QVRControl2)->cmdStop();
                SetCameraMode(second ? CameraMode::Camera2 : CameraMode::Camera1);
                FinishLoading();
            },
            closeAndLoad);
    } else {
        closeShown();
        MessageBox::show(this, kBadLine);
    }
}

void Form1::FinishLoading() {
    QVRControl* heard = optLeft->isChecked() ? QVRControl1 : QVRControl2;
    // A panel without sound reads back 0, which nobody chose: the slider keeps its value,
    // or every later recording would play silent.
    if (heard->HasSound()) hsVol->SetValue(toInt16(heard->GetVol()));
    ShowProgressNow();
    idleTrim_->start();
}

bool Form1::SelectRecording(const QString& fileName) {
    // Names on disk are matched as written first, so that of two files differing only in
    // letter case the one named is chosen; the recording rules fold case otherwise.
    for (const Qt::CaseSensitivity sensitivity : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
        for (int row = 0; row < lsASF->count(); ++row) {
            const std::optional<RecordingLine> line = RecordingLine::of(lsASF->item(row));
            if (!line || !line->fileNames().contains(fileName, sensitivity)) continue;
            if (lsASF->currentRow() == row) {
                guarded(this, [this] { lsASF_Click(); });
            } else {
                lsASF->setCurrentRow(row);
            }
            return true;
        }
    }
    MessageBox::show(this, tr("\"%1\" is not one of the recordings in this folder.").arg(fileName));
    return false;
}

std::optional<QString> Form1::existingFile(const QString& fullName, QString& unreachable) {
    try {
        return fileSystem_->findFile(fullName);
    } catch (const Failure& failure) {
        unreachable =
            tr("The recording cannot be loaded.\n\n%1").arg(QString::fromStdString(failure.what()));
        return std::nullopt;
    }
}

void Form1::SetCameraMode(CameraMode mode) {
    // Camera 1 is heard unless the recording has camera 2 alone, or camera 1 has no sound
    // (no sound stream, or a file that did not open) while camera 2 has.
    const bool second = mode == CameraMode::Camera2 ||
                        (mode == CameraMode::Both && !pair_->hasSound(0) && pair_->hasSound(1));
    pair_->hear(second ? 1 : 0, hsVol->Value());
    selectOption(second ? optRight : optLeft);
    optLeft->setEnabled(mode != CameraMode::Camera2);
    optRight->setEnabled(mode != CameraMode::Camera1);
}

void Form1::showPairMembers() {
    // A camera whose panel opened a file of its own is no longer a sound of the recording.
    if (!pair_->loaded(0) && !pair_->loaded(1)) return;
    for (int camera = 0; camera < 2; ++camera) {
        QRadioButton* option = camera == 0 ? optLeft : optRight;
        if (pair_->loaded(camera) || !option->isEnabled()) continue;
        option->setEnabled(false);
        if (option->isChecked()) selectOption(camera == 0 ? optRight : optLeft);
    }
}

void Form1::selectOption(QRadioButton* option) {
    // Selecting a button in code raises its click, as a user's click would.
    option->setChecked(true);
    if (option == optLeft) {
        optLeft_Click();
    } else {
        optRight_Click();
    }
}

}  // namespace corvid
