#include "platform/widgets/Guarded.h"

#include <QCoreApplication>
#include <QString>
#include <exception>

#include "platform/widgets/MessageBox.h"

namespace corvid {

void guarded(QWidget* parent, const std::function<void()>& handler) {
    QString problem;
    try {
        handler();
        return;
    } catch (const std::exception& error) {
        // Failure is one of these; a library's own exceptions are told the same way.
        problem = QString::fromStdString(error.what());
    }
    MessageBox::show(parent, QCoreApplication::translate(
                                 "corvid::Guarded", "Corvid could not complete this action.\n\n%1")
                                 .arg(problem));
}

}  // namespace corvid
