#include "Preview.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QTransform>
#include <QRawFont>
#include <QGlyphRun>
#include <QtGui/private/qfontengine_qpf2_p.h>
#include <QtGui/private/qharfbuzzng_p.h>
#include <QtGui/private/qrawfont_p.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "Qpf2.h"
#include "Shaping.h"

namespace preview {

const unsigned kMarkerRgb = 0xFFD01010u;

PanelFont::~PanelFont() = default;

namespace {

// The engine's alpha map as coverage bytes, whatever format it comes in.
QImage AsAlpha8(const QImage& map) {
    if (map.isNull() || map.format() == QImage::Format_Alpha8) return map;
    QImage out(map.size(), QImage::Format_Alpha8);
    for (int y = 0; y < map.height(); ++y) {
        uchar* row = out.scanLine(y);
        for (int x = 0; x < map.width(); ++x)
            row[x] = static_cast<uchar>(map.format() == QImage::Format_Indexed8 ? map.pixelIndex(x, y)
                                                                                 : qAlpha(map.pixel(x, y)));
    }
    return out;
}

// Darkens the white sheet by the glyph's coverage: on white, 255 - alpha.
void Composite(QImage& img, const QImage& alpha, int x0, int y0) {
    for (int y = 0; y < alpha.height(); ++y) {
        const int ty = y0 + y;
        if (ty < 0 || ty >= img.height()) continue;
        const uchar* src = alpha.constScanLine(y);
        QRgb* dst = reinterpret_cast<QRgb*>(img.scanLine(ty));
        for (int x = 0; x < alpha.width(); ++x) {
            const int tx = x0 + x;
            if (tx < 0 || tx >= img.width() || !src[x]) continue;
            const int keep = 255 - src[x];
            const QRgb d = dst[tx];
            dst[tx] = qRgb(qRed(d) * keep / 255, qGreen(d) * keep / 255, qBlue(d) * keep / 255);
        }
    }
}

class Qpf2Font : public PanelFont {
public:
    explicit Qpf2Font(const QByteArray& bytes) : m_bytes(bytes), m_engine(Def(bytes), m_bytes) {}
    bool valid() const { return m_engine.isValid(); }
    int ascent() const override { return m_engine.ascent().round().toInt(); }
    int descent() const override { return m_engine.descent().round().toInt(); }
    hb_font_t* shaper() override { return hb_qt_font_get_for_engine(&m_engine); }
    uint32_t glyphIndex(char32_t c) override {
        const glyph_t g = m_engine.glyphIndex(c);
        // A glyph listed but not rendered is one the format could not hold.
        return g && m_engine.findGlyph(g) ? g : 0;
    }
    QRectF inkBox(uint32_t glyph) override {
        const QFontEngineQPF2::Glyph* info = m_engine.findGlyph(glyph);
        return info ? QRectF(info->x, info->y, info->width, info->height) : QRectF();
    }
    void draw(QImage& image, const std::vector<uint32_t>& glyphs, const std::vector<QPointF>& at) override {
        for (size_t i = 0; i < glyphs.size(); ++i) {
            const QFontEngineQPF2::Glyph* info = m_engine.findGlyph(glyphs[i]);
            if (!info || !info->width || !info->height) continue;
            // A bitmap font sits on whole pixels.
            const QPoint p(QFixed::fromReal(at[i].x()).round().toInt(), QFixed::fromReal(at[i].y()).round().toInt());
            Composite(image, AsAlpha8(m_engine.alphaMapForGlyph(glyphs[i])), p.x() + info->x, p.y() + info->y);
        }
    }

private:
    // The panel asks for the file's own pixel size, which sets the scale Qt
    // shapes with.
    static QFontDef Def(const QByteArray& bytes) {
        QFontDef def;
        const QVariant size = QFontEngineQPF2::extractHeaderField(reinterpret_cast<const uchar*>(bytes.constData()),
                                                                  QFontEngineQPF2::Tag_PixelSize);
        def.pixelSize = size.isValid() ? size.toInt() : 0;
        return def;
    }
    QByteArray m_bytes;  // the engine reads from it for its whole life
    QFontEngineQPF2 m_engine;
};

class OutlineFont : public PanelFont {
public:
    OutlineFont(const QByteArray& bytes, int lfHeight, bool bold, bool italic) {
        // A cell height is the em scaled by the font's own line height.
        QRawFont probe(bytes, 1000);
        double em = lfHeight < 0 ? -lfHeight : lfHeight;
        if (lfHeight > 0 && probe.isValid() && probe.ascent() + probe.descent() > 0)
            em = lfHeight * 1000.0 / (probe.ascent() + probe.descent());
        // As Qt draws a font the panel loads: its own default hinting.
        m_raw.loadFromData(bytes, std::max(1.0, em), QFont::PreferDefaultHinting);
        m_bold = bold && m_raw.weight() < QFont::DemiBold;
        m_italic = italic && m_raw.style() == QFont::StyleNormal;
        m_stroke = m_raw.pixelSize() / 24.0;
    }
    bool valid() const { return m_raw.isValid() && Engine(); }
    int ascent() const override { return static_cast<int>(std::ceil(m_raw.ascent())); }
    int descent() const override { return static_cast<int>(std::ceil(m_raw.descent())); }
    hb_font_t* shaper() override { return hb_qt_font_get_for_engine(Engine()); }
    uint32_t glyphIndex(char32_t c) override { return Engine()->glyphIndex(c); }
    double boldening() const override { return m_bold ? m_stroke : 0; }
    QRectF inkBox(uint32_t glyph) override {
        if (!m_bold && !m_italic) return m_raw.boundingRect(glyph);
        return Path(glyph).boundingRect();
    }
    void draw(QImage& image, const std::vector<uint32_t>& glyphs, const std::vector<QPointF>& at) override {
        QPainter p(&image);
        p.setPen(Qt::black);
        if (!m_bold && !m_italic) {
            // Qt's own rasterisation, as the panel draws the file.
            QGlyphRun run;
            run.setRawFont(m_raw);
            run.setGlyphIndexes(QVector<quint32>(glyphs.begin(), glyphs.end()));
            run.setPositions(QVector<QPointF>(at.begin(), at.end()));
            p.drawGlyphRun(QPointF(0, 0), run);
            return;
        }
        p.setRenderHint(QPainter::Antialiasing);
        for (size_t i = 0; i < glyphs.size(); ++i) p.fillPath(Path(glyphs[i]).translated(at[i]), Qt::black);
    }

private:
    QFontEngine* Engine() const { return QRawFontPrivate::get(m_raw)->fontEngine; }
    // The panel's simulation of a style the file lacks.
    QPainterPath Path(uint32_t glyph) const {
        QPainterPath path = m_raw.pathForGlyph(glyph);
        if (m_bold) {
            QPainterPathStroker stroker;
            stroker.setWidth(m_stroke);
            path = (path + stroker.createStroke(path)).simplified();
        }
        if (m_italic) path = QTransform().shear(-0.2, 0).map(path);
        return path;
    }

    QRawFont m_raw;
    bool m_bold = false, m_italic = false;
    double m_stroke = 1;
};

std::string Code(char32_t c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(c));
    return buf;
}

QFont LabelFont(int pixels) {
    QFont f;
    f.setPixelSize(std::max(6, pixels));
    return f;
}
}  // namespace

std::unique_ptr<PanelFont> OpenQpf2(const QByteArray& bytes) {
    if (!QFontEngineQPF2::verifyHeader(reinterpret_cast<const uchar*>(bytes.constData()), bytes.size())) return nullptr;
    auto font = std::make_unique<Qpf2Font>(bytes);
    if (!font->valid()) return nullptr;
    return font;
}

std::unique_ptr<PanelFont> OpenOutline(const QByteArray& bytes, int lfHeight, bool bold, bool italic) {
    auto font = std::make_unique<OutlineFont>(bytes, lfHeight, bold, italic);
    if (!font->valid()) return nullptr;
    return font;
}

DrawnLine DrawLine(PanelFont* font, const std::u32string& text, const std::u32string& lost) {
    const int ascent = font ? std::max(1, font->ascent()) : 12;
    const int descent = font ? std::max(0, font->descent()) : 4;
    const int height = ascent + descent;
    // A marker is as tall as the line and wide enough for its code.
    const int markerWidth = std::max(height * 2 / 3, 12);
    std::u32string line;
    for (char32_t c : text)
        if (c != U'\r' && c != U'\n') line += c;
    DrawnLine out;
    struct Marker {
        char32_t c;
        double x;
    };
    std::vector<Marker> markers;
    const auto drawn = [&](char32_t c) {
        return font && font->glyphIndex(c) && lost.find(c) == std::u32string::npos;
    };
    const std::vector<shaping::Item> runs = shaping::SplitByFont(line, shaping::Itemize(line), drawn);
    hb_font_t* shaper = font ? font->shaper() : nullptr;
    int xScale = 0, yScale = 0;
    if (shaper) hb_font_get_scale(shaper, &xScale, &yScale);
    const int64_t bolder = font ? std::llround(font->boldening() * 64) : 0;
    const int64_t markerAdvance = int64_t{markerWidth} * 64;
    const auto markable = [](char32_t c) { return qpf2::IsDrawn(c) && !shaping::IsDefaultIgnorable(c); };
    // A glyph's step along the line; a missing one takes a marker's width.
    const auto step = [&](const shaping::Glyph& g) -> int64_t {
        if (g.id) return g.advance + (g.advance ? bolder : 0);
        return markable(line[g.cluster]) ? markerAdvance : 0;
    };
    // Each run shaped and measured in the line's logical order: Qt sizes a
    // tab from the paragraph's start, the right edge in a right-to-left line.
    std::vector<std::vector<shaping::Glyph>> shaped(runs.size());
    std::vector<int64_t> advance(runs.size());  // 26.6, as Qt adds advances up
    int64_t logical = 0;
    for (size_t k = 0; k < runs.size(); ++k) {
        const shaping::Item& run = runs[k];
        int64_t& w = advance[k];
        if (line[run.begin] == U'\t') {
            // To the next of Qt's tab stops, every 80 pixels.
            constexpr int64_t kTabStop = 80 * 64;
            w = (logical / kTabStop + 1) * kTabStop - logical;
        } else if (run.lacking || !shaper) {
            for (size_t i = run.begin; i < run.end; ++i) w += markable(line[i]) ? markerAdvance : 0;
        } else {
            shaped[k] = shaping::Shape(shaper, line, run, shaping::Features::Panel);
            for (const shaping::Glyph& g : shaped[k]) w += step(g);
        }
        logical += w;
    }
    int64_t pen = 0;
    const auto marker = [&](char32_t c) {
        if (!markable(c)) return;
        markers.push_back({c, pen / 64.0});
        out.marked += c;
        pen += markerAdvance;
    };
    for (size_t k : shaping::VisualOrder(line, runs)) {
        const shaping::Item& run = runs[k];
        if (line[run.begin] == U'\t') {
            pen += advance[k];
            continue;
        }
        if (run.lacking || !shaper) {
            for (size_t i = 0; i < run.end - run.begin; ++i) marker(line[run.rtl() ? run.end - 1 - i : run.begin + i]);
            continue;
        }
        for (const shaping::Glyph& g : shaped[k]) {
            if (!g.id) {
                marker(line[g.cluster]);
                continue;
            }
            // Qt's fonts lay out with y downwards.
            const double y = (yScale < 0 ? g.yOffset : -g.yOffset) / 64.0;
            out.glyphs.push_back({g.id, QPointF((pen + g.xOffset) / 64.0, y), g.cluster});
            pen += step(g);
        }
    }
    out.width = static_cast<int>(std::ceil(pen / 64.0));
    // Ink may reach past the advances, before the line and after it.
    QRectF ink(0, -ascent, out.width, height);
    for (const PlacedGlyph& g : out.glyphs) {
        const QRectF box = font->inkBox(g.id);
        if (!box.isEmpty()) ink |= box.translated(g.at);
    }
    const QRect bounds = ink.toAlignedRect();
    out.origin = -bounds.left();
    out.baseline = -bounds.top();
    out.image = QImage(std::max(1, bounds.width()), std::max(1, bounds.height()), QImage::Format_RGB32);
    out.image.fill(Qt::white);
    if (font && !out.glyphs.empty()) {
        std::vector<uint32_t> ids;
        std::vector<QPointF> at;
        for (const PlacedGlyph& g : out.glyphs) {
            ids.push_back(g.id);
            at.push_back(g.at + QPointF(out.origin, out.baseline));
        }
        font->draw(out.image, ids, at);
    }
    QPainter painter(&out.image);
    for (const Marker& m : markers) {
        const QRect box(out.origin + static_cast<int>(std::lround(m.x)) + 1, out.baseline - ascent + 1,
                        markerWidth - 2, height - 2);
        painter.setPen(QColor::fromRgb(kMarkerRgb));
        painter.drawRect(box.adjusted(0, 0, -1, -1));
        painter.setFont(LabelFont(std::min(box.height() / 3, box.width() / 3)));
        painter.drawText(box, Qt::AlignCenter | Qt::TextWrapAnywhere, QString::fromStdString(Code(m.c)));
    }
    return out;
}

QImage DrawSheet(const Sheet& sheet) {
    constexpr int kMargin = 16, kGap = 12, kLabel = 90;
    const QFont heading = LabelFont(18), body = LabelFont(12);
    const QColor marker = QColor::fromRgb(kMarkerRgb);
    // Column widths: the widest line of each language, as shown.
    const size_t columns = sheet.languages.size();
    std::vector<int> width(columns, 120);
    auto shown = [](const DrawnLine& l) {
        const double scale = l.image.height() > kMaxRowHeight ? double(kMaxRowHeight) / l.image.height() : 1.0;
        return std::make_pair(scale, QSize(static_cast<int>(l.image.width() * scale), static_cast<int>(l.image.height() * scale)));
    };
    int height = kMargin + 60;
    for (const Screen& s : sheet.screens) {
        height += 40;
        for (const Row& r : s.rows) {
            int rowHeight = 20;
            for (size_t i = 0; i < r.cells.size() && i < columns; ++i) {
                if (!r.cells[i].drawn) continue;
                const QSize sz = shown(r.cells[i].line).second;
                width[i] = std::max(width[i], std::min(sz.width(), 1600));
                rowHeight = std::max(rowHeight, sz.height());
            }
            height += rowHeight + 18 + kGap;
        }
    }
    const QString legend = QString("Red boxes: characters the panel cannot draw. Red frame: a line wider than the "
                                   "panel's screen (%1 px), or one the panel shapes otherwise than the desktop. "
                                   "Lines taller than %2 px are scaled down, as noted.")
                               .arg(sheet.screenWidth)
                               .arg(kMaxRowHeight);
    const QString title = QString::fromStdString(sheet.title);
    int total = kMargin * 2 + kLabel;
    for (int w : width) total += w + kGap;
    total = std::max({total, kMargin * 2 + QFontMetrics(heading).horizontalAdvance(title),
                      kMargin * 2 + QFontMetrics(body).horizontalAdvance(legend)});
    QImage img(total, height + 60, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    int y = kMargin;
    p.setFont(heading);
    p.setPen(Qt::black);
    p.drawText(kMargin, y + 18, title);
    y += 28;
    p.setFont(body);
    p.setPen(Qt::darkGray);
    p.drawText(kMargin, y + 12, legend);
    y += 32;
    for (const Screen& s : sheet.screens) {
        p.setFont(heading);
        p.setPen(Qt::black);
        p.drawText(kMargin, y + 20, QString::fromStdString("Screen " + s.name));
        p.setFont(body);
        int x = kMargin + kLabel;
        for (size_t i = 0; i < columns; ++i) {
            p.setPen(Qt::darkGray);
            p.drawText(x, y + 34, QString::fromStdString(sheet.languages[i]));
            x += width[i] + kGap;
        }
        y += 40;
        for (const Row& r : s.rows) {
            int rowHeight = 20;
            for (const Cell& c : r.cells)
                if (c.drawn) rowHeight = std::max(rowHeight, shown(c.line).second.height());
            p.setPen(Qt::darkGray);
            p.setFont(body);
            p.drawText(kMargin, y + 14, QString::fromStdString(r.label));
            x = kMargin + kLabel;
            for (size_t i = 0; i < columns && i < r.cells.size(); ++i) {
                const Cell& c = r.cells[i];
                std::string note = c.note;
                if (c.drawn) {
                    const auto [scale, size] = shown(c.line);
                    const QRect target(x, y, std::min(size.width(), width[i]), size.height());
                    if (scale < 1.0) {
                        p.setRenderHint(QPainter::SmoothPixmapTransform);
                        p.drawImage(target, c.line.image, QRect(0, 0, static_cast<int>(target.width() / scale),
                                                               c.line.image.height()));
                        note += (note.empty() ? "" : "; ") + std::string("scaled ") +
                                std::to_string(static_cast<int>(scale * 100)) + "%";
                    } else {
                        p.drawImage(target.topLeft(), c.line.image, QRect(QPoint(0, 0), target.size()));
                    }
                    if (sheet.screenWidth > 0 && c.line.width > sheet.screenWidth) {
                        p.setPen(QPen(marker, 2));
                        p.drawRect(target.adjusted(-1, -1, 1, 1));
                        note += (note.empty() ? "" : "; ") + std::to_string(c.line.width) + " px, wider than the screen";
                    }
                    if (!c.shaped.empty()) {
                        p.setPen(QPen(marker, 2));
                        p.drawRect(target.adjusted(-3, -3, 3, 3));
                        note += (note.empty() ? "" : "; ") + std::string("shaped otherwise: ") + c.shaped;
                    }
                    if (!c.line.marked.empty())
                        note += (note.empty() ? "" : "; ") + std::to_string(c.line.marked.size()) + " not drawn";
                }
                if (!note.empty()) {
                    p.setPen(c.drawn && c.line.marked.empty() && c.shaped.empty() && c.line.width <= sheet.screenWidth
                                 ? Qt::darkGray
                                 : marker);
                    p.setFont(body);
                    p.drawText(x, y + rowHeight + 14, QString::fromStdString(note));
                }
                x += width[i] + kGap;
            }
            y += rowHeight + 18 + kGap;
        }
    }
    p.end();
    return img;
}

}  // namespace preview
