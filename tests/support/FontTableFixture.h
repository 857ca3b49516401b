// Puts the module on a fresh temporary project with an empty font table.
#pragma once

#include <gtest/gtest.h>

#include "Stanchion.h"
#include "FontTable.h"
#include "TestSupport.h"
#include "Velmora.h"
#include "win/wstr.h"

class FontTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        Font_DenitLib();
        g_nMaxFontID = kDefaultFontID;
        velmora::SetUILanguage("en_US");
        velmora::SetProjectLanguages(2);
        velmora::SetCurrentLanguage(0);
        CRootMgr::getSingleton()->setProjectDir(m_dir.wpath());
    }
    void TearDown() override {
        Font_DenitLib();
        CRootMgr::getSingleton()->setProjectDir(u"");
    }

    // Appends a record as the table owns them: one heap block per record.
    tagHMIFONT* Add(int id, const std::u16string& name, const std::u16string& face = u"Arial", LONG height = 16,
                    LONG weight = FW_NORMAL) {
        auto* rec = new tagHMIFONT{};
        rec->nID = id;
        CopyFixedName(rec->szName, name.c_str(), 32);
        rec->lf.lfHeight = height;
        rec->lf.lfWeight = weight;
        rec->lf.lfCharSet = DEFAULT_CHARSET;
        CopyFixedName(rec->lf.lfFaceName, face.c_str(), LF_FACESIZE);
        g_FontList.AddTail(rec);
        return rec;
    }

    testsupport::TempDir m_dir;
};
