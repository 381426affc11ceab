#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace corvid {

// Long work on a worker thread behind a window-modal progress dialog that can cancel it;
// the window keeps painting meanwhile.
class ModalProgress {
public:
    // The share done, 0..1; called on the worker thread.
    using Report = std::function<void(double)>;

    // Runs `work` on a worker thread while the dialog (object name `name`) shows `label`
    // over `parent`; Cancel calls `cancel` on the GUI thread. Returns what `work` returned,
    // false also when the dialog was cancelled; rethrows what `work` threw.
    static bool run(QWidget* parent, const QString& name, const QString& label,
                    const std::function<bool(const Report&)>& work,
                    const std::function<void()>& cancel);
};

}  // namespace corvid
