#include "support/PictureReader.h"

#include <QWidget>
#include <algorithm>

namespace corvid::test {

namespace {

constexpr int kColumns = 10;

int brightness(QRgb pixel) {
    return std::max({qRed(pixel), qGreen(pixel), qBlue(pixel)});
}

int luma(QRgb pixel) {
    return (qRed(pixel) * 299 + qGreen(pixel) * 587 + qBlue(pixel) * 114) / 1000;
}

}  // namespace

QRect PictureReader::codeCell(int bit, int width, int height) {
    const int row = bit / kColumns;
    const int column = bit % kColumns;
    return QRect((column + 1) * width / 12, height * 3 / 8 + row * height / 8, width / 12,
                 height / 8);
}

QImage PictureReader::grab(QWidget* widget) {
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QRect PictureReader::findPicture(const QImage& image, int threshold) {
    int left = image.width(), top = image.height(), right = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (brightness(line[x]) <= threshold) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (right < 0) return {};
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

int PictureReader::readFrameIndex(const QImage& image, const QRect& picture) {
    if (picture.width() < 24 || picture.height() < 16) return -1;
    int index = 0;
    for (int bit = 0; bit < kCodeBits; ++bit) {
        const QRect cell = codeCell(bit, picture.width(), picture.height());
        const QPoint centre = picture.topLeft() + cell.center();
        // Average a small square so that coding noise does not flip a bit.
        int sum = 0, count = 0;
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const QPoint p = centre + QPoint(dx, dy);
                if (!image.rect().contains(p)) continue;
                sum += luma(image.pixel(p));
                ++count;
            }
        }
        if (count == 0) return -1;
        const int value = sum / count;
        if (value > 170) {
            index |= 1 << bit;
        } else if (value > 85) {
            return -1;
        }
    }
    return index;
}

int PictureReader::frameShownIn(QWidget* widget) {
    const QImage image = grab(widget);
    return readFrameIndex(image, findPicture(image));
}

bool PictureReader::blackOutside(const QImage& image, const QRect& inside, int threshold) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (inside.contains(x, y)) continue;
            if (brightness(image.pixel(x, y)) > threshold) return false;
        }
    }
    return true;
}

}  // namespace corvid::test
