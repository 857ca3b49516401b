// FreeType rendering of QPF2 fonts: 8-bit alpha maps on the pixel grid.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "Qpf2.h"
#include "Qpf2Metrics.h"
#include "Shaping.h"
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

bool Fits(int v) {
    return v >= -128 && v <= 127;
}

// The face of a request and its linked faces, each opened and sized when a
// character first needs it.
class FaceChain {
public:
    explicit FaceChain(const RenderRequest& rq) : m_rq(rq), m_links(rq.links.size()) {}
    ~FaceChain() {
        if (m_base) FT_Done_Face(m_base);
        for (Link& l : m_links)
            if (l.face) FT_Done_Face(l.face);
    }
    FaceChain(const FaceChain&) = delete;
    FaceChain& operator=(const FaceChain&) = delete;

    bool Open(bool sized, std::string* why) {
        if (!winfiles::IsRegularFile(m_rq.path) ||
            FT_New_Face(SharedLibrary(), m_rq.path.c_str(), m_rq.faceIndex, &m_base) != 0) {
            m_base = nullptr;
            *why = "cannot open " + m_rq.path;
            return false;
        }
        if (sized && FT_Set_Pixel_Sizes(m_base, 0, static_cast<FT_UInt>(m_rq.pixelEm)) != 0) {
            *why = "cannot size the face";
            return false;
        }
        m_sized = sized;
        return true;
    }
    FT_Face base() const { return m_base; }

    // Which face draws `c` (0 the face, i + 1 link i; -1 none) and its glyph.
    int Find(char32_t c, FT_UInt* index) {
        if ((*index = FT_Get_Char_Index(m_base, c)) != 0) return 0;
        for (size_t i = 0; i < m_links.size(); ++i) {
            FT_Face f = Linked(i);
            if (f && (*index = FT_Get_Char_Index(f, c)) != 0) return static_cast<int>(i + 1);
        }
        return -1;
    }
    FT_Face Face(int which) { return which == 0 ? m_base : Linked(static_cast<size_t>(which - 1)); }
    bool Bold(int which) const { return which == 0 ? m_rq.simulateBold : m_rq.links[which - 1].simulateBold; }
    bool Italic(int which) const { return which == 0 ? m_rq.simulateItalic : m_rq.links[which - 1].simulateItalic; }

private:
    struct Link {
        FT_Face face = nullptr;
        bool tried = false;
    };
    FT_Face Linked(size_t i) {
        Link& l = m_links[i];
        if (l.tried) return l.face;
        l.tried = true;
        const LinkedFace& lf = m_rq.links[i];
        if (!winfiles::IsRegularFile(lf.path) ||
            FT_New_Face(SharedLibrary(), lf.path.c_str(), lf.faceIndex, &l.face) != 0) {
            l.face = nullptr;
        } else if (m_sized && FT_Set_Pixel_Sizes(l.face, 0, static_cast<FT_UInt>(m_rq.pixelEm)) != 0) {
            FT_Done_Face(l.face);
            l.face = nullptr;
        }
        return l.face;
    }

    const RenderRequest& m_rq;
    FT_Face m_base = nullptr;
    bool m_sized = false;
    std::vector<Link> m_links;
};

void NoteLinked(Font& out, const std::string& face, char32_t c) {
    auto it = std::find_if(out.linked.begin(), out.linked.end(), [&](const auto& l) { return l.first == face; });
    if (it == out.linked.end()) it = out.linked.insert(out.linked.end(), {face, std::u32string()});
    it->second += c;
}

// A font too large for the format: which characters a face has (too large)
// and which none has (missing), without rendering anything.
void Classify(const RenderRequest& rq, FaceChain& chain, Font& out) {
    std::vector<bool> seen(0x110000);
    for (char32_t c : rq.chars) {
        if (c >= seen.size() || seen[c] || !IsDrawn(c)) continue;
        seen[c] = true;
        FT_UInt index = 0;
        (chain.Find(c, &index) < 0 ? out.missing : out.tooLarge) += c;
    }
}

// One glyph a file carries: a character of the request, or one the panel's
// shaping looks up without a GSUB (a presentation form of Arabic, the
// mirror of a character in a right-to-left run).
struct Planned {
    char32_t c = 0;
    int which = -1;  // the face of the chain that draws it, -1 none
    FT_UInt index = 0;
    bool extra = false;
};

bool IsRightToLeft(char32_t c) {
    return (c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF) ||
           (c >= 0x10800 && c <= 0x10FFF) || (c >= 0x1E800 && c <= 0x1EFFF);
}

// The request's characters, each once in order, with the face that draws
// them; then the extras. Qt gives HarfBuzz nothing but the file's cmap, and
// HarfBuzz then joins Arabic through the presentation forms that cmap maps
// and mirrors a bracket only when its mirror is there.
std::vector<Planned> Plan(const RenderRequest& rq, FaceChain& chain) {
    std::vector<Planned> out;
    out.reserve(rq.chars.size());
    std::vector<bool> seen(0x110000);
    bool rtl = false;
    for (char32_t c : rq.chars) {
        if (c >= seen.size() || seen[c]) continue;
        seen[c] = true;
        Planned p;
        p.c = c;
        p.which = chain.Find(c, &p.index);
        out.push_back(p);
        rtl = rtl || IsRightToLeft(c);
    }
    if (!rtl) return out;
    const size_t requested = out.size();
    // The forms come from the face that draws the letters; one a text asks
    // for itself is drawn as the face shows that form in text.
    std::map<int, std::u32string> letters;
    for (size_t i = 0; i < requested; ++i)
        if (out[i].which >= 0 && ((out[i].c >= 0x0621 && out[i].c <= 0x06D3) || shaping::IsPresentationForm(out[i].c)))
            letters[out[i].which] += out[i].c;
    std::map<int, std::unique_ptr<shaping::Face>> faces;
    for (const auto& kv : letters) {
        const bool base = kv.first == 0;
        const std::string& path = base ? rq.path : rq.links[static_cast<size_t>(kv.first - 1)].path;
        const int index = base ? rq.faceIndex : rq.links[static_cast<size_t>(kv.first - 1)].faceIndex;
        faces[kv.first] = shaping::Face::FromFile(path, index, rq.pixelEm);
    }
    for (size_t i = 0; i < requested; ++i) {
        auto face = faces.find(out[i].which);
        if (face != faces.end() && face->second && shaping::IsPresentationForm(out[i].c))
            if (const uint32_t g = face->second->PresentationForm(out[i].c)) out[i].index = g;
    }
    for (size_t i = 0; i < requested; ++i) {
        const char32_t m = shaping::Mirror(out[i].c);
        if (m == out[i].c || m >= seen.size() || seen[m]) continue;
        Planned p;
        p.c = m;
        p.which = chain.Find(m, &p.index);
        p.extra = true;
        if (p.which < 0) continue;
        seen[m] = true;
        out.push_back(p);
    }
    for (const auto& kv : letters) {
        const std::unique_ptr<shaping::Face>& face = faces[kv.first];
        if (!face) continue;
        for (const auto& form : shaping::ArabicForms(*face, kv.second)) {
            if (seen[form.first]) continue;
            seen[form.first] = true;
            Planned p;
            p.c = form.first;
            p.which = kv.first;
            p.index = form.second;
            p.extra = true;
            out.push_back(p);
        }
    }
    return out;
}
}  // namespace

namespace {
// Renders the characters, in order, into out's glyph list: from the face,
// else from the first linked face that has them. The alpha map of each glyph
// that fits the format goes to `keep(glyph, bitmap)`, which stores or writes
// it. `begin(chain)` runs once the face is open and sized, before the first
// glyph; false from it stops.
template <class Begin, class Keep>
bool RenderGlyphs(const RenderRequest& rq, Font& out, std::string* error, Begin&& begin, Keep&& keep) {
    auto fail = [error](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    out = Font{};
    if (rq.pixelEm <= 0) return fail("no pixel size");
    FaceChain chain(rq);
    std::string why;
    const bool tooLarge = rq.pixelEm > kMaxPixelSize;
    if (!chain.Open(!tooLarge, &why)) {
        out.missing = Lacking(rq.path, rq.faceIndex, rq.chars);
        return fail(why);
    }
    if (tooLarge) {
        Classify(rq, chain, out);
        return fail("the pixel size " + std::to_string(rq.pixelEm) + " is beyond the format's " +
                    std::to_string(kMaxPixelSize));
    }
    if (!begin(chain)) return fail("nowhere to write");
    FT_Face face = chain.base();

    out.fontName = rq.fontName;
    out.fileName = rq.path.substr(rq.path.find_last_of('/') + 1);
    out.fileIndex = static_cast<uint32_t>(rq.faceIndex);
    out.pixelSize = static_cast<uint8_t>(rq.pixelEm);
    out.weight = static_cast<uint8_t>(rq.weight);
    out.style = rq.italic ? 1 : 0;
    SetQtMetrics(face, rq.pixelEm, out);
    // Latin and, when the face has CJK ideographs, Simplified Chinese.
    out.writingSystems.assign(5, 0);
    out.writingSystems[0] |= 0x02;  // Latin (writing system 1)
    if (FT_Get_Char_Index(face, 0x4E00)) out.writingSystems[3] |= 0x10;  // SimplifiedChinese (28)

    const std::vector<Planned> plan = Plan(rq, chain);
    out.glyphs.reserve(plan.size());
    for (const Planned& planned : plan) {
        const char32_t c = planned.c;
        const FT_UInt index = planned.index;
        const int which = planned.which;
        FT_Face from = which < 0 ? nullptr : chain.Face(which);
        if (!from || FT_Load_Glyph(from, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) {
            if (IsDrawn(c)) out.missing += c;
            continue;
        }
        FT_GlyphSlot slot = from->glyph;
        // The face's own advance, before any emboldening.
        const int advance = QtAdvance(from, index, rq.pixelEm, slot->advance.x);
        if (chain.Bold(which)) FT_GlyphSlot_Embolden(slot);
        if (chain.Italic(which)) FT_GlyphSlot_Oblique(slot);
        if (which > 0 && !planned.extra) NoteLinked(out, rq.links[static_cast<size_t>(which - 1)].name, c);
        const uint32_t id = static_cast<uint32_t>(out.glyphs.size() + 1);
        // A glyph the format cannot hold is not rendered at all: at a hostile
        // size its bitmap alone could take gigabytes.
        if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
            FT_BBox box;
            FT_Outline_Get_CBox(&slot->outline, &box);
            if ((box.xMax - box.xMin) / 64 > 256 || (box.yMax - box.yMin) / 64 > 256) {
                out.unstorable.push_back(id);
                if (IsDrawn(c)) out.tooLarge += c;
                out.glyphs.emplace_back();
                out.cmap[c] = id;
                continue;
            }
        }
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) {
            if (IsDrawn(c)) out.missing += c;
            continue;
        }
        const FT_Bitmap& bm = slot->bitmap;
        Glyph g;
        const bool fits = bm.width <= 255 && bm.rows <= 255 && Fits(slot->bitmap_left) && Fits(-slot->bitmap_top) &&
                          Fits(advance);
        if (fits) {
            g.width = static_cast<uint8_t>(bm.width);
            g.height = static_cast<uint8_t>(bm.rows);
            g.bytesPerLine = g.width;
            g.x = static_cast<int8_t>(slot->bitmap_left);
            g.y = static_cast<int8_t>(-slot->bitmap_top);
            g.advance = static_cast<int8_t>(advance);
            keep(g, bm);
        } else {
            // Too large for the format's byte fields: listed, but not rendered.
            out.unstorable.push_back(id);
            if (IsDrawn(c)) out.tooLarge += c;
        }
        out.glyphs.push_back(std::move(g));
        out.cmap[c] = id;
    }
    return true;
}

// The glyph map of the characters the face and its linked faces have, in
// order, as rendering them all would number them: what fixes the size of a
// file's head. From the chain about to render them, which is not read twice.
Font Predicted(const RenderRequest& rq, FaceChain& chain) {
    Font f;
    f.fontName = rq.fontName;
    f.fileName = rq.path.substr(rq.path.find_last_of('/') + 1);
    f.writingSystems.assign(5, 0);
    for (const Planned& p : Plan(rq, chain)) {
        if (p.which < 0) continue;
        f.glyphs.emplace_back();
        f.cmap.emplace(p.c, static_cast<uint32_t>(f.glyphs.size()));
    }
    return f;
}
}  // namespace

bool Render(const RenderRequest& rq, Font& out, std::string* error) {
    return RenderGlyphs(rq, out, error, [](FaceChain&) { return true; }, [](Glyph& g, const FT_Bitmap& bm) {
        g.alpha.resize(static_cast<size_t>(g.width) * g.height);
        for (unsigned row = 0; row < bm.rows; ++row)
            std::copy_n(bm.buffer + static_cast<ptrdiff_t>(row) * bm.pitch, bm.width, g.alpha.begin() + row * g.width);
    });
}

bool RenderTo(const RenderRequest& rq, const std::function<std::ostream*()>& open, std::string* error, bool* again,
              const std::function<void()>& written, Font* found) {
    if (again) *again = false;
    // The head goes first in the file but is known last: its size is fixed
    // by the characters the face maps, so the records are written after a
    // place kept for it.
    std::ostream* stream = nullptr;
    std::streampos start;
    size_t headSize = 0;
    const auto begin = [&](FaceChain& chain) {
        stream = open();
        if (!stream) return false;
        start = stream->tellp();
        headSize = HeadBytes(Predicted(rq, chain), nullptr).size();
        stream->write(std::string(headSize, '\0').data(), static_cast<std::streamsize>(headSize));
        return true;
    };
    uint64_t sinceWritten = 0;
    Font font;
    const bool rendered = RenderGlyphs(rq, font, error, begin, [&](Glyph& g, const FT_Bitmap& bm) {
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
    if (found) {
        found->missing = font.missing;
        found->tooLarge = font.tooLarge;
        found->linked = font.linked;
    }
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

std::u32string Lacking(const std::string& path, int faceIndex, const std::u32string& chars) {
    RenderRequest rq;
    rq.path = path;
    rq.faceIndex = faceIndex;
    FaceChain chain(rq);
    std::string why;
    const bool open = !path.empty() && chain.Open(false, &why);
    std::u32string lacking;
    std::vector<bool> seen(0x110000);
    for (char32_t c : chars) {
        if (c >= seen.size() || seen[c] || !IsDrawn(c)) continue;
        seen[c] = true;
        FT_UInt index = 0;
        if (!open || chain.Find(c, &index) < 0) lacking += c;
    }
    return lacking;
}

}  // namespace qpf2
