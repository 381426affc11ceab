#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <optional>

#include "recording_pair/RecordingPair.h"

namespace corvid {

// The start and end of a clip, marked on the pair's timeline and drawn on the shared
// progress bar as two ticks. A mark belongs to the files loaded when it was made: another
// recording loaded makes the marks disappear.
class ClipMarks : public QWidget {
    Q_OBJECT

public:
    using Mark = RecordingPair::Mark;
    using Span = RecordingPair::Span;

    ClipMarks(QWidget* bar, RecordingPair& pair);

    void markStart();
    void markEnd();
    std::optional<Mark> start() const { return current() ? start_ : std::nullopt; }
    std::optional<Mark> end() const { return current() ? end_ : std::nullopt; }

    // The span of every camera the clip covers, or a message saying why the marks make no
    // clip (missing, end not after start, outside every camera's recording).
    std::array<std::optional<Span>, RecordingPair::kCameras> spans(QString& problem) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::array<QString, RecordingPair::kCameras> files() const;
    // Whether the marks belong to the files loaded now.
    bool current() const;
    void remember();

    RecordingPair& pair_;
    std::optional<Mark> start_;
    std::optional<Mark> end_;
    std::array<QString, RecordingPair::kCameras> markedFiles_;
    std::array<double, RecordingPair::kCameras> markedOffsets_{0, 0};
    bool ticksShown_ = false;
};

}  // namespace corvid
