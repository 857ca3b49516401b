// CString: MFC's string class over UTF-16 code units.
#pragma once

#include <cstdarg>
#include <string>

#include "win/windows.h"

// What libmfc.so exports: the classes and operations its headers declare.
#define MFC_API __attribute__((visibility("default")))

class MFC_API CString {
public:
    CString() = default;
    CString(const WCHAR* s) : m_str(s ? s : u"") {}  // NOLINT(google-explicit-constructor)
    CString(const std::u16string& s) : m_str(s) {}   // NOLINT(google-explicit-constructor)
    CString(const WCHAR* s, int n) : m_str(s ? std::u16string(s, n > 0 ? n : 0) : u"") {}
    CString(WCHAR ch, int repeat = 1) : m_str(repeat > 0 ? repeat : 0, ch) {}
    CString(const CString&) = default;
    CString(CString&&) noexcept = default;
    CString& operator=(const CString&) = default;
    CString& operator=(CString&&) noexcept = default;
    CString& operator=(const WCHAR* s) {
        m_str = s ? s : u"";
        return *this;
    }
    CString& operator=(WCHAR ch) {
        m_str.assign(1, ch);
        return *this;
    }

    operator const WCHAR*() const { return m_str.c_str(); }  // NOLINT(google-explicit-constructor)
    const WCHAR* GetString() const { return m_str.c_str(); }
    const std::u16string& str() const { return m_str; }

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    WCHAR GetAt(int i) const { return m_str.at(static_cast<size_t>(i)); }
    void SetAt(int i, WCHAR ch) { m_str.at(static_cast<size_t>(i)) = ch; }
    WCHAR operator[](int i) const { return GetAt(i); }

    CString& operator+=(const CString& s) {
        m_str += s.m_str;
        return *this;
    }
    CString& operator+=(const WCHAR* s) {
        if (s) m_str += s;
        return *this;
    }
    CString& operator+=(WCHAR ch) {
        m_str += ch;
        return *this;
    }
    void Append(const WCHAR* s) { *this += s; }
    void AppendChar(WCHAR ch) { m_str += ch; }

    int Compare(const WCHAR* s) const;
    int CompareNoCase(const WCHAR* s) const;

    CString Left(int n) const;
    CString Right(int n) const;
    CString Mid(int first) const;
    CString Mid(int first, int n) const;
    int Find(WCHAR ch, int start = 0) const;
    int Find(const WCHAR* sub, int start = 0) const;
    int ReverseFind(WCHAR ch) const;
    int Replace(const WCHAR* from, const WCHAR* to);
    int Replace(WCHAR from, WCHAR to);
    int Remove(WCHAR ch);
    int Insert(int index, const WCHAR* s);
    int Delete(int index, int count = 1);
    CString& Trim();
    CString& TrimLeft();
    CString& TrimRight();
    CString& Trim(WCHAR ch);
    CString& MakeUpper();
    CString& MakeLower();
    CString SpanIncluding(const WCHAR* set) const;

    // printf-style formatting over UTF-16; see FormatV16 for the conversions.
    void Format(const WCHAR* fmt, ...);
    void FormatV(const WCHAR* fmt, va_list args);
    void AppendFormat(const WCHAR* fmt, ...);

    // MFC's buffer access: the returned buffer holds at least minLength + 1
    // units; ReleaseBuffer(-1) takes the length up to the first NUL.
    WCHAR* GetBuffer(int minLength = 0);
    WCHAR* GetBufferSetLength(int length);
    void ReleaseBuffer(int newLength = -1);

private:
    std::u16string m_str;
};

MFC_API CString operator+(const CString& a, const CString& b);
MFC_API CString operator+(const CString& a, const WCHAR* b);
MFC_API CString operator+(const WCHAR* a, const CString& b);
MFC_API CString operator+(const CString& a, WCHAR b);
MFC_API bool operator==(const CString& a, const CString& b);
MFC_API bool operator==(const CString& a, const WCHAR* b);
MFC_API bool operator==(const WCHAR* a, const CString& b);
MFC_API bool operator!=(const CString& a, const CString& b);
MFC_API bool operator!=(const CString& a, const WCHAR* b);
MFC_API bool operator!=(const WCHAR* a, const CString& b);
MFC_API bool operator<(const CString& a, const CString& b);

// The UTF-16 printf engine used by CString::Format and the studio's Format.
// Conversions: %s (const WCHAR*), %S (const char*, UTF-8), %c (WCHAR), %C (char),
// %d %i %u %x %X %o (32-bit; 'l' is 32-bit too, as on Windows; 'll'/'I64' 64-bit;
// 'h' 16-bit), %f %F %e %E %g %G (double), %p, %%; flags "-+ 0#", width and
// precision as digits or '*'. A null %s prints "(null)".
MFC_API std::u16string FormatV16(const WCHAR* fmt, va_list args);
MFC_API std::u16string Format16(const WCHAR* fmt, ...);
