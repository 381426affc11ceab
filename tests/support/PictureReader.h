#pragma once

#include <QImage>
#include <QRect>

class QWidget;

namespace corvid::test {

// Reads generated test pictures back from pixels. A generated frame has a coloured
// background and, across its middle, two rows of ten cells: cell i is white when bit i
// of the frame index is set, black otherwise.
class PictureReader {
public:
    static constexpr int kCodeBits = 20;

    // The cell of one bit in a picture of the given size (used by the generator too).
    static QRect codeCell(int bit, int width, int height);

    // The pixels a widget shows, children included.
    static QImage grab(QWidget* widget);
    // The bounding box of the pixels that are not (near) black; empty when all are.
    static QRect findPicture(const QImage& image, int threshold = 40);
    // The frame index coded in the picture occupying `picture`; -1 when the code
    // cannot be read (a cell neither clearly white nor clearly black).
    static int readFrameIndex(const QImage& image, const QRect& picture);
    // findPicture + readFrameIndex on a widget's pixels.
    static int frameShownIn(QWidget* widget);
    // Whether every pixel of `image` outside `inside` is near black.
    static bool blackOutside(const QImage& image, const QRect& inside, int threshold = 40);
};

}  // namespace corvid::test
