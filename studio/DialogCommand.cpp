// tamsel-studio dialog: opens one of the module's dialogs, on a display or
// rendered to a PNG file.
#include <cstdlib>
#include <iostream>

#include "Studio.h"
#include "Tamsel.h"
#include "dialogs/DialogResources.h"
#include "dialogs/FontChangeDlg.h"
#include "dialogs/FontPropertiesDialog.h"
#include "mfc/mfcauto.h"
#include "win/wstr.h"

namespace studio {

const char* kDialogUsage =
    "  dialog properties|change [--png FILE] [--face F] [--missing FACE]...\n"
    "                         open the font properties or font change dialog; with --png,\n"
    "                         render it to FILE instead, after choosing face F as a user\n"
    "                         would; --missing names the faces the change dialog lists\n";

namespace {
// With --png, the dialog shows offscreen, is captured and cancelled.
void QueueCapture(const std::string& png, const std::string& face, bool* saved) {
    mfcauto::PushScript([png, face, saved](mfcauto::ModalContext& ctx) {
        if (!face.empty()) {
            const CString f(Utf8ToUtf16(face));
            if (ctx.TemplateId() == IDD_FONT_CHANGE) {
                ctx.SelectRows(3025, {0});
                ctx.SelectItem(3028, f);
            } else {
                ctx.Type(3011, f);
            }
        }
        *saved = ctx.SavePng(png);
        ctx.Click(IDCANCEL);
    });
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

    INT_PTR result = IDCANCEL;
    if (which == "properties") {
        CFontPropertiesDialog dlg;
        dlg.m_bAutoName = 1;
        result = dlg.DoModal();
        if (opt.png.empty() && result == IDOK) {
            const LOGFONTW* lf = dlg.GetLogFont();
            out << Narrow(dlg.m_strName) << "\t" << Narrow(lf->lfFaceName) << "\t" << lf->lfHeight << "\t"
                << lf->lfWeight << (lf->lfItalic ? "\titalic" : "") << "\n";
        }
    } else {
        CMissingFaceMap map;
        // The loader proposes SimSun by its Chinese name for every missing face.
        for (const std::string& face : opt.missing) map[CString(Utf8ToUtf16(face))] = u"宋体";
        if (opt.missing.empty()) {
            map[u"Helvetica"] = u"宋体";
            map[u"Microsoft YaHei"] = u"宋体";
        }
        CFontChangeDlg dlg(nullptr, &map);
        result = dlg.DoModal();
        if (opt.png.empty() && result == IDOK)
            for (const auto& kv : map) out << Narrow(kv.first) << "\t" << Narrow(kv.second) << "\n";
    }
    for (const std::string& e : mfcauto::Errors()) std::cerr << "tamsel-studio: " << e << "\n";
    if (!opt.png.empty()) {
        if (!saved) throw StudioError{"cannot write " + opt.png};
        out << "wrote " << opt.png << "\n";
        return kOk;
    }
    return result == IDOK ? kOk : kFailure;
}

}  // namespace studio
