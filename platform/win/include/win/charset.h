// Sets of characters for the "each character once, in first-use order"
// merges of the compile: one bit per character, in pages of 256 made as they
// are needed, so a set costs memory for the blocks its characters come from
// (a Latin font a page or two, a CJK font some dozens) and a test is two
// array reads.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

class CharSet {
public:
    // True when `c` was not in the set (it is now).
    bool Insert(char32_t c) {
        if (c > 0xFFFF) return m_far.insert(c).second;
        uint16_t& page = m_pages[c >> 8];
        if (!page) {
            m_bits.push_back({});
            page = static_cast<uint16_t>(m_bits.size());
        }
        uint64_t& word = m_bits[page - 1u][(c & 0xFF) >> 6];
        const uint64_t bit = uint64_t{1} << (c & 63);
        if (word & bit) return false;
        word |= bit;
        return true;
    }
    bool Contains(char32_t c) const {
        if (c > 0xFFFF) return m_far.count(c) != 0;
        const uint16_t page = m_pages[c >> 8];
        return page && (m_bits[page - 1u][(c & 0xFF) >> 6] >> (c & 63) & 1);
    }
    void Clear() {
        m_pages.fill(0);
        m_bits.clear();
        m_far.clear();
    }
    bool Empty() const { return m_bits.empty() && m_far.empty(); }

private:
    std::array<uint16_t, 256> m_pages{};  // page number + 1 per block of 256, 0 when none
    std::vector<std::array<uint64_t, 4>> m_bits;
    std::unordered_set<char32_t> m_far;  // beyond the Basic Multilingual Plane
};

// Appends to `out` each UTF-16 code unit of `text` that `seen` does not hold yet.
inline void AppendNewUnits(const std::u16string& text, CharSet& seen, std::u16string& out) {
    for (char16_t c : text)
        if (seen.Insert(c)) out += c;
}
