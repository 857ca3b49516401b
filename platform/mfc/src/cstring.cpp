#include <cstdio>
#include <cstring>

#include "mfc/afxstr.h"
#include "win/wstr.h"

namespace {
void AppendAscii(std::u16string& out, const char* s, size_t n) {
    for (size_t i = 0; i < n; ++i) out += static_cast<char16_t>(static_cast<unsigned char>(s[i]));
}

// Pads `body` to `width` units, left- or right-justified (zero padding of
// numbers is done by snprintf itself).
void AppendPadded(std::u16string& out, const std::u16string& body, int width, bool left) {
    const int pad = width > static_cast<int>(body.size()) ? width - static_cast<int>(body.size()) : 0;
    if (!left) out.append(static_cast<size_t>(pad), u' ');
    out += body;
    if (left) out.append(static_cast<size_t>(pad), u' ');
}
}  // namespace

std::u16string FormatV16(const WCHAR* fmt, va_list args) {
    std::u16string out;
    if (!fmt) return out;
    va_list ap;
    va_copy(ap, args);
    for (const WCHAR* p = fmt; *p; ++p) {
        if (*p != u'%') {
            out += *p;
            continue;
        }
        const WCHAR* start = p++;
        std::string flags;
        while (*p && std::strchr("-+ 0#", static_cast<char>(*p)) && *p < 0x80) flags += static_cast<char>(*p++);
        int width = -1, prec = -1;
        if (*p == u'*') {
            width = va_arg(ap, int);
            if (width < 0) {
                flags += '-';
                width = -width;
            }
            ++p;
        } else {
            while (*p >= u'0' && *p <= u'9') width = (width < 0 ? 0 : width) * 10 + (*p++ - u'0');
        }
        if (*p == u'.') {
            ++p;
            prec = 0;
            if (*p == u'*') {
                prec = va_arg(ap, int);
                ++p;
            } else {
                while (*p >= u'0' && *p <= u'9') prec = prec * 10 + (*p++ - u'0');
            }
        }
        enum { kInt, kShort, kLong64 } len = kInt;
        bool longDouble = false;
        if (*p == u'h') {
            len = kShort;
            ++p;
            if (*p == u'h') ++p;
        } else if (*p == u'l') {
            ++p;
            if (*p == u'l') {
                len = kLong64;
                ++p;
            }
        } else if (*p == u'I' && p[1] == u'6' && p[2] == u'4') {
            len = kLong64;
            p += 3;
        } else if (*p == u'L') {
            longDouble = true;
            ++p;
        } else if (*p == u'z' || *p == u'j' || *p == u't') {
            len = kLong64;
            ++p;
        }
        const bool left = flags.find('-') != std::string::npos;
        const WCHAR conv = *p;
        if (!conv) {
            out.append(start, p);
            break;
        }
        char cfmt[64];
        char buf[512];
        switch (conv) {
            case u'%': out += u'%'; break;
            case u'd':
            case u'i':
            case u'u':
            case u'x':
            case u'X':
            case u'o': {
                std::snprintf(cfmt, sizeof cfmt, "%%%s%s%s%s%s%c", flags.c_str(),
                              width >= 0 ? std::to_string(width).c_str() : "", prec >= 0 ? "." : "",
                              prec >= 0 ? std::to_string(prec).c_str() : "", "ll", static_cast<char>(conv));
                long long v;
                const bool isSigned = conv == u'd' || conv == u'i';
                if (len == kLong64) {
                    v = va_arg(ap, long long);
                } else {
                    int iv = va_arg(ap, int);
                    if (len == kShort)
                        v = isSigned ? static_cast<short>(iv) : static_cast<unsigned short>(iv);
                    else
                        v = isSigned ? static_cast<long long>(iv)
                                     : static_cast<long long>(static_cast<unsigned int>(iv));
                }
                int n = std::snprintf(buf, sizeof buf, cfmt, v);
                AppendAscii(out, buf, n < 0 ? 0 : std::min<size_t>(static_cast<size_t>(n), sizeof buf - 1));
                break;
            }
            case u'f':
            case u'F':
            case u'e':
            case u'E':
            case u'g':
            case u'G':
            case u'a':
            case u'A': {
                double v = longDouble ? static_cast<double>(va_arg(ap, long double)) : va_arg(ap, double);
                std::snprintf(cfmt, sizeof cfmt, "%%%s%s%s%s%c", flags.c_str(),
                              width >= 0 ? std::to_string(std::min(width, 400)).c_str() : "",
                              prec >= 0 ? "." : "", prec >= 0 ? std::to_string(std::min(prec, 100)).c_str() : "",
                              static_cast<char>(conv));
                int n = std::snprintf(buf, sizeof buf, cfmt, v);
                AppendAscii(out, buf, n < 0 ? 0 : std::min<size_t>(static_cast<size_t>(n), sizeof buf - 1));
                break;
            }
            case u'c':
            case u'C': {
                int ch = va_arg(ap, int);
                std::u16string body(1, conv == u'c' ? static_cast<char16_t>(ch)
                                                    : static_cast<char16_t>(static_cast<unsigned char>(ch)));
                AppendPadded(out, body, width, left);
                break;
            }
            case u's':
            case u'S': {
                std::u16string body;
                if (conv == u's') {
                    const WCHAR* s = va_arg(ap, const WCHAR*);
                    body = s ? s : u"(null)";
                } else {
                    const char* s = va_arg(ap, const char*);
                    body = s ? Utf8ToUtf16(s) : u"(null)";
                }
                if (prec >= 0 && body.size() > static_cast<size_t>(prec)) body.resize(static_cast<size_t>(prec));
                AppendPadded(out, body, width, left);
                break;
            }
            case u'p': {
                void* v = va_arg(ap, void*);
                int n = std::snprintf(buf, sizeof buf, "%p", v);
                AppendAscii(out, buf, n < 0 ? 0 : static_cast<size_t>(n));
                break;
            }
            default:
                // Unknown conversion: copied as it stands, consuming nothing.
                out.append(start, p + 1);
                break;
        }
    }
    va_end(ap);
    return out;
}

std::u16string Format16(const WCHAR* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::u16string s = FormatV16(fmt, ap);
    va_end(ap);
    return s;
}

void CString::Format(const WCHAR* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    m_str = FormatV16(fmt, ap);
    va_end(ap);
}

void CString::FormatV(const WCHAR* fmt, va_list args) { m_str = FormatV16(fmt, args); }

void CString::AppendFormat(const WCHAR* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    m_str += FormatV16(fmt, ap);
    va_end(ap);
}

int CString::Compare(const WCHAR* s) const { return wcscmp16(m_str.c_str(), s); }
int CString::CompareNoCase(const WCHAR* s) const { return wcsicmp16(m_str.c_str(), s); }

CString CString::Left(int n) const {
    if (n <= 0) return CString();
    return CString(m_str.substr(0, static_cast<size_t>(n)));
}

CString CString::Right(int n) const {
    if (n <= 0) return CString();
    if (static_cast<size_t>(n) >= m_str.size()) return *this;
    return CString(m_str.substr(m_str.size() - static_cast<size_t>(n)));
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int n) const {
    if (first < 0) first = 0;
    if (n <= 0 || static_cast<size_t>(first) >= m_str.size()) return CString();
    return CString(m_str.substr(static_cast<size_t>(first), static_cast<size_t>(n)));
}

int CString::Find(WCHAR ch, int start) const {
    if (start < 0 || static_cast<size_t>(start) > m_str.size()) return -1;
    size_t pos = m_str.find(ch, static_cast<size_t>(start));
    return pos == std::u16string::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(const WCHAR* sub, int start) const {
    if (!sub || start < 0 || static_cast<size_t>(start) > m_str.size()) return -1;
    size_t pos = m_str.find(sub, static_cast<size_t>(start));
    return pos == std::u16string::npos ? -1 : static_cast<int>(pos);
}

int CString::ReverseFind(WCHAR ch) const {
    size_t pos = m_str.rfind(ch);
    return pos == std::u16string::npos ? -1 : static_cast<int>(pos);
}

int CString::Replace(const WCHAR* from, const WCHAR* to) {
    const size_t fl = wcslen16(from);
    if (fl == 0) return 0;
    const std::u16string repl = to ? to : u"";
    int count = 0;
    size_t pos = 0;
    while ((pos = m_str.find(from, pos, fl)) != std::u16string::npos) {
        m_str.replace(pos, fl, repl);
        pos += repl.size();
        ++count;
    }
    return count;
}

int CString::Replace(WCHAR from, WCHAR to) {
    int count = 0;
    for (auto& c : m_str)
        if (c == from) c = to, ++count;
    return count;
}

int CString::Remove(WCHAR ch) {
    const size_t before = m_str.size();
    std::u16string r;
    for (auto c : m_str)
        if (c != ch) r += c;
    m_str.swap(r);
    return static_cast<int>(before - m_str.size());
}

int CString::Insert(int index, const WCHAR* s) {
    if (index < 0) index = 0;
    if (static_cast<size_t>(index) > m_str.size()) index = GetLength();
    m_str.insert(static_cast<size_t>(index), s ? s : u"");
    return GetLength();
}

int CString::Delete(int index, int count) {
    if (index < 0) index = 0;
    if (count > 0 && static_cast<size_t>(index) < m_str.size())
        m_str.erase(static_cast<size_t>(index), static_cast<size_t>(count));
    return GetLength();
}

CString& CString::TrimLeft() {
    size_t i = 0;
    while (i < m_str.size() && iswspace16(m_str[i])) ++i;
    m_str.erase(0, i);
    return *this;
}

CString& CString::TrimRight() {
    size_t n = m_str.size();
    while (n > 0 && iswspace16(m_str[n - 1])) --n;
    m_str.resize(n);
    return *this;
}

CString& CString::Trim() { return TrimRight().TrimLeft(); }

CString& CString::Trim(WCHAR ch) {
    size_t b = 0, e = m_str.size();
    while (b < e && m_str[b] == ch) ++b;
    while (e > b && m_str[e - 1] == ch) --e;
    m_str = m_str.substr(b, e - b);
    return *this;
}

CString& CString::MakeUpper() {
    for (auto& c : m_str) c = towupper16(c);
    return *this;
}

CString& CString::MakeLower() {
    for (auto& c : m_str) c = towlower16(c);
    return *this;
}

CString CString::SpanIncluding(const WCHAR* set) const {
    size_t i = 0;
    const std::u16string s = set ? set : u"";
    while (i < m_str.size() && s.find(m_str[i]) != std::u16string::npos) ++i;
    return CString(m_str.substr(0, i));
}

WCHAR* CString::GetBuffer(int minLength) {
    if (minLength > GetLength()) m_str.resize(static_cast<size_t>(minLength));
    return &m_str[0];
}

WCHAR* CString::GetBufferSetLength(int length) {
    m_str.resize(static_cast<size_t>(length < 0 ? 0 : length));
    return &m_str[0];
}

void CString::ReleaseBuffer(int newLength) {
    if (newLength < 0) {
        newLength = static_cast<int>(wcslen16(m_str.c_str()));
    }
    if (static_cast<size_t>(newLength) < m_str.size()) m_str.resize(static_cast<size_t>(newLength));
}

CString operator+(const CString& a, const CString& b) { return CString(a.str() + b.str()); }
CString operator+(const CString& a, const WCHAR* b) { return CString(a.str() + (b ? b : u"")); }
CString operator+(const WCHAR* a, const CString& b) { return CString((a ? a : u"") + b.str()); }
CString operator+(const CString& a, WCHAR b) { return CString(a.str() + b); }
bool operator==(const CString& a, const CString& b) { return a.str() == b.str(); }
bool operator==(const CString& a, const WCHAR* b) { return a.Compare(b) == 0; }
bool operator==(const WCHAR* a, const CString& b) { return b.Compare(a) == 0; }
bool operator!=(const CString& a, const CString& b) { return !(a == b); }
bool operator!=(const CString& a, const WCHAR* b) { return !(a == b); }
bool operator!=(const WCHAR* a, const CString& b) { return !(a == b); }
bool operator<(const CString& a, const CString& b) { return a.str() < b.str(); }
