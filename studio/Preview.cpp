#include "Preview.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QTransform>
#include <QRawFont>
#include <QtGui/private/qfontengine_qpf2_p.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

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

class Qpf2Font : public PanelFont {
public:
    explicit Qpf2Font(const QByteArray& bytes) : m_bytes(bytes), m_engine(QFontDef(), m_bytes) {}
    bool valid() const { return m_engine.isValid(); }
    int ascent() const override { return m_engine.ascent().round().toInt(); }
    int descent() const override { return m_engine.descent().round().toInt(); }
    bool glyph(char32_t c, GlyphImage* out) override {
        const glyph_t g = m_engine.glyphIndex(c);
        // A glyph listed but not rendered is one the format could not hold.
        const QFontEngineQPF2::Glyph* info = g ? m_engine.findGlyph(g) : nullptr;
        if (!info) return false;
        out->advance = info->advance;
        out->left = info->x;
        out->top = info->y;
        out->alpha = info->width && info->height ? AsAlpha8(m_engine.alphaMapForGlyph(g)) : QImage();
        return true;
    }

private:
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
        m_raw.loadFromData(bytes, std::max(1.0, em), QFont::PreferNoHinting);
        m_bold = bold && m_raw.weight() < QFont::DemiBold;
        m_italic = italic && m_raw.style() == QFont::StyleNormal;
    }
    bool valid() const { return m_raw.isValid(); }
    int ascent() const override { return static_cast<int>(std::ceil(m_raw.ascent())); }
    int descent() const override { return static_cast<int>(std::ceil(m_raw.descent())); }
    bool glyph(char32_t c, GlyphImage* out) override {
        const quint32 g = m_raw.glyphIndexesForString(QString::fromUcs4(&c, 1)).value(0);
        if (!g) return false;
        const QVector<QPointF> adv = m_raw.advancesForGlyphIndexes(QVector<quint32>{g});
        out->advance = adv.isEmpty() ? 0 : adv[0].x();
        QPainterPath path = m_raw.pathForGlyph(g);
        const double stroke = m_raw.pixelSize() / 24.0;
        if (m_bold) {
            QPainterPathStroker stroker;
            stroker.setWidth(stroke);
            path = (path + stroker.createStroke(path)).simplified();
            out->advance += stroke;
        }
        if (m_italic) path = QTransform().shear(-0.2, 0).map(path);
        const QRect box = path.boundingRect().toAlignedRect();
        out->alpha = QImage();
        if (box.isEmpty()) return true;
        out->left = box.left();
        out->top = box.top();
        QImage map(box.size(), QImage::Format_Alpha8);
        map.fill(0);
        QPainter p(&map);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(-box.left(), -box.top());
        p.fillPath(path, Qt::black);
        p.end();
        out->alpha = map;
        return true;
    }

private:
    QRawFont m_raw;
    bool m_bold = false, m_italic = false;
};

std::string Code(char32_t c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(c));
    return buf;
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
    struct Placed {
        GlyphImage g;
        bool marker;
        char32_t c;
        double x;
    };
    std::vector<Placed> placed;
    DrawnLine line;
    double pen = 0;
    for (char32_t c : text) {
        if (c == U'\r' || c == U'\n') continue;
        Placed p{GlyphImage(), false, c, pen};
        p.marker = !font || lost.find(c) != std::u32string::npos || !font->glyph(c, &p.g);
        if (p.marker) line.marked += c;
        pen += p.marker ? markerWidth : p.g.advance;
        placed.push_back(std::move(p));
    }
    line.width = static_cast<int>(std::ceil(pen));
    line.baseline = ascent;
    // Ink may reach past the advances.
    int right = line.width, top = 0, bottom = height;
    for (const Placed& p : placed)
        if (!p.marker && !p.g.alpha.isNull()) {
            right = std::max(right, static_cast<int>(p.x) + p.g.left + p.g.alpha.width());
            top = std::min(top, ascent + p.g.top);
            bottom = std::max(bottom, ascent + p.g.top + p.g.alpha.height());
        }
    line.baseline = ascent - top;
    line.image = QImage(std::max(1, right), bottom - top, QImage::Format_RGB32);
    line.image.fill(Qt::white);
    QPainter painter(&line.image);
    for (const Placed& p : placed) {
        const int x = static_cast<int>(std::lround(p.x));
        if (!p.marker) {
            if (!p.g.alpha.isNull()) Composite(line.image, p.g.alpha, x + p.g.left, line.baseline + p.g.top);
            continue;
        }
        const QRect box(x + 1, line.baseline - ascent + 1, markerWidth - 2, height - 2);
        painter.setPen(QColor::fromRgb(kMarkerRgb));
        painter.drawRect(box.adjusted(0, 0, -1, -1));
        painter.setFont(LabelFont(std::min(box.height() / 3, box.width() / 3)));
        painter.drawText(box, Qt::AlignCenter | Qt::TextWrapAnywhere, QString::fromStdString(Code(p.c)));
    }
    return line;
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
                                   "panel's screen (%1 px). Lines taller than %2 px are scaled down, as noted.")
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
                    if (!c.line.marked.empty())
                        note += (note.empty() ? "" : "; ") + std::to_string(c.line.marked.size()) + " not drawn";
                }
                if (!note.empty()) {
                    p.setPen(c.drawn && c.line.marked.empty() && c.line.width <= sheet.screenWidth ? Qt::darkGray : marker);
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
