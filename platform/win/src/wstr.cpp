#include "win/wstr.h"

#include <cstring>

size_t wcslen16(const WCHAR* s) {
    size_t n = 0;
    if (s)
        while (s[n]) ++n;
    return n;
}

int wcscmp16(const WCHAR* a, const WCHAR* b) {
    if (!a) a = u"";
    if (!b) b = u"";
    while (*a && *a == *b) ++a, ++b;
    return static_cast<int>(*a) - static_cast<int>(*b);
}

WCHAR towupper16(WCHAR c) {
    if (c >= u'a' && c <= u'z') return static_cast<WCHAR>(c - 32);
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<WCHAR>(c - 32);
    if (c == 0xFF) return 0x178;
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 &&
        c != 0x17F) {
        // Latin Extended-A pairs: even upper / odd lower, except 0x139-0x148 and 0x179-0x17E.
        bool oddUpperRange = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddUpperRange ? (c % 2 == 0) : (c % 2 == 1)) return static_cast<WCHAR>(c - 1);
        return c;
    }
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<WCHAR>(c - 32);
    if (c >= 0x430 && c <= 0x44F) return static_cast<WCHAR>(c - 32);
    if (c >= 0x450 && c <= 0x45F) return static_cast<WCHAR>(c - 80);
    if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<WCHAR>(c - 32);  // full-width Latin
    return c;
}

WCHAR towlower16(WCHAR c) {
    if (c >= u'A' && c <= u'Z') return static_cast<WCHAR>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<WCHAR>(c + 32);
    if (c == 0x178) return 0xFF;
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 &&
        c != 0x17F) {
        bool oddUpperRange = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddUpperRange ? (c % 2 == 1) : (c % 2 == 0)) return static_cast<WCHAR>(c + 1);
        return c;
    }
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return static_cast<WCHAR>(c + 32);
    if (c >= 0x410 && c <= 0x42F) return static_cast<WCHAR>(c + 32);
    if (c >= 0x400 && c <= 0x40F) return static_cast<WCHAR>(c + 80);
    if (c >= 0xFF21 && c <= 0xFF3A) return static_cast<WCHAR>(c + 32);
    return c;
}

bool iswspace16(WCHAR c) {
    return c == u' ' || (c >= 0x09 && c <= 0x0D) || c == 0xA0 || c == 0x3000 || c == 0xFEFF ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029;
}

int wcsnicmp16(const WCHAR* a, const WCHAR* b, size_t n) {
    if (!a) a = u"";
    if (!b) b = u"";
    for (size_t i = 0; i < n; ++i) {
        WCHAR ca = towlower16(a[i]), cb = towlower16(b[i]);
        if (ca != cb) return static_cast<int>(ca) - static_cast<int>(cb);
        if (!ca) return 0;
    }
    return 0;
}

int wcsicmp16(const WCHAR* a, const WCHAR* b) { return wcsnicmp16(a, b, SIZE_MAX); }

int wcsncmp16(const WCHAR* a, const WCHAR* b, size_t n) {
    if (!a) a = u"";
    if (!b) b = u"";
    for (size_t i = 0; i < n; ++i) {
        if (a[i] != b[i]) return static_cast<int>(a[i]) - static_cast<int>(b[i]);
        if (!a[i]) return 0;
    }
    return 0;
}

WCHAR* lstrcatnW(WCHAR* dst, const WCHAR* src, int n) {
    if (!dst || n <= 0) return dst;
    size_t used = 0;
    while (used < static_cast<size_t>(n) && dst[used]) ++used;
    if (used >= static_cast<size_t>(n)) return dst;  // no terminator within the buffer: leave it alone
    lstrcpynW(dst + used, src ? src : u"", n - static_cast<int>(used));
    return dst;
}

WCHAR* lstrcpynW(WCHAR* dst, const WCHAR* src, int n) {
    if (!dst || n <= 0) return dst;
    int i = 0;
    if (src)
        for (; i < n - 1 && src[i]; ++i) dst[i] = src[i];
    dst[i] = 0;
    return dst;
}

void CopyFixedName(WCHAR* field, const WCHAR* src, size_t n) {
    if (!field || n == 0) return;
    size_t i = 0;
    if (src)
        for (; i + 1 < n && src[i]; ++i) field[i] = src[i];
    for (; i < n; ++i) field[i] = 0;
}

std::string Utf16ToUtf8(const std::u16string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;  // lone surrogate
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string Utf16ToUtf8(const WCHAR* s) { return Utf16ToUtf8(std::u16string(s ? s : u"")); }

std::u16string Utf8ToUtf16(const std::string& s) {
    std::u16string out;
    Utf8ToUtf16(std::string_view(s), out);
    return out;
}

void Utf8ToUtf16(std::string_view s, std::u16string& out) {
    // A UTF-8 text never has more UTF-16 units than bytes.
    out.resize(s.size());
    char16_t* o = &out[0];
    size_t i = 0;
    const size_t n = s.size();
    auto cont = [&](size_t k) {
        return k < n && (static_cast<unsigned char>(s[k]) & 0xC0) == 0x80;
    };
    while (i < n) {
        // Eight ASCII bytes at a time.
        uint64_t w;
        if (i + 8 <= n && (std::memcpy(&w, s.data() + i, 8), (w & 0x8080808080808080u) == 0)) {
            for (int k = 0; k < 8; ++k) o[k] = static_cast<char16_t>(static_cast<unsigned char>(s[i + k]));
            o += 8;
            i += 8;
            continue;
        }
        unsigned char b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            *o++ = b;
            ++i;
            continue;
        }
        // A well-formed three-byte character (most of a CJK text), tested as one word.
        const auto* u = reinterpret_cast<const unsigned char*>(s.data()) + i;
        const uint32_t t = i + 3 <= n ? u[0] | u[1] << 8 | u[2] << 16 : 0;
        if ((t & 0xC0C0F0u) == 0x8080E0u) {
            const uint32_t c3 = ((b & 0x0Fu) << 12) | ((t >> 2) & 0xFC0u) | ((t >> 16) & 0x3Fu);
            if (c3 >= 0x800 && (c3 < 0xD800 || c3 > 0xDFFF)) {
                *o++ = static_cast<char16_t>(c3);
                i += 3;
                continue;
            }
        }
        uint32_t c = 0xFFFD;
        size_t len = 1;
        if ((b & 0xE0) == 0xC0 && cont(i + 1)) {
            c = ((b & 0x1Fu) << 6) | (s[i + 1] & 0x3F);
            len = 2;
            if (c < 0x80) c = 0xFFFD;
        } else if ((b & 0xF0) == 0xE0 && cont(i + 1) && cont(i + 2)) {
            c = ((b & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3F);
            len = 3;
            if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
        } else if ((b & 0xF8) == 0xF0 && cont(i + 1) && cont(i + 2) && cont(i + 3)) {
            c = ((b & 0x07u) << 18) | ((s[i + 1] & 0x3Fu) << 12) | ((s[i + 2] & 0x3Fu) << 6) |
                (s[i + 3] & 0x3F);
            len = 4;
            if (c < 0x10000 || c > 0x10FFFF) c = 0xFFFD;
        }
        i += len;
        if (c >= 0x10000) {
            c -= 0x10000;
            *o++ = static_cast<char16_t>(0xD800 + (c >> 10));
            *o++ = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            *o++ = static_cast<char16_t>(c);
        }
    }
    out.resize(static_cast<size_t>(o - out.data()));
}

size_t ScanDecimal(const WCHAR* s, int* out) {
    if (!s) return 0;
    size_t i = 0;
    while (iswspace16(s[i])) ++i;
    bool neg = false;
    if (s[i] == u'-' || s[i] == u'+') neg = s[i++] == u'-';
    if (s[i] < u'0' || s[i] > u'9') return 0;
    // Like the CRT, overflow wraps; keep it defined by working unsigned.
    uint32_t v = 0;
    while (s[i] >= u'0' && s[i] <= u'9') v = v * 10u + static_cast<uint32_t>(s[i++] - u'0');
    if (neg) v = 0u - v;
    *out = static_cast<int>(v);
    return i;
}

std::string TrimLine(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}
