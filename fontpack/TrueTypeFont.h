// Reads the strings of the `name` table of TrueType fonts (".ttf") and
// TrueType collections (".ttc"), and the style a font's subfamily implies.
// Only the offset table, the table directory up to `name` and the name
// records are read; glyph data never is.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "win/windows.h"

class CTrueTypeFont {
public:
    // Name ids 0 to 7.
    enum { NameCount = 8 };

    CTrueTypeFont();
    ~CTrueTypeFont();
    CTrueTypeFont(const CTrueTypeFont&) = delete;
    CTrueTypeFont& operator=(const CTrueTypeFont&) = delete;

    // Reads the font at the start of the file; the file is closed again
    // before this returns. False when the file cannot be opened or has no
    // `name` table.
    bool Open(const WCHAR* path);
    // Reads the font at the stream's current position. The stream stays the
    // caller's: it is never closed here.
    bool OpenFromStream(FILE* stream);
    void Close();

    std::u16string GetFamilyName() const { return m_strName[1]; }
    // Name id 0..7 as first found in the file; empty for other ids.
    std::u16string GetName(int nameId) const;
    const std::u16string& GetAltName() const { return m_strAltName; }
    const std::u16string& GetPath() const { return m_strPath; }
    uint8_t GetFoundMask() const { return m_nFound; }
    bool IsBold() const { return m_bBold; }
    bool IsRegular() const { return m_bRegular; }
    bool IsItalic() const { return m_bItalic; }

private:
    friend class CTrueTypeCollection;

    bool ReadFont();
    bool ReadNameTable(uint32_t tableOffset);
    static std::u16string DecodeString(const unsigned char* bytes, uint16_t length, bool utf16);
    size_t Read(void* buf, size_t n);
    void ReleaseFile();
    void SetStyleFlags();

    FILE* m_pFile;
    bool m_bBorrowedFile;
    std::u16string m_strPath;
    std::u16string m_strName[NameCount];
    std::u16string m_strAltName;
    uint8_t m_nFound;
    bool m_bBold;
    bool m_bRegular;
    bool m_bItalic;
    uint64_t m_nBytesRead;  // by the last read, so a collection can bound its members' cost
};

class CTrueTypeCollection {
public:
    CTrueTypeCollection();
    ~CTrueTypeCollection();
    CTrueTypeCollection(const CTrueTypeCollection&) = delete;
    CTrueTypeCollection& operator=(const CTrueTypeCollection&) = delete;

    // Reads every member; the file stays open until Close. False when the
    // file cannot be opened, is not tagged "ttcf" or declares no members.
    bool Open(const WCHAR* path);
    void Close();

    // Position of the member whose family name is `name`, else of the first
    // whose alternate name is; -1 when none. Exact, case-sensitive match.
    int FindFontIndex(const std::u16string& name) const;
    // Throws std::out_of_range for a position outside the member list.
    std::u16string GetFamilyName(int index) const;
    const CTrueTypeFont& GetFont(int index) const;
    // Members that were read; a member that failed leaves no entry.
    int GetFontCount() const { return static_cast<int>(m_fonts.size()); }
    const std::u16string& GetPath() const { return m_strPath; }

private:
    bool ReadCollection();

    FILE* m_pFile;
    std::u16string m_strPath;
    std::vector<std::unique_ptr<CTrueTypeFont>> m_fonts;
};
