// A unit build renders each file as a full build does. What the font tools
// keep from that must be what rendering every text of a file in the full
// build's order would leave: QPF2 texts by the index of their unit, TrueType
// texts by face, each in the order heard (screens may come back). The same
// files, asked for with the same first unit, with the same characters in the
// same order, surrogate pairs and lone surrogates included.
#include <algorithm>
#include <functional>
#include <random>

#include "GenerateFixture.h"

namespace {
// What generateqpf2 keeps per file: the unit that first asked for it and
// every character once, in first-use order, pairs joined within one call.
struct Kept {
    std::u16string face, pack;
    int height = 0;
    bool italic = false;
    long weight = 0;
    std::u32string chars;
    std::set<char32_t> seen;
    bool operator==(const Kept& o) const {
        return face == o.face && pack == o.pack && height == o.height && italic == o.italic && weight == o.weight &&
               chars == o.chars;
    }
};
std::map<std::u16string, Kept> g_kept;
std::vector<std::u16string> g_order;  // files in the order first asked for

void Keep(const WCHAR* chars, const WCHAR* face, int height, bool italic, long weight, const WCHAR* pack, int) {
    const std::u16string file = qpf2UnitFileName(face, height, italic, weight, pack);
    if (file.empty()) return;
    auto it = g_kept.find(file);
    if (it == g_kept.end()) {
        it = g_kept.emplace(file, Kept{face, pack, height, italic, weight, {}, {}}).first;
        g_order.push_back(file);
    }
    for (const WCHAR* p = chars; *p; ++p) {
        char32_t c = *p;
        if (c >= 0xD800 && c < 0xDC00 && p[1] >= 0xDC00 && p[1] < 0xE000) c = 0x10000 + ((c - 0xD800) << 10) + (*++p - 0xDC00);
        if (it->second.seen.insert(c).second) it->second.chars += c;
    }
}

struct Style {
    std::u16string face, pack;
    int height;
    int weight;
    bool italic;
    int index;
};
// Styles that share files: Tahoma under the pack name "Arial" lands in
// Arial's file; index numbers do not make files.
const Style kStyles[] = {
    {u"Arial", u"", -16, 50, false, 1},    {u"Arial", u"", -16, 75, false, 2},  {u"Tahoma", u"Arial", -16, 50, false, 3},
    {u"SimSun", u"", -20, 50, true, 4},    {u"Arial", u"", -16, 50, false, 5},  {u"No Such Face", u"Ghost", -12, 50, false, 6},
    {u"Calibri", u"Calibri", -16, 50, false, 7},
};

struct Heard {
    int screen;
    std::u16string text;
    int style;
};

// Texts over few characters: ASCII, CJK, a surrogate pair, lone surrogates
// (a lone high one may end a text and a lone low one start the next).
std::vector<Heard> RandomTexts(unsigned seed, int count) {
    std::mt19937 rng(seed);
    const std::u16string pieces[] = {u"a", u"b", u"Z", u" ", u"中", u"文", u"\xD840\xDC00", u"\xD83D\xDE00",
                                     u"\xD83D", u"\xDE00", u"\xDC01", u"\xD840"};
    const int screens[] = {7, 3, 9, 1, 3};
    std::vector<Heard> out;
    for (int i = 0; i < count; ++i) {
        Heard h{screens[rng() % 5], u"", static_cast<int>(rng() % (sizeof kStyles / sizeof kStyles[0]))};
        const int n = static_cast<int>(rng() % 7);
        for (int k = 0; k < n; ++k) h.text += pieces[rng() % (sizeof pieces / sizeof pieces[0])];
        out.push_back(h);
    }
    return out;
}

using Render = void (*)(const WCHAR*, const WCHAR*, int, bool, long, const WCHAR*, int);
// What orders the texts of one file: the unit's index (QPF2) or the face's
// first use in the file (TrueType).
enum class Within { Index, Face };
// Renders the texts, as heard, grouped by file (in order of first use) and
// within a file as a full build takes them.
void RenderAsFullBuild(const std::vector<Heard>& texts, Within within, Render render,
                       const std::function<bool(const Style&)>& wanted = nullptr) {
    std::map<std::u16string, size_t> fileRank;
    std::map<std::pair<std::u16string, std::u16string>, size_t> faceRank;
    std::vector<std::pair<std::pair<size_t, size_t>, const Heard*>> order;
    for (const Heard& h : texts) {
        const Style& s = kStyles[h.style];
        if (wanted && !wanted(s)) continue;
        const std::u16string file = qpf2UnitFileName(s.face.c_str(), s.height, s.italic, s.weight, s.pack.c_str());
        const size_t rank = fileRank.emplace(file, fileRank.size()).first->second;
        const size_t face = faceRank.emplace(std::make_pair(file, s.face), faceRank.size()).first->second;
        order.push_back({{rank, within == Within::Index ? static_cast<size_t>(s.index) : face}, &h});
    }
    std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& o : order) {
        const Style& s = kStyles[o.second->style];
        render(o.second->text.c_str(), s.face.c_str(), s.height, s.italic, s.weight, s.pack.c_str(), -1);
    }
}

// The unit of a heard text: the fields both kinds of unit have.
template <class Unit>
Unit UnitOf(const Heard& h) {
    const Style& s = kStyles[h.style];
    Unit u;
    u.bItalic = s.italic;
    u.nWeight = s.weight;
    u.nHeight = s.height;
    u.strPackName = s.pack;
    u.strText = h.text;
    return u;
}

void HearQpf(CQpfFontData& c, const std::vector<Heard>& texts) {
    for (const Heard& h : texts) {
        _tagQpfUnit u = UnitOf<_tagQpfUnit>(h);
        u.nIndex = kStyles[h.style].index;
        u.strFaceName = kStyles[h.style].face;
        c.setScreenText(h.screen, h.text, u);
    }
}

void HearTtf(CTtfFontData& c, const std::vector<Heard>& texts) {
    for (const Heard& h : texts) {
        _tagTtfUnit u = UnitOf<_tagTtfUnit>(h);
        c.setScreenText(h.screen, h.text, kStyles[h.style].face, u);
    }
}

std::map<std::u16string, Kept> TakeKept(std::vector<std::u16string>* order) {
    std::map<std::u16string, Kept> kept;
    kept.swap(g_kept);
    order->swap(g_order);
    g_order.clear();
    return kept;
}

// What `c` renders through Keep is what rendering every text `wanted` as a
// full build does, and builds `built` (-1: 1 unless nothing is kept).
template <class Data>
void ExpectKeeps(Data& c, const std::vector<Heard>& texts, Within within, int built, unsigned seed,
                 const std::function<bool(const Style&)>& wanted = nullptr) {
    RenderAsFullBuild(texts, within, Keep, wanted);
    std::vector<std::u16string> wantOrder, gotOrder;
    const auto want = TakeKept(&wantOrder);
    EXPECT_EQ(c.executeBuild(Keep), built >= 0 ? built : want.empty() ? 0 : 1) << "seed " << seed;
    const auto got = TakeKept(&gotOrder);
    EXPECT_EQ(gotOrder, wantOrder) << "seed " << seed;
    EXPECT_TRUE(got == want) << "seed " << seed;
}
}  // namespace

TEST_F(GenerateTest, QpfUnitBuildKeepsWhatAFullBuildWould) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        const std::vector<Heard> texts = RandomTexts(seed, 1 + static_cast<int>(seed % 30));
        CQpfFontData c;
        HearQpf(c, texts);
        ExpectKeeps(c, texts, Within::Index, -1, seed);
    }
}

TEST_F(GenerateTest, TtfUnitBuildKeepsWhatAFullBuildOfChangedFacesWould) {
    const std::u16string dir = m_out.wpath();
    for (unsigned seed = 1; seed <= 30; ++seed) {
        const std::vector<Heard> texts = RandomTexts(seed + 100, 1 + static_cast<int>(seed % 25));
        // First build into an empty folder: every face is new.
        std::filesystem::remove_all(m_out.path() / ".forgeline-ttf");
        CTtfFontData c;
        c.beginBuild(dir);
        HearTtf(c, texts);
        ExpectKeeps(c, texts, Within::Face, 1, seed);
        c.removeNoNeedTtf(dir);
        c.endBuild();

        // The next build adds a text to the faces under the panel name
        // "Arial": only their texts are rendered.
        std::vector<Heard> more = texts;
        more.push_back({5, u"new", 0});
        const auto arial = [](const Style& s) {
            return (s.pack.empty() ? s.face : s.pack) == u"Arial";
        };
        CTtfFontData next;
        next.beginBuild(dir);
        HearTtf(next, more);
        ExpectKeeps(next, more, Within::Face, 1, seed, arial);
    }
}
