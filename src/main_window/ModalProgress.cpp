#include "main_window/ModalProgress.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QProgressDialog>
#include <exception>
#include <thread>

namespace corvid {

bool ModalProgress::run(QWidget* parent, const QString& name, const QString& label,
                        const std::function<bool(const Report&)>& work,
                        const std::function<void()>& cancel) {
    QProgressDialog dialog(label, QCoreApplication::translate("ModalProgress", "Cancel"), 0, 1000,
                           parent);
    dialog.setObjectName(name);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(0);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setValue(0);
    QObject::connect(&dialog, &QProgressDialog::canceled, cancel);

    QEventLoop loop;
    QPointer<QProgressDialog> shown(&dialog);
    bool complete = false;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            complete = work([&loop, shown](double share) {
                const int value = static_cast<int>(1000 * share);
                QMetaObject::invokeMethod(
                    &loop,
                    [shown, value] {
                        if (shown) shown->setValue(value);
                    },
                    Qt::QueuedConnection);
            });
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    // Read before the dialog closes: closing it counts as a cancel.
    const bool cancelled = !complete || dialog.wasCanceled();
    dialog.reset();
    dialog.hide();

    if (failure) std::rethrow_exception(failure);
    return !cancelled;
}

}  // namespace corvid
