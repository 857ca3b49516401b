// FreeType rendering of QPF2 fonts: 8-bit alpha maps on the pixel grid.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cmath>
#include <functional>
#include <ostream>
#include <string>
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

namespace {
// Renders the characters the face has, in order, into out's glyph list; the
// alpha map of each glyph that fits the format goes to `keep(glyph, bitmap)`,
// which stores or writes it. `begin()` runs once the face is open and sized,
// before the first glyph; false from it stops.
template <class Begin, class Keep>
bool RenderGlyphs(const RenderRequest& rq, Font& out, std::string* error, FT_Face* opened, Begin&& begin,
                  Keep&& keep) {
    auto fail = [error](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    if (rq.pixelEm <= 0) return fail("no pixel size");
    FT_Face face = nullptr;
    if (!winfiles::IsRegularFile(rq.path) || FT_New_Face(SharedLibrary(), rq.path.c_str(), rq.faceIndex, &face) != 0)
        return fail("cannot open " + rq.path);
    *opened = face;
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(rq.pixelEm)) != 0) return fail("cannot size the face");
    if (!begin()) return fail("nowhere to write");

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
            keep(g, bm);
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

struct FaceCloser {
    FT_Face face = nullptr;
    ~FaceCloser() {
        if (face) FT_Done_Face(face);
    }
};

// The glyph map of the characters the face has, in order, as rendering
// them all would number them: what fixes the size of a file's head.
Font Predicted(const RenderRequest& rq) {
    Font f;
    f.fontName = rq.fontName;
    f.fileName = rq.path.substr(rq.path.find_last_of('/') + 1);
    f.writingSystems.assign(5, 0);
    FaceCloser face;
    if (FT_New_Face(SharedLibrary(), rq.path.c_str(), rq.faceIndex, &face.face) != 0) return f;
    std::vector<bool> seen(0x110000);
    for (char32_t c : rq.chars) {
        if (c >= seen.size() || seen[c]) continue;
        seen[c] = true;
        if (!FT_Get_Char_Index(face.face, c)) continue;
        f.glyphs.emplace_back();
        f.cmap[c] = static_cast<uint32_t>(f.glyphs.size());
    }
    return f;
}
}  // namespace

bool Render(const RenderRequest& rq, Font& out, std::string* error) {
    FaceCloser face;
    return RenderGlyphs(rq, out, error, &face.face, [] { return true; }, [](Glyph& g, const FT_Bitmap& bm) {
        g.alpha.resize(static_cast<size_t>(g.width) * g.height);
        for (unsigned row = 0; row < bm.rows; ++row)
            std::copy_n(bm.buffer + static_cast<ptrdiff_t>(row) * bm.pitch, bm.width, g.alpha.begin() + row * g.width);
    });
}

bool RenderTo(const RenderRequest& rq, const std::function<std::ostream*()>& open, std::string* error, bool* again,
              const std::function<void()>& written) {
    if (again) *again = false;
    // The head goes first in the file but is known last: its size is fixed
    // by the characters the face maps, so the records are written after a
    // place kept for it.
    std::ostream* stream = nullptr;
    std::streampos start;
    size_t headSize = 0;
    const auto begin = [&] {
        stream = open();
        if (!stream) return false;
        start = stream->tellp();
        headSize = HeadBytes(Predicted(rq), nullptr).size();
        stream->write(std::string(headSize, '\0').data(), static_cast<std::streamsize>(headSize));
        return true;
    };
    uint64_t sinceWritten = 0;
    Font font;
    FaceCloser face;
    const bool rendered = RenderGlyphs(rq, font, error, &face.face, begin, [&](Glyph& g, const FT_Bitmap& bm) {
        const uint8_t head[6] = {g.width, g.height, g.bytesPerLine, static_cast<uint8_t>(g.x),
                                 static_cast<uint8_t>(g.y), static_cast<uint8_t>(g.advance)};
        stream->write(reinterpret_cast<const char*>(head), 6);
        if (bm.pitch == static_cast<int>(bm.width)) {
            stream->write(reinterpret_cast<const char*>(bm.buffer), static_cast<std::streamsize>(bm.width) * bm.rows);
        } else {
            for (unsigned r = 0; r < bm.rows; ++r)
                stream->write(reinterpret_cast<const char*>(bm.buffer + static_cast<ptrdiff_t>(r) * bm.pitch), bm.width);
        }
        sinceWritten += 6 + static_cast<uint64_t>(bm.width) * bm.rows;
        if (sinceWritten >= (uint64_t{1} << 20) && written) {
            written();
            sinceWritten = 0;
        }
    });
    if (!rendered) return false;
    uint32_t records = 0;
    const std::vector<uint8_t> head = HeadBytes(font, &records);
    if (head.size() != headSize) {
        // A glyph the face maps could not be rendered: the file is made again in memory.
        if (again) *again = true;
        if (error) *error = "a mapped glyph could not be rendered";
        return false;
    }
    // A failed write shows in the stream; the caller's commit finds it.
    WriteGlyphBlockEnd(records, *stream);
    stream->seekp(start);
    stream->write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
    stream->seekp(0, std::ios_base::end);
    return true;
}

}  // namespace qpf2
