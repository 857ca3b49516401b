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
#include "win/fontdb.h"
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

// One record per line: key, value, the file written and its stamp, the
// faces it was made from, then each font file of those faces and its stamp,
// all tab-separated (file and stamp empty for a group that left no file).
// Keys name files of the folder: a key that is not a plain file name (a
// hand-edited "../x", say) would reach outside it and is ignored, and so is
// a file that is not the key's own. Font file names are only looked up
// among the profile's fonts, never made paths. A line of key and value
// alone, or without the faces (the records of older builds, which kept no
// stamps or faces), still names what that build made, so its files are
// removed when no unit needs them, but it is not believed: its unit is
// rendered again.
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
        if (f.size() != 2 && f.size() < 4) continue;
        if (f.size() > 4 && (f.size() - 5) % 2 != 0) continue;
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
        r.believed = f.size() > 4;
        if (r.believed) {
            r.source = Unescape(f[4]);
            bool whole = true;
            for (size_t i = 5; i + 1 < f.size(); i += 2) {
                std::pair<std::u16string, winfiles::FileStamp> font{Unescape(f[i]), {}};
                whole = whole && winfiles::ParseStamp(f[i + 1], &font.second);
                r.fontFiles.push_back(std::move(font));
            }
            if (!whole) continue;
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
    // The folder is the build's own, made as a full build makes it, even by
    // a build that produced nothing.
    if (GetFileAttributesW(dir.c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::error_code ec;
        std::filesystem::create_directories(NativePath(dir), ec);
    }
    std::ostringstream text;
    for (const auto& kv : state) {
        const forgeline::Recorded& r = kv.second;
        text << Escape(kv.first) << '\t' << Escape(r.value) << '\t' << Escape(r.file) << '\t'
             << (r.file.empty() ? std::string() : winfiles::FormatStamp(r.stamp)) << '\t' << Escape(r.source);
        for (const auto& font : r.fontFiles)
            text << '\t' << Escape(font.first) << '\t' << winfiles::FormatStamp(font.second);
        text << '\n';
    }
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

// The font files units are made from, as this process finds them: the stat
// the profile took of each when it read the fonts folder, and the content's
// hash, read only when a record's stat is not that one, or when a build is
// asked to verify (and then once).
class FontFiles {
public:
    // Whether the font file is still what `recorded` says; one whose stat
    // moved but whose bytes are the same is, and `recorded` takes its stat.
    bool Same(const std::u16string& name, winfiles::FileStamp* recorded, bool verify) {
        Known& k = Find(name);
        if (!k.exists) return false;
        if (!verify && SameStat(k.stamp, *recorded)) {
            if (!k.hashed) {
                k.stamp.hash = recorded->hash;
                k.hashed = true;
            }
            return k.stamp.hash == recorded->hash;
        }
        if (!Read(k) || k.stamp.hash != recorded->hash) return false;
        *recorded = k.stamp;
        return true;
    }
    // Whether every font file of `r` is still what it says, those of
    // `names` in that order.
    bool AllSame(forgeline::Recorded& r, const std::vector<std::u16string>& names, bool verify) {
        if (r.fontFiles.size() != names.size()) return false;
        for (size_t i = 0; i < names.size(); ++i)
            if (r.fontFiles[i].first != names[i] || !Same(names[i], &r.fontFiles[i].second, verify)) return false;
        return true;
    }
    // The stamps to record for `names`; false when one of them is gone.
    bool Stamps(const std::vector<std::u16string>& names,
                std::vector<std::pair<std::u16string, winfiles::FileStamp>>* out) {
        out->clear();
        for (const std::u16string& name : names) {
            Known& k = Find(name);
            if (!k.exists || (!k.hashed && !Read(k))) return false;
            out->emplace_back(name, k.stamp);
        }
        return true;
    }

private:
    struct Known {
        bool exists = false;
        bool hashed = false;  // the hash is known: read, or the one of a record whose stat is the file's
        bool read = false;    // and read from the content
        winfiles::FileStamp stamp;
        std::string path;
    };
    static bool SameStat(const winfiles::FileStamp& a, const winfiles::FileStamp& b) {
        return a.size == b.size && a.mtimeNs == b.mtimeNs && a.ctimeNs == b.ctimeNs && a.inode == b.inode;
    }
    Known& Find(const std::u16string& name) {
        if (m_generation != winprofile::Generation()) {
            m_known.clear();
            m_generation = winprofile::Generation();
        }
        auto it = m_known.find(name);
        if (it != m_known.end()) return it->second;
        Known& k = m_known[name];
        const auto& faces = fontdb::FacesInFile(Utf16ToUtf8(name));
        if (!faces.empty()) {
            const fontdb::FileStamp& st = faces.front()->stamp;
            k.exists = true;
            k.path = faces.front()->path;
            k.stamp = winfiles::FileStamp{st.size, st.mtime, st.ctime, st.ino, 0};
        }
        return k;
    }
    static bool Read(Known& k) {
        if (!k.read) k.hashed = k.read = winfiles::HashFile(k.path, &k.stamp.hash);
        return k.read;
    }
    std::map<std::u16string, Known> m_known;
    uint64_t m_generation = ~uint64_t{0};
};

FontFiles& Fonts() {
    static FontFiles files;
    return files;
}

// The files a record names as written.
std::vector<std::u16string> FilesOf(const std::map<std::u16string, forgeline::Recorded>& records) {
    std::vector<std::u16string> files;
    for (const auto& kv : records)
        if (!kv.second.file.empty()) files.push_back(kv.second.file);
    return files;
}

// The unit that wrote `file` is rendered again, as one of an older build's records.
void Distrust(std::map<std::u16string, forgeline::Recorded>& records, const std::u16string& file) {
    for (auto& kv : records)
        if (kv.second.file == file) kv.second.believed = false;
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
// order heard; groups in order of first use.
template <class Heard>
std::vector<std::vector<const typename Heard::Text*>> GroupTexts(const Heard& heard, const std::vector<int>& groupOf,
                                                                 std::vector<int>* order) {
    std::vector<std::vector<const typename Heard::Text*>> groups;
    std::vector<int> slot(groupOf.empty() ? 0 : *std::max_element(groupOf.begin(), groupOf.end()) + 1, -1);
    heard.ForEachHeard([&](const typename Heard::Text& t) {
        const int g = groupOf[t.style];
        if (g < 0) return;
        if (slot[static_cast<size_t>(g)] < 0) {
            slot[static_cast<size_t>(g)] = static_cast<int>(groups.size());
            groups.emplace_back();
            order->push_back(g);
        }
        groups[static_cast<size_t>(slot[static_cast<size_t>(g)])].push_back(&t);
    });
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
    // One render of a file: a unit and the characters it adds.
    struct Call {
        const _tagQpfUnit* unit;
        std::vector<std::u16string> parts;
    };
    struct File {
        std::u16string name;  // "" for the units no face can be realised for
        std::vector<Call> calls;
        std::u16string signature;  // the calls, as the record keeps them
        UnitSource source;
    };
    std::vector<File> files;                     // in order of first use
    std::map<std::u16string, const File*> byName;  // the files that have a name
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

namespace {
void AppendCall(std::u16string& signature, const _tagQpfUnit& u, const std::vector<std::u16string>& parts) {
    signature += u.strFaceName + u'\x1f' + u.strPackName + u'\x1f' +
                 Utf8ToUtf16(std::to_string(u.nHeight) + '\x1f' + std::to_string(u.nWeight) + (u.bItalic ? "i" : "")) +
                 u'\x1f';
    for (const std::u16string& part : parts) signature += part + u'\x1d';
    signature += u'\x1e';
}
}  // namespace

const CQpfFontData::Plan& CQpfFontData::PlanBuild() {
    if (m_plan) return *m_plan;
    const std::vector<forgeline::QpfStyle>& styles = m_heard->Styles();
    // The font tools realise a font once per style, not once per text.
    std::map<std::tuple<std::u16string, std::u16string, int, int, bool>, UnitSource> realised;
    std::vector<const UnitSource*> sourceOf;
    sourceOf.reserve(styles.size());
    for (const forgeline::QpfStyle& s : styles) {
        const _tagQpfUnit& u = s.unit;
        const auto key = std::make_tuple(u.strFaceName, u.strPackName, u.nHeight, u.nWeight, u.bItalic);
        auto it = realised.find(key);
        if (it == realised.end())
            it = realised.emplace(key, qpf2UnitSource(u.strFaceName.c_str(), u.nHeight, u.bItalic, u.nWeight,
                                                      u.strPackName.c_str()))
                     .first;
        sourceOf.push_back(&it->second);
    }
    // The texts of each style in the order heard, the styles in order of first use.
    std::vector<std::vector<const forgeline::HeardTexts<forgeline::QpfStyle>::Text*>> textsOf(styles.size());
    std::vector<uint32_t> styleOrder;
    m_heard->ForEachHeard([&](const auto& t) {
        if (textsOf[t.style].empty()) styleOrder.push_back(t.style);
        textsOf[t.style].push_back(&t);
    });
    // The styles of each file; those no face is realised for go together.
    auto plan = std::make_unique<Plan>();
    std::map<std::u16string, size_t> fileAt;
    std::vector<std::vector<uint32_t>> stylesOf;
    for (uint32_t style : styleOrder) {
        const UnitSource& source = *sourceOf[style];
        const std::u16string name = source.realised ? source.file : std::u16string();
        auto at = fileAt.emplace(name, plan->files.size());
        if (at.second) {
            plan->files.emplace_back();
            plan->files.back().name = name;
            plan->files.back().source = source;
            stylesOf.emplace_back();
        }
        stylesOf[at.first->second].push_back(style);
    }
    for (size_t i = 0; i < plan->files.size(); ++i) {
        Plan::File& f = plan->files[i];
        std::vector<uint32_t>& order = stylesOf[i];
        // A full build renders a file's units in the order of their index.
        std::stable_sort(order.begin(), order.end(),
                         [&](uint32_t a, uint32_t b) { return styles[a].unit.nIndex < styles[b].unit.nIndex; });
        FirstUse chars;
        for (uint32_t style : order) {
            // Units that cannot be realised tell what they lose each on its own.
            if (f.name.empty()) chars = FirstUse();
            for (const auto* t : textsOf[style]) chars.Add(m_heard->View(*t));
            f.calls.push_back(Plan::Call{&styles[style].unit, chars.TakeNew()});
            AppendCall(f.signature, *f.calls.back().unit, f.calls.back().parts);
        }
        if (!f.name.empty()) plan->byName.emplace(f.name, &f);
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
        const bool same = !f.name.empty() && last != m_last.end() && last->second.believed &&
                          last->second.value == f.signature && last->second.source == f.source.faces &&
                          Fonts().AllSame(last->second, f.source.fontFiles, m_verify) && !m_dir.empty() &&
                          !last->second.file.empty() && StillWritten(m_dir, last->second, m_verify, &m_changed);
        if (same) continue;
        for (const Plan::Call& call : f.calls) {
            const _tagQpfUnit& u = *call.unit;
            for (const std::u16string& part : call.parts)
                render(part.c_str(), u.strFaceName.c_str(), u.nHeight, u.bItalic, u.nWeight, u.strPackName.c_str(),
                       -1);
        }
        ++rendered;
    }
    return rendered > 0 ? 1 : 0;
}

void CQpfFontData::removeNoNeedQpf(const std::u16string& outDir) {
    const Plan& plan = PlanBuild();
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((outDir + u"\\*.qpf2").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        std::vector<std::u16string> doomed;
        do {
            const std::u16string name = fd.cFileName;
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !plan.byName.count(name)) doomed.push_back(name);
        } while (FindNextFileW(find, &fd));
        FindClose(find);
        for (const std::u16string& name : doomed) winfiles::RemoveFromFolder(NativePath(outDir), NativePath(name));
    }
    winfiles::RemoveStaleTemporaries(NativePath(outDir));
    // A file whose writing failed is not built, even where an older one is
    // left. A file not rendered again keeps what the record said of it.
    const std::set<std::string> failed = FailedSince(m_failureMark);
    std::map<std::u16string, forgeline::Recorded> built;
    for (const auto& kv : plan.byName) {
        const Plan::File& f = *kv.second;
        const std::string path = NativePath(outDir) + "/" + NativePath(kv.first);
        if (failed.count(path)) continue;
        forgeline::Recorded r{f.signature, kv.first, {}, true, f.source.faces, {}};
        if (winfiles::WrittenSince(m_writtenMark, path, &r.stamp)) {
            // A font file gone since it was rendered leaves the file for the next build.
            if (!Fonts().Stamps(f.source.fontFiles, &r.fontFiles)) continue;
        } else {
            // Not written by this build: only a file that is still what the
            // record said of this very unit stays recorded. One rendered
            // but not written (a face that cannot be realised) is left for
            // the next build.
            auto last = m_last.find(kv.first);
            if (m_dir != outDir || last == m_last.end() || !last->second.believed || last->second.value != f.signature ||
                last->second.source != f.source.faces || last->second.file.empty() ||
                !Fonts().AllSame(last->second, f.source.fontFiles, false) ||
                winfiles::CheckStamp(path, &last->second.stamp, false) != winfiles::StampCheck::Same)
                continue;
            r = last->second;
        }
        built.emplace(kv.first, std::move(r));
    }
    m_plan.reset();
    WriteState(outDir, kQpfState, built);
    m_dir = outDir;
    m_last = std::move(built);
}

std::vector<std::u16string> CQpfFontData::recordedFiles() const { return FilesOf(m_last); }

void CQpfFontData::renderAgain(const std::u16string& file) { Distrust(m_last, file); }

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

std::map<std::u16string, forgeline::Wanted> CTtfFontData::Current() const {
    std::vector<std::u16string> stems;
    const std::vector<int> groupOf = Number(Stems(), &stems);
    std::vector<int> order;
    const auto groups = GroupTexts(*m_heard, groupOf, &order);
    std::map<std::u16string, forgeline::Wanted> wanted;
    for (size_t g = 0; g < groups.size(); ++g) {
        // The faces of the group, in order of first use, then its characters.
        std::vector<std::u16string> faces;
        FirstUse seen;
        for (const auto* t : groups[g]) {
            const std::u16string& face = m_heard->StyleOf(*t).face;
            if (std::find(faces.begin(), faces.end(), face) == faces.end()) faces.push_back(face);
            seen.Add(m_heard->View(*t));
        }
        forgeline::Wanted w;
        for (const std::u16string& face : faces) w.value += face + u'\x1f';
        w.value += u'\x1e' + seen.SortedCharacters();
        // The subset is cut from the face of its first text.
        const forgeline::TtfStyle& first = m_heard->StyleOf(*groups[g].front());
        w.source = ttfUnitSource(first.face.c_str(), first.unit.strPackName.c_str());
        wanted.emplace(stems[static_cast<size_t>(order[g])], std::move(w));
    }
    return wanted;
}

int CTtfFontData::executeBuild(QpfRenderFn render) {
    m_changed.clear();
    m_recut.clear();
    if (!render) return 0;
    m_current.reset(new std::map<std::u16string, forgeline::Wanted>(Current()));
    const std::vector<std::u16string> stems = Stems();
    // The groups whose faces and characters are those recorded, but whose
    // subset or source is no longer what was written, are cut again; so are
    // the groups no face can be realised for, which tell what they lose.
    for (auto& kv : m_last) {
        auto now = m_current->find(kv.first);
        if (now == m_current->end() || now->second.value != kv.second.value || m_dir.empty()) continue;
        const UnitSource& source = now->second.source;
        if (!kv.second.believed || !source.realised || kv.second.source != source.faces ||
            !Fonts().AllSame(kv.second, source.fontFiles, m_verify) ||
            !StillWritten(m_dir, kv.second, m_verify, &m_changed))
            m_recut.insert(kv.first);
    }
    // The texts of the groups to cut, by the file the font tools keep them
    // in and by face: one render per file and face, as rendering each text
    // in turn would leave it.
    std::vector<std::u16string> files = FilesOfStyles(m_heard->Styles(), [](const forgeline::TtfStyle& s) {
        return std::make_tuple(s.face, s.unit.strPackName, s.unit.nHeight, s.unit.nWeight, s.unit.bItalic);
    });
    for (size_t i = 0; i < files.size(); ++i) {
        auto last = m_last.find(stems[i]);
        if (last != m_last.end() && last->second.value == m_current->at(stems[i]).value && !m_recut.count(stems[i]))
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
        std::vector<const forgeline::TtfStyle*> faces;
        for (const auto* t : group) {
            const forgeline::TtfStyle* style = &m_heard->StyleOf(*t);
            if (std::none_of(faces.begin(), faces.end(), [&](const auto* f) { return f->face == style->face; }))
                faces.push_back(style);
        }
        for (const forgeline::TtfStyle* face : faces) {
            for (const auto* t : group)
                if (m_heard->StyleOf(*t).face == face->face) chars.Add(m_heard->View(*t));
            const _tagTtfUnit& u = face->unit;
            for (const std::u16string& part : chars.TakeNew())
                render(part.c_str(), face->face.c_str(), u.nHeight, u.bItalic, u.nWeight, u.strPackName.c_str(), -1);
        }
    }
    return groups.empty() ? 0 : 1;
}

void CTtfFontData::removeNoNeedTtf(const std::u16string& outDir) {
    if (m_dir != outDir) {
        m_last = ReadState(outDir, kTtfState, false);
        m_recut.clear();
    }
    const std::map<std::u16string, forgeline::Wanted> now = m_current ? std::move(*m_current) : Current();
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
        if (last != m_last.end() && last->second.value == kv.second.value &&
            last->second.source == kv.second.source.faces && !m_recut.count(kv.first)) {
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
        forgeline::Recorded r{kv.second.value, {}, {}, true, kv.second.source.faces, {}};
        for (const char16_t* ext : {u".ttf", u".ttc"})
            if (r.file.empty() && winfiles::WrittenSince(m_writtenMark, stem + NativePath(ext), &r.stamp))
                r.file = kv.first + ext;
        // A group whose cut leaves no file now (its face is gone) leaves
        // none of an earlier cut either: the file goes if it is the one
        // recorded.
        auto last = m_last.find(kv.first);
        if (r.file.empty() && last != m_last.end() && !last->second.file.empty() &&
            winfiles::CheckStamp(dir + "/" + NativePath(last->second.file), &last->second.stamp, false) ==
                winfiles::StampCheck::Same)
            winfiles::RemoveFromFolder(dir, NativePath(last->second.file));
        // A font file gone since the cut leaves the group to be cut again.
        if (!Fonts().Stamps(kv.second.source.fontFiles, &r.fontFiles)) {
            r.source.clear();
            r.fontFiles.clear();
        }
        m_last[kv.first] = std::move(r);
    }
    m_pending.clear();
    WriteState(m_dir, kTtfState, m_last);
}

std::vector<std::u16string> CTtfFontData::recordedFiles() const { return FilesOf(m_last); }

void CTtfFontData::renderAgain(const std::u16string& file) { Distrust(m_last, file); }

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
