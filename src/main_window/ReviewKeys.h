#pragma once

#include <QKeySequence>
#include <QObject>
#include <QString>
#include <functional>
#include <vector>

#include "main_window/EvidenceExport.h"
#include "main_window/StillSaver.h"

class QKeyEvent;
class QLabel;
class QMenu;
class QTimer;
class QWidget;

namespace corvid {

class ClipMarks;
class Form1;
class QVRControl;
class RecordingPair;

// The main window's review keys: play/pause, seeking, frame steps, the speed of both
// panels and full screen. Keys are taken before the focused control sees them, except
// by text fields, by modal boxes and by windows other than the main window and its
// full-screen videos. The bindings are listed in a Help menu placed after the window's
// own menu commands, and a label next to the progress frame's title shows the speed
// whenever it is not normal.
class ReviewKeys : public QObject {
    Q_OBJECT

public:
    struct Binding {
        int key;
        bool shifted;  // Shift is part of the binding (Shift alone is ignored otherwise)
        QString keyText;
        QString description;
        std::function<void()> run;
        bool control = false;  // Ctrl is part of the binding (never matched otherwise)
    };

    static constexpr double kSeekSeconds = 5.0;
    static constexpr double kLongSeekSeconds = 60.0;

    explicit ReviewKeys(Form1& form);
    ~ReviewKeys() override;

    // The commands behind the keys.
    void playPause();
    void seekBy(double seconds);
    void stepFrames(int frames);
    void setSpeed(double speed);
    double speed() const;
    // The pair's timeline: camera 2 against camera 1, or both by the recorder's clock.
    void nudgeCamera2(int pictures);
    void alignByRecorderClock();
    void fullScreenUnderPointer();
    void leaveFullScreen();
    // Evidence: each camera's time over its picture, zoom, stills and clips.
    void toggleTimeOverlays();
    void resetZoom();
    void saveStills();
    void exportClip();
    void exportEvidence();
    ClipMarks& clipMarks() const { return *clipMarks_; }
    StillSaver& stills() { return stills_; }
    QLabel* savedLabel() const { return savedLabel_; }

    const std::vector<Binding>& bindings() const { return bindings_; }
    QMenu* helpMenu() const { return helpMenu_; }
    QLabel* speedLabel() const { return speedLabel_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createBindings();
    void createHelpMenu();
    void createSpeedLabel();
    bool takesKeysFor(QObject* receiver) const;
    // Evidence is taken from a recording: without one a command says so.
    void requireRecording() const;
    const Binding* bindingFor(const QKeyEvent& key) const;
    // Moves the pair's pictures by `action` and shows the new position on the bar.
    void movePair(const std::function<void(RecordingPair&)>& action);
    void showSpeed();
    void placeSpeedLabel();
    // The cameras and the span of the evidence video, from the clip marks.
    EvidenceExport::Request evidenceRequest() const;
    // Says briefly in the progress frame's title row what was saved.
    void showSaved(const QString& text);

    Form1& form_;
    std::vector<Binding> bindings_;
    QMenu* helpMenu_ = nullptr;
    QLabel* speedLabel_ = nullptr;
    QLabel* savedLabel_ = nullptr;
    QTimer* savedTimer_ = nullptr;
    ClipMarks* clipMarks_ = nullptr;
    StillSaver stills_;
    bool keyHeld_ = false;  // the key being handled repeats because it is held
};

}  // namespace corvid
