#include "main_window/ReviewKeys.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTimer>

#include "main_window/Form1.h"
#include "media_engine/clsDShowControl.h"
#include "platform/widgets/Guarded.h"
#include "player_control/QVRControl.h"

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

}  // namespace

ReviewKeys::ReviewKeys(Form1& form) : form_(form) {
    createBindings();
    createHelpMenu();
    createSpeedLabel();
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
        {Qt::Key_F, false, tr("F"), tr("Full screen (the camera under the pointer)"),
         [this] { fullScreenUnderPointer(); }},
        {Qt::Key_Escape, false, tr("Esc"), tr("Leave full screen"), [this] { leaveFullScreen(); }},
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
    showSpeed();
}

// ---- Commands --------------------------------------------------------------------------

void ReviewKeys::playPause() {
    // Exactly the menu command: a disabled command does nothing.
    form_.mnuPlay->trigger();
}

void ReviewKeys::moveBothPanels(const std::function<void(QVRControl&)>& command) {
    // The display follows at once, failure or not, also while the paused timer leaves it
    // alone.
    struct Redraw {
        Form1& form;
        ~Redraw() { form.UpdateProgress(); }
    } redraw{form_};
    form_.commandBothPanels(command);
}

void ReviewKeys::seekBy(double seconds) {
    moveBothPanels([seconds](QVRControl& panel) { panel.SeekBy(seconds); });
}

void ReviewKeys::stepFrames(int frames) {
    // Pausing goes through the Pause command, so its caption and the timer follow.
    if (form_.isPlaying()) form_.mnuPlay->trigger();
    moveBothPanels([frames](QVRControl& panel) { panel.StepFrame(frames); });
}

void ReviewKeys::setSpeed(double speed) {
    form_.commandBothPanels([speed](QVRControl& panel) { panel.SetRate(speed); });
    showSpeed();
}

double ReviewKeys::speed() const {
    return form_.QVRControl1->Rate();
}

void ReviewKeys::fullScreenUnderPointer() {
    QVRControl* panel = form_.QVRControl1;
    const QPoint pointer = QCursor::pos();
    QVRControl* second = form_.QVRControl2;
    if (second->isVisible() && second->rect().contains(second->mapFromGlobal(pointer))) {
        panel = second;
    }
    panel->FullScreen();
}

void ReviewKeys::leaveFullScreen() {
    form_.commandBothPanels([](QVRControl& panel) { panel.LeaveFullScreen(); });
}

// ---- Speed display ---------------------------------------------------------------------

void ReviewKeys::showSpeed() {
    const double now = speed();
    speedLabel_->setText(tr("Speed %1").arg(speedText(now)));
    speedLabel_->setVisible(now != 1.0);
    placeSpeedLabel();
}

void ReviewKeys::placeSpeedLabel() {
    const QSize size = speedLabel_->sizeHint();
    QGroupBox* frame = form_.fraPlay;
    // The title row is the band above the progress bar.
    const int row = std::max(1, form_.P1->y());
    const int height = std::min(size.height(), row);
    speedLabel_->setGeometry(frame->width() - size.width() - 8, (row - height) / 2, size.width(),
                             height);
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
    if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return nullptr;
    const bool shift = modifiers & Qt::ShiftModifier;
    const Binding* plain = nullptr;
    for (const Binding& binding : bindings_) {
        if (binding.key != key.key()) continue;
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
    const Binding* binding = bindingFor(*key);
    if (binding == nullptr) return false;
    if (!key->isAutoRepeat() || repeats(binding->key)) guarded(&form_, binding->run);
    return true;
}

}  // namespace corvid
