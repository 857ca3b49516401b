// FreeType rendering of QPF2 fonts: 8-bit alpha maps on the pixel grid.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cmath>
#include <vector>

#include "Qpf2.h"
#include "win/filesafety.h"

namespace qpf2 {

namespace {
struct Library {
    FT_Library lib = nullptr;
    Library() { FT_Init_FreeType(&lib); }
    ~Library() { FT_Done_FreeType(lib); }
};

FT_Library SharedLibrary() {
    static Library l;
    return l.lib;
}

double Px(FT_Pos v) {
    return static_cast<double>(v) / 64.0;
}

bool Fits(int v) {
    return v >= -128 && v <= 127;
}
}  // namespace

bool Render(const RenderRequest& rq, Font& out, std::string* error) {
    auto fail = [error](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    if (rq.pixelEm <= 0) return fail("no pixel size");
    FT_Face face = nullptr;
    if (!winfiles::IsRegularFile(rq.path) || FT_New_Face(SharedLibrary(), rq.path.c_str(), rq.faceIndex, &face) != 0)
        return fail("cannot open " + rq.path);
    struct Closer {
        FT_Face f;
        ~Closer() { FT_Done_Face(f); }
    } closer{face};
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(rq.pixelEm)) != 0) return fail("cannot size the face");

    out = Font{};
    out.fontName = rq.fontName;
    out.fileName = rq.path.substr(rq.path.find_last_of('/') + 1);
    out.fileIndex = static_cast<uint32_t>(rq.faceIndex);
    out.pixelSize = static_cast<uint8_t>(std::min(rq.pixelEm, 255));
    out.weight = static_cast<uint8_t>(rq.weight);
    out.style = rq.italic ? 1 : 0;
    const FT_Size_Metrics& m = face->size->metrics;
    out.ascent = Px(m.ascender);
    out.descent = -Px(m.descender);
    out.leading = std::max(0.0, Px(m.height) - out.ascent - out.descent);
    out.maxCharWidth = Px(m.max_advance);
    if (FT_IS_SCALABLE(face)) {
        const double scale = static_cast<double>(rq.pixelEm) / face->units_per_EM;
        out.lineThickness = std::max(1.0, std::round(face->underline_thickness * scale));
        out.underlinePosition = -face->underline_position * scale;
    }
    // Latin and, when the face has CJK ideographs, Simplified Chinese.
    out.writingSystems.assign(5, 0);
    out.writingSystems[0] |= 0x02;  // Latin (writing system 1)
    if (FT_Get_Char_Index(face, 0x4E00)) out.writingSystems[3] |= 0x10;  // SimplifiedChinese (28)

    std::vector<bool> seen(0x110000);
    out.glyphs.reserve(rq.chars.size());
    double widthSum = 0;
    int minLeft = 0, minRight = 0;
    for (char32_t c : rq.chars) {
        if (c >= seen.size() || seen[c]) continue;
        seen[c] = true;
        const FT_UInt index = FT_Get_Char_Index(face, c);
        if (index == 0) continue;
        if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) continue;
        FT_GlyphSlot slot = face->glyph;
        if (rq.simulateBold) FT_GlyphSlot_Embolden(slot);
        if (rq.simulateItalic) FT_GlyphSlot_Oblique(slot);
        // A glyph the format cannot hold is not rendered at all: at a hostile
        // size its bitmap alone could take gigabytes.
        if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
            FT_BBox box;
            FT_Outline_Get_CBox(&slot->outline, &box);
            if ((box.xMax - box.xMin) / 64 > 256 || (box.yMax - box.yMin) / 64 > 256) {
                out.unstorable.push_back(static_cast<uint32_t>(out.glyphs.size() + 1));
                if (c == U'x') out.xHeight = Px(box.yMax);
                out.glyphs.emplace_back();
                out.cmap[c] = static_cast<uint32_t>(out.glyphs.size());
                continue;
            }
        }
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) continue;
        const FT_Bitmap& bm = slot->bitmap;
        Glyph g;
        const int advance = static_cast<int>(std::lround(Px(slot->advance.x)));
        const bool fits = bm.width <= 255 && bm.rows <= 255 && Fits(slot->bitmap_left) && Fits(-slot->bitmap_top) &&
                          Fits(advance);
        const uint32_t id = static_cast<uint32_t>(out.glyphs.size() + 1);
        if (fits) {
            g.width = static_cast<uint8_t>(bm.width);
            g.height = static_cast<uint8_t>(bm.rows);
            g.bytesPerLine = g.width;
            g.x = static_cast<int8_t>(slot->bitmap_left);
            g.y = static_cast<int8_t>(-slot->bitmap_top);
            g.advance = static_cast<int8_t>(advance);
            g.alpha.resize(static_cast<size_t>(g.width) * g.height);
            for (unsigned row = 0; row < bm.rows; ++row)
                std::copy_n(bm.buffer + static_cast<ptrdiff_t>(row) * bm.pitch, bm.width, g.alpha.begin() + row * g.width);
            widthSum += advance;
            minLeft = std::min(minLeft, static_cast<int>(slot->bitmap_left));
            minRight = std::min(minRight, advance - slot->bitmap_left - static_cast<int>(bm.width));
        } else {
            // Too large for the format's byte fields: listed, but not rendered.
            out.unstorable.push_back(id);
        }
        if (c == U'x') out.xHeight = slot->bitmap_top;
        out.glyphs.push_back(std::move(g));
        out.cmap[c] = id;
    }
    const size_t stored = out.glyphs.size() - out.unstorable.size();
    out.averageCharWidth = stored ? widthSum / static_cast<double>(stored) : 0;
    out.minLeftBearing = minLeft;
    out.minRightBearing = minRight;
    if (out.xHeight == 0) out.xHeight = out.ascent / 2;
    return true;
}

}  // namespace qpf2
