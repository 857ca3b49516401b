// A generation session fed screen texts: 100,000, 200,000 and 400,000 texts
// of 20 characters spread over 200 fonts. The QPF2 and TrueType collections
// take texts of 8 languages of 20 characters each. Items are characters, so the
// items/s column shows the cost per character; equal rates across the three
// sizes show that the cost grows linearly with the characters offered.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Forgeline.h"
#include "PanelFonts.h"
#include "Tamsel.h"
#include "Velmora.h"
#include "win/wstr.h"

namespace {
constexpr int kFonts = 200;
constexpr int kTextChars = 20;

struct Input {
    std::vector<std::u16string> texts;
    std::vector<int> ids;
};

// Deterministic texts mixing ASCII, Latin-1 and CJK characters.
Input MakeInput(size_t count) {
    Input in;
    in.texts.reserve(count);
    in.ids.reserve(count);
    uint32_t x = 2463534242u;
    auto next = [&x] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    };
    for (size_t i = 0; i < count; ++i) {
        std::u16string t;
        for (int k = 0; k < kTextChars; ++k) {
            const uint32_t r = next();
            switch (r % 4) {
            case 0: t += static_cast<char16_t>(0x20 + r / 4 % 95); break;
            case 1: t += static_cast<char16_t>(0xC0 + r / 4 % 64); break;
            default: t += static_cast<char16_t>(0x4E00 + r / 4 % 6000); break;
            }
        }
        in.texts.push_back(std::move(t));
        in.ids.push_back(kDefaultFontID + static_cast<int>(next() % kFonts));
    }
    return in;
}

void MakeTable() {
    Font_DenitLib();
    for (int i = 0; i < kFonts; ++i) {
        auto* rec = new tagHMIFONT{};
        rec->nID = kDefaultFontID + i;
        rec->szName[0] = u'F';
        rec->lf.lfHeight = 12 + i % 20;
        rec->lf.lfWeight = i % 3 ? 400 : 700;
        lstrcpynW(rec->lf.lfFaceName, i % 2 ? u"Arial" : u"SimHei", 32);
        g_FontList.AddTail(rec);
    }
}

void BM_GenerationSession(benchmark::State& state) {
    static Input input;
    const size_t count = static_cast<size_t>(state.range(0));
    if (input.texts.size() != count) input = MakeInput(count);
    MakeTable();
    for (auto _ : state) {
        Font_BeginGenerate();
        for (size_t i = 0; i < count; ++i) Font_AddString(input.ids[i], input.texts[i].c_str());
        Font_FreeMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(count) * kTextChars);
    state.counters["ns_per_char"] = benchmark::Counter(static_cast<double>(state.iterations() * count * kTextChars),
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    Font_DenitLib();
}
// Each text in 8 languages, language i with the font of the next text's id.
void Collect(benchmark::State& state, bool qpf) {
    static Input input;
    const size_t count = static_cast<size_t>(state.range(0));
    if (input.texts.size() != count * 8) input = MakeInput(count * 8);
    MakeTable();
    velmora::SetProjectLanguages(8);
    std::vector<std::pair<tagMULTIFONT, CString>> texts(count);
    for (size_t i = 0; i < count; ++i) {
        std::u16string joined;
        for (size_t lang = 0; lang < 8; ++lang) {
            if (lang) joined += kLangSeparator;
            joined += input.texts[i * 8 + lang];
            texts[i].first.wFontID[lang] = static_cast<uint16_t>(input.ids[i * 8 + lang]);
        }
        texts[i].second = CString(joined.c_str());
    }
    for (auto _ : state) {
        ResetPanelFontCollections();
        CSingletonTpl<CQpfFontData>::getInstance()->reset();
        CSingletonTpl<CTtfFontData>::getInstance()->reset();
        for (size_t i = 0; i < count; ++i) {
            if (qpf)
                MakeQPF(texts[i].first, texts[i].second, 0, static_cast<int>(i % 50));
            else
                AddTextInfo(texts[i].first, texts[i].second, 0, static_cast<int>(i % 50));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(count) * 8 * kTextChars);
    ResetPanelFontCollections();
    CSingletonTpl<CQpfFontData>::getInstance()->reset();
    CSingletonTpl<CTtfFontData>::getInstance()->reset();
    Font_DenitLib();
}

void BM_MakeQPFCollect(benchmark::State& state) { Collect(state, true); }
void BM_AddTextInfoCollect(benchmark::State& state) { Collect(state, false); }
}  // namespace

BENCHMARK(BM_MakeQPFCollect)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddTextInfoCollect)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GenerationSession)->Arg(100000)->Arg(200000)->Arg(400000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
