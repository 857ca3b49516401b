// Fuzzes the output folder's unit records (".forgeline-qpf", ".forgeline-ttf",
// each line a key, a value, the file written and its stamp, the faces it was
// made from, and each of their font files with its stamp):
// the input is both records of a temporary output folder, and a unit build of
// each collector runs over it (beginBuild, setScreenText, executeBuild with a
// render callable that records and writes each unit's file, removeNoNeed...).
// Whatever the records say, nothing outside the output folder may be touched:
// files and links beside it and behind links inside it are checked after
// every run, and the run aborts when one is gone, changed or added.
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "Forgeline.h"
#include "FuzzSupport.h"
#include "Glyphworks.h"
#include "win/filesafety.h"
#include "win/files.h"
#include "win/profile.h"
#include "win/wstr.h"

namespace fs = fuzzsupport::fs;

namespace {

struct Folders {
    fs::path root, out, outside;
    std::u16string outW;  // as the module names it
};

// What lies outside the output folder: name -> contents.
const std::map<std::string, std::string> kVictims = {
    {"victim", "v0"}, {"victim.ttf", "v1"}, {"victim.ttc", "v2"}, {"victim.qpf2", "v3"}, {".forgeline-ttf", "v4"}};

const Folders& Dirs() {
    static const Folders f = [] {
        Folders d;
        d.root = fuzzsupport::ScratchDir("unit-records");
        d.out = d.root / "out";
        d.outside = d.root / "outside";
        d.outW = Utf8ToUtf16(d.out.string());
        fs::create_directories(d.out);
        fs::create_directories(d.outside);
        fs::create_directories(d.root / "profile" / "Fonts");
        const fs::path font = fuzzsupport::SystemFont();
        if (!font.empty()) fs::create_symlink(font, d.root / "profile" / "Fonts" / font.filename());
        FUZZ_CHECK(winprofile::Load((d.root / "profile").string()));
        for (const auto& kv : kVictims) {
            fuzzsupport::WriteText(d.root / kv.first, kv.second);
            fuzzsupport::WriteText(d.outside / kv.first, kv.second);
        }
        return d;
    }();
    return f;
}

std::string ReadAll(const fs::path& p) {
    std::string bytes;
    FUZZ_CHECK(winfiles::ReadRegularFile(p.string(), &bytes));
    return bytes;
}

void CheckOutsideUntouched() {
    const Folders& d = Dirs();
    std::set<std::string> expected = {"out", "outside", "profile"};
    for (const auto& kv : kVictims) expected.insert(kv.first);
    FUZZ_CHECK(fuzzsupport::Listing(d.root) == expected);
    std::set<std::string> outside;
    for (const auto& kv : kVictims) {
        outside.insert(kv.first);
        FUZZ_CHECK(ReadAll(d.root / kv.first) == kv.second);
        FUZZ_CHECK(ReadAll(d.outside / kv.first) == kv.second);
    }
    FUZZ_CHECK(fuzzsupport::Listing(d.outside) == outside);
    FUZZ_CHECK(fuzzsupport::Listing(d.root / "profile" / "Fonts").size() <= 1);
}

// The output folder as a build finds it: the records, files of an earlier
// build, a file that is not the build's, a folder, and links that lead out.
void PrepareOutput(const uint8_t* data, size_t size) {
    const Folders& d = Dirs();
    fuzzsupport::Clear(d.out);
    fuzzsupport::WriteFile(d.out / ".forgeline-qpf", data, size);
    fuzzsupport::WriteFile(d.out / ".forgeline-ttf", data, size);
    fuzzsupport::WriteText(d.out / "old.qpf2", "old");
    fuzzsupport::WriteText(d.out / "old.ttf", "old");
    fuzzsupport::WriteText(d.out / "notes.txt", "user's");
    fs::create_directories(d.out / "sub.qpf2");
    fuzzsupport::WriteText(d.out / "sub.qpf2" / "inner.qpf2", "inner");
    fs::create_directories(d.out / "sub.ttf");
    for (const char* name : {"victim.qpf2", "victim.ttf", "victim.ttc"})
        fs::create_symlink(d.outside / name, d.out / ("link" + std::string(name).substr(6)));
    fs::create_directory_symlink(d.root, d.out / "up");
    fs::create_directory_symlink(d.outside, d.out / "dirlink.qpf2");
    fs::create_directory_symlink(d.outside, d.out / "dirlink.ttf");
    fs::create_directory_symlink(d.outside, d.out / "victim");
}

// The units a compile would hear; pack names a hostile project could have.
struct UnitSpec {
    const char16_t* text;
    const char16_t* face;
    int height;
    bool italic;
    int weight;
    const char16_t* pack;
};
const UnitSpec kUnits[] = {
    {u"Alarm 1", u"DejaVu Sans", -12, false, 50, u""},
    {u"Tank", u"DejaVu Sans", 16, true, 75, u"../victim"},
    {u"\u4E8C\u53F7\t\\", u"DejaVu Sans", -12, false, 50, u".."},
    {u"up", u"DejaVu Sans", 20, false, 50, u"up/victim"},
    {u"link", u"DejaVu Sans", -14, false, 75, u"link"},
    {u"sub", u"DejaVu Sans", -12, false, 50, u"sub"},
    {u"x\ny", u"..\\victim", -12, false, 50, u"old"},
    {u"\U0001F600 e\u0301\U0001D400", u"DejaVu Sans", -2147483647 - 1, true, 50, u"victim"},
};

struct Recorded {
    std::vector<std::u16string> files;
};
Recorded& Calls() {
    static Recorded r;
    return r;
}

// Writes a file as the real renderer does: whole, under the folder.
void WriteUnitFile(const std::u16string& name) {
    FUZZ_CHECK(winfiles::IsSafeFileName(name));
    const std::string path = Dirs().out.string() + "/" + NativePath(name);
    FUZZ_CHECK(winfiles::IsInside(Dirs().out.string(), path));
    winfiles::AtomicFile f(path, false);
    f.Write("unit", 4);
    f.Commit();
    Calls().files.push_back(name);
}

void RecordQpf(const WCHAR* chars, const WCHAR* face, int height, bool italic, long weight, const WCHAR* pack,
               int /*reserved*/) {
    FUZZ_CHECK(chars && face && pack);
    // Units no face can be realised for are offered too, and make no file.
    const std::u16string file = qpf2UnitFileName(face, height, italic, weight, pack);
    if (!file.empty()) WriteUnitFile(file);
}

void RecordTtf(const WCHAR* chars, const WCHAR* face, int /*height*/, bool /*italic*/, long /*weight*/,
               const WCHAR* pack, int /*reserved*/) {
    FUZZ_CHECK(chars && face && pack);
    WriteUnitFile(winfiles::SafeFileName(*pack ? pack : face) + u".ttf");
}

// Every key of a record the collector wrote names a file inside the folder;
// a file it records is the key's own and holds what its stamp says.
void CheckRecord(const char* name, bool fileIsKey) {
    const std::string text = ReadAll(Dirs().out / name);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        std::vector<std::string> f;
        for (size_t at = 0;;) {
            const size_t tab = line.find('\t', at);
            f.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
            if (tab == std::string::npos) break;
            at = tab + 1;
        }
        FUZZ_CHECK(f.size() >= 5 && (f.size() - 5) % 2 == 0);
        const std::string& key = f[0];
        FUZZ_CHECK(key.find('/') == std::string::npos && key != "." && key != ".." && !key.empty());
        FUZZ_CHECK(f[2].empty() == f[3].empty());
        if (!f[2].empty()) {
            FUZZ_CHECK(fileIsKey ? f[2] == key : f[2] == key + ".ttf" || f[2] == key + ".ttc");
            winfiles::FileStamp recorded, now;
            FUZZ_CHECK(winfiles::ParseStamp(f[3], &recorded));
            FUZZ_CHECK(winfiles::StampFile((Dirs().out / f[2]).string(), &now));
            FUZZ_CHECK(now == recorded);
        }
        // The font files are those of the profile's fonts folder, by name.
        for (size_t i = 5; i < f.size(); i += 2) {
            winfiles::FileStamp stamp;
            FUZZ_CHECK(!f[i].empty() && f[i].find('/') == std::string::npos);
            FUZZ_CHECK(fs::exists(Dirs().root / "profile" / "Fonts" / f[i]));
            FUZZ_CHECK(winfiles::ParseStamp(f[i + 1], &stamp));
        }
        start = end + 1;
    }
}

unsigned Selection(const uint8_t* data, size_t size) { return size ? data[0] | 1u : 0xFFu; }

int QpfBuild(unsigned units) {
    CQpfFontData* q = CSingletonTpl<CQpfFontData>::getInstance();
    q->reset();
    q->beginBuild(Dirs().outW);
    int screen = 0;
    for (size_t i = 0; i < sizeof kUnits / sizeof kUnits[0]; ++i) {
        if (!(units & (1u << i))) continue;
        const UnitSpec& s = kUnits[i];
        _tagQpfUnit u;
        u.strFaceName = s.face;
        u.strPackName = s.pack;
        u.nHeight = s.height;
        u.bItalic = s.italic;
        u.nWeight = s.weight;
        q->setScreenText(screen++ % 3, s.text, u);
    }
    const int rendered = q->executeBuild(RecordQpf);
    q->removeNoNeedQpf(Dirs().outW);
    return rendered;
}

int TtfBuild(unsigned units) {
    CTtfFontData* t = CSingletonTpl<CTtfFontData>::getInstance();
    t->reset();
    t->beginBuild(Dirs().outW);
    int screen = 0;
    for (size_t i = 0; i < sizeof kUnits / sizeof kUnits[0]; ++i) {
        if (!(units & (1u << i))) continue;
        const UnitSpec& s = kUnits[i];
        _tagTtfUnit u;
        u.strPackName = s.pack;
        u.nHeight = s.height;
        u.bItalic = s.italic;
        u.nWeight = s.weight;
        t->setScreenText(screen++ % 3, s.text, s.face, u);
    }
    const int rendered = t->executeBuild(RecordTtf);
    t->removeNoNeedTtf(Dirs().outW);
    t->endBuild();
    return rendered;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Folders& d = Dirs();
    PrepareOutput(data, size);
    (void)winfiles::TakeFailures();
    Calls().files.clear();
    const unsigned units = Selection(data, size);

    QpfBuild(units);
    CheckOutsideUntouched();
    CheckRecord(".forgeline-qpf", true);
    // What the build did not make and no unit needs is gone; what is not a
    // QPF2 file of the folder, or is a folder, stays.
    FUZZ_CHECK(!fs::exists(d.out / "old.qpf2"));
    FUZZ_CHECK(fs::exists(d.out / "notes.txt") && fs::exists(d.out / "sub.qpf2" / "inner.qpf2"));
    // The next build of the same units finds everything made.
    const bool qpfFailed = !winfiles::TakeFailures().empty();
    if (QpfBuild(units) != 0) FUZZ_CHECK(qpfFailed);
    CheckOutsideUntouched();

    TtfBuild(units);
    CheckOutsideUntouched();
    CheckRecord(".forgeline-ttf", false);
    FUZZ_CHECK(fs::exists(d.out / "notes.txt") && fs::is_directory(d.out / "sub.ttf"));
    const bool ttfFailed = !winfiles::TakeFailures().empty();
    if (TtfBuild(units) != 0) FUZZ_CHECK(ttfFailed);
    CheckOutsideUntouched();

    for (const std::u16string& f : Calls().files) FUZZ_CHECK(winfiles::IsSafeFileName(f));
    CSingletonTpl<CQpfFontData>::getInstance()->reset();
    CSingletonTpl<CTtfFontData>::getInstance()->reset();
    (void)winfiles::TakeFailures();
    return 0;
}
