// tamsel-studio open, and the fonts subcommands that work on a project opened
// as the studio opens one.
#include <cstdlib>
#include <functional>
#include <iostream>

#include "Stanchion.h"
#include "Studio.h"
#include "Tamsel.h"
#include "TextsFile.h"
#include "Velmora.h"
#include "mfc/mfcauto.h"
#include "win/files.h"
#include "win/profile.h"
#include "win/wstr.h"

namespace studio {

const char* kEditUsage =
    "  edit PROJECT [--png FILE]\n"
    "                         the font library dialog on the project's table, saved when closed;\n"
    "                         with --png, rendered to FILE instead (nothing is saved)\n";

const char* kSelectUsage =
    "  select PROJECT [--current ID] [--png FILE]\n"
    "                         the font selection dialog; prints the chosen font id\n";

const char* kPackUsage =
    "  pack PROJECT [--png FILE]\n"
    "                         the font pack dialog; OK saves fpf.ini\n";

const char* kOpenUsage =
    "  open PROJECT [--no-dialog]\n"
    "                         open the project's fonts as the studio does and print the table;\n"
    "                         missing faces are offered in the font change dialog, or with\n"
    "                         --no-dialog replaced by SimSun\n";

namespace {
std::string Piece(const WCHAR* css) {
    std::u16string s(css);
    for (auto& c : s)
        if (c == kLangSeparator) c = u'|';
    return Narrow(s.c_str());
}
}  // namespace

void OpenProjectFonts(const Options& opt, bool repair, std::ostream& out) {
    const bool ask = repair && !opt.noDialog;
    OpenProjectDir(opt.positional.at(opt.positional[0] == "fonts" ? 2 : 1));
    LoadProfile(opt);
    SetPanelSettings();
    int skip = 0;
    if (ask && !HaveDisplay()) {
        // No one could answer the dialog: it is cancelled and the faces kept.
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    const int read = Font_InitLib(repair ? &skip : nullptr, !ask, nullptr);
    for (const std::string& e : mfcauto::Errors())
        std::cerr << "tamsel-studio: " << e << " (no display; use --no-dialog to replace missing faces)\n";
    mfcauto::ClearErrors();
    if (!read) out << "no readable " << FontTableFile() << "; the project starts with the default fonts\n";
}

int RunOpen(const Options& opt, std::ostream& out) {
    if (opt.positional.size() != 2) throw StudioError{"open: expected one PROJECT directory", kUsage};
    OpenProjectFonts(opt, true, out);
    out << g_FontList.GetCount() << " font(s), highest id " << g_nMaxFontID << "\n";
    PrintTable(out, ModuleTable());
    Font_DenitLib();
    return kOk;
}

namespace {
// The studio's main window as the module sees it: it hears that fonts changed.
class StudioMainWindow : public CWnd {
public:
    explicit StudioMainWindow(std::ostream& out) : m_out(out) {}
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == kFontsChangedMessage)
            m_out << "the studio was told that fonts changed (0x" << std::hex << msg << std::dec << ", " << wp << ", "
                  << lp << ")\n";
        return 0;
    }

private:
    std::ostream& m_out;
};
}  // namespace

namespace {
// Runs one of the module's dialogs on the project as the studio would: on the
// display, or captured to --png and cancelled. `run` shows the dialog and,
// when a user answered it, says whether the table is to be saved.
int RunProjectDialog(const Options& opt, std::ostream& out, const char* name, const std::function<bool()>& run) {
    if (opt.positional.size() != 2) throw StudioError{std::string(name) + ": expected one PROJECT directory", kUsage};
    if (opt.png.empty()) RequireDisplay();
    // Faces stay as stored: the table is edited, not repaired.
    OpenProjectFonts(opt, false, out);
    StudioMainWindow main(out);
    AfxSetMainWnd(&main);
    velmora::SetFastCompile(true);
    bool saved = false;
    if (!opt.png.empty()) {
        const std::string png = opt.png;
        mfcauto::PushScript([png, &saved](mfcauto::ModalContext& ctx) {
            saved = ctx.SavePng(png);
            ctx.Click(IDCANCEL);
        });
    }
    const bool save = run();
    AfxSetMainWnd(nullptr);
    int rc = kOk;
    if (!opt.png.empty()) {
        if (saved) out << "wrote " << opt.png << "\n";
        else rc = kFailure;
    } else if (save) {
        if (Font_SaveLib()) out << "saved " << g_FontList.GetCount() << " font(s)\n";
        else rc = kFailure;
    }
    Font_DenitLib();
    return rc;
}
}  // namespace

int RunSelect(const Options& opt, std::ostream& out) {
    return RunProjectDialog(opt, out, "select", [&] {
        const int chosen = Font_Select(nullptr, opt.current);
        if (opt.png.empty()) out << "font " << chosen << "\n";
        return true;  // new or edited fonts of the dialog
    });
}

int RunPack(const Options& opt, std::ostream& out) {
    return RunProjectDialog(opt, out, "pack", [] {
        OpenFontPackDlg();  // OK saved fpf.ini itself
        return false;
    });
}

int RunEdit(const Options& opt, std::ostream& out) {
    return RunProjectDialog(opt, out, "edit", [] {
        Font_EditLib(nullptr);
        return true;
    });
}

int RunProjectFonts(const Options& opt, std::ostream& out) {
    const auto& p = opt.positional;
    const std::string& sub = p[1];
    const size_t want = sub == "add" || sub == "prune" ? 3 : 4;
    if (p.size() != want)
        throw StudioError{"fonts " + sub + ": expected PROJECT" + (want == 4 ? (sub == "css" ? " ID" : " FILE") : ""),
                          kUsage};
    if (sub == "add" && (opt.face.empty() || opt.size <= 0))
        throw StudioError{"fonts add: --face and a positive --size are needed", kUsage};
    if (sub == "prune" && opt.texts.empty()) throw StudioError{"fonts prune: --texts FILE is needed", kUsage};
    int cssId = 0;
    if (sub == "css") {
        try {
            size_t used = 0;
            cssId = std::stoi(p[3], &used);
            if (used != p[3].size()) throw 0;
        } catch (...) {
            throw StudioError{"fonts css: '" + p[3] + "' is not a font id", kUsage};
        }
        if (opt.lang < 0 || opt.lang >= getLangCount())
            throw StudioError{"fonts css: --lang must be below the project's " + std::to_string(getLangCount()) +
                                  " language(s)",
                              kUsage};
    }
    // Read the texts before touching the project, so a bad file changes nothing.
    TextsFile texts;
    if (sub == "prune") texts = ReadTextsFile(opt.texts);

    OpenProjectFonts(opt, false, out);
    int rc = kOk;
    if (sub == "add") {
        int id = 0;
        if (!NewFontByInfo(CString(Utf8ToUtf16(opt.face)), opt.size, CString(Utf8ToUtf16(opt.style)), &id)) {
            Font_DenitLib();
            throw StudioError{"cannot create a font of face '" + opt.face + "'"};
        }
        if (!Font_SaveLib()) rc = kFailure;
        out << "font " << id << "\n";
    } else if (sub == "import") {
        std::map<int, int> ids;
        std::vector<int> added;
        const CString path(WindowsPath(p[3]));
        const int ok = Font_Copy(path.str(), ids, added);
        for (const auto& kv : ids) out << kv.first << " -> " << kv.second << "\n";
        out << added.size() << " font(s) added\n";
        if (!ok) {
            Font_DenitLib();
            throw StudioError{"cannot read all of '" + p[3] + "'"};
        }
    } else if (sub == "css") {
        WCHAR css[kFontCssBufferUnits] = {};
        Font_GetFontCss(cssId, css, opt.lang, 0, 0);
        out << Piece(css) << "\n";
    } else {
        Font_BeginGenerate();
        for (const ScreenText& t : texts.texts)
            for (int lang = 0; lang < getLangCount() && lang < static_cast<int>(t.text.size()); ++lang)
                Font_AddString(t.fonts.wFontID[lang], t.text[static_cast<size_t>(lang)].c_str());
        std::vector<int> before;
        POSITION pos = g_FontList.GetHeadPosition();
        while (pos) before.push_back(g_FontList.GetNext(pos)->nID);
        DelUnUseFont();
        Font_FreeMemory();
        int removed = 0;
        for (int id : before)
            if (!findFontInList(id)) {
                out << "removed " << id << "\n";
                ++removed;
            }
        out << removed << " font(s) removed, " << g_FontList.GetCount() << " kept; " << texts.texts.size()
            << " text(s) on " << texts.screens.size() << " screen(s)\n";
    }
    Font_DenitLib();
    return rc;
}

}  // namespace studio
