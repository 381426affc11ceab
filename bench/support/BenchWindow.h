#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "support/PaintProbe.h"

namespace corvid {

class Form1;
class QVRControl;

namespace bench {

// Corvid's main window at its minimum size over one folder, driven with the mouse as a
// user drives it, with a paint probe on its video windows.
class BenchWindow {
public:
    explicit BenchWindow(const QString& folder);
    ~BenchWindow();

    Form1& form() { return *form_; }
    PaintProbe& probe() { return probe_; }
    QVRControl& camera1();
    QVRControl& camera2();

    // Clicks the recording list's line; throws std::runtime_error when it is not listed.
    void clickLine(const QString& line);
    // Mouse on the progress bar at a fraction (0..1) of its width.
    void pressBar(double fraction);
    void moveOnBar(double fraction);
    void releaseBar(double fraction);

    // Processes events until `condition` holds; false when `ms` ran out first.
    bool waitUntil(const std::function<bool()>& condition, int ms = 10000);

private:
    QPoint barPoint(double fraction) const;

    PaintProbe probe_;
    std::unique_ptr<Form1> form_;
};

}  // namespace bench
}  // namespace corvid
