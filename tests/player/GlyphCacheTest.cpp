#include "player_output/GlyphCache.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

namespace corvid {
namespace {

QFont overlayFont() {
    QFont font;
    font.setPixelSize(16);
    font.setStyleHint(QFont::Monospace);
    font.setFamily(QStringLiteral("monospace"));
    return font;
}

QImage blank() {
    QImage image(320, 40, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

int lit(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) count += qGray(image.pixel(x, y)) > 128;
    return count;
}

TEST(GlyphCacheTest, line_drawsWhereShapedTextDraws_forTimesAndDates) {
    GlyphCache cache(overlayFont());
    const QString texts[] = {QStringLiteral("01:23:45.678"), QStringLiteral("2022-02-03 04:05:06"),
                             QStringLiteral("offset +0.040 s")};
    for (const QString& text : texts) {
        const std::optional<GlyphCache::Line> line = cache.line(text);
        ASSERT_TRUE(line) << text.toStdString();
        EXPECT_NEAR(line->width, QFontMetricsF(cache.font()).horizontalAdvance(text), 0.5);

        QImage shaped = blank();
        QImage placed = blank();
        {
            QPainter painter(&shaped);
            painter.setPen(Qt::white);
            painter.setFont(cache.font());
            painter.drawText(QPointF(4, 28), text);
        }
        {
            QPainter painter(&placed);
            painter.setPen(Qt::white);
            painter.drawGlyphRun(QPointF(4, 28), line->glyphs);
        }
        ASSERT_GT(lit(shaped), 50);
        int differing = 0;
        for (int y = 0; y < shaped.height(); ++y)
            for (int x = 0; x < shaped.width(); ++x)
                differing += std::abs(qGray(shaped.pixel(x, y)) - qGray(placed.pixel(x, y))) > 64;
        EXPECT_LE(differing, lit(shaped) / 20) << text.toStdString();
    }
}

TEST(GlyphCacheTest, lineAndLines_areNone_whenACharacterHasNoGlyphInTheFont) {
    GlyphCache cache(overlayFont());
    EXPECT_TRUE(cache.line(QStringLiteral("12:00")));
    // An unassigned code point: no font has it, so the line is left to shaped text.
    EXPECT_FALSE(cache.line(QStringLiteral("12") + QChar(0x0378)));
    EXPECT_TRUE(cache.line(QString()));
    const auto lines = cache.lines(QStringLiteral("12:00:00.000\n2022-02-03 04:05:06"));
    ASSERT_TRUE(lines);
    EXPECT_EQ(lines->size(), 2u);
    EXPECT_FALSE(cache.lines(QStringLiteral("12:00\n") + QChar(0x0378)));
}

}  // namespace
}  // namespace corvid
