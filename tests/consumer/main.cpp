// list-fonts PROJECT: opens a studio project's fonts through the installed
// Tamsel module, as the studio does when it opens a project, and lists them.
#include <cstdio>
#include <filesystem>
#include <string>

#include "Stanchion.h"
#include "Tamsel.h"
#include "Velmora.h"
#include "win/files.h"
#include "win/wstr.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: list-fonts PROJECT\n");
        return 2;
    }
    // The language files come with the library, wherever it was installed.
    if (!velmora::SetUILanguage("en_US")) {
        std::fprintf(stderr, "list-fonts: no language file for en_US\n");
        return 1;
    }
    const std::string dir = std::filesystem::absolute(argv[1]).string();
    CRootMgr::getSingleton()->setProjectDir(CString(WindowsPath(dir)));
    CHmiSet panel{0, 800, 480, 16};
    stanchion::SetAppObject(u"HmiSet", &panel);
    if (!Font_InitLib(nullptr, true, nullptr)) {
        std::fprintf(stderr, "list-fonts: no readable Font.hft in %s\n", dir.c_str());
        return 1;
    }
    std::printf("%d font(s)\n", static_cast<int>(g_FontList.GetCount()));
    POSITION pos = g_FontList.GetHeadPosition();
    while (pos) {
        const tagHMIFONT* rec = g_FontList.GetNext(pos);
        std::printf("%d\t%s\t%s\t%d\n", rec->nID, Utf16ToUtf8(rec->szName).c_str(),
                    Utf16ToUtf8(rec->lf.lfFaceName).c_str(), static_cast<int>(rec->lf.lfHeight));
    }
    Font_DenitLib();
    return 0;
}
