#pragma once

#include <QLabel>
#include <QPointer>

namespace corvid {

// The time text of the progress bar. Where the progress fill lies beneath it, the text is
// white, so that it stays readable on the fill's strong blue; elsewhere it is drawn as any
// label's.
class ProgressText : public QLabel {
    Q_OBJECT

public:
    ProgressText(const QString& text, QWidget* parent);

    // The fill beneath the text: a sibling, placed in the same parent.
    void setFill(QWidget* fill);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<QWidget> fill_;
};

}  // namespace corvid
