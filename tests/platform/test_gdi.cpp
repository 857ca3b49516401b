#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "TestProfile.h"
#include "win/fontdb.h"
#include "win/fontlink.h"
#include "win/gdi.h"
#include "win/wstr.h"

using testsupport::N;
using testsupport::MapperRegistry;
using testsupport::MultiString;
using testsupport::TestProfile;
using testsupport::U;

namespace {
struct Seen {
    std::u16string face;
    BYTE charset;
    DWORD type;
    LONG weight;
    std::u16string style;
    std::u16string script;
};

struct Collector {
    std::vector<Seen> seen;
    int stopAfter = -1;
};

int Collect(const LOGFONTW* lf, const TEXTMETRICW* /*tm*/, DWORD type, LPARAM param) {
    auto* c = reinterpret_cast<Collector*>(param);
    const auto* elf = reinterpret_cast<const ENUMLOGFONTEXW*>(lf);
    c->seen.push_back({lf->lfFaceName, lf->lfCharSet, type, lf->lfWeight, elf->elfStyle, elf->elfScript});
    return static_cast<int>(c->seen.size()) == c->stopAfter ? 0 : 1;
}

std::vector<Seen> Enumerate(const std::u16string& face, BYTE charset = DEFAULT_CHARSET,
                            int stopAfter = -1, FONTENUMPROCW proc = Collect) {
    LOGFONTW lf{};
    lf.lfCharSet = charset;
    CopyFixedName(lf.lfFaceName, face.c_str(), LF_FACESIZE);
    Collector c;
    c.stopAfter = stopAfter;
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExW(dc, &lf, proc, reinterpret_cast<LPARAM>(&c), 0);
    ReleaseDC(nullptr, dc);
    return c.seen;
}

LOGFONTW Request(const std::u16string& face, LONG height, LONG weight = FW_NORMAL,
                 BYTE italic = 0) {
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfItalic = italic;
    lf.lfCharSet = DEFAULT_CHARSET;
    CopyFixedName(lf.lfFaceName, face.c_str(), LF_FACESIZE);
    return lf;
}

TEXTMETRICW Metrics(const std::u16string& face, LONG height, LONG weight = FW_NORMAL, BYTE italic = 0,
                    std::u16string* realized = nullptr) {
    const LOGFONTW lf = Request(face, height, weight, italic);
    HFONT font = CreateFontIndirectW(&lf);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(font));
    TEXTMETRICW tm{};
    EXPECT_TRUE(GetTextMetricsW(dc, &tm));
    if (realized) {
        WCHAR name[LF_FACESIZE];
        GetTextFaceW(dc, LF_FACESIZE, name);
        *realized = name;
    }
    EXPECT_EQ(SelectObject(dc, old), reinterpret_cast<HGDIOBJ>(font));
    ReleaseDC(nullptr, dc);
    DeleteObject(reinterpret_cast<HGDIOBJ>(font));
    return tm;
}

std::string FileOf(const std::u16string& face, BYTE charset = DEFAULT_CHARSET) {
    const fontdb::Face* real = testsupport::RealizedFace(face, charset);
    return real ? real->fileName + "#" + std::to_string(real->faceIndex) : "";
}

const char kZh[] = "[Profile]\nLocale=zh-CN\nAnsiCodePage=936\n";
}  // namespace

TEST(GdiEnum, OneCallbackPerFamilyAndCharacterSet) {
    TestProfile p(testsupport::AllFixtureFonts());
    const auto all = Enumerate(u"");
    std::multiset<std::string> arial;
    std::set<std::string> families;
    for (const auto& s : all) {
        families.insert(N(s.face));
        if (s.face == u"Arial") arial.insert(std::to_string(s.charset));
        if (s.face == u"Arial" || s.face == u"MS Sans Serif") {
            const DWORD type = s.face == u"Arial" ? TRUETYPE_FONTTYPE : RASTER_FONTTYPE;
            EXPECT_EQ(s.type, type) << N(s.face);
        }
    }
    // Three Arial faces, one family: once per character set (Latin 1, Latin 2).
    EXPECT_EQ(arial, (std::multiset<std::string>{"0", "238"}));
    EXPECT_TRUE(families.count("Arial Black"));
    EXPECT_TRUE(families.count("Bahnschrift SemiBold"));
    EXPECT_TRUE(families.count("@SimSun"));  // vertical CJK faces, as Windows lists them
    EXPECT_FALSE(families.count("@Arial"));

    // A named family gives every style, each once per character set.
    const auto named = Enumerate(u"arial");
    EXPECT_EQ(named.size(), 6u);
    std::set<std::u16string> styles;
    for (const auto& s : named) styles.insert(s.style);
    EXPECT_EQ(styles, (std::set<std::u16string>{u"Regular", u"Bold", u"Italic"}));

    // The callback's zero ends the listing (the results: FontInitTest's faces found and missing).
    EXPECT_EQ(Enumerate(u"", DEFAULT_CHARSET, 2).size(), 2u);
}

namespace {
int Scribble(const LOGFONTW* lf, const TEXTMETRICW* tm, DWORD type, LPARAM param) {
    Collect(lf, tm, type, param);
    // A callback may write over what it is given; the next listing must not see it.
    auto* mine = const_cast<LOGFONTW*>(lf);
    CopyFixedName(mine->lfFaceName, u"Scribbled", LF_FACESIZE);
    const_cast<TEXTMETRICW*>(tm)->tmHeight = -1;
    return 1;
}
}  // namespace

TEST(GdiEnum, ListingsFollowTheProfileAndCallbacksCannotChangeThem) {
    {
        TestProfile p(testsupport::AllFixtureFonts(), "", kZh);
        std::set<std::u16string> names;
        for (const auto& s : Enumerate(u"", GB2312_CHARSET)) {
            names.insert(s.face);
            EXPECT_EQ(s.charset, GB2312_CHARSET);
            EXPECT_EQ(s.script, u"CHINESE_GB2312");
        }
        EXPECT_TRUE(names.count(U("宋体")));
        EXPECT_TRUE(names.count(U("新宋体")));
        EXPECT_FALSE(names.count(u"Latin Only"));
        EXPECT_FALSE(names.count(u"Arial"));
        // Either name finds the face; it is reported in the system's language.
        for (const char* query : {"SimSun", "simsun", "宋体"}) {
            const auto found = Enumerate(U(query));
            ASSERT_FALSE(found.empty()) << query;
            EXPECT_EQ(found.front().face, U("宋体")) << query;
        }
        const auto scribbled = Enumerate(u"SimSun", DEFAULT_CHARSET, -1, Scribble);
        ASSERT_FALSE(scribbled.empty());
        const auto again = Enumerate(u"SimSun");
        ASSERT_EQ(again.size(), scribbled.size());
        for (size_t i = 0; i < again.size(); ++i) EXPECT_EQ(again[i].face, scribbled[i].face);
    }
    // Another profile in the same process: its own names, English whichever name is asked.
    TestProfile english(testsupport::AllFixtureFonts());
    for (const char* query : {"SimSun", "宋体"}) {
        const auto en = Enumerate(U(query));
        ASSERT_FALSE(en.empty()) << query;
        EXPECT_EQ(en[0].face, u"SimSun") << query;
    }
}

TEST(GdiRealize, NearestFaceAndSimulatedStyles) {
    TestProfile p(testsupport::AllFixtureFonts());
    std::u16string face;
    TEXTMETRICW tm = Metrics(u"Arial", 16, FW_BOLD, 0, &face);
    EXPECT_EQ(face, u"Arial");
    EXPECT_EQ(tm.tmWeight, 700);  // the real bold face
    EXPECT_EQ(tm.tmItalic, 0);
    int em = 0;
    bool simBold = true, simItalic = true;
    const LOGFONTW lf = Request(u"Arial", 16, 700);
    HFONT f = CreateFontIndirectW(&lf);
    const fontdb::Face* real = GetRealizedFace(f, &em, &simBold, &simItalic);
    ASSERT_NE(real, nullptr);
    EXPECT_EQ(real->fileName, "arialbd.ttf");
    EXPECT_FALSE(simBold);
    DeleteObject(reinterpret_cast<HGDIOBJ>(f));

    EXPECT_EQ(Metrics(u"Tahoma", 16, 551).tmWeight, 700);  // simulated
    EXPECT_EQ(Metrics(u"Tahoma", 16, 550).tmWeight, 400);
    EXPECT_EQ(Metrics(u"Arial", 16, FW_NORMAL, 1).tmItalic, 255);  // the real italic face
    EXPECT_EQ(Metrics(u"Tahoma", 16, FW_NORMAL, 1).tmItalic, 255);  // simulated
    EXPECT_EQ(Metrics(u"Arial Black", 16).tmWeight, 900);  // the face's own weight class
    // SemiBold is another family: bold is simulated.
    EXPECT_EQ(Metrics(u"Bahnschrift", 16, FW_BOLD).tmWeight, 700);
}

TEST(GdiRealize, HeightsAndFallbacks) {
    TestProfile p(testsupport::AllFixtureFonts());
    TEXTMETRICW cell = Metrics(u"Arial", 16);
    EXPECT_EQ(cell.tmHeight, 16);
    EXPECT_EQ(cell.tmAscent + cell.tmDescent, 16);
    TEXTMETRICW em = Metrics(u"Arial", -16);
    EXPECT_GT(em.tmHeight, 16);  // the em is 16; the cell adds the leading
    EXPECT_EQ(em.tmInternalLeading, em.tmHeight - 16);
    EXPECT_GT(Metrics(u"Arial", 0).tmHeight, 0);
    std::u16string face;
    Metrics(u"No Such Face", 20, FW_NORMAL, 0, &face);
    EXPECT_EQ(face, u"Arial");
    TEXTMETRICW raster = Metrics(u"MS Sans Serif", 13, FW_NORMAL, 0, &face);
    EXPECT_EQ(face, u"MS Sans Serif");
    EXPECT_EQ(raster.tmPitchAndFamily & TMPF_TRUETYPE, 0);
    EXPECT_NE(cell.tmPitchAndFamily & TMPF_TRUETYPE, 0);
}

// Heights and weights come from project files (Font.hft, IconTitleFont):
// every LONG has a defined result, clean under UBSan (which aborted on
// INT_MIN's negation and on 400 - INT_MIN).
TEST(GdiRealize, ExtremeHeightsAndWeightsHaveDefinedResults) {
    TestProfile p(testsupport::AllFixtureFonts());
    // Heights are capped at the layer's largest font.
    for (LONG h : {LONG{INT_MIN}, LONG{-INT_MAX}, LONG{INT_MAX}, LONG{-kMaxFontPixels - 1}}) {
        const TEXTMETRICW tm = Metrics(u"Arial", h);
        EXPECT_GT(tm.tmHeight, 0) << h;
        EXPECT_LE(tm.tmHeight - tm.tmInternalLeading, kMaxFontPixels) << h;
    }
    EXPECT_EQ(Metrics(u"Arial", INT_MAX).tmHeight, kMaxFontPixels);
    EXPECT_EQ(Metrics(u"Arial", kMaxFontPixels).tmHeight, kMaxFontPixels);
    const TEXTMETRICW em = Metrics(u"Arial", INT_MIN);
    EXPECT_EQ(em.tmHeight - em.tmInternalLeading, kMaxFontPixels);
    // The nearest face is chosen without overflow: the lightest request
    // gets the regular face, the heaviest the bold one.
    for (LONG w : {LONG{INT_MIN}, LONG{INT_MIN + 1}, LONG{-INT_MAX + 400}, LONG{-1}}) {
        std::u16string face;
        const TEXTMETRICW tm = Metrics(u"Arial", 16, w, 0, &face);
        EXPECT_EQ(face, u"Arial") << w;
        EXPECT_EQ(tm.tmWeight, 400) << w;
    }
    EXPECT_EQ(Metrics(u"Arial", 16, INT_MAX).tmWeight, 700);
    EXPECT_EQ(Metrics(u"Tahoma", -12, INT_MIN, 1).tmItalic, 255);
}

TEST(GdiObjects, DcsAndFontHandles) {
    TestProfile p({"arial.ttf"}, "", "[Profile]\nDpi=120\n");
    HDC dc = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 120);
    const int before = LiveFontCount();
    const LOGFONTW lf = Request(u"Arial", 16);
    HFONT f = CreateFontIndirectW(&lf);
    const auto obj = reinterpret_cast<HGDIOBJ>(f);
    LOGFONTW back{};
    EXPECT_EQ(GetObjectW(obj, sizeof back, &back), static_cast<int>(sizeof back));
    EXPECT_EQ(std::memcmp(&lf, &back, sizeof lf), 0);
    HGDIOBJ stock = SelectObject(dc, obj);
    EXPECT_TRUE(IsLiveFont(stock));
    EXPECT_EQ(SelectObject(dc, stock), obj);
    EXPECT_FALSE(DeleteObject(stock));  // stock objects are never freed
    EXPECT_TRUE(DeleteObject(obj));
    EXPECT_FALSE(DeleteObject(obj));  // no double free
    EXPECT_EQ(GetObjectW(obj, sizeof back, &back), 0);
    EXPECT_EQ(LiveFontCount(), before);
    EXPECT_EQ(SelectObject(dc, obj), nullptr);  // a dead font is refused
    EXPECT_EQ(ReleaseDC(nullptr, dc), 1);
    EXPECT_EQ(ReleaseDC(nullptr, dc), 0);
    TEXTMETRICW tm;
    EXPECT_FALSE(GetTextMetricsW(dc, &tm));
}

TEST(GdiSubstitutes, UsedWhenAFaceIsRealisedNeverWhenFacesAreListed) {
    TestProfile p({"tahoma.ttf", "simsun.ttc", "calibri.ttf"}, MapperRegistry(
        "\"Arial\"=\"Tahoma\"\r\n"
        "\"Arial,134\"=\"NSimSun,134\"\r\n"      // a character set of its own
        "\"MICROSOFT YAHEI\"=\"SimSun\"\r\n"     // value names compare without regard to case
        "\"Calibri\"=\"Tahoma\"\r\n"             // installed: never substituted
        "\"Helvetica\"=\"Nowhere Sans\"\r\n"));  // a substitute that is not there
    std::u16string face;
    Metrics(u"Arial", 16, FW_NORMAL, 0, &face);
    EXPECT_EQ(face, u"Tahoma");
    EXPECT_EQ(FileOf(u"Arial"), "tahoma.ttf#0");
    EXPECT_EQ(FileOf(u"arial", GB2312_CHARSET), "simsun.ttc#1");
    EXPECT_EQ(FileOf(u"Microsoft YaHei"), "simsun.ttc#0");
    EXPECT_EQ(FileOf(u"Calibri"), "calibri.ttf#0");
    // Without a usable substitute the fallback chain runs, and its "Arial" is substituted too.
    EXPECT_EQ(FileOf(u"Helvetica"), "tahoma.ttf#0");
    EXPECT_EQ(FileOf(u"No Such Face"), "tahoma.ttf#0");

    // Enumeration lists installed faces only: the installed test of a
    // project's fonts still finds Arial missing.
    EXPECT_TRUE(Enumerate(u"Arial").empty());
    EXPECT_TRUE(Enumerate(u"Microsoft YaHei").empty());
    for (const auto& s : Enumerate(u"")) EXPECT_NE(s.face, u"Arial");
    EXPECT_FALSE(Enumerate(u"Tahoma").empty());
}

TEST(GdiSubstitutes, SystemLinkEntriesResolveInTheFontsFolder) {
    TestProfile p({"tahoma.ttf", "simsun.ttc", "arial.ttf"}, MapperRegistry("",
        "\"Tahoma\"=" + MultiString({"SIMSUN.TTC,NSimSun", "missing.ttf,Missing", "simsun.ttc,No Such Face",
                                    "arial.ttf", "simsun.ttc,NSimSun,128,96"}) + "\r\n"));
    const auto entries = fontlink::SystemLinkOf(u"TAHOMA");
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[4].face, u"NSimSun");  // the scaling numbers are no part of the name
    const auto linked = fontlink::LinkedFaces(u"Tahoma");
    ASSERT_EQ(linked.size(), 2u);  // missing files and faces skipped, repeats once
    EXPECT_EQ(linked[0]->family, u"NSimSun");
    EXPECT_EQ(linked[1]->fileName, "arial.ttf");  // a file alone names its first face
    EXPECT_TRUE(fontlink::LinkedFaces(u"Arial").empty());
}

TEST(GdiRealize, ResultsFollowTheProfileAndIgnoreBytesAfterTheName) {
    {
        TestProfile p({"calibri.ttf", "tahoma.ttf"});
        EXPECT_EQ(FileOf(u"Calibri"), "calibri.ttf#0");
        // Bytes after the name's terminator do not change the face.
        LOGFONTW dirty = Request(u"Calibri", 16);
        dirty.lfFaceName[10] = u'x';
        HFONT f = CreateFontIndirectW(&dirty);
        EXPECT_EQ(GetRealizedFace(f, nullptr, nullptr, nullptr)->fileName, "calibri.ttf");
        DeleteObject(reinterpret_cast<HGDIOBJ>(f));
    }
    // The same request on another profile is realised afresh.
    TestProfile p({"tahoma.ttf"});
    EXPECT_EQ(FileOf(u"Calibri"), "tahoma.ttf#0");
}

TEST(FontDb, NamedFacesAreTheFacesWhoseNamesMatch) {
    // The index by name against the plain test, for every name of every
    // face in either case, cut at a NUL or past 31 units, and for misses.
    for (const char* settings : {"", kZh}) {
        TestProfile p(testsupport::AllFixtureFonts(), "", settings);
        const auto& faces = fontdb::Faces();
        ASSERT_FALSE(faces.empty());
        std::vector<std::u16string> names = {u"", u"No Such Face", std::u16string(40, u'A')};
        for (const fontdb::Face& f : faces) {
            std::vector<std::u16string> own = {f.family, f.fullName};
            for (const fontdb::FaceName& n : f.families) own.push_back(n.text);
            for (const std::u16string& n : own) {
                std::u16string upper = n, lower = n;
                for (char16_t& c : upper)
                    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
                for (char16_t& c : lower) c = towlower16(c);
                names.insert(names.end(), {n, upper, lower, n + std::u16string(1, u'\0') + u"junk",
                                           n + u" and more than thirty-one units after it", n.substr(0, n.size() / 2)});
            }
        }
        for (const std::u16string& name : names) {
            std::vector<const fontdb::Face*> want;
            for (const fontdb::Face& f : faces)
                if (fontdb::MatchesName(f, name)) want.push_back(&f);
            ASSERT_EQ(fontdb::FacesNamed(name), want) << N(name);
        }
    }
}
