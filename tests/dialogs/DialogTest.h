// What the dialog suites share: scripted modal runs on a fresh font table,
// and readers for what the controls show.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "FontTableFixture.h"
#include "TestProfile.h"
#include "mfc/afxcmn.h"
#include "mfc/mfcauto.h"

using mfcauto::ModalContext;
using testsupport::N;
using testsupport::TestProfile;
using testsupport::U;

// A window a script left open, or one that found no script, fails the test.
class ScriptedTest : public FontTableTest {
protected:
    void SetUp() override {
        FontTableTest::SetUp();
        mfcauto::ClearScripts();
        mfcauto::ClearErrors();
    }
    void TearDown() override {
        EXPECT_TRUE(mfcauto::Errors().empty()) << mfcauto::Errors().front();
        mfcauto::ClearErrors();
        FontTableTest::TearDown();
    }
};

// Stands for the studio's main window: records the fonts-changed notices.
class MainWindow : public CWnd {
public:
    std::vector<std::pair<WPARAM, LPARAM>> notices;
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == kFontsChangedMessage) notices.emplace_back(wp, lp);
        return 0;
    }
};

inline std::string S(const CString& s) { return N(s.GetString()); }
inline std::string Text(ModalContext& ctx, int id) { return S(ctx.Text(id)); }
inline std::string Msg(const char16_t* key) { return S(LA_GetString(key)); }

inline LOGFONTW Logfont(const CFont& font) {
    LOGFONTW lf{};
    font.GetLogFont(&lf);
    return lf;
}
inline std::string Face(const CFont& font) { return N(Logfont(font).lfFaceName); }
