// The compile library's font unit collectors.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Forgeline.h"
#include "win/filesafety.h"
#include "win/files.h"
#include "win/wstr.h"

template <>
CQpfFontData* CSingletonTpl<CQpfFontData>::getInstance() {
    static CQpfFontData instance;
    return &instance;
}

template <>
CTtfFontData* CSingletonTpl<CTtfFontData>::getInstance() {
    static CTtfFontData instance;
    return &instance;
}

namespace {
const char kQpfState[] = ".forgeline-qpf";
const char kTtfState[] = ".forgeline-ttf";

// One record per line: name, tab, value; \\, \t, \n and \r escaped.
std::string Escape(const std::u16string& s) {
    std::string out;
    for (char c : Utf16ToUtf8(s)) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default: out += c;
        }
    }
    return out;
}

std::u16string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        const char n = s[++i];
        out += n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n;
    }
    return Utf8ToUtf16(out);
}

std::string StatePath(const std::u16string& dir, const char* name) { return NativePath(dir) + "/" + name; }

// Keys name files of the folder. A key that is not a plain file name (a
// hand-edited "../x", say) would reach outside it, and is ignored.
std::map<std::u16string, std::u16string> ReadState(const std::u16string& dir, const char* name) {
    std::map<std::u16string, std::u16string> state;
    std::string bytes;
    if (!winfiles::ReadRegularFile(StatePath(dir, name), &bytes)) return state;
    std::istringstream in(bytes);
    std::string line;
    while (std::getline(in, line)) {
        const size_t tab = line.find('\t');
        if (tab == std::string::npos) continue;
        std::u16string key = Unescape(line.substr(0, tab));
        if (!winfiles::IsSafeFileName(key)) continue;
        state[std::move(key)] = Unescape(line.substr(tab + 1));
    }
    return state;
}

// The native paths of the files whose writing failed since `mark`.
std::set<std::string> FailedSince(uint64_t mark) {
    std::set<std::string> failed;
    for (const winfiles::Failure& f : winfiles::FailuresSince(mark)) failed.insert(f.path);
    return failed;
}

void WriteState(const std::u16string& dir, const char* name, const std::map<std::u16string, std::u16string>& state) {
    // A build that produced nothing into a folder that is not there has
    // nothing to remember; otherwise the folder is the build's own.
    if (GetFileAttributesW(dir.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (state.empty()) return;
        std::error_code ec;
        std::filesystem::create_directories(NativePath(dir), ec);
    }
    std::ostringstream text;
    for (const auto& kv : state) text << Escape(kv.first) << '\t' << Escape(kv.second) << '\n';
    const std::string bytes = text.str();
    const std::u16string path = Utf8ToUtf16(StatePath(dir, name));
    ReplaceFileContents(path.c_str(), bytes.data(), bytes.size(), nullptr);
}

bool Exists(const std::u16string& dir, const std::u16string& file) {
    return GetFileAttributesW((dir + u"\\" + file).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The distinct characters of a text, sorted: what a font built for it holds.
// A surrogate pair is one character and stays whole: sorted unit by unit,
// the halves of two pairs from different blocks would part, and the lone
// halves would not survive the record's UTF-8, so the unit would be built
// again at every build.
std::u16string CharSet(const std::u16string& text) {
    std::vector<char32_t> chars;
    chars.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        chars.push_back(c);
    }
    std::sort(chars.begin(), chars.end());
    chars.erase(std::unique(chars.begin(), chars.end()), chars.end());
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

}  // namespace

// ---- QPF2 units ----

void CQpfFontData::beginBuild(const std::u16string& outDir) {
    m_dir = outDir;
    m_last = ReadState(outDir, kQpfState);
}

void CQpfFontData::setScreenText(int screen, const std::u16string& text, _tagQpfUnit& unit) {
    m_screens[screen].push_back(ScreenUnit{text, unit});
}

void CQpfFontData::add(_tagQpfUnit unit) { m_added.push_back(std::move(unit)); }

std::map<std::u16string, std::u16string> CQpfFontData::Current() const {
    // Realising a font for every text is costly; units differ in few ways.
    std::map<std::u16string, std::u16string> fileOf;
    std::map<std::u16string, std::u16string> chars;
    for (const auto& screen : m_screens)
        for (const ScreenUnit& su : screen.second) {
            const _tagQpfUnit& u = su.unit;
            const std::u16string key = u.strFaceName + u'\x1f' + u.strPackName + u'\x1f' +
                                       Utf8ToUtf16(std::to_string(u.nHeight) + "/" + std::to_string(u.nWeight) +
                                                   (u.bItalic ? "i" : ""));
            auto it = fileOf.find(key);
            if (it == fileOf.end())
                it = fileOf.emplace(key, qpf2UnitFileName(u.strFaceName.c_str(), u.nHeight, u.bItalic, u.nWeight,
                                                          u.strPackName.c_str()))
                         .first;
            if (it->second.empty()) continue;
            chars[it->second] += su.text;
        }
    for (auto& kv : chars) kv.second = CharSet(kv.second);
    return chars;
}

int CQpfFontData::executeBuild(QpfRenderFn render) {
    m_failureMark = winfiles::FailureMark();
    if (!render) return 0;
    const std::map<std::u16string, std::u16string> now = Current();
    std::set<std::u16string> stale;
    for (const auto& kv : now) {
        auto last = m_last.find(kv.first);
        const bool same = last != m_last.end() && last->second == kv.second && !m_dir.empty() &&
                          Exists(m_dir, kv.first);
        if (!same) stale.insert(kv.first);
    }
    if (stale.empty()) return 0;
    int rendered = 0;
    for (const auto& screen : m_screens)
        for (const ScreenUnit& su : screen.second) {
            const _tagQpfUnit& u = su.unit;
            const std::u16string file =
                qpf2UnitFileName(u.strFaceName.c_str(), u.nHeight, u.bItalic, u.nWeight, u.strPackName.c_str());
            if (!stale.count(file)) continue;
            render(su.text.c_str(), u.strFaceName.c_str(), u.nHeight, u.bItalic, u.nWeight, u.strPackName.c_str(), -1);
            ++rendered;
        }
    return rendered > 0 ? 1 : 0;
}

void CQpfFontData::removeNoNeedQpf(const std::u16string& outDir) {
    const std::map<std::u16string, std::u16string> now = Current();
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((outDir + u"\\*.qpf2").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        std::vector<std::u16string> doomed;
        do {
            const std::u16string name = fd.cFileName;
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !now.count(name)) doomed.push_back(name);
        } while (FindNextFileW(find, &fd));
        FindClose(find);
        for (const std::u16string& name : doomed) winfiles::RemoveFromFolder(NativePath(outDir), NativePath(name));
    }
    winfiles::RemoveStaleTemporaries(NativePath(outDir));
    // A file whose writing failed is not built, even where an older one is left.
    const std::set<std::string> failed = FailedSince(m_failureMark);
    std::map<std::u16string, std::u16string> built;
    for (const auto& kv : now)
        if (Exists(outDir, kv.first) && !failed.count(NativePath(outDir) + "/" + NativePath(kv.first)))
            built.insert(kv);
    WriteState(outDir, kQpfState, built);
    m_dir = outDir;
    m_last = std::move(built);
}

std::vector<std::pair<std::u16string, _tagQpfUnit>> CQpfFontData::screenTexts(int screen) const {
    std::vector<std::pair<std::u16string, _tagQpfUnit>> out;
    auto it = m_screens.find(screen);
    if (it != m_screens.end())
        for (const ScreenUnit& su : it->second) out.emplace_back(su.text, su.unit);
    return out;
}

void CQpfFontData::reset() {
    m_screens.clear();
    m_added.clear();
    m_dir.clear();
    m_last.clear();
}

// ---- TrueType units ----

void CTtfFontData::beginBuild(const std::u16string& outDir) {
    m_dir = outDir;
    m_last = ReadState(outDir, kTtfState);
}

void CTtfFontData::setScreenText(int screen, const std::u16string& text, const std::u16string& face,
                                 _tagTtfUnit& unit) {
    m_screens[screen].push_back(ScreenUnit{text, face, unit});
}

void CTtfFontData::add(const std::u16string& face, _tagTtfUnit unit) { m_added.emplace_back(face, std::move(unit)); }

void CTtfFontData::setTtfMapTable(const TTFMapTable& table) { m_table = table; }

std::map<std::u16string, std::u16string> CTtfFontData::Current() const {
    std::map<std::u16string, std::u16string> chars;
    for (const auto& screen : m_screens)
        for (const ScreenUnit& su : screen.second)
            chars[winfiles::SafeFileName(su.unit.strPackName.empty() ? su.face : su.unit.strPackName)] += su.text;
    for (auto& kv : chars) kv.second = CharSet(kv.second);
    return chars;
}

int CTtfFontData::executeBuild(QpfRenderFn render) {
    if (!render) return 0;
    const std::map<std::u16string, std::u16string> now = Current();
    int rendered = 0;
    for (const auto& screen : m_screens)
        for (const ScreenUnit& su : screen.second) {
            const std::u16string stem = winfiles::SafeFileName(su.unit.strPackName.empty() ? su.face : su.unit.strPackName);
            auto last = m_last.find(stem);
            if (last != m_last.end() && last->second == now.at(stem)) continue;
            const _tagTtfUnit& u = su.unit;
            render(su.text.c_str(), su.face.c_str(), u.nHeight, u.bItalic, u.nWeight, u.strPackName.c_str(), -1);
            ++rendered;
        }
    return rendered > 0 ? 1 : 0;
}

void CTtfFontData::removeNoNeedTtf(const std::u16string& outDir) {
    if (m_dir != outDir) m_last = ReadState(outDir, kTtfState);
    const std::map<std::u16string, std::u16string> now = Current();
    const std::string dir = NativePath(outDir);
    for (const auto& kv : m_last) {
        if (now.count(kv.first)) continue;
        for (const char* ext : {".ttf", ".ttc"}) winfiles::RemoveFromFolder(dir, NativePath(kv.first) + ext);
    }
    winfiles::RemoveStaleTemporaries(dir);
    // The groups cut in this build are recorded once the host confirms that
    // their files were written (endBuild); until then the record keeps what
    // the last confirmed build cut, so a failed cut is made again next time.
    m_pending.clear();
    std::map<std::u16string, std::u16string> confirmed;
    for (const auto& kv : now) {
        auto last = m_last.find(kv.first);
        if (last != m_last.end() && last->second == kv.second) {
            confirmed.insert(kv);
            continue;
        }
        m_pending.insert(kv);
        if (last != m_last.end()) confirmed.insert(*last);
    }
    WriteState(outDir, kTtfState, confirmed);
    m_dir = outDir;
    m_last = std::move(confirmed);
    m_failureMark = winfiles::FailureMark();
}

void CTtfFontData::endBuild() {
    if (m_dir.empty() || m_pending.empty()) return;
    const std::set<std::string> failed = FailedSince(m_failureMark);
    const std::string dir = NativePath(m_dir);
    for (const auto& kv : m_pending) {
        const std::string stem = dir + "/" + NativePath(kv.first);
        if (failed.count(stem + ".ttf") || failed.count(stem + ".ttc")) continue;
        m_last[kv.first] = kv.second;
    }
    m_pending.clear();
    WriteState(m_dir, kTtfState, m_last);
}

void CTtfFontData::getTtfMapTable(TtfMapFn fill, TTFMapTable& table) {
    if (fill) fill(&table);
    m_table = table;
}

std::vector<std::tuple<std::u16string, std::u16string, _tagTtfUnit>> CTtfFontData::screenTexts(int screen) const {
    std::vector<std::tuple<std::u16string, std::u16string, _tagTtfUnit>> out;
    auto it = m_screens.find(screen);
    if (it != m_screens.end())
        for (const ScreenUnit& su : it->second) out.emplace_back(su.text, su.face, su.unit);
    return out;
}

void CTtfFontData::reset() {
    m_pending.clear();
    m_screens.clear();
    m_added.clear();
    m_table.clear();
    m_dir.clear();
    m_last.clear();
}
