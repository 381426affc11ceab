#include "player/PictureBuffers.h"

#include <gtest/gtest.h>

#include <memory>

namespace corvid {
namespace {

constexpr QSize kPanel(320, 240);
constexpr int kStride = 320 * 4;
constexpr int kTail = 64;

TEST(PictureBuffersTest, aPictureLetGo_lendsItsBufferToTheNext) {
    auto buffers = std::make_shared<PictureBuffers>();
    QImage first = buffers->image(kPanel, kStride, kTail);
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(first.size(), kPanel);
    EXPECT_EQ(first.bytesPerLine(), kStride);
    const uchar* bits = first.constBits();
    first = QImage();
    EXPECT_EQ(buffers->spare(), 1u);
    const QImage second = buffers->image(kPanel, kStride, kTail);
    EXPECT_EQ(second.constBits(), bits);
    EXPECT_EQ(buffers->spare(), 0u);
}

TEST(PictureBuffersTest, keepsAFewSpareAndNoneOfAnOldSize) {
    auto buffers = std::make_shared<PictureBuffers>();
    {
        QImage images[PictureBuffers::kSpare + 2];
        for (QImage& image : images) image = buffers->image(kPanel, kStride, kTail);
    }
    EXPECT_EQ(buffers->spare(), PictureBuffers::kSpare);
    const QImage larger = buffers->image(QSize(640, 480), 640 * 4, kTail);
    EXPECT_EQ(buffers->spare(), 0u);
}

TEST(PictureBuffersTest, aPictureMayOutliveItsPresenter) {
    auto buffers = std::make_shared<PictureBuffers>();
    QImage kept = buffers->image(kPanel, kStride, kTail);
    kept.fill(Qt::red);
    buffers.reset();
    EXPECT_EQ(kept.pixelColor(10, 10), QColor(Qt::red));
    kept = QImage();  // given back to buffers that only the image kept: no leak under ASan
}

}  // namespace
}  // namespace corvid
