// Collection during a compile, with a large font table beside a small one:
// MakeQPF, AddTextInfo and Font_AddString over texts in 8 languages of 20
// characters each, every language in a font of the table.
//
//   size 1x: 100,000 texts into a table of 5,000 fonts, beside the same
//            texts into a table of 200 fonts;
//   size 2x: 200,000 texts, 10,000 fonts (beside 200 fonts);
//   size 4x: 400,000 texts, 20,000 fonts (beside 200 fonts).
//
// The fonts of a table take their looks from a palette of 200, so both
// tables give the same 200 QPF2 entries: the cost per character must not
// depend on the table, each large-table figure at most 1.2x the small-table
// figure of the same texts. One more MakeQPF case, for information, gives
// every font of the large table a look of its own: 5,000 entries, and as
// many more characters to keep.
//
//   bench_generate [--rounds N] [--sizes 1,2,4] [--only TEXT] [--texts N]
//   (--texts: the texts of size 1x, for profiling with fewer)
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "Forgeline.h"
#include "PanelFonts.h"
#include "SideBySide.h"
#include "Tamsel.h"
#include "Velmora.h"
#include "XorShift.h"
#include "win/wstr.h"

namespace {
int g_baseTexts = 100000;
constexpr int kBaseFonts = 5000;
constexpr int kSmallFonts = 200;
constexpr int kTextChars = 20;
constexpr int kLanguages = 8;

uint32_t g_seed = 2463534242u;
uint32_t Next() { return XorShift32(g_seed); }

struct Text {
    uint32_t draw[kLanguages];  // picks the font of each language
    std::u16string pieces[kLanguages];
    CString joined;
};

// Deterministic texts mixing ASCII, Latin-1 and CJK characters.
std::vector<Text> MakeTexts(size_t count) {
    g_seed = 2463534242u;
    std::vector<Text> texts(count);
    for (Text& t : texts) {
        std::u16string joined;
        for (int lang = 0; lang < kLanguages; ++lang) {
            std::u16string& piece = t.pieces[lang];
            for (int k = 0; k < kTextChars; ++k) {
                const uint32_t r = Next();
                switch (r % 4) {
                case 0: piece += static_cast<char16_t>(0x20 + r / 4 % 95); break;
                case 1: piece += static_cast<char16_t>(0xC0 + r / 4 % 64); break;
                default: piece += static_cast<char16_t>(0x4E00 + r / 4 % 6000); break;
                }
            }
            t.draw[lang] = Next();
            if (lang) joined += kLangSeparator;
            joined += piece;
        }
        t.joined = CString(joined.c_str());
    }
    return texts;
}

int FontOf(const Text& t, int lang, int fonts) { return kDefaultFontID + static_cast<int>(t.draw[lang] % fonts); }

// The fonts take their looks from a palette of 200 (4 faces, 25 heights, 2
// weights): the small table has each look once, a large one repeats them,
// as large projects do, so both give the same 200 QPF2 entries and only the
// table differs. With `distinct`, every font of the table has a look of its
// own, and every font is an entry of its own.
void MakeTable(int fonts, bool distinct) {
    Font_DenitLib();
    static const char16_t* faces[] = {u"Arial", u"SimHei", u"Tahoma", u"Calibri"};
    for (int i = 0; i < fonts; ++i) {
        auto* rec = new tagHMIFONT{};
        rec->nID = kDefaultFontID + i;
        rec->szName[0] = u'F';
        const int look = distinct ? i : i % kSmallFonts;
        rec->lf.lfHeight = -(10 + look % 25);
        rec->lf.lfWeight = look / 25 % 2 ? 700 : 400;
        rec->lf.lfWidth = look / 200;
        lstrcpynW(rec->lf.lfFaceName, faces[look / 50 % 4], 32);
        g_FontList.AddTail(rec);
    }
}

void ResetCollectors() {
    ResetPanelFontCollections();
    CSingletonTpl<CQpfFontData>::getInstance()->reset();
    CSingletonTpl<CTtfFontData>::getInstance()->reset();
}

enum class Road { Qpf, Ttf, Session };

double Collect(const std::vector<Text>& texts, int fonts, Road road, bool distinct = false) {
    MakeTable(fonts, distinct);
    ResetCollectors();
    std::vector<tagMULTIFONT> mf(texts.size());
    for (size_t i = 0; i < texts.size(); ++i)
        for (int lang = 0; lang < kLanguages; ++lang)
            mf[i].wFontID[lang] = static_cast<uint16_t>(FontOf(texts[i], lang, fonts));
    const double s = sidebyside::Seconds([&] {
        switch (road) {
        case Road::Qpf:
            for (size_t i = 0; i < texts.size(); ++i) MakeQPF(mf[i], texts[i].joined, 0, static_cast<int>(i % 50));
            break;
        case Road::Ttf:
            for (size_t i = 0; i < texts.size(); ++i)
                AddTextInfo(mf[i], texts[i].joined, 0, static_cast<int>(i % 50));
            break;
        case Road::Session:
            Font_BeginGenerate();
            for (size_t i = 0; i < texts.size(); ++i)
                for (int lang = 0; lang < kLanguages; ++lang)
                    Font_AddString(mf[i].wFontID[lang], texts[i].pieces[lang].c_str());
            Font_FreeMemory();
            break;
        }
    });
    ResetCollectors();
    Font_DenitLib();
    return s;
}
}  // namespace

int main(int argc, char** argv) {
    const sidebyside::Options opt = sidebyside::ParseOptions(argc, argv);
    for (size_t i = 0; i + 1 < opt.rest.size(); ++i)
        if (opt.rest[i] == "--texts") g_baseTexts = std::max(1, std::atoi(opt.rest[i + 1].c_str()));
    velmora::SetProjectLanguages(kLanguages);
    sidebyside::PrintMachine(opt);
    for (int size : opt.sizes) {
        const size_t count = static_cast<size_t>(g_baseTexts) * static_cast<size_t>(size);
        const int fonts = kBaseFonts * size;
        const std::vector<Text> texts = MakeTexts(count);
        std::printf("\n%dx: %zu texts, %d languages of %d characters (%.1f million characters)\n", size, count,
                    kLanguages, kTextChars, count * kLanguages * kTextChars / 1e6);
        const std::string big = " " + std::to_string(fonts) + " fonts", small = " " + std::to_string(kSmallFonts) + " fonts";
        std::vector<sidebyside::Case> cases;
        const std::pair<const char*, Road> roads[] = {
            {"MakeQPF", Road::Qpf}, {"AddTextInfo", Road::Ttf}, {"Font_AddString", Road::Session}};
        for (const auto& road : roads) {
            cases.push_back({road.first + big, [&, road] { return Collect(texts, fonts, road.second); }, {}});
            cases.push_back({road.first + small, [&, road] { return Collect(texts, kSmallFonts, road.second); }, {}});
        }
        // The worst case, for information: every font its own entry.
        cases.push_back({"MakeQPF" + big + " of distinct looks",
                         [&] { return Collect(texts, fonts, Road::Qpf, true); }, {}});
        sidebyside::Alternate(cases, opt);
        sidebyside::PrintCases(cases);
        for (const auto& road : roads) sidebyside::PrintRatio(cases, road.first + big, road.first + small, 1.2);
        sidebyside::PrintRatio(cases, "MakeQPF" + big + " of distinct looks", "MakeQPF" + small);
    }
    return 0;
}
