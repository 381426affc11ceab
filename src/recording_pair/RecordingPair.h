#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QTimer;

namespace corvid {

class ClockHold;
class IPlaybackClock;
class QVRControl;

// One loaded recording: the files of camera 1 and camera 2 placed on one timeline, played
// on one clock, and every action a reviewer takes on them. Each camera has an offset on
// the timeline (pair time = its media time + its offset); the timeline runs from the
// earliest start to the latest end, and every action is worked out there once, so that
// both cameras show the same moment however their files differ in length, picture rate,
// key frames or start. The panels stay players of one file each; a single camera plays
// on a clock of its own with offset 0.
class RecordingPair : public QObject {
    Q_OBJECT

public:
    static constexpr int kCameras = 2;

    // A moment marked on the timeline, and what each camera showed there.
    struct Mark {
        double moment = 0;
        // The media time of the picture each camera showed; none for a camera without a
        // file, before its start or after its end.
        std::array<std::optional<double>, kCameras> pictures;
    };
    // The media span of one camera's file that a clip from one mark to another covers.
    struct Span {
        QString file;
        double start = 0;
        double end = 0;
        double offset = 0;
    };

    RecordingPair(QVRControl& camera1, QVRControl& camera2);
    ~RecordingPair() override;

    // Loading. Opens the files named (empty: none for that camera) on one clock, both at
    // once off the window's thread, and places them on the timeline by their first
    // timestamps; then runs `then`. Files that take longer than a moment to open (slow or
    // stalled storage) are waited for without holding up the window: load returns at
    // once and `then` runs when they are open or have failed. Each camera is set up as soon
    // as its file is open, held on its first picture until the other is in place. A camera
    // whose file does not open is named on its panel; the other plays on. `meanwhile`, when given,
    // runs once the opens have started and before they are waited for: the window's own work
    // (closing the recording on show) then costs no time of the load's.
    void load(const QString& camera1, const QString& camera2,
              const std::function<void()>& then = {}, const std::function<void()>& meanwhile = {});
    // Whether a load is under way: waiting on its files or setting up its cameras.
    bool opening() const { return opening_.has_value(); }
    // Resets both panels and drops a load still waiting; nothing is loaded after it.
    void stop();
    bool loaded(int camera) const { return loaded_[camera]; }
    bool hasSound(int camera) const;
    QVRControl& panel(int camera) const { return *panels_[camera]; }

    // Runs `command` on camera 1's panel and then on camera 2's at one instant of the
    // clock, the second also when the first fails; the first failure of a panel that
    // does not already show a notice is passed on once both have had their turn.
    void forEachPanel(const std::function<void(QVRControl&)>& command);

    // Transport.
    // Plays from where the pair stands; from the start once every camera is at its end.
    void play();
    void pause();
    void setSpeed(double speed);
    double speed() const;
    // Gives `camera` the volume and silences the other.
    void hear(int camera, int volume);

    // The timeline in pair seconds.
    double start() const;
    double end() const;
    double length() const { return end() - start(); }
    double offset(int camera) const { return offsets_[camera]; }
    // Where the pair stands now.
    double position() const;
    // The moment `seconds` of a camera's own media time is on the timeline.
    double momentOf(int camera, double seconds) const { return seconds + offsets_[camera]; }

    // Moves both cameras to one moment, clamped to the timeline, and leaves them paused
    // or playing as they were. A camera whose file does not cover the moment shows its
    // nearest picture with a quiet hint and joins in when the moment reaches its span.
    void seekTo(double moment);
    // The same for a share of the timeline (the shared bar), as a percentage; pauses.
    void seekToPercentage(float percentage);
    void seekBy(double seconds);
    // Shows the next (direction > 0) or previous picture of the pair, paused: the picture
    // of whichever camera comes first, each camera showing its picture due then. A step
    // asked for while the last one is still being drawn runs once it is drawn, without
    // holding up the window; a `repeated` one (a held key) is dropped then, so that held
    // keys never queue up. Any other action drops the steps still waiting.
    void step(int direction, bool repeated = false);
    // Whether every camera shows the picture its last placement asked for.
    bool settled() const;

    // Offsets. Both files' header dates put them on the recorder's clock; false, with
    // nothing changed, when a file has no date.
    bool alignByRecorderClock();
    // Moves camera 2 against camera 1 by `pictures` of its pictures.
    void nudgeCamera2(int pictures);

    // Evidence.
    Mark markNow() const;
    // The span of every camera a clip from `from` to `to` covers: from the picture shown at
    // the first to the picture shown at the second, both included. Empty, with a message
    // in `problem`, when the marks make no clip.
    std::array<std::optional<Span>, kCameras> spans(const Mark& from, const Mark& to,
                                                    QString& problem) const;

signals:
    // The timeline changed: offsets, or a camera left the pair.
    void timelineChanged();

private:
    // A load under way: its files, the cameras set up so far, the clock held meanwhile.
    struct Opening {
        std::array<QString, kCameras> files;
        std::function<void()> then;
        std::array<bool, kCameras> setUp{false, false};
        std::shared_ptr<ClockHold> hold;
    };

    // Sets up each camera whose file is open, as soon as it is, until `until`; true once
    // every camera is.
    bool setUpOpened(std::chrono::steady_clock::time_point until);
    void setUpCamera(int camera);
    void finishLoad();
    double duration(int camera) const;
    // Puts one camera at media time `seconds`, also outside its file.
    void place(int camera, double seconds);
    void placeAll(double moment);
    void defaultOffsets();
    void applyOffsets(double moment);
    void showHints();
    void runStep(int direction);
    void cancelSteps();
    void leave(int camera);

    std::array<QVRControl*, kCameras> panels_;
    std::array<bool, kCameras> loaded_{false, false};
    std::array<double, kCameras> offsets_{0, 0};
    std::shared_ptr<IPlaybackClock> clock_;
    int pendingSteps_ = 0;  // signed: the direction
    QTimer* stepTimer_ = nullptr;
    int stepWaits_ = 0;
    QTimer* hintTimer_ = nullptr;
    std::optional<Opening> opening_;
    QTimer* openTimer_ = nullptr;
};

}  // namespace corvid
