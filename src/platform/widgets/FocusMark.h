#pragma once

#include <QRect>
#include <QWidget>

class QPainter;

namespace corvid {

// The mark of the control that has the keyboard's focus where the style draws none of its
// own (the pictures, the progress bar): a frame that reads on black, on the bar's blue
// fill and on the window's grey alike. As a widget it lies over a control whose children
// cover it, shown while that control has the focus.
class FocusMark : public QWidget {
public:
    static constexpr int kWidth = 3;
    static void paint(QPainter& painter, const QRect& around);

    explicit FocusMark(QWidget* target);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace corvid
