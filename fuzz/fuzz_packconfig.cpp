// Fuzzes the readers of a project's "\fpf.ini": the font pack names and
// files and the default-font settings.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "FuzzSupport.h"
#include "PackConfig.h"
#include "Stanchion.h"
#include "FontTable.h"
#include "win/wstr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The write-back syncs the file: a folder on disk would make every run wait.
    static const std::string dir = [] {
        const std::string d = fuzzsupport::ScratchDir("packconfig").string();
        CRootMgr::getSingleton()->setProjectDir(CString(Utf8ToUtf16(d)));
        return d;
    }();
    // LoadDefaultFont writes the file back when it lacks the section, and
    // keeps an unreadable one aside: start every run from the input alone.
    fuzzsupport::Clear(dir);
    FILE* f = std::fopen((dir + "/fpf.ini").c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    // A file without a project element leaves the default-font settings as
    // they were: start them from nothing too.
    g_bUseDefaultFont = 0;
    for (CString& face : g_strDefaultFont) face = CString();
    CPackFontList names;
    LoadPackFontNames(&names);
    std::map<std::u16string, std::u16string> files;
    LoadPackFontFiles(&files);
    PackFontList.clear();
    LoadDefaultFont();
    for (int i = 0; i < 8; ++i) (void)GetDefaultFont(i);
    PackFontList.clear();
    return 0;
}
