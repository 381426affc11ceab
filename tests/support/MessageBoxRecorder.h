#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "platform/widgets/MessageBox.h"

class QWidget;

namespace corvid::test {

// Stands in for the user while alive: records each message box's text and answers OK.
// An optional callback runs while the "box" is shown (to act during the modal wait).
class MessageBoxRecorder {
public:
    MessageBoxRecorder();

    const QStringList& texts() const { return texts_; }
    int count() const { return static_cast<int>(texts_.size()); }
    void clear() { texts_.clear(); }
    void onShow(std::function<void(QWidget* parent, const QString& text)> callback) {
        onShow_ = std::move(callback);
    }

private:
    QStringList texts_;
    std::function<void(QWidget*, const QString&)> onShow_;
    MessageBox::Scoped scope_;
};

}  // namespace corvid::test
