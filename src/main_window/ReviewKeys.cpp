#include "main_window/ReviewKeys.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTextEdit>
#include <QTimer>

#include "main_window/ClipMarks.h"
#include "main_window/ClipPairExport.h"
#include "main_window/EvidenceExport.h"
#include "main_window/Form1.h"
#include "media_engine/clsDShowControl.h"
#include "platform/file_views/FolderList.h"
#include "platform/widgets/Guarded.h"
#include "player/AsfHeaderReader.h"
#include "player_control/QVRControl.h"
#include "recording_pair/RecordingPair.h"
#include "util/Failure.h"

namespace corvid {

namespace {

// Keys that repeat while held: seeking and stepping, not the toggles.
bool repeats(int key) {
    return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Comma ||
           key == Qt::Key_Period;
}

QString speedText(double speed) {
    if (speed >= 1.0) return QStringLiteral("%1x").arg(speed);
    return QStringLiteral("1/%1x").arg(1.0 / speed);
}

bool isTextField(const QWidget* widget) {
    return qobject_cast<const QLineEdit*>(widget) != nullptr ||
           qobject_cast<const QTextEdit*>(widget) != nullptr ||
           qobject_cast<const QPlainTextEdit*>(widget) != nullptr ||
           qobject_cast<const QAbstractSpinBox*>(widget) != nullptr;
}

// Option buttons move between themselves with the arrows and a slider moves with them
// and its paging keys: there the plain keys are the control's own, as a keyboard user
// has no other way to choose a camera or set the volume. Shift+arrows still seek.
bool ownsKey(const QWidget* widget, const QKeyEvent& key) {
    if (key.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) return false;
    const int k = key.key();
    const bool arrow =
        k == Qt::Key_Left || k == Qt::Key_Right || k == Qt::Key_Up || k == Qt::Key_Down;
    if (qobject_cast<const QRadioButton*>(widget) != nullptr) return arrow;
    if (qobject_cast<const QAbstractSlider*>(widget) != nullptr)
        return arrow || k == Qt::Key_PageUp || k == Qt::Key_PageDown || k == Qt::Key_Home ||
               k == Qt::Key_End;
    return false;
}

}  // namespace

ReviewKeys::ReviewKeys(Form1& form) : form_(form) {
    clipMarks_ = new ClipMarks(form_.P1, form_.pair());
    createBindings();
    createHelpMenu();
    createSpeedLabel();
    for (QVRControl* panel : {form_.QVRControl1, form_.QVRControl2}) {
        connect(panel, &QVRControl::stillRequested, this,
                [this] { guarded(&form_, [this] { saveStills(); }); });
    }
    // Application-wide, so that keys are seen before whichever control has the focus.
    qApp->installEventFilter(this);
}

ReviewKeys::~ReviewKeys() {
    qApp->removeEventFilter(this);
}

void ReviewKeys::createBindings() {
    bindings_ = {
        {Qt::Key_Space, false, tr("Space"), tr("Play / Pause"), [this] { playPause(); }},
        {Qt::Key_Left, false, tr("Left"), tr("Back 5 seconds"), [this] { seekBy(-kSeekSeconds); }},
        {Qt::Key_Right, false, tr("Right"), tr("Forward 5 seconds"),
         [this] { seekBy(kSeekSeconds); }},
        {Qt::Key_Left, true, tr("Shift+Left"), tr("Back 1 minute"),
         [this] { seekBy(-kLongSeekSeconds); }},
        {Qt::Key_Right, true, tr("Shift+Right"), tr("Forward 1 minute"),
         [this] { seekBy(kLongSeekSeconds); }},
        {Qt::Key_Comma, false, tr(","), tr("Previous frame"), [this] { stepFrames(-1); }},
        {Qt::Key_Period, false, tr("."), tr("Next frame"), [this] { stepFrames(1); }},
        {Qt::Key_BracketLeft, false, tr("["), tr("Half the speed"),
         [this] { setSpeed(speed() / 2); }},
        {Qt::Key_BracketRight, false, tr("]"), tr("Double the speed"),
         [this] { setSpeed(speed() * 2); }},
        {Qt::Key_Backspace, false, tr("Backspace"), tr("Normal speed"), [this] { setSpeed(1.0); }},
        {Qt::Key_F, false, tr("F"),
         tr("Full screen (the focused camera, else the one under the pointer)"),
         [this] { fullScreenUnderPointer(); }},
        {Qt::Key_Escape, false, tr("Esc"), tr("Leave full screen"), [this] { leaveFullScreen(); }},
        {Qt::Key_T, false, tr("T"), tr("Show or hide each camera's time over its picture"),
         [this] { toggleTimeOverlays(); }},
        {Qt::Key_0, false, tr("0"),
         tr("Whole pictures (reset zoom; the wheel zooms, a drag moves)"), [this] { resetZoom(); }},
        {Qt::Key_I, false, tr("I"), tr("Mark the start of a clip"),
         [this] { clipMarks_->markStart(); }},
        {Qt::Key_O, false, tr("O"), tr("Mark the end of a clip"),
         [this] { clipMarks_->markEnd(); }},
        {Qt::Key_S, false, tr("Ctrl+S"), tr("Save stills of both cameras"),
         [this] { saveStills(); }, true},
        {Qt::Key_E, false, tr("Ctrl+E"), tr("Export the marked clip of both cameras"),
         [this] { exportClip(); }, true},
        {Qt::Key_Comma, false, tr("Ctrl+,"), tr("Move camera 2 one picture earlier"),
         [this] { nudgeCamera2(-1); }, true},
        {Qt::Key_Period, false, tr("Ctrl+."), tr("Move camera 2 one picture later"),
         [this] { nudgeCamera2(1); }, true},
        {Qt::Key_R, false, tr("Ctrl+R"), tr("Align the cameras by the recorder's clock"),
         [this] { alignByRecorderClock(); }, true},
        {Qt::Key_E, true, tr("Ctrl+Shift+E"), tr("Export the marked span as one MP4 video"),
         [this] { exportEvidence(); }, true},
    };
}

void ReviewKeys::createHelpMenu() {
    // Added last, so the window's own commands stay first on the menu bar.
    helpMenu_ = form_.menuBar()->addMenu(tr("Help"));
    helpMenu_->setObjectName("mnuHelp");
    helpMenu_->setToolTipsVisible(true);
    QAction* title = helpMenu_->addSection(tr("Keys"));
    title->setEnabled(false);
    for (const Binding& binding : bindings_) {
        QAction* entry = helpMenu_->addAction(binding.description + '\t' + binding.keyText);
        connect(entry, &QAction::triggered, this,
                [this, run = binding.run] { guarded(&form_, run); });
    }
}

void ReviewKeys::createSpeedLabel() {
    // In the title row of the progress frame, clear of every control already there.
    speedLabel_ = new QLabel(form_.fraPlay);
    speedLabel_->setObjectName("lblSpeed");
    speedLabel_->setAutoFillBackground(true);
    QPalette colours = speedLabel_->palette();
    colours.setColor(QPalette::WindowText, QColor(0, 0, 255));
    speedLabel_->setPalette(colours);
    speedLabel_->setContentsMargins(4, 0, 4, 0);
    speedLabel_->setAttribute(Qt::WA_TransparentForMouseEvents);
    speedLabel_->hide();
    form_.fraPlay->installEventFilter(this);

    savedLabel_ = new QLabel(form_.fraPlay);
    savedLabel_->setObjectName("lblSaved");
    savedLabel_->setAutoFillBackground(true);
    savedLabel_->setContentsMargins(4, 0, 4, 0);
    savedLabel_->setAttribute(Qt::WA_TransparentForMouseEvents);
    savedLabel_->hide();
    savedTimer_ = new QTimer(this);
    savedTimer_->setSingleShot(true);
    savedTimer_->setInterval(6000);
    connect(savedTimer_, &QTimer::timeout, savedLabel_, &QLabel::hide);
    showSpeed();
}

// ---- Commands --------------------------------------------------------------------------

void ReviewKeys::playPause() {
    // Exactly the menu command: a disabled command does nothing.
    form_.mnuPlay->trigger();
}

void ReviewKeys::movePair(const std::function<void(RecordingPair&)>& action) {
    // The display follows at once, failure or not, also while the paused timer leaves it
    // alone.
    struct Redraw {
        Form1& form;
        ~Redraw() { form.ShowProgressNow(); }
    } redraw{form_};
    action(form_.pair());
}

void ReviewKeys::seekBy(double seconds) {
    movePair([seconds](RecordingPair& pair) { pair.seekBy(seconds); });
}

void ReviewKeys::stepFrames(int frames) {
    // Pausing goes through the Pause command, so its caption and the timer follow.
    if (form_.isPlaying()) form_.mnuPlay->trigger();
    const bool held = keyHeld_;
    movePair([frames, held](RecordingPair& pair) { pair.step(frames, held); });
}

void ReviewKeys::setSpeed(double speed) {
    form_.pair().setSpeed(speed);
    showSpeed();
}

double ReviewKeys::speed() const {
    return form_.pair().speed();
}

void ReviewKeys::nudgeCamera2(int pictures) {
    movePair([pictures](RecordingPair& pair) { pair.nudgeCamera2(pictures); });
}

void ReviewKeys::alignByRecorderClock() {
    if (!form_.pair().loaded(0) || !form_.pair().loaded(1))
        throw Failure(Failure::InvalidArgument,
                      tr("Load a recording of both cameras first.").toStdString());
    movePair([](RecordingPair& pair) {
        if (!pair.alignByRecorderClock())
            throw Failure(Failure::InvalidArgument,
                          tr("The cameras cannot be aligned by the recorder's clock: a "
                             "camera's file does not say when it was recorded.")
                              .toStdString());
    });
}

void ReviewKeys::fullScreenUnderPointer() {
    // A panel with the keyboard's focus is the one meant; otherwise the one under the
    // pointer.
    QWidget* focus = QApplication::focusWidget();
    QVRControl* second = form_.QVRControl2;
    if (focus != nullptr && form_.QVRControl1->isAncestorOf(focus))
        return form_.QVRControl1->FullScreen();
    if (focus != nullptr && second->isAncestorOf(focus)) return second->FullScreen();
    QVRControl* panel = form_.QVRControl1;
    const QPoint pointer = QCursor::pos();
    if (second->isVisible() && second->rect().contains(second->mapFromGlobal(pointer))) {
        panel = second;
    }
    panel->FullScreen();
}

void ReviewKeys::leaveFullScreen() {
    form_.commandBothPanels([](QVRControl& panel) { panel.LeaveFullScreen(); });
}

void ReviewKeys::toggleTimeOverlays() {
    const bool shown = !form_.QVRControl1->TimeOverlay();
    form_.commandBothPanels([shown](QVRControl& panel) { panel.SetTimeOverlay(shown); });
}

void ReviewKeys::resetZoom() {
    form_.commandBothPanels([](QVRControl& panel) { panel.ResetZoom(); });
}

void ReviewKeys::requireRecording() const {
    if (!form_.pair().loaded(0) && !form_.pair().loaded(1))
        throw Failure(Failure::NotReady, tr("Load a recording first.").toStdString());
}

void ReviewKeys::saveStills() {
    requireRecording();
    const QStringList saved = stills_.save({form_.QVRControl1, form_.QVRControl2});
    if (saved.isEmpty()) return;  // no folder chosen
    QStringList names;
    for (const QString& path : saved) names << QFileInfo(path).fileName();
    showSaved(tr("Saved %1").arg(names.join(QStringLiteral(", "))));
}

void ReviewKeys::exportClip() {
    requireRecording();
    QString problem;
    const auto spans = clipMarks_->spans(problem);
    if (!problem.isEmpty()) throw Failure(Failure::InvalidArgument, problem.toStdString());
    std::vector<ClipPairExport::Part> parts;
    // The clip is named from where it starts on the timeline.
    const double named = clipMarks_->start()->moment;
    for (int camera = 1; camera <= 2; ++camera) {
        const auto& span = spans[camera - 1];
        if (!span) continue;
        parts.push_back({span->file, ClipPairExport::targetFor(span->file, camera, named),
                         span->start, span->end, span->offset});
    }
    if (!ClipPairExport::run(&form_, parts)) return;  // cancelled: nothing was written
    QStringList names;
    for (const auto& part : parts) names << QFileInfo(part.target).fileName();
    showSaved(tr("Exported %1").arg(names.join(QStringLiteral(", "))));
    // The clip is a recording of the folder shown: the list gains its line, and the
    // line playing stays selected without being loaded again.
    if (QFileInfo(parts.front().target).absolutePath() ==
        QFileInfo(form_.DirList->Path() + QStringLiteral("/")).absolutePath()) {
        const QString selected =
            form_.lsASF->currentItem() ? form_.lsASF->currentItem()->text() : QString();
        form_.DirList_Change();
        const QSignalBlocker quiet(form_.lsASF);
        for (int row = 0; row < form_.lsASF->count(); ++row) {
            if (form_.lsASF->item(row)->text() == selected) form_.lsASF->setCurrentRow(row);
        }
    }
}

void ReviewKeys::exportEvidence() {
    const QString written = EvidenceExport::run(&form_, evidenceRequest());
    if (!written.isEmpty()) showSaved(tr("Exported %1").arg(QFileInfo(written).fileName()));
}

EvidenceExport::Request ReviewKeys::evidenceRequest() const {
    const std::optional<ClipMarks::Mark> start = clipMarks_->start();
    const std::optional<ClipMarks::Mark> end = clipMarks_->end();
    if (!start || !end)
        throw Failure(
            Failure::InvalidArgument,
            tr("Mark the start of the span with I and its end with O first.").toStdString());
    const RecordingPair& pair = form_.pair();
    const std::array<QRadioButton*, RecordingPair::kCameras> heard{form_.optLeft, form_.optRight};
    EvidenceExport::Request request;
    request.from = start->moment;
    request.to = end->moment;
    for (int i = 0; i < RecordingPair::kCameras; ++i) {
        if (!pair.loaded(i)) continue;
        const QString file = pair.panel(i).engine()->MediaFile;
        request.cameras.push_back({file, pair.offset(i), QStringLiteral("Cam%1").arg(i + 1),
                                   AsfHeaderReader::creationTime(file.toStdString()),
                                   heard[i]->isChecked()});
    }
    return request;
}

// ---- Speed display ---------------------------------------------------------------------

void ReviewKeys::showSpeed() {
    const double now = speed();
    speedLabel_->setText(tr("Speed %1").arg(speedText(now)));
    speedLabel_->setVisible(now != 1.0);
    placeSpeedLabel();
}

void ReviewKeys::showSaved(const QString& text) {
    savedLabel_->setText(text);
    savedLabel_->setToolTip(text);
    savedLabel_->show();
    placeSpeedLabel();
    savedTimer_->start();
}

void ReviewKeys::placeSpeedLabel() {
    const QSize size = speedLabel_->sizeHint();
    QGroupBox* frame = form_.fraPlay;
    // The title row is the band above the progress bar.
    const int row = std::max(1, form_.P1->y());
    const int height = std::min(size.height(), row);
    speedLabel_->setGeometry(frame->width() - size.width() - 8, (row - height) / 2, size.width(),
                             height);
    // The saved files' names sit left of the speed, elided to the room there is.
    const int right = speedLabel_->isVisible() ? speedLabel_->x() - 8 : frame->width() - 8;
    const int left = frame->width() / 3;
    const int room = std::max(0, right - left);
    const QString full = savedLabel_->toolTip();
    savedLabel_->setText(savedLabel_->fontMetrics().elidedText(full, Qt::ElideMiddle, room - 8));
    const int width = std::min(room, savedLabel_->sizeHint().width());
    savedLabel_->setGeometry(right - width, (row - height) / 2, width, height);
}

// ---- Keys ------------------------------------------------------------------------------

bool ReviewKeys::takesKeysFor(QObject* receiver) const {
    auto* widget = qobject_cast<QWidget*>(receiver);
    if (widget == nullptr) return false;
    if (QApplication::activeModalWidget() != nullptr) return false;
    if (isTextField(widget)) return false;
    if (widget->window() == &form_) return true;
    // A panel's video shown full screen is a window of its own.
    return form_.QVRControl1->isFullScreenVideo(widget) ||
           form_.QVRControl2->isFullScreenVideo(widget);
}

const ReviewKeys::Binding* ReviewKeys::bindingFor(const QKeyEvent& key) const {
    const Qt::KeyboardModifiers modifiers =
        key.modifiers() & ~(Qt::KeypadModifier | Qt::GroupSwitchModifier);
    if (modifiers & (Qt::AltModifier | Qt::MetaModifier)) return nullptr;
    const bool control = modifiers & Qt::ControlModifier;
    const bool shift = modifiers & Qt::ShiftModifier;
    const Binding* plain = nullptr;
    for (const Binding& binding : bindings_) {
        if (binding.key != key.key() || binding.control != control) continue;
        if (binding.shifted == shift) return &binding;
        if (!binding.shifted) plain = &binding;
    }
    // Keys without a shifted binding of their own accept Shift (some layouts need it for
    // the brackets and punctuation).
    return plain;
}

bool ReviewKeys::eventFilter(QObject* watched, QEvent* event) {
    if (watched == form_.fraPlay && event->type() == QEvent::Resize) {
        placeSpeedLabel();
        return false;
    }
    if (event->type() != QEvent::KeyPress || !takesKeysFor(watched)) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (ownsKey(static_cast<QWidget*>(watched), *key)) return false;
    const Binding* binding = bindingFor(*key);
    if (binding == nullptr) return false;
    if (!key->isAutoRepeat() || repeats(binding->key)) {
        keyHeld_ = key->isAutoRepeat();
        guarded(&form_, binding->run);
        keyHeld_ = false;
    }
    return true;
}

}  // namespace corvid
