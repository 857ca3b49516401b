// The compile library's font unit collectors.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Forgeline.h"
#include "HeardTexts.h"
#include "win/filesafety.h"
#include "win/files.h"
#include "win/profile.h"
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

// One record per line: name, tab, value; \\, \t, \n and \r escaped, and a
// lone surrogate (which UTF-8 cannot carry) written \uXXXX.
std::string Escape(const std::u16string& s) {
    std::string out;
    size_t run = 0;  // start of the units not yet written
    auto flush = [&](size_t end) {
        for (char c : Utf16ToUtf8(s.substr(run, end - run))) {
            switch (c) {
                case '\\': out += "\\\\"; break;
                case '\t': out += "\\t"; break;
                case '\n': out += "\\n"; break;
                case '\r': out += "\\r"; break;
                default: out += c;
            }
        }
    };
    for (size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            ++i;
            continue;
        }
        if (c < 0xD800 || c >= 0xE000) continue;
        flush(i);
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\u%04X", static_cast<unsigned>(c));
        out += hex;
        run = i + 1;
    }
    flush(s.size());
    return out;
}

std::u16string Unescape(const std::string& s) {
    std::u16string out;
    std::string run;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            run += s[i];
            continue;
        }
        const char n = s[++i];
        if (n == 'u' && i + 4 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(s[i + 2])) && std::isxdigit(static_cast<unsigned char>(s[i + 3])) &&
            std::isxdigit(static_cast<unsigned char>(s[i + 4]))) {
            out += Utf8ToUtf16(run);
            run.clear();
            out += static_cast<char16_t>(std::stoul(s.substr(i + 1, 4), nullptr, 16));
            i += 4;
            continue;
        }
        run += n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n;
    }
    return out + Utf8ToUtf16(run);
}

std::string StatePath(const std::u16string& dir, const char* name) { return NativePath(dir) + "/" + name; }

// One record per line: key, value, the file written and its stamp, each
// tab-separated (the last two empty for a group that left no file). Keys
// name files of the folder: a key that is not a plain file name (a
// hand-edited "../x", say) would reach outside it and is ignored, and so is
// a file that is not the key's own. A line of key and value alone (the
// record of an older build, which kept no stamps) still names what that
// build made, so its files are removed when no unit needs them, but it is
// not believed: its unit is rendered again.
std::map<std::u16string, forgeline::Recorded> ReadState(const std::u16string& dir, const char* name,
                                                        bool fileIsKey) {
    std::map<std::u16string, forgeline::Recorded> state;
    std::string bytes;
    if (!winfiles::ReadRegularFile(StatePath(dir, name), &bytes)) return state;
    std::istringstream in(bytes);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        for (size_t at = 0;;) {
            const size_t tab = line.find('\t', at);
            f.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
            if (tab == std::string::npos) break;
            at = tab + 1;
        }
        if (f.size() != 4 && f.size() != 2) continue;
        std::u16string key = Unescape(f[0]);
        if (!winfiles::IsSafeFileName(key)) continue;
        forgeline::Recorded r;
        r.value = Unescape(f[1]);
        if (f.size() == 2) {
            r.believed = false;
            state[std::move(key)] = std::move(r);
            continue;
        }
        r.file = Unescape(f[2]);
        if (r.file.empty() != f[3].empty()) continue;
        if (!r.file.empty()) {
            const bool own = fileIsKey ? r.file == key : r.file == key + u".ttf" || r.file == key + u".ttc";
            if (!own || !winfiles::ParseStamp(f[3], &r.stamp)) continue;
        }
        state[std::move(key)] = std::move(r);
    }
    return state;
}

// The native paths of the files whose writing failed since `mark`.
std::set<std::string> FailedSince(uint64_t mark) {
    std::set<std::string> failed;
    for (const winfiles::Failure& f : winfiles::FailuresSince(mark)) failed.insert(f.path);
    return failed;
}

void WriteState(const std::u16string& dir, const char* name,
                const std::map<std::u16string, forgeline::Recorded>& state) {
    // A build that produced nothing into a folder that is not there has
    // nothing to remember; otherwise the folder is the build's own.
    if (GetFileAttributesW(dir.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (state.empty()) return;
        std::error_code ec;
        std::filesystem::create_directories(NativePath(dir), ec);
    }
    std::ostringstream text;
    for (const auto& kv : state)
        text << Escape(kv.first) << '\t' << Escape(kv.second.value) << '\t' << Escape(kv.second.file) << '\t'
             << (kv.second.file.empty() ? std::string() : winfiles::FormatStamp(kv.second.stamp)) << '\n';
    const std::string bytes = text.str();
    const std::u16string path = Utf8ToUtf16(StatePath(dir, name));
    ReplaceFileContents(path.c_str(), bytes.data(), bytes.size(), nullptr);
}

// Whether the recorded file still holds what was written (the record's stamp
// takes a new stat when only that moved); a file that does not is named in
// *changed.
bool StillWritten(const std::u16string& dir, forgeline::Recorded& r, bool verify,
                  std::vector<std::u16string>* changed) {
    if (r.file.empty()) return true;
    const std::string path = NativePath(dir) + "/" + NativePath(r.file);
    if (winfiles::CheckStamp(path, &r.stamp, verify) == winfiles::StampCheck::Same) return true;
    changed->push_back(r.file);
    return false;
}

}  // namespace

namespace forgeline {
// A unit without its text.
struct QpfStyle {
    _tagQpfUnit unit;  // strText empty
};
struct TtfStyle {
    std::u16string face;
    _tagTtfUnit unit;  // strText empty
};
}  // namespace forgeline

using forgeline::FirstUse;

namespace {
// The QPF2 file of every style, asking the font tools once per distinct
// face, pack name, height, weight and slant ("" when it cannot be rendered).
template <class Style, class Fields>
std::vector<std::u16string> FilesOfStyles(const std::vector<Style>& styles, Fields fields) {
    std::map<std::tuple<std::u16string, std::u16string, int, int, bool>, std::u16string> known;
    std::vector<std::u16string> files;
    files.reserve(styles.size());
    for (const Style& s : styles) {
        const auto key = fields(s);
        auto it = known.find(key);
        if (it == known.end())
            it = known.emplace(key, qpf2UnitFileName(std::get<0>(key).c_str(), std::get<2>(key), std::get<4>(key),
                                                     std::get<3>(key), std::get<1>(key).c_str()))
                     .first;
        files.push_back(it->second);
    }
    return files;
}

// Texts grouped by a number per style (-1: left out), each group in the
// order of the screens and their texts; groups in order of first use.
template <class Heard>
std::vector<std::vector<const typename Heard::Text*>> GroupTexts(const Heard& heard, const std::vector<int>& groupOf,
                                                                 std::vector<int>* order) {
    std::vector<std::vector<const typename Heard::Text*>> groups;
    std::vector<int> slot(groupOf.empty() ? 0 : *std::max_element(groupOf.begin(), groupOf.end()) + 1, -1);
    for (const auto& screen : heard.Screens())
        for (const auto& t : screen.second) {
            const int g = groupOf[t.style];
            if (g < 0) continue;
            if (slot[static_cast<size_t>(g)] < 0) {
                slot[static_cast<size_t>(g)] = static_cast<int>(groups.size());
                groups.emplace_back();
                order->push_back(g);
            }
            groups[static_cast<size_t>(slot[static_cast<size_t>(g)])].push_back(&t);
        }
    return groups;
}

// Numbers the distinct names; "" gets -1.
std::vector<int> Number(const std::vector<std::u16string>& names, std::vector<std::u16string>* distinct) {
    std::map<std::u16string, int> ids;
    std::vector<int> out;
    for (const std::u16string& n : names) {
        if (n.empty()) {
            out.push_back(-1);
            continue;
        }
        auto it = ids.emplace(n, static_cast<int>(distinct->size())).first;
        if (static_cast<size_t>(it->second) == distinct->size()) distinct->push_back(n);
        out.push_back(it->second);
    }
    return out;
}
}  // namespace

// ---- QPF2 units ----

struct CQpfFontData::Plan {
    struct File {
        std::u16string name;
        const _tagQpfUnit* unit;  // of its first text
        FirstUse chars;
    };
    std::vector<File> files;                           // in order of first use
    std::map<std::u16string, std::u16string> current;  // file -> signature
};

CQpfFontData::CQpfFontData() : m_heard(new forgeline::HeardTexts<forgeline::QpfStyle>) {}
CQpfFontData::~CQpfFontData() = default;

void CQpfFontData::beginBuild(const std::u16string& outDir, bool verify) {
    m_dir = outDir;
    m_verify = verify;
    m_last = ReadState(outDir, kQpfState, true);
}

void CQpfFontData::setScreenText(int screen, const std::u16string& text, _tagQpfUnit& unit) {
    forgeline::StyleKey key;
    key.face = m_heard->Name(unit.strFaceName);
    key.pack = m_heard->Name(unit.strPackName);
    key.height = unit.nHeight;
    key.weight = unit.nWeight;
    key.index = unit.nIndex;
    key.flags = (unit.bItalic ? 1u : 0u) | (unit.bLeading ? 2u : 0u);
    m_heard->Add(screen, text, key,
                 [&] {
                     forgeline::QpfStyle style{unit};
                     style.unit.strText.clear();
                     return style;
                 },
                 unit.strText);
    m_plan.reset();
}

void CQpfFontData::add(_tagQpfUnit unit) { m_added.push_back(std::move(unit)); }

const CQpfFontData::Plan& CQpfFontData::PlanBuild() {
    if (m_plan) return *m_plan;
    // The font tools realise a font once per style, not once per text.
    const std::vector<std::u16string> fileOfStyle =
        FilesOfStyles(m_heard->Styles(), [](const forgeline::QpfStyle& s) {
            const _tagQpfUnit& u = s.unit;
            return std::make_tuple(u.strFaceName, u.strPackName, u.nHeight, u.nWeight, u.bItalic);
        });
    std::vector<std::u16string> names;
    const std::vector<int> groupOf = Number(fileOfStyle, &names);
    std::vector<int> order;
    const auto groups = GroupTexts(*m_heard, groupOf, &order);
    auto plan = std::make_unique<Plan>();
    plan->files.resize(groups.size());
    for (size_t g = 0; g < groups.size(); ++g) {
        Plan::File& f = plan->files[g];
        f.name = names[static_cast<size_t>(order[g])];
        f.unit = &m_heard->StyleOf(*groups[g].front()).unit;
        for (const auto* t : groups[g]) f.chars.Add(m_heard->View(*t));
        plan->current.emplace(f.name, f.chars.SortedCharacters());
    }
    m_plan = std::move(plan);
    return *m_plan;
}

int CQpfFontData::executeBuild(QpfRenderFn render) {
    m_failureMark = winfiles::FailureMark();
    m_writtenMark = winfiles::WrittenMark();
    m_changed.clear();
    if (!render) return 0;
    int rendered = 0;
    for (const Plan::File& f : PlanBuild().files) {
        auto last = m_last.find(f.name);
        const bool same = last != m_last.end() && last->second.value == m_plan->current.at(f.name) &&
                          !m_dir.empty() && !last->second.file.empty() &&
                          StillWritten(m_dir, last->second, m_verify, &m_changed);
        if (same) continue;
        const _tagQpfUnit& u = *f.unit;
        for (const std::u16string& part : f.chars.Parts())
            render(part.c_str(), u.strFaceName.c_str(), u.nHeight, u.bItalic, u.nWeight, u.strPackName.c_str(), -1);
        ++rendered;
    }
    return rendered > 0 ? 1 : 0;
}

void CQpfFontData::removeNoNeedQpf(const std::u16string& outDir) {
    PlanBuild();
    const std::map<std::u16string, std::u16string> now = std::move(m_plan->current);
    m_plan.reset();
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
    // A file whose writing failed is not built, even where an older one is
    // left. A file not rendered again keeps what the record said of it.
    const std::set<std::string> failed = FailedSince(m_failureMark);
    std::map<std::u16string, forgeline::Recorded> built;
    for (const auto& kv : now) {
        const std::string path = NativePath(outDir) + "/" + NativePath(kv.first);
        if (failed.count(path)) continue;
        forgeline::Recorded r{kv.second, kv.first, {}};
        if (!winfiles::WrittenSince(m_writtenMark, path, &r.stamp)) {
            // Not written by this build: only a file that is still what the
            // record said of this very unit stays recorded. One rendered
            // but not written (a face that cannot be realised) is left for
            // the next build.
            auto last = m_last.find(kv.first);
            if (m_dir != outDir || last == m_last.end() || last->second.value != kv.second ||
                last->second.file.empty() ||
                winfiles::CheckStamp(path, &last->second.stamp, false) != winfiles::StampCheck::Same)
                continue;
            r.stamp = last->second.stamp;
        }
        built.emplace(kv.first, std::move(r));
    }
    WriteState(outDir, kQpfState, built);
    m_dir = outDir;
    m_last = std::move(built);
}

std::vector<std::pair<std::u16string, _tagQpfUnit>> CQpfFontData::screenTexts(int screen) const {
    std::vector<std::pair<std::u16string, _tagQpfUnit>> out;
    auto it = m_heard->Screens().find(screen);
    if (it == m_heard->Screens().end()) return out;
    for (const auto& t : it->second) {
        _tagQpfUnit unit = m_heard->StyleOf(t).unit;
        unit.strText = m_heard->UnitText(t);
        out.emplace_back(std::u16string(m_heard->View(t)), std::move(unit));
    }
    return out;
}

void CQpfFontData::reset() {
    m_heard->Clear();
    m_plan.reset();
    m_added.clear();
    m_dir.clear();
    m_last.clear();
    m_changed.clear();
    m_verify = false;
}

// ---- TrueType units ----

CTtfFontData::CTtfFontData() : m_heard(new forgeline::HeardTexts<forgeline::TtfStyle>) {}
CTtfFontData::~CTtfFontData() = default;

void CTtfFontData::beginBuild(const std::u16string& outDir, bool verify) {
    m_dir = outDir;
    m_verify = verify;
    m_last = ReadState(outDir, kTtfState, false);
}

void CTtfFontData::setScreenText(int screen, const std::u16string& text, const std::u16string& face,
                                 _tagTtfUnit& unit) {
    forgeline::StyleKey key;
    key.face = m_heard->Name(face);
    key.pack = m_heard->Name(unit.strPackName);
    key.height = unit.nHeight;
    key.weight = unit.nWeight;
    key.flags = (unit.bItalic ? 1u : 0u) | (unit.bLeading ? 2u : 0u);
    m_heard->Add(screen, text, key,
                 [&] {
                     forgeline::TtfStyle style{face, unit};
                     style.unit.strText.clear();
                     return style;
                 },
                 unit.strText);
    m_current.reset();
}

void CTtfFontData::add(const std::u16string& face, _tagTtfUnit unit) { m_added.emplace_back(face, std::move(unit)); }

void CTtfFontData::setTtfMapTable(const TTFMapTable& table) { m_table = table; }

std::u16string CTtfFontData::Stem(const std::u16string& face, const std::u16string& pack) const {
    // The subset is named after the font tool library's row key, which for a
    // face without a pack name takes a realisation to find.
    if (m_stemsGeneration != winprofile::Generation()) {
        m_stems.clear();
        m_stemsGeneration = winprofile::Generation();
    }
    const std::u16string id = face + u'\x1f' + pack;
    auto it = m_stems.find(id);
    if (it == m_stems.end())
        it = m_stems.emplace(id, winfiles::SafeFileName(ttfMapKey(face.c_str(), pack.c_str()))).first;
    return it->second;
}

std::vector<std::u16string> CTtfFontData::Stems() const {
    std::vector<std::u16string> stems;
    for (const forgeline::TtfStyle& s : m_heard->Styles()) stems.push_back(Stem(s.face, s.unit.strPackName));
    return stems;
}

std::map<std::u16string, std::u16string> CTtfFontData::Current() const {
    std::vector<std::u16string> stems;
    const std::vector<int> groupOf = Number(Stems(), &stems);
    std::vector<int> order;
    const auto groups = GroupTexts(*m_heard, groupOf, &order);
    std::map<std::u16string, std::u16string> chars;
    for (size_t g = 0; g < groups.size(); ++g) {
        FirstUse seen;
        for (const auto* t : groups[g]) seen.Add(m_heard->View(*t));
        chars.emplace(stems[static_cast<size_t>(order[g])], seen.SortedCharacters());
    }
    return chars;
}

int CTtfFontData::executeBuild(QpfRenderFn render) {
    m_changed.clear();
    m_recut.clear();
    if (!render) return 0;
    m_current.reset(new std::map<std::u16string, std::u16string>(Current()));
    const std::vector<std::u16string> stems = Stems();
    // The groups whose characters are those recorded, but whose subset is
    // no longer what was written, are cut again.
    for (auto& kv : m_last) {
        auto now = m_current->find(kv.first);
        if (now != m_current->end() && now->second == kv.second.value && !m_dir.empty() &&
            (!kv.second.believed || !StillWritten(m_dir, kv.second, m_verify, &m_changed)))
            m_recut.insert(kv.first);
    }
    // The texts of the groups whose characters changed, by the file the font
    // tools keep them in: one render per file, as rendering each text in
    // turn would leave it.
    std::vector<std::u16string> files = FilesOfStyles(m_heard->Styles(), [](const forgeline::TtfStyle& s) {
        return std::make_tuple(s.face, s.unit.strPackName, s.unit.nHeight, s.unit.nWeight, s.unit.bItalic);
    });
    for (size_t i = 0; i < files.size(); ++i) {
        auto last = m_last.find(stems[i]);
        if (last != m_last.end() && last->second.value == m_current->at(stems[i]) && !m_recut.count(stems[i]))
            files[i].clear();
        else if (files[i].empty())  // the font tools keep nothing for it; it is offered all the same
            files[i] = u'\0' + Utf8ToUtf16(std::to_string(i));
    }
    std::vector<std::u16string> names;
    const std::vector<int> groupOf = Number(files, &names);
    std::vector<int> order;
    const auto groups = GroupTexts(*m_heard, groupOf, &order);
    for (const auto& group : groups) {
        FirstUse chars;
        for (const auto* t : group) chars.Add(m_heard->View(*t));
        const forgeline::TtfStyle& first = m_heard->StyleOf(*group.front());
        const _tagTtfUnit& u = first.unit;
        for (const std::u16string& part : chars.Parts())
            render(part.c_str(), first.face.c_str(), u.nHeight, u.bItalic, u.nWeight, u.strPackName.c_str(), -1);
    }
    return groups.empty() ? 0 : 1;
}

void CTtfFontData::removeNoNeedTtf(const std::u16string& outDir) {
    if (m_dir != outDir) {
        m_last = ReadState(outDir, kTtfState, false);
        m_recut.clear();
    }
    const std::map<std::u16string, std::u16string> now = m_current ? std::move(*m_current) : Current();
    m_current.reset();
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
    std::map<std::u16string, forgeline::Recorded> confirmed;
    for (const auto& kv : now) {
        auto last = m_last.find(kv.first);
        if (last != m_last.end() && last->second.value == kv.second && !m_recut.count(kv.first)) {
            confirmed.insert(*last);
            continue;
        }
        m_pending.insert(kv);
        if (last != m_last.end()) confirmed.insert(*last);
    }
    WriteState(outDir, kTtfState, confirmed);
    m_dir = outDir;
    m_last = std::move(confirmed);
    m_recut.clear();
    m_failureMark = winfiles::FailureMark();
    m_writtenMark = winfiles::WrittenMark();
}

void CTtfFontData::endBuild() {
    if (m_dir.empty() || m_pending.empty()) return;
    const std::set<std::string> failed = FailedSince(m_failureMark);
    const std::string dir = NativePath(m_dir);
    for (const auto& kv : m_pending) {
        const std::string stem = dir + "/" + NativePath(kv.first);
        if (failed.count(stem + ".ttf") || failed.count(stem + ".ttc")) continue;
        // The subset this build wrote for the group; none for a group whose
        // cut leaves no file.
        forgeline::Recorded r{kv.second, {}, {}};
        for (const char16_t* ext : {u".ttf", u".ttc"})
            if (r.file.empty() && winfiles::WrittenSince(m_writtenMark, stem + NativePath(ext), &r.stamp))
                r.file = kv.first + ext;
        m_last[kv.first] = std::move(r);
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
    auto it = m_heard->Screens().find(screen);
    if (it == m_heard->Screens().end()) return out;
    for (const auto& t : it->second) {
        const forgeline::TtfStyle& style = m_heard->StyleOf(t);
        _tagTtfUnit unit = style.unit;
        unit.strText = m_heard->UnitText(t);
        out.emplace_back(std::u16string(m_heard->View(t)), style.face, std::move(unit));
    }
    return out;
}

std::u16string CTtfFontData::faceCharacters(const std::u16string& face) const {
    std::vector<bool> inFace;
    for (const forgeline::TtfStyle& s : m_heard->Styles()) inFace.push_back(s.face == face);
    FirstUse chars;
    for (const auto& screen : m_heard->Screens())
        for (const auto& t : screen.second)
            if (inFace[t.style]) chars.Add(m_heard->View(t));
    std::u16string out;
    for (const std::u16string& part : chars.Parts()) out += part;
    return out;
}

void CTtfFontData::reset() {
    m_pending.clear();
    m_recut.clear();
    m_changed.clear();
    m_verify = false;
    m_heard->Clear();
    m_current.reset();
    m_stems.clear();
    m_added.clear();
    m_table.clear();
    m_dir.clear();
    m_last.clear();
}
