// tamsel-studio dialog: opens one of the module's dialogs, on a display or
// rendered to a PNG file, through the module's exported functions.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>

#include "Stanchion.h"
#include "Studio.h"
#include "Tamsel.h"
#include "TamselRes.h"
#include "mfc/mfcauto.h"
#include "win/files.h"
#include "win/wstr.h"

namespace studio {

const char* kDialogUsage =
    "  dialog properties|change [--png FILE] [--face F] [--missing FACE]...\n"
    "                         open the font properties dialog (as NewFont does) or the font change\n"
    "                         dialog (as Font_InitLib does for a project whose fonts use faces that\n"
    "                         are not installed); with --png, render it to FILE instead, after\n"
    "                         choosing face F as a user would; --missing names those faces\n";

namespace {
namespace fs = std::filesystem;

// With --png, the dialog shows offscreen, is captured and cancelled.
void QueueCapture(const std::string& png, const std::string& face, bool* saved) {
    mfcauto::PushScript([png, face, saved](mfcauto::ModalContext& ctx) {
        if (!face.empty()) {
            const CString f(Utf8ToUtf16(face));
            if (ctx.TemplateId() == IDD_FONT_CHANGE) {
                ctx.SelectRows(IDC_CHANGE_LIST, {0});
                ctx.SelectItem(IDC_CHANGE_FACES, f);
            } else {
                ctx.Type(IDC_PROPS_FACE, f);
            }
        }
        *saved = ctx.SavePng(png);
        ctx.Click(IDCANCEL);
    });
}

// A project of the studio's own, in a temporary folder, whose Font.hft has
// one font of each face; removed with everything the module wrote into it.
class ScratchProject {
public:
    explicit ScratchProject(const std::vector<std::u16string>& faces) {
        std::string pattern = (fs::temp_directory_path() / "tamsel-studio-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw StudioError{"cannot make a temporary project folder"};
        m_dir = pattern;
        std::string table(4, '\0');
        const auto count = static_cast<uint32_t>(faces.size());
        for (int i = 0; i < 4; ++i) table[static_cast<size_t>(i)] = static_cast<char>(count >> (8 * i));
        for (size_t k = 0; k < faces.size(); ++k) {
            tagHMIFONT rec{};
            rec.nID = kDefaultFontID + 2 + static_cast<int>(k);
            CopyFixedName(rec.szName, faces[k].c_str(), 32);
            CopyFixedName(rec.lf.lfFaceName, faces[k].c_str(), LF_FACESIZE);
            rec.lf.lfHeight = 24;
            rec.lf.lfWeight = FW_NORMAL;
            rec.lf.lfCharSet = DEFAULT_CHARSET;
            table.append(reinterpret_cast<const char*>(&rec), sizeof rec);
        }
        const std::u16string path = WindowsPath(m_dir.string()) + u"\\Font.hft";
        bool writeFailed = false;
        if (!ReplaceFileContents(path.c_str(), table.data(), table.size(), &writeFailed))
            throw StudioError{"cannot write " + NativePath(path)};
        CRootMgr::getSingleton()->setProjectDir(CString(WindowsPath(m_dir.string())));
    }
    ~ScratchProject() {
        CRootMgr::getSingleton()->setProjectDir(CString());
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    ScratchProject(const ScratchProject&) = delete;
    ScratchProject& operator=(const ScratchProject&) = delete;

private:
    fs::path m_dir;
};

// The font properties dialog, as NewFont runs it for a new font: prints the
// font the user made.
int RunProperties(const Options& opt, std::ostream& out) {
    int id = 0;
    const int made = NewFont(&id);
    const tagHMIFONT* rec = made ? findFontInList(id) : nullptr;
    if (opt.png.empty() && rec)
        out << Narrow(rec->szName) << "\t" << Narrow(rec->lf.lfFaceName) << "\t" << rec->lf.lfHeight << "\t"
            << rec->lf.lfWeight << (rec->lf.lfItalic ? "\titalic" : "") << "\n";
    Font_DenitLib();
    return made ? kOk : kFailure;
}

// The font change dialog, as Font_InitLib opens it for a project whose faces
// are missing here: prints each missing face and the face that replaces it.
int RunChange(const Options& opt, std::ostream& out) {
    std::vector<std::u16string> faces;
    for (const std::string& face : opt.missing) faces.push_back(Utf8ToUtf16(face));
    if (faces.empty()) faces = {u"Helvetica", u"Microsoft YaHei"};
    ScratchProject project(faces);
    SetPanelSettings();
    const size_t pending = mfcauto::PendingScripts();
    int skip = 0;
    Font_InitLib(&skip, false, nullptr);
    const bool captured = mfcauto::PendingScripts() < pending;
    // The table opens with the fonts of the file, in its order.
    std::map<CString, CString> replaced;
    bool changed = false;
    POSITION pos = g_FontList.GetHeadPosition();
    for (size_t k = 0; k < faces.size() && pos; ++k) {
        const CString now(g_FontList.GetNext(pos)->lf.lfFaceName);
        changed = changed || now != CString(faces[k]);
        replaced.emplace(CString(faces[k]), now);
    }
    Font_DenitLib();
    // The dialog opens only for faces that are not installed.
    if (opt.png.empty() ? skip != 1 && !changed : !captured) {
        mfcauto::ClearScripts();
        throw StudioError{"the font change dialog did not open: no face given is missing"};
    }
    if (!opt.png.empty()) return kOk;
    if (skip == 1) return kFailure;
    for (const auto& kv : replaced) out << Narrow(kv.first) << "\t" << Narrow(kv.second) << "\n";
    return kOk;
}

}  // namespace

int RunDialog(const Options& opt, std::ostream& out) {
    if (opt.positional.size() != 2) throw StudioError{"dialog takes one name: properties or change", kUsage};
    const std::string& which = opt.positional[1];
    if (which != "properties" && which != "change") throw StudioError{"unknown dialog '" + which + "'", kUsage};
    if (opt.png.empty()) RequireDisplay();
    LoadProfile(opt);
    bool saved = false;
    if (!opt.png.empty()) QueueCapture(opt.png, opt.face, &saved);
    const int rc = which == "properties" ? RunProperties(opt, out) : RunChange(opt, out);
    for (const std::string& e : mfcauto::Errors()) std::cerr << "tamsel-studio: " << e << "\n";
    if (!opt.png.empty()) {
        if (!saved) throw StudioError{"cannot write " + opt.png};
        out << "wrote " << opt.png << "\n";
        return kOk;
    }
    return rc;
}

}  // namespace studio
