#include "player_output/GlyphCache.h"

#include <QList>
#include <QPointF>
#include <QStringList>
#include <utility>

namespace corvid {

GlyphCache::GlyphCache(const QFont& font) : font_(font), raw_(QRawFont::fromFont(font)) {}

std::optional<GlyphCache::Glyph> GlyphCache::glyph(QChar c) {
    const auto known = glyphs_.constFind(c.unicode());
    if (known != glyphs_.constEnd()) return *known;
    if (!raw_.isValid() || c.isSurrogate()) return std::nullopt;
    const QList<quint32> indexes = raw_.glyphIndexesForString(QString(c));
    if (indexes.size() != 1 || indexes[0] == 0) return std::nullopt;
    const QList<QPointF> advances = raw_.advancesForGlyphIndexes(indexes);
    if (advances.size() != 1) return std::nullopt;
    const Glyph made{indexes[0], advances[0].x()};
    glyphs_.insert(c.unicode(), made);
    return made;
}

std::optional<GlyphCache::Line> GlyphCache::line(const QString& text) {
    QList<quint32> indexes;
    QList<QPointF> positions;
    indexes.reserve(text.size());
    positions.reserve(text.size());
    qreal x = 0;
    for (const QChar c : text) {
        const std::optional<Glyph> found = glyph(c);
        if (!found) return std::nullopt;
        indexes.append(found->index);
        positions.append(QPointF(x, 0));
        x += found->advance;
    }
    Line line;
    line.glyphs.setRawFont(raw_);
    line.glyphs.setGlyphIndexes(indexes);
    line.glyphs.setPositions(positions);
    line.width = x;
    return line;
}

std::optional<std::vector<GlyphCache::Line>> GlyphCache::lines(const QString& text) {
    std::vector<Line> made;
    for (const QString& part : text.split(QLatin1Char('\n'))) {
        std::optional<Line> glyphs = line(part);
        if (!glyphs) return std::nullopt;
        made.push_back(std::move(*glyphs));
    }
    return made;
}

}  // namespace corvid
