#pragma once

#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QRawFont>
#include <QString>
#include <optional>
#include <vector>

namespace corvid {

// Lines of text made from glyphs looked up once per character, so that text changing on
// every picture (a running time) is not shaped again each time. Meant for a fixed-pitch
// font and text without ligatures or kerning, such as times and dates in digits.
class GlyphCache {
public:
    struct Line {
        QGlyphRun glyphs;  // from x = 0 on the baseline
        qreal width = 0;
    };

    explicit GlyphCache(const QFont& font);

    const QFont& font() const { return font_; }
    // None when a character has no glyph in the font: the caller draws it as text, which
    // finds another font for it.
    std::optional<Line> line(const QString& text);
    // Each line of `text`, split at its line breaks; none when a character has no glyph.
    std::optional<std::vector<Line>> lines(const QString& text);

private:
    struct Glyph {
        quint32 index = 0;
        qreal advance = 0;
    };
    std::optional<Glyph> glyph(QChar c);

    QFont font_;
    QRawFont raw_;
    QHash<char16_t, Glyph> glyphs_;
};

}  // namespace corvid
