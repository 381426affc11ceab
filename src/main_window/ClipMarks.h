#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <optional>

namespace corvid {

class QVRControl;

// The start and end of a clip, marked on the shared progress bar and drawn on it as two
// ticks. A mark keeps each camera's own position at the moment it was made, and belongs
// to the files then loaded: another recording loaded makes the marks disappear.
class ClipMarks : public QWidget {
    Q_OBJECT

public:
    // Each camera's position when a mark was made; none for a camera without a file.
    struct Mark {
        std::array<std::optional<double>, 2> positions;
        double share = 0;  // of the bar, 0..1
    };
    // The span of one camera's file to export.
    struct Span {
        QString file;
        double start = 0;
        double end = 0;
    };

    ClipMarks(QWidget* bar, QVRControl& camera1, QVRControl& camera2);

    void markStart();
    void markEnd();
    std::optional<Mark> start() const { return current() ? start_ : std::nullopt; }
    std::optional<Mark> end() const { return current() ? end_ : std::nullopt; }

    // The span of every camera with a file, or a message saying why the marks make no
    // clip (missing, end not after start, beyond a camera's recording).
    std::array<std::optional<Span>, 2> spans(QString& problem) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Mark markNow() const;
    std::array<QString, 2> files() const;
    // Whether the marks belong to the files loaded now.
    bool current() const;
    void remember();

    std::array<QVRControl*, 2> cameras_;
    std::optional<Mark> start_;
    std::optional<Mark> end_;
    std::array<QString, 2> markedFiles_;
    bool ticksShown_ = false;
};

}  // namespace corvid
