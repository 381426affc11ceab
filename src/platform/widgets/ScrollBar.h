#pragma once

#include <QScrollBar>
#include <cstdint>

namespace corvid {

// A scroll bar with the two notifications the windows rely on:
//  - Scroll: each value change while the user drags the thumb;
//  - Change: every other value change (arrows, track, keyboard, wheel, a program set), and
//    once at the end of a drag that left the value different from where it started.
// Setting the value it already has raises nothing. Values and bounds are 16-bit.
class ScrollBar : public QScrollBar {
    Q_OBJECT

public:
    explicit ScrollBar(QWidget* parent = nullptr);
    explicit ScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

    std::int16_t Value() const;
    // Throws Failure(InvalidArgument) outside Min..Max: the bar never holds a value it cannot
    // show, and a caller out of range hears of it.
    void SetValue(int value);

    std::int16_t Min() const;
    std::int16_t Max() const;
    // Throw Failure(Overflow) when the bound does not fit 16 bits.
    void SetMin(int value);
    void SetMax(int value);

    std::int16_t SmallChange() const { return static_cast<std::int16_t>(singleStep()); }
    std::int16_t LargeChange() const { return static_cast<std::int16_t>(pageStep()); }
    void SetSmallChange(int value);
    void SetLargeChange(int value);

signals:
    void Scroll();
    void Change();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void onSliderPressed();
    void onValueChanged();
    void onSliderReleased();

    bool inPointerEvent_ = false;
    int valueAtPress_ = 0;
};

}  // namespace corvid
