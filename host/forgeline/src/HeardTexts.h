// What a collector hears: per screen, the texts in order, each with its unit.
// A compile hands over every text of every screen in every language, so the
// texts are kept once, packed into large blocks, and the units, which few
// styles make up, once per style.
#pragma once

#include <absl/container/flat_hash_map.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "win/charset.h"
#include "win/filesafety.h"

namespace forgeline {

// A unit's fields, its names numbered: what tells styles apart.
struct StyleKey {
    uint32_t face = 0, pack = 0;
    int32_t height = 0, weight = 0, index = 0;
    uint32_t flags = 0;
    bool operator==(const StyleKey& o) const {
        return face == o.face && pack == o.pack && height == o.height && weight == o.weight && index == o.index &&
               flags == o.flags;
    }
    template <typename H>
    friend H AbslHashValue(H h, const StyleKey& k) {
        return H::combine(std::move(h), k.face, k.pack, k.height, k.weight, k.index, k.flags);
    }
};

template <class Style>
class HeardTexts {
public:
    struct Text {
        uint32_t style;
        uint32_t unitText;  // 0: the unit's text is the heard text; else its index + 1
        uint32_t block, offset, length;
    };

    // The number of a face or pack name. Units come with few names, often
    // the same ones in a row: the last ones are compared first.
    uint32_t Name(const std::u16string& name) {
        for (const auto* last : m_lastNames)
            if (last && last->first.size() == name.size() &&
                std::memcmp(last->first.data(), name.data(), name.size() * sizeof(char16_t)) == 0)
                return last->second;
        auto it = m_names.find(name);
        if (it == m_names.end()) it = m_names.emplace(name, static_cast<uint32_t>(m_names.size())).first;
        m_lastNames[m_nextLast] = &*it;
        m_nextLast = (m_nextLast + 1) % 4;
        return it->second;
    }

    // `make` gives the style when the key is new.
    template <class Make>
    void Add(int screen, const std::u16string& text, const StyleKey& key, Make&& make, const std::u16string& unitText) {
        Text t{StyleId(key, make), 0, 0, 0, 0};
        Store(text, t);
        const bool same = &unitText == &text ||
                          (unitText.size() == text.size() &&
                           std::memcmp(unitText.data(), text.data(), text.size() * sizeof(char16_t)) == 0);
        if (!same) {
            m_unitTexts.push_back(unitText);
            t.unitText = static_cast<uint32_t>(m_unitTexts.size());
        }
        // Texts come screen by screen: the last screen's list is at hand.
        if (!m_lastScreen || m_lastScreenNumber != screen) {
            m_lastScreen = &m_screens[screen];
            m_lastScreenNumber = screen;
            m_runs.push_back(Run{m_lastScreen, static_cast<uint32_t>(m_lastScreen->size()), 0});
        }
        m_lastScreen->push_back(t);
        ++m_runs.back().count;
    }

    const std::map<int, std::vector<Text>>& Screens() const { return m_screens; }
    // Calls fn(text) for every text in the order heard: a screen may come
    // back later, and a full build takes its texts in that order.
    template <class Fn>
    void ForEachHeard(Fn&& fn) const {
        for (const Run& r : m_runs)
            for (uint32_t i = r.begin; i < r.begin + r.count; ++i) fn((*r.texts)[i]);
    }
    const Style& StyleOf(const Text& t) const { return m_styles[t.style]; }
    const std::vector<Style>& Styles() const { return m_styles; }
    std::u16string_view View(const Text& t) const {
        return std::u16string_view(m_blocks[t.block].get() + t.offset, t.length);
    }
    std::u16string UnitText(const Text& t) const {
        return t.unitText ? m_unitTexts[t.unitText - 1] : std::u16string(View(t));
    }

    void Clear() {
        m_screens.clear();
        m_runs.clear();
        m_styles.clear();
        m_ids.clear();
        m_names.clear();
        m_lastScreen = nullptr;
        for (auto& last : m_lastNames) last = nullptr;
        m_blocks.clear();
        m_room = 0;
        m_unitTexts.clear();
    }

private:
    static constexpr size_t kBlockUnits = size_t{1} << 21;  // 4 MB

    template <class Make>
    uint32_t StyleId(const StyleKey& key, Make& make) {
        // Nearly every text's style is there already: a find, which inlines
        // to a probe, before the insertion's longer road.
        auto it = m_ids.find(key);
        if (it != m_ids.end()) return it->second;
        const uint32_t id = static_cast<uint32_t>(m_styles.size());
        m_ids.emplace(key, id);
        m_styles.push_back(make());
        return id;
    }

    void Store(const std::u16string& text, Text& t) {
        const size_t n = text.size();
        if (n > m_room || m_blocks.empty()) {
            // A text longer than a block gets a block of its own.
            const size_t size = n > kBlockUnits ? n : kBlockUnits;
            m_blocks.emplace_back(new char16_t[size ? size : 1]);
            winfiles::AdviseLargePages(m_blocks.back().get(), size * sizeof(char16_t));
            m_room = size;
            m_used = 0;
        }
        t.block = static_cast<uint32_t>(m_blocks.size() - 1);
        t.offset = static_cast<uint32_t>(m_used);
        t.length = static_cast<uint32_t>(n);
        std::copy(text.begin(), text.end(), m_blocks.back().get() + m_used);
        m_used += n;
        m_room -= n;
    }

    std::map<int, std::vector<Text>> m_screens;
    // The texts a screen got in one go, in the order heard.
    struct Run {
        const std::vector<Text>* texts;
        uint32_t begin, count;
    };
    std::vector<Run> m_runs;
    std::vector<Text>* m_lastScreen = nullptr;  // map nodes stay where they are
    int m_lastScreenNumber = 0;
    std::vector<Style> m_styles;
    absl::flat_hash_map<StyleKey, uint32_t> m_ids;  // a look-up whatever the number of styles
    std::unordered_map<std::u16string, uint32_t> m_names;
    const std::pair<const std::u16string, uint32_t>* m_lastNames[4] = {};
    size_t m_nextLast = 0;
    std::vector<std::unique_ptr<char16_t[]>> m_blocks;
    size_t m_used = 0, m_room = 0;
    std::vector<std::u16string> m_unitTexts;
};

// The characters of texts, each once, in first-use order, as UTF-16 strings
// to hand to a render callable: a surrogate pair is one character, a lone
// surrogate stays one. The characters are split over several strings where a
// lone high surrogate would otherwise meet a lone low one and read as a pair.
class FirstUse {
public:
    void Add(std::u16string_view text) {
        for (size_t i = 0; i < text.size(); ++i) {
            char32_t c = text[i];
            const bool pair =
                c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000;
            if (pair) c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
            if (!m_seen.Insert(c)) continue;
            m_chars.push_back(c);
            if (c >= 0x10000) {
                Current() += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
                Current() += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
                continue;
            }
            if (c >= 0xDC00 && c < 0xE000 && !Current().empty() && Current().back() >= 0xD800 &&
                Current().back() < 0xDC00)
                m_parts.emplace_back();
            Current() += static_cast<char16_t>(c);
        }
    }
    // At least one string, empty when no character came.
    const std::vector<std::u16string>& Parts() const { return m_parts; }
    // The characters added since the last call, split as Parts splits them;
    // at least one string.
    std::vector<std::u16string> TakeNew() {
        std::vector<std::u16string> out;
        for (size_t p = m_takenPart; p < m_parts.size(); ++p) {
            std::u16string part = m_parts[p].substr(p == m_takenPart ? m_takenUnits : 0);
            if (!part.empty()) out.push_back(std::move(part));
        }
        if (out.empty()) out.emplace_back();
        m_takenPart = m_parts.size() - 1;
        m_takenUnits = m_parts.back().size();
        return out;
    }
    // The distinct characters, ascending: what a font built from the texts
    // holds. A surrogate pair stays whole; sorted unit by unit, the halves of
    // pairs from different blocks would part.
    std::u16string SortedCharacters() const {
        std::vector<char32_t> chars = m_chars;
        std::sort(chars.begin(), chars.end());
        std::u16string out;
        out.reserve(chars.size());
        for (char32_t c : chars) {
            if (c >= 0x10000) {
                out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
                out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
            } else {
                out += static_cast<char16_t>(c);
            }
        }
        return out;
    }

private:
    std::u16string& Current() { return m_parts.back(); }
    CharSet m_seen;
    std::vector<char32_t> m_chars;  // in first-use order
    std::vector<std::u16string> m_parts{std::u16string()};
    size_t m_takenPart = 0, m_takenUnits = 0;  // where TakeNew goes on from
};

}  // namespace forgeline
