#include "platform/widgets/MessageBox.h"

#include <QMessageBox>
#include <utility>

namespace corvid {

const QString& MessageBox::title() {
    static const QString applicationTitle = QStringLiteral("Corvid");
    return applicationTitle;
}

MessageBox::Handler& MessageBox::installed() {
    static Handler handler;
    return handler;
}

void MessageBox::show(QWidget* parent, const QString& text) {
    // A copy, so a handler that replaces itself while running stays alive until it returns.
    const Handler handler = installed();
    if (handler) {
        handler(parent, text);
    } else {
        showModal(parent, text);
    }
}

void MessageBox::setHandler(Handler handler) {
    installed() = std::move(handler);
}

void MessageBox::showModal(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, title(), text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

MessageBox::Scoped::Scoped(Handler handler) : previous_(std::move(installed())) {
    setHandler(std::move(handler));
}

MessageBox::Scoped::~Scoped() {
    setHandler(std::move(previous_));
}

}  // namespace corvid
