#include "win/nls.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <string>

#include "win/profile.h"

namespace {

// 0x80-0x9F of Windows-1252; the rest is Latin-1. The five holes map to the
// C1 controls, which is what Windows does (glibc's CP1252 rejects them).
const char16_t k1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

const char* IconvName(UINT cp) {
    switch (cp) {
    case 874: return "CP874";
    case 932: return "CP932";
    case 936: return "CP936";
    case 949: return "CP949";
    case 950: return "CP950";
    case 1250: return "CP1250";
    case 1251: return "CP1251";
    case 1253: return "CP1253";
    case 1254: return "CP1254";
    case 1255: return "CP1255";
    case 1256: return "CP1256";
    case 1257: return "CP1257";
    case 1258: return "CP1258";
    case CP_UTF8: return "UTF-8";
    default: return nullptr;
    }
}

// iconv descriptors are not safe to share between threads; each thread keeps
// its own, opened on first use.
struct Converters {
    std::map<UINT, iconv_t> open;
    ~Converters() {
        for (auto& kv : open)
            if (kv.second != reinterpret_cast<iconv_t>(-1)) iconv_close(kv.second);
    }
    iconv_t Get(UINT cp, const char* name) {
        auto it = open.find(cp);
        if (it == open.end()) it = open.emplace(cp, iconv_open("UTF-16LE", name)).first;
        return it->second;
    }
};

// Every byte has a mapping, so this never fails.
void Convert1252(const unsigned char* p, size_t n, std::u16string& out) {
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) out += p[i] >= 0x80 && p[i] < 0xA0 ? k1252High[p[i] - 0x80] : char16_t(p[i]);
}

// False when a sequence cannot be converted and `strict` is set.

bool ConvertIconv(iconv_t cd, UINT cp, const char* src, size_t n, bool strict, std::u16string& out) {
    const char16_t bad = cp == CP_UTF8 ? 0xFFFD : u'?';
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(src);
    size_t inLeft = n;
    char buf[512];
    while (inLeft > 0) {
        char* o = buf;
        size_t oLeft = sizeof buf;
        const size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        const int err = errno;
        for (char* q = buf; q + 1 < o; q += 2)
            out += char16_t(static_cast<unsigned char>(q[0]) | static_cast<unsigned char>(q[1]) << 8);
        if (r != static_cast<size_t>(-1)) continue;
        if (err == E2BIG) continue;
        if (strict) return false;
        // EILSEQ or a sequence cut off by the end of the input.
        out += bad;
        const unsigned char lead = static_cast<unsigned char>(*in);
        ++in, --inLeft;
        // A cut-off UTF-8 sequence (lead byte and what follows of it) is one bad sequence.
        if (cp == CP_UTF8 && lead >= 0xC2 && lead <= 0xF4)
            while (inLeft > 0 && (static_cast<unsigned char>(*in) & 0xC0) == 0x80) ++in, --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return true;
}

}  // namespace

UINT GetACP() { return winprofile::GetSettings().ansiCodePage; }

int MultiByteToWideChar(UINT codePage, DWORD flags, const char* src, int cbSrc, WCHAR* dst, int cchDst) {
    if (!src || cbSrc == 0 || cbSrc < -1 || cchDst < 0 || (cchDst > 0 && !dst)) return 0;
    const size_t n = cbSrc == -1 ? std::strlen(src) + 1 : static_cast<size_t>(cbSrc);
    if (codePage == CP_ACP) codePage = GetACP();
    const bool strict = (flags & MB_ERR_INVALID_CHARS) != 0;

    std::u16string out;
    const char* name = IconvName(codePage);
    static thread_local Converters converters;
    iconv_t cd = name ? converters.Get(codePage, name) : reinterpret_cast<iconv_t>(-1);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        Convert1252(reinterpret_cast<const unsigned char*>(src), n, out);
    } else if (!ConvertIconv(cd, codePage, src, n, strict, out)) {
        return 0;
    }
    if (cchDst == 0) return static_cast<int>(out.size());
    if (out.size() > static_cast<size_t>(cchDst)) return 0;
    std::memcpy(dst, out.data(), out.size() * sizeof(WCHAR));
    return static_cast<int>(out.size());
}
