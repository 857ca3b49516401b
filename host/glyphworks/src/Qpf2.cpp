#include "Qpf2.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <ostream>
#include <sstream>

namespace qpf2 {

namespace {
enum Tag : uint16_t {
    kFontName = 0, kFileName = 1, kFileIndex = 2, kFontRevision = 3, kFreeText = 4, kAscent = 5, kDescent = 6,
    kLeading = 7, kXHeight = 8, kAverageCharWidth = 9, kMaxCharWidth = 10, kLineThickness = 11,
    kMinLeftBearing = 12, kMinRightBearing = 13, kUnderlinePosition = 14, kGlyphFormat = 15, kPixelSize = 16,
    kWeight = 17, kStyle = 18, kEndOfHeader = 19, kWritingSystems = 20,
};
// The blocks after the header, named as Qt's QPF2 engine names them.
enum BlockTag : uint16_t { CMapBlock = 0, GMapBlock = 1, GlyphBlock = 2 };
constexpr uint8_t kAlphamapFormat = 8;

struct Out {
    std::vector<uint8_t> b;
    void u8(uint8_t v) { b.push_back(v); }
    void u16(uint16_t v) { u8(static_cast<uint8_t>(v >> 8)); u8(static_cast<uint8_t>(v)); }
    void u32(uint32_t v) { u16(static_cast<uint16_t>(v >> 16)); u16(static_cast<uint16_t>(v)); }
    void bytes(const std::vector<uint8_t>& v) { b.insert(b.end(), v.begin(), v.end()); }
    void pad4() { while (b.size() % 4) b.push_back(0); }
    void put32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
    }
    void put16(size_t at, uint16_t v) {
        b[at] = static_cast<uint8_t>(v >> 8);
        b[at + 1] = static_cast<uint8_t>(v);
    }
};

void StringTag(Out& o, uint16_t tag, const std::string& s) {
    const size_t n = std::min<size_t>(s.size(), 0xFFFF);
    o.u16(tag);
    o.u16(static_cast<uint16_t>(n));
    o.b.insert(o.b.end(), s.begin(), s.begin() + static_cast<long>(n));
}

void U32Tag(Out& o, uint16_t tag, uint32_t v) {
    o.u16(tag);
    o.u16(4);
    o.u32(v);
}

void FixedTag(Out& o, uint16_t tag, double px) {
    U32Tag(o, tag, static_cast<uint32_t>(static_cast<int32_t>(std::lround(px * 64))));
}

void U8Tag(Out& o, uint16_t tag, uint8_t v) {
    o.u16(tag);
    o.u16(1);
    o.u8(v);
}

// A cmap table with one Microsoft UCS-4 subtable (format 12) of single-character groups.
std::vector<uint8_t> CmapTable(const std::map<char32_t, uint32_t>& map) {
    Out o;
    o.u16(0);       // version
    o.u16(1);       // one subtable
    o.u16(3);       // Microsoft
    o.u16(10);      // UCS-4
    o.u32(12);      // its offset
    // Consecutive characters with consecutive glyph ids share a group.
    std::vector<std::tuple<uint32_t, uint32_t, uint32_t>> groups;
    for (const auto& kv : map) {
        if (!groups.empty()) {
            auto& g = groups.back();
            if (std::get<1>(g) + 1 == kv.first && std::get<2>(g) + (std::get<1>(g) - std::get<0>(g)) + 1 == kv.second) {
                std::get<1>(g) = kv.first;
                continue;
            }
        }
        groups.emplace_back(kv.first, kv.first, kv.second);
    }
    o.u16(12);
    o.u16(0);
    o.u32(static_cast<uint32_t>(16 + 12 * groups.size()));
    o.u32(0);  // language
    o.u32(static_cast<uint32_t>(groups.size()));
    for (const auto& g : groups) {
        o.u32(std::get<0>(g));
        o.u32(std::get<1>(g));
        o.u32(std::get<2>(g));
    }
    return o.b;
}

void Block(Out& o, BlockTag tag, const std::vector<uint8_t>& data) {
    o.u16(tag);
    o.u16(0);
    const size_t sizeAt = o.b.size();
    o.u32(0);
    const size_t start = o.b.size();
    o.bytes(data);
    o.pad4();
    o.put32(sizeAt, static_cast<uint32_t>(o.b.size() - start));
}
}  // namespace

std::vector<uint8_t> HeadBytes(const Font& f, uint32_t* recordBytes) {
    Out o;
    o.b.reserve(1024 + f.fontName.size() + f.fileName.size() + f.freeText.size() + 12 * f.cmap.size() +
                4 * f.glyphs.size());
    o.b.insert(o.b.end(), {'Q', 'P', 'F', '2'});
    o.u32(0xFFFFFFFFu);  // lock: a pre-rendered font
    o.u8(2);
    o.u8(0);
    const size_t dataSizeAt = o.b.size();
    o.u16(0);
    const size_t tagsStart = o.b.size();
    // The tag order Qt's own writer uses.
    StringTag(o, kFontName, f.fontName);
    StringTag(o, kFileName, f.fileName);
    U32Tag(o, kFileIndex, f.fileIndex);
    U32Tag(o, kFontRevision, f.fontRevision);
    if (!f.freeText.empty()) StringTag(o, kFreeText, f.freeText);
    FixedTag(o, kAscent, f.ascent);
    FixedTag(o, kDescent, f.descent);
    FixedTag(o, kLeading, f.leading);
    FixedTag(o, kXHeight, f.xHeight);
    FixedTag(o, kAverageCharWidth, f.averageCharWidth);
    FixedTag(o, kMaxCharWidth, f.maxCharWidth);
    FixedTag(o, kLineThickness, f.lineThickness);
    FixedTag(o, kMinLeftBearing, f.minLeftBearing);
    FixedTag(o, kMinRightBearing, f.minRightBearing);
    FixedTag(o, kUnderlinePosition, f.underlinePosition);
    U8Tag(o, kPixelSize, f.pixelSize);
    U8Tag(o, kWeight, f.weight);
    U8Tag(o, kStyle, f.style);
    o.u16(kWritingSystems);
    o.u16(static_cast<uint16_t>(f.writingSystems.size()));
    o.bytes(f.writingSystems);
    U8Tag(o, kGlyphFormat, kAlphamapFormat);
    o.u16(kEndOfHeader);
    o.u16(0);
    o.pad4();
    o.put16(dataSizeAt, static_cast<uint16_t>(o.b.size() - tagsStart));

    Block(o, CMapBlock, CmapTable(f.cmap));
    // Glyph records and the map of their offsets (glyph 0 included, never drawn).
    std::vector<bool> skip(f.glyphs.size() + 1, false);
    for (uint32_t id : f.unstorable)
        if (id < skip.size()) skip[id] = true;
    // The glyph map first, from the record sizes.
    Out gmap;
    gmap.b.reserve(4 * (f.glyphs.size() + 1));
    gmap.u32(0xFFFFFFFFu);
    uint32_t offset = 0;
    for (size_t i = 0; i < f.glyphs.size(); ++i) {
        if (skip[i + 1]) {
            gmap.u32(0xFFFFFFFFu);
            continue;
        }
        gmap.u32(offset);
        offset += static_cast<uint32_t>(6 + size_t{f.glyphs[i].width} * f.glyphs[i].height);
    }
    Block(o, GMapBlock, gmap.b);
    uint32_t glyphBlock = offset ? offset : 4;
    while (glyphBlock % 4) ++glyphBlock;
    o.u16(GlyphBlock);
    o.u16(0);
    o.u32(glyphBlock);
    if (recordBytes) *recordBytes = offset;
    return o.b;
}

void WriteGlyphBlockEnd(uint32_t recordBytes, std::ostream& stream) {
    // Qt's reader rejects an empty glyph block; a font whose characters the
    // face lacks gets four unused bytes there. Blocks end 4-byte aligned.
    uint32_t glyphBlock = recordBytes ? recordBytes : 4;
    while (glyphBlock % 4) ++glyphBlock;
    static const char zeros[4] = {};
    stream.write(zeros, static_cast<std::streamsize>(glyphBlock - recordBytes));
}

void Write(const Font& f, std::ostream& stream) {
    uint32_t records = 0;
    const std::vector<uint8_t> head = HeadBytes(f, &records);
    stream.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
    // The glyph records are streamed rather than gathered: a large font
    // would otherwise be copied once more into fresh memory.
    std::vector<bool> skip(f.glyphs.size() + 1, false);
    for (uint32_t id : f.unstorable)
        if (id < skip.size()) skip[id] = true;
    for (size_t i = 0; i < f.glyphs.size(); ++i) {
        if (skip[i + 1]) continue;
        const Glyph& g = f.glyphs[i];
        const uint8_t head6[6] = {g.width, g.height, g.bytesPerLine, static_cast<uint8_t>(g.x),
                                  static_cast<uint8_t>(g.y), static_cast<uint8_t>(g.advance)};
        stream.write(reinterpret_cast<const char*>(head6), 6);
        stream.write(reinterpret_cast<const char*>(g.alpha.data()), static_cast<std::streamsize>(g.alpha.size()));
    }
    WriteGlyphBlockEnd(records, stream);
}

std::vector<uint8_t> Serialize(const Font& f) {
    std::ostringstream out;
    Write(f, out);
    const std::string bytes = out.str();
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

namespace {
uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
uint32_t Get32(const uint8_t* p) { return uint32_t{Get16(p)} << 16 | Get16(p + 2); }

// The tags of the header: their length, 0 for strings and bit fields of any.
size_t TagLength(uint16_t tag) {
    switch (tag) {
    case kFileIndex: case kFontRevision: case kAscent: case kDescent: case kLeading: case kXHeight:
    case kAverageCharWidth: case kMaxCharWidth: case kLineThickness: case kMinLeftBearing: case kMinRightBearing:
    case kUnderlinePosition:
        return 4;
    case kGlyphFormat: case kPixelSize: case kWeight: case kStyle:
        return 1;
    default:
        return 0;
    }
}

std::string CheckHeader(const uint8_t* data, size_t size, size_t* end) {
    if (size < 12) return "shorter than a header";
    if (size % 4) return "not a multiple of 4 bytes long";
    if (data[0] != 'Q' || data[1] != 'P' || data[2] != 'F' || data[3] != '2') return "not a QPF2 file";
    if (data[8] != 2) return "not version 2";
    const size_t tagsEnd = 12 + size_t{Get16(data + 10)};
    if (tagsEnd > size) return "its header runs past the end";
    bool name = false, pixels = false, format = false, ended = false;
    size_t at = 12;
    while (at + 4 <= tagsEnd && !ended) {
        const uint16_t tag = Get16(data + at), length = Get16(data + at + 2);
        at += 4;
        if (at + length > tagsEnd) return "header tag " + std::to_string(tag) + " runs past the header";
        const size_t want = TagLength(tag);
        if (want && length != want) return "header tag " + std::to_string(tag) + " has the wrong length";
        if (tag == kFontName) name = length > 0;
        if (tag == kPixelSize) pixels = data[at] != 0;
        if (tag == kGlyphFormat) format = data[at] == kAlphamapFormat;
        if (tag == kEndOfHeader) ended = true;
        at += length;
    }
    if (!ended) return "its header has no end";
    if (!name) return "no font name";
    if (!pixels) return "no pixel size";
    if (!format) return "its glyphs are not 8-bit alpha maps";
    *end = tagsEnd;
    return {};
}

// The largest glyph id the cmap names; `why` when it does not hold.
std::string CheckCmap(const uint8_t* t, size_t size, uint32_t* most) {
    *most = 0;
    if (size < 4) return "its cmap is cut short";
    const size_t count = Get16(t + 2);
    if (4 + 8 * count > size) return "its cmap's subtables run past the block";
    for (size_t i = 0; i < count; ++i) {
        const size_t at = Get32(t + 4 + 8 * i + 4);
        if (at + 16 > size) return "a cmap subtable lies outside the block";
        if (Get16(t + at) != 12) continue;
        const size_t groups = Get32(t + at + 12);
        if (groups > (size - at - 16) / 12) return "its cmap's groups run past the block";
        for (size_t g = 0; g < groups; ++g) {
            const uint8_t* p = t + at + 16 + 12 * g;
            const uint32_t first = Get32(p), last = Get32(p + 4), glyph = Get32(p + 8);
            if (last < first || last - first > 0x10FFFF) return "a cmap group is reversed";
            *most = std::max(*most, glyph + (last - first));
        }
    }
    return {};
}
}  // namespace

std::string Check(const uint8_t* data, size_t size) {
    size_t at = 0;
    std::string why = CheckHeader(data, size, &at);
    if (!why.empty()) return why;
    const uint8_t* block[3] = {};
    size_t length[3] = {};
    for (int b = 0; b < 3; ++b) {
        if (at + 8 > size) return "block " + std::to_string(b) + " is missing";
        if (Get16(data + at) != b) return "block " + std::to_string(b) + " is not where it belongs";
        length[b] = Get32(data + at + 4);
        at += 8;
        if (length[b] > size - at) return "block " + std::to_string(b) + " runs past the end";
        if (length[b] % 4) return "block " + std::to_string(b) + " is not 4-byte aligned";
        block[b] = data + at;
        at += length[b];
    }
    if (at != size) return "bytes follow the glyph block";
    if (!length[GlyphBlock]) return "its glyph block is empty";
    uint32_t most = 0;
    why = CheckCmap(block[CMapBlock], length[CMapBlock], &most);
    if (!why.empty()) return why;
    const size_t glyphs = length[GMapBlock] / 4;
    if (most >= glyphs) return "its cmap names glyph " + std::to_string(most) + " the glyph map lacks";
    for (size_t g = 0; g < glyphs; ++g) {
        const uint32_t offset = Get32(block[GMapBlock] + 4 * g);
        if (offset == 0xFFFFFFFFu) continue;
        const uint8_t* r = block[GlyphBlock] + offset;
        if (offset > length[GlyphBlock] || length[GlyphBlock] - offset < 6)
            return "glyph " + std::to_string(g) + " lies outside the glyph block";
        if (size_t{r[1]} * r[2] > length[GlyphBlock] - offset - 6)
            return "glyph " + std::to_string(g) + "'s bitmap runs past the glyph block";
        if (r[2] < r[0]) return "glyph " + std::to_string(g) + "'s lines are narrower than it";
    }
    return {};
}

bool Parse(const uint8_t* data, size_t size, View* view) {
    if (!Check(data, size).empty()) return false;
    *view = View();
    size_t at = 12;
    const size_t tagsEnd = 12 + size_t{Get16(data + 10)};
    while (at + 4 <= tagsEnd) {
        const uint16_t tag = Get16(data + at), length = Get16(data + at + 2);
        const uint8_t* v = data + at + 4;
        if (tag == kEndOfHeader) break;
        if (tag == kPixelSize) view->pixelSize = v[0];
        if (tag == kAscent) view->ascent = static_cast<int32_t>(Get32(v));
        if (tag == kDescent) view->descent = static_cast<int32_t>(Get32(v));
        if (tag == kLeading) view->leading = static_cast<int32_t>(Get32(v));
        at += 4 + length;
    }
    at = tagsEnd;
    const uint8_t* block[3] = {};
    size_t length[3] = {};
    for (int b = 0; b < 3; ++b) {
        length[b] = Get32(data + at + 4);
        block[b] = data + at + 8;
        at += 8 + length[b];
    }
    view->cmap = block[CMapBlock];
    view->cmapSize = length[CMapBlock];
    view->glyphMap = block[GMapBlock];
    view->glyphCount = length[GMapBlock] / 4;
    view->glyphData = block[GlyphBlock];
    view->glyphDataSize = length[GlyphBlock];
    return true;
}

const uint8_t* View::Record(uint32_t g) const {
    if (g >= glyphCount) return nullptr;
    const uint32_t offset = Get32(glyphMap + 4 * size_t{g});
    return offset == 0xFFFFFFFFu ? nullptr : glyphData + offset;
}

std::string FileNameFor(const std::string& family, int pixelSize, int weight, bool italic) {
    std::string name;
    for (char c : family) name += c == ' ' ? '_' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    name += "_" + std::to_string(pixelSize) + "_" + std::to_string(weight);
    if (italic) name += "_italic";
    return name + ".qpf2";
}

}  // namespace qpf2
