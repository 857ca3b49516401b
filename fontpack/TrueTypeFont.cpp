// The name reader. Every structure is zero-filled before it is read, so a
// short read at the end of a file yields zeros rather than an error.
#include "TrueTypeFont.h"

#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "win/filesafety.h"
#include "win/files.h"
#include "win/nls.h"
#include "win/wstr.h"

namespace {

uint16_t Be16(const unsigned char* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
uint32_t Be32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
}

bool SeekTo(FILE* f, uint64_t pos) { return fseeko(f, static_cast<off_t>(pos), SEEK_SET) == 0; }

struct NameRecord {
    uint16_t platformId;
    uint16_t nameId;
    uint16_t length;
    uint16_t offset;
};

bool Contains(const std::u16string& s, const char16_t* what) { return s.find(what) != std::u16string::npos; }

}  // namespace

CTrueTypeFont::CTrueTypeFont()
    : m_pFile(nullptr), m_bBorrowedFile(false), m_nFound(0), m_bBold(false), m_bRegular(false), m_bItalic(false),
      m_nBytesRead(0) {}

CTrueTypeFont::~CTrueTypeFont() { Close(); }

namespace {
// Font files come from users: a FIFO or device must neither block nor be read.
FILE* OpenFontFile(const WCHAR* path) {
    const std::string named = NativePath(path);
    int fd = winfiles::OpenRegularFile(named);
    // Else the file whose name differs only in case, as Windows finds it.
    if (fd < 0) {
        const std::string other = NativeExistingPath(path);
        if (other != named) fd = winfiles::OpenRegularFile(other);
    }
    if (fd < 0) return nullptr;
    FILE* f = ::fdopen(fd, "rb");
    if (!f) ::close(fd);
    return f;
}
}  // namespace

bool CTrueTypeFont::Open(const WCHAR* path) {
    Close();
    if (!path) return false;
    m_strPath = path;
    m_pFile = OpenFontFile(path);
    if (!m_pFile) return false;
    return ReadFont();
}

bool CTrueTypeFont::OpenFromStream(FILE* stream) {
    Close();
    if (!stream) return false;
    m_pFile = stream;
    m_bBorrowedFile = true;
    return ReadFont();
}

void CTrueTypeFont::ReleaseFile() {
    if (m_pFile && !m_bBorrowedFile) std::fclose(m_pFile);
    m_pFile = nullptr;
}

// The alternate name is deliberately left alone: it is only ever read from
// collection members, which are read once.
void CTrueTypeFont::Close() {
    ReleaseFile();
    m_strPath.clear();
    for (std::u16string& s : m_strName) s.clear();
    m_nFound = 0;
    m_bBorrowedFile = false;
    m_bBold = m_bRegular = m_bItalic = false;
}

std::u16string CTrueTypeFont::GetName(int nameId) const {
    return nameId >= 0 && nameId < NameCount ? m_strName[nameId] : std::u16string();
}

size_t CTrueTypeFont::Read(void* buf, size_t n) {
    const size_t got = std::fread(buf, 1, n, m_pFile);
    m_nBytesRead += got;
    return got;
}

bool CTrueTypeFont::ReadFont() {
    m_nBytesRead = 0;
    unsigned char offsetTable[12] = {};
    Read(offsetTable, sizeof offsetTable);
    const uint16_t numTables = Be16(offsetTable + 4);
    for (uint16_t i = 0; i < numTables; ++i) {
        unsigned char record[16] = {};
        // Past the end of the file every further record would be zeros.
        if (Read(record, sizeof record) == 0) break;
        char tag[4];
        for (int k = 0; k < 4; ++k) tag[k] = static_cast<char>(std::tolower(record[k]));
        if (std::memcmp(tag, "name", 4) == 0) return ReadNameTable(Be32(record + 8));
    }
    ReleaseFile();
    return false;
}

std::u16string CTrueTypeFont::DecodeString(const unsigned char* bytes, uint16_t length, bool utf16) {
    // Two spare zero bytes: the terminator, and the low half of the last
    // unit of an odd-length UTF-16 string.
    std::vector<unsigned char> buf(static_cast<size_t>(length) + 2, 0);
    if (length) std::memcpy(buf.data(), bytes, length);
    if (utf16) {
        std::u16string text;
        for (size_t k = 0; k + 1 < buf.size(); k += 2) {
            const char16_t unit = static_cast<char16_t>(Be16(&buf[k]));
            if (!unit) break;
            text += unit;
        }
        return text;
    }
    const int count = static_cast<int>(std::strlen(reinterpret_cast<const char*>(buf.data())));
    if (count == 0) return {};
    const char* src = reinterpret_cast<const char*>(buf.data());
    std::u16string text(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, src, count, nullptr, 0)), u'\0');
    if (!text.empty()) MultiByteToWideChar(CP_ACP, 0, src, count, &text[0], static_cast<int>(text.size()));
    return text;
}

bool CTrueTypeFont::ReadNameTable(uint32_t tableOffset) {
    unsigned char header[6] = {};
    if (SeekTo(m_pFile, tableOffset)) Read(header, sizeof header);
    const uint16_t count = Be16(header + 2);
    const uint64_t storage = static_cast<uint64_t>(tableOffset) + Be16(header + 4);

    std::vector<NameRecord> records;
    for (uint16_t i = 0; i < count; ++i) {
        unsigned char r[12] = {};
        if (Read(r, sizeof r) == 0) break;
        records.push_back({Be16(r), Be16(r + 6), Be16(r + 8), Be16(r + 10)});
    }

    // Which records give text depends on their ids alone, so the strings are
    // read in one piece: the span of the storage those records use. Bytes
    // past the end of the file read as zeros, as they would one by one.
    struct Use {
        size_t record;
        bool alternate, wanted;
    };
    std::vector<Use> uses;
    uint32_t low = UINT32_MAX, high = 0;
    uint8_t found = m_nFound;
    for (size_t i = 0; i < records.size() && found != 0xFF; ++i) {
        const NameRecord& rec = records[i];
        const bool alternate = (i == 34 || i == 35) && (rec.nameId == 3 || rec.nameId == 4);
        const bool wanted = rec.nameId < NameCount && !(found & (1u << rec.nameId));
        // The text of any other record would be dropped, so it is not read.
        if (!alternate && !wanted) continue;
        if (wanted) found = static_cast<uint8_t>(found | 1u << rec.nameId);
        uses.push_back({i, alternate, wanted});
        low = std::min<uint32_t>(low, rec.offset);
        high = std::max<uint32_t>(high, uint32_t{rec.offset} + rec.length);
    }
    std::vector<unsigned char> span;
    if (!uses.empty()) {
        span.assign(high - low, 0);
        if (SeekTo(m_pFile, storage + low)) Read(span.data(), span.size());
    }
    for (const Use& use : uses) {
        const NameRecord& rec = records[use.record];
        const bool utf16 = rec.platformId == 0 || rec.platformId == 3;
        const std::u16string text = DecodeString(span.data() + (rec.offset - low), rec.length, utf16);
        if (use.alternate) m_strAltName = text;
        if (use.wanted) {
            m_strName[rec.nameId] = text;
            m_nFound = static_cast<uint8_t>(m_nFound | 1u << rec.nameId);
            if (rec.nameId == 2) SetStyleFlags();
        }
    }
    ReleaseFile();
    return true;
}

void CTrueTypeFont::SetStyleFlags() {
    std::u16string s = m_strName[2];
    for (char16_t& c : s) c = towlower16(c);
    m_bBold = Contains(s, u"bold");
    m_bItalic = Contains(s, u"italic");
    m_bRegular = Contains(s, u"regular") || Contains(s, u"normal") || Contains(s, u"standard");
}

CTrueTypeCollection::CTrueTypeCollection() : m_pFile(nullptr) {}

CTrueTypeCollection::~CTrueTypeCollection() { Close(); }

bool CTrueTypeCollection::Open(const WCHAR* path) {
    Close();
    if (!path) return false;
    m_strPath = path;
    m_pFile = OpenFontFile(path);
    if (!m_pFile) return false;
    return ReadCollection();
}

void CTrueTypeCollection::Close() {
    if (m_pFile) std::fclose(m_pFile);
    m_pFile = nullptr;
    m_strPath.clear();
    m_fonts.clear();
}

bool CTrueTypeCollection::ReadCollection() {
    unsigned char header[12] = {};
    std::fread(header, 1, sizeof header, m_pFile);
    if (std::memcmp(header, "ttcf", 4) != 0) return false;
    const uint32_t numFonts = Be32(header + 8);

    // Offsets past the end of the file are not there to read.
    std::vector<uint32_t> offsets;
    for (uint32_t i = 0; i < numFonts; ++i) {
        unsigned char b[4] = {};
        if (std::fread(b, 1, sizeof b, m_pFile) == 0) break;
        offsets.push_back(Be32(b));
    }

    // A damaged numFonts turns glyph data into member offsets, and each such
    // member costs a directory scan. A sound collection reads a small
    // fraction of its file, so stopping once the members have read twice the
    // file's size only ever cuts short a damaged one.
    uint64_t fileSize = 0;
    if (fseeko(m_pFile, 0, SEEK_END) == 0) {
        const off_t end = ftello(m_pFile);
        if (end > 0) fileSize = static_cast<uint64_t>(end);
    }
    const uint64_t budget = 2 * fileSize + (1u << 20);
    uint64_t spent = 0;
    for (uint32_t offset : offsets) {
        if (spent > budget) break;
        auto font = std::make_unique<CTrueTypeFont>();
        if (!SeekTo(m_pFile, offset)) continue;
        const bool ok = font->OpenFromStream(m_pFile);
        spent += font->m_nBytesRead + 16;
        if (ok) m_fonts.push_back(std::move(font));
    }
    return numFonts != 0;
}

int CTrueTypeCollection::FindFontIndex(const std::u16string& name) const {
    for (size_t i = 0; i < m_fonts.size(); ++i)
        if (m_fonts[i]->GetFamilyName() == name) return static_cast<int>(i);
    for (size_t i = 0; i < m_fonts.size(); ++i)
        if (m_fonts[i]->GetAltName() == name) return static_cast<int>(i);
    return -1;
}

const CTrueTypeFont& CTrueTypeCollection::GetFont(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= m_fonts.size())
        throw std::out_of_range("CTrueTypeCollection: member index out of range");
    return *m_fonts[static_cast<size_t>(index)];
}

std::u16string CTrueTypeCollection::GetFamilyName(int index) const { return GetFont(index).GetFamilyName(); }
