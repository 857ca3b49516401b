// A project with fonts, a font pack and a machine profile, for the panel-font builds.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "FontTable.h"
#include "FontTableFixture.h"
#include "Forgeline.h"
#include "PanelFonts.h"
#include "TestProfile.h"
#include "win/wstr.h"

class GenerateTest : public FontTableTest {
protected:
    GenerateTest()
        : m_profile({"arial.ttf", "arialbd.ttf", "tahoma.ttf", "calibri.ttf", "simsun.ttc", "mangal.ttf"}) {}

    void SetUp() override {
        FontTableTest::SetUp();
        MakeFontMap();
        ResetPanelFontCollections();
        CSingletonTpl<CQpfFontData>::getInstance()->reset();
        CSingletonTpl<CTtfFontData>::getInstance()->reset();
    }
    void TearDown() override {
        ResetPanelFontCollections();
        CSingletonTpl<CQpfFontData>::getInstance()->reset();
        CSingletonTpl<CTtfFontData>::getInstance()->reset();
        FontTableTest::TearDown();
    }

    // fpf.ini with these pack fonts (face -> font file).
    void WritePack(const std::map<std::string, std::string>& fonts) {
        std::string body = "<project><DefaultFont/><PackFontInfo>";
        for (const auto& kv : fonts)
            body += "<FontInfo FontName=\"" + kv.first + "\" FontFile=\"" + kv.second + "\"/>";
        testsupport::WriteText(m_dir / "fpf.ini", body + "</PackFontInfo></project>");
    }

    static tagMULTIFONT Fonts(uint16_t id0, uint16_t id1 = 0) {
        tagMULTIFONT mf{};
        for (int i = 0; i < kMultiFontSlots; ++i) mf.wFontID[i] = i == 0 ? id0 : (id1 ? id1 : id0);
        return mf;
    }
    // A text heard for QPF2 or for subset fonts, in the fonts id0 (and id1).
    static void SayQpf(const CString& text, int mode, int screen, uint16_t id0, uint16_t id1 = 0) {
        tagMULTIFONT mf = Fonts(id0, id1);
        MakeQPF(mf, text, mode, screen);
    }
    static void SayTtf(const CString& text, int mode, int screen, uint16_t id0, uint16_t id1 = 0) {
        tagMULTIFONT mf = Fonts(id0, id1);
        AddTextInfo(mf, text, mode, screen);
    }
    // A two-language text in the module's multi-language form.
    static CString Text(const std::u16string& lang0, const std::u16string& lang1 = u"") {
        std::u16string s = lang0;
        if (!lang1.empty()) s += kLangSeparator + lang1;
        return CString(s.c_str());
    }

    // Font id and text, one screen each.
    using Texts = std::vector<std::pair<uint16_t, std::u16string>>;
    struct Built {
        double mb = 0;
        CPackFontFiles packs;
        std::vector<std::u16string> changed;
    };
    // A full build into `dir`; `packs` as the host passes them in.
    static Built FullQpf(std::u16string dir, CPackFontFiles packs = {}) {
        Built b;
        b.packs = std::move(packs);
        b.mb = Finish_MakeQPF(b.packs, dir, 0);
        return b;
    }
    static Built FullTtf(std::u16string dir) {
        Built b;
        b.mb = Finish_MakeTTF(b.packs, dir);
        return b;
    }
    // A unit build in a fresh process: the collector knows only the folder
    // (`out`\qpf2 for QPF2 files); `dir` is what the compile is given.
    Built UnitQpf(const std::u16string& out, const Texts& texts, bool verify = false,
                  std::u16string dir = u"") {
        ResetPanelFontCollections();
        CQpfFontData* c = CSingletonTpl<CQpfFontData>::getInstance();
        c->reset();
        c->beginBuild(out + u"\\qpf2", verify);
        int screen = 0;
        for (const auto& t : texts) SayQpf(Text(t.second), 0, ++screen, t.first);
        if (dir.empty()) dir = out;
        Built b;
        b.mb = MakeLattice_QPF(dir, b.packs);
        b.changed = c->changedFiles();
        return b;
    }
    Built UnitTtf(const std::u16string& out, const Texts& texts, bool verify = false) {
        ResetPanelFontCollections();
        CTtfFontData* c = CSingletonTpl<CTtfFontData>::getInstance();
        c->reset();
        c->beginBuild(out, verify);
        int screen = 0;
        for (const auto& t : texts) SayTtf(Text(t.second), 0, ++screen, t.first);
        std::u16string dir = out;
        Built b;
        b.mb = MakeVector_TTF(dir, b.packs);
        c->endBuild();
        b.changed = c->changedFiles();
        return b;
    }

    static std::set<std::string> Files(const std::filesystem::path& dir, const std::string& ext = "") {
        std::set<std::string> out;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
            const std::string name = e.path().filename().string();
            if (ext.empty() || e.path().extension() == ext) out.insert(name);
        }
        return out;
    }

    testsupport::TestProfile m_profile;
    testsupport::TempDir m_out;
};

// What fontTools reads from a subset file: "family", "zh-family", "cmap".
inline std::map<std::string, std::string> ReadWithFontTools(const std::filesystem::path& file) {
    std::map<std::string, std::string> out;
    const std::string cmd = "/usr/bin/python3 '" TAMSEL_SOURCE_DIR "/tests/fixtures/font_cmap.py' '" + file.string() +
                            "' 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    char line[65536];
    while (fgets(line, sizeof line, p)) {
        std::string s(line);
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
        const size_t sp = s.find(' ');
        out[s.substr(0, sp)] = sp == std::string::npos ? "" : s.substr(sp + 1);
    }
    if (pclose(p) != 0) out["error"] = "unreadable";
    // Every subset a test reads passes the sanitizer browsers run on web fonts.
    if (!out.count("error")) {
        const std::string ots = "ots-sanitize '" + file.string() + "' >/dev/null 2>&1";
        EXPECT_EQ(std::system(ots.c_str()), 0) << file << " fails ots-sanitize";
    }
    return out;
}

// The code points of a text as font_cmap.py prints them, ascending.
inline std::string CmapOf(const std::u16string& text) {
    std::set<char16_t> codes(text.begin(), text.end());
    std::string out;
    char buf[8];
    for (char16_t c : codes) {
        snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(c));
        out += (out.empty() ? "" : " ") + std::string(buf);
    }
    return out;
}
