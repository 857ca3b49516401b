// The project's hash tables, abseil's flat_hash_map, side by side with the
// open-addressing tables written here by hand that they replaced (linear
// probing over a power of two of slots at most half full, each slot holding
// its hash and its key, and the hashes those tables used), on the work each
// does in a compile or a dialog, at 1x, 2x and 4x:
//  - logical fonts: a table of 5,000 fonts' LOGFONTW (92 bytes) looked up
//    800,000 times, once per language of 100,000 texts, as MakeQPF does;
//  - face names: the 6,000 names of 2,000 installed faces, looked up by a
//    name as a project or a user types it (another case, 1 in 10 not
//    installed) without making a key, 100,000 times, as GDI's font
//    realisation and the dialogs' face fills do;
//  - unit styles: 1,000 styles of the compile library's units, 800,000
//    look-ups as setScreenText makes them.
// Target: abseil's table at most 1.1x the hand-written one, else the
// hand-written one stays.
//
//   bench_tables [--rounds N] [--sizes 1,2,4] [--only TEXT]
#include <absl/container/flat_hash_map.h>
#include <absl/hash/hash.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "SideBySide.h"
#include "XorShift.h"
#include "win/windows.h"
#include "win/wstr.h"

namespace {
uint32_t g_seed = 88675123u;
uint32_t Next() { return XorShift32(g_seed); }

// The hand-written table: slots of (hash, key, value), probed linearly.
template <class Key, class Value, class Hash, class Eq>
class OpenTable {
public:
    template <class Probe>
    const Value* Find(const Probe& probe, uint64_t hash) const {
        if (m_slots.empty()) return nullptr;
        for (size_t i = hash & (m_slots.size() - 1);; i = (i + 1) & (m_slots.size() - 1)) {
            const Slot& s = m_slots[i];
            if (!s.used) return nullptr;
            if (s.hash == hash && Eq()(s.key, probe)) return &s.value;
        }
    }
    // The value of `key`, inserted with `value` when it is not there.
    const Value& FindOrInsert(const Key& key, const Value& value) {
        const uint64_t hash = Hash()(key);
        if (const Value* v = Find(key, hash)) return *v;
        if (2 * (m_used + 1) > m_slots.size()) Grow();
        ++m_used;
        return Place(Slot{hash, key, value, true});
    }

private:
    struct Slot {
        uint64_t hash = 0;
        Key key{};
        Value value{};
        bool used = false;
    };
    const Value& Place(const Slot& slot) {
        size_t i = slot.hash & (m_slots.size() - 1);
        while (m_slots[i].used) i = (i + 1) & (m_slots.size() - 1);
        m_slots[i] = slot;
        return m_slots[i].value;
    }
    void Grow() {
        std::vector<Slot> old;
        old.swap(m_slots);
        m_slots.resize(old.empty() ? 64 : old.size() * 2);
        for (const Slot& s : old)
            if (s.used) Place(s);
    }
    std::vector<Slot> m_slots;
    size_t m_used = 0;
};

// ---- Logical fonts ----
struct Logfont {
    LOGFONTW lf;
    bool operator==(const Logfont& o) const { return std::memcmp(&lf, &o.lf, sizeof lf) == 0; }
    template <typename H>
    friend H AbslHashValue(H h, const Logfont& k) {
        return H::combine_contiguous(std::move(h), reinterpret_cast<const unsigned char*>(&k.lf), sizeof k.lf);
    }
};
struct LogfontHash {  // the hand-written table's
    uint64_t operator()(const Logfont& k) const {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(&k.lf);
        uint64_t h = 0x9E3779B97F4A7C15u;
        for (size_t i = 0; i + 8 <= sizeof k.lf; i += 8) {
            uint64_t w;
            std::memcpy(&w, p + i, 8);
            h = (h ^ w) * 0xFF51AFD7ED558CCDu;
            h ^= h >> 32;
        }
        uint32_t tail;
        std::memcpy(&tail, p + 88, 4);
        h = (h ^ tail) * 0xC4CEB9FE1A85EC53u;
        return h ^ (h >> 29);
    }
};
struct LogfontEq {
    bool operator()(const Logfont& a, const Logfont& b) const { return a == b; }
};

std::vector<Logfont> Fonts(int n) {
    static const char16_t* faces[] = {u"Arial", u"SimHei", u"Tahoma", u"Calibri", u"Microsoft YaHei"};
    std::vector<Logfont> out(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        LOGFONTW& lf = out[static_cast<size_t>(i)].lf;
        lf = LOGFONTW{};
        lf.lfHeight = -(10 + i % 40);
        lf.lfWeight = i / 40 % 2 ? 700 : 400;
        lf.lfWidth = i / 80;
        lf.lfCharSet = 1;
        lstrcpynW(lf.lfFaceName, faces[i % 5], 32);
    }
    return out;
}

// ---- Face names ----
inline char16_t Fold(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }
struct Name {
    const char16_t* data;
    size_t size;
};
uint64_t Fnv(Name n) {
    uint64_t h = 1469598103934665603u;
    for (size_t i = 0; i < n.size; ++i) h = (h ^ Fold(n.data[i])) * 1099511628211u;
    return h ^ (h >> 29);
}
struct NameHash {
    using is_transparent = void;
    size_t operator()(Name n) const { return absl::HashOf(Fnv(n)); }
    size_t operator()(const std::u16string& k) const { return (*this)(Name{k.data(), k.size()}); }
};
struct NameEq {
    using is_transparent = void;
    bool operator()(const std::u16string& k, Name n) const {
        if (k.size() != n.size) return false;
        for (size_t i = 0; i < n.size; ++i)
            if (k[i] != Fold(n.data[i])) return false;
        return true;
    }
    bool operator()(Name n, const std::u16string& k) const { return (*this)(k, n); }
    bool operator()(const std::u16string& a, const std::u16string& b) const { return a == b; }
};
struct FnvOfKey {
    uint64_t operator()(const std::u16string& k) const { return Fnv(Name{k.data(), k.size()}); }
};

// ---- Unit styles ----
struct Style {
    uint32_t face = 0, pack = 0;
    int32_t height = 0, weight = 0, index = 0;
    uint32_t flags = 0;
    bool operator==(const Style& o) const {
        return face == o.face && pack == o.pack && height == o.height && weight == o.weight && index == o.index &&
               flags == o.flags;
    }
    template <typename H>
    friend H AbslHashValue(H h, const Style& k) {
        return H::combine(std::move(h), k.face, k.pack, k.height, k.weight, k.index, k.flags);
    }
};
struct StyleHash {  // the hand-written table's
    uint64_t operator()(const Style& k) const {
        uint64_t h = (uint64_t{k.face} << 32 | k.pack) * 0x9E3779B97F4A7C15u;
        h ^= (uint64_t{static_cast<uint32_t>(k.height)} << 32 | static_cast<uint32_t>(k.weight)) * 0xFF51AFD7ED558CCDu;
        h ^= (uint64_t{static_cast<uint32_t>(k.index)} << 32 | k.flags) * 0xC4CEB9FE1A85EC53u;
        return h ^ (h >> 31);
    }
};
struct StyleEq {
    bool operator()(const Style& a, const Style& b) const { return a == b; }
};

struct Work {
    std::vector<Logfont> fonts;
    std::vector<uint32_t> fontDraws;
    std::vector<std::u16string> names;  // folded, as the index keeps them
    std::vector<std::u16string> typed;  // as a project or a user gives them
    std::vector<Style> styles;
    std::vector<uint32_t> styleDraws;
};

Work MakeWork(int size) {
    Work w;
    g_seed = 88675123u;
    w.fonts = Fonts(5000 * size);
    for (int i = 0; i < 800000 * size; ++i) w.fontDraws.push_back(Next() % w.fonts.size());
    for (int f = 0; f < 2000 * size; ++f) {
        const std::string base = "Face " + std::to_string(f);
        for (const std::string& n : {base, base + " Regular", base + " CJK SC"}) {
            std::u16string key(n.begin(), n.end());
            for (char16_t& c : key) c = Fold(c);
            w.names.push_back(key);
        }
    }
    for (int i = 0; i < 100000 * size; ++i) {
        std::u16string t = w.names[Next() % w.names.size()];
        for (size_t k = 0; k < t.size(); k += 2) t[k] = t[k] >= u'a' && t[k] <= u'z' ? static_cast<char16_t>(t[k] - 32) : t[k];
        if (Next() % 10 == 0) t += u"x";  // not installed
        w.typed.push_back(t);
    }
    for (int i = 0; i < 1000 * size; ++i)
        w.styles.push_back(Style{static_cast<uint32_t>(i % 7), static_cast<uint32_t>(i % 3), -(10 + i % 50), i % 2 ? 75 : 50,
                                 i, static_cast<uint32_t>(i % 4)});
    for (int i = 0; i < 800000 * size; ++i) w.styleDraws.push_back(Next() % w.styles.size());
    return w;
}

volatile uint64_t g_sink;

double FontsHand(const Work& w) {
    return sidebyside::Seconds([&] {
        OpenTable<Logfont, int, LogfontHash, LogfontEq> t;
        uint64_t sum = 0;
        for (uint32_t d : w.fontDraws) sum += static_cast<uint64_t>(t.FindOrInsert(w.fonts[d], static_cast<int>(d) + 1));
        g_sink = sum;
    });
}
double FontsAbsl(const Work& w) {
    return sidebyside::Seconds([&] {
        absl::flat_hash_map<Logfont, int> t;
        uint64_t sum = 0;
        for (uint32_t d : w.fontDraws) sum += static_cast<uint64_t>(t.try_emplace(w.fonts[d], static_cast<int>(d) + 1).first->second);
        g_sink = sum;
    });
}

struct NameProbeEq {
    bool operator()(const std::u16string& k, const Name& n) const { return NameEq()(k, n); }
    bool operator()(const std::u16string& a, const std::u16string& b) const { return a == b; }
};
double NamesHand(const Work& w) {
    OpenTable<std::u16string, uint32_t, FnvOfKey, NameProbeEq> t;
    for (size_t i = 0; i < w.names.size(); ++i) t.FindOrInsert(w.names[i], static_cast<uint32_t>(i));
    return sidebyside::Seconds([&] {
        uint64_t found = 0;
        for (const std::u16string& n : w.typed) {
            const size_t len = std::min<size_t>(n.size(), 31);
            found += t.Find(Name{n.data(), len}, Fnv(Name{n.data(), len})) != nullptr;
        }
        g_sink = found;
    });
}
double NamesAbsl(const Work& w) {
    absl::flat_hash_map<std::u16string, uint32_t, NameHash, NameEq> t;
    for (size_t i = 0; i < w.names.size(); ++i) t.emplace(w.names[i], static_cast<uint32_t>(i));
    return sidebyside::Seconds([&] {
        uint64_t found = 0;
        for (const std::u16string& n : w.typed) found += t.find(Name{n.data(), std::min<size_t>(n.size(), 31)}) != t.end();
        g_sink = found;
    });
}

double StylesHand(const Work& w) {
    return sidebyside::Seconds([&] {
        OpenTable<Style, uint32_t, StyleHash, StyleEq> t;
        uint64_t sum = 0;
        for (uint32_t d : w.styleDraws) sum += t.FindOrInsert(w.styles[d], d);
        g_sink = sum;
    });
}
double StylesAbsl(const Work& w) {
    return sidebyside::Seconds([&] {
        absl::flat_hash_map<Style, uint32_t> t;
        uint64_t sum = 0;
        // As HeardTexts looks a style up: a find, then the insertion.
        for (uint32_t d : w.styleDraws) {
            auto it = t.find(w.styles[d]);
            sum += it != t.end() ? it->second : t.emplace(w.styles[d], d).first->second;
        }
        g_sink = sum;
    });
}
}  // namespace

int main(int argc, char** argv) {
    const sidebyside::Options opt = sidebyside::ParseOptions(argc, argv);
    sidebyside::PrintMachine(opt);
    for (int size : opt.sizes) {
        const Work w = MakeWork(size);
        std::printf("\n%dx: %zu logical fonts, %zu look-ups; %zu face names, %zu look-ups; %zu styles, %zu look-ups\n",
                    size, w.fonts.size(), w.fontDraws.size(), w.names.size(), w.typed.size(), w.styles.size(),
                    w.styleDraws.size());
        std::vector<sidebyside::Case> cases = {
            {"logical fonts, abseil", [&] { return FontsAbsl(w); }, {}},
            {"logical fonts, by hand", [&] { return FontsHand(w); }, {}},
            {"face names, abseil", [&] { return NamesAbsl(w); }, {}},
            {"face names, by hand", [&] { return NamesHand(w); }, {}},
            {"unit styles, abseil", [&] { return StylesAbsl(w); }, {}},
            {"unit styles, by hand", [&] { return StylesHand(w); }, {}},
        };
        sidebyside::Alternate(cases, opt);
        sidebyside::PrintCases(cases);
        for (const char* kind : {"logical fonts", "face names", "unit styles"})
            sidebyside::PrintRatio(cases, std::string(kind) + ", abseil", std::string(kind) + ", by hand", 1.1);
    }
    return 0;
}
