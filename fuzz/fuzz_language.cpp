// Fuzzes the language files (*.lng): the input is loaded from a language
// folder as the user-interface language, then looked up as the module does
// (message strings, the prefix, dialog captions by template and control id).
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "Velmora.h"
#include "win/wstr.h"

namespace {

// A dialog with a few controls, as LA_SetDlgStrings sees one.
struct Dialog {
    CWnd window, controls[4];
    static constexpr int kIds[4] = {1, 1001, 65535, 0};
    Dialog() {
        for (int i = 0; i < 4; ++i) window.AttachChild(kIds[i], &controls[i]);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzzsupport::fs::path dir = [] {
        const auto d = fuzzsupport::ScratchDir("language");
        velmora::SetLanguageDir(d.string());
        return d;
    }();
    fuzzsupport::WriteFile(dir / "fuzz.lng", data, size);
    // The file replaces whatever the last run loaded.
    FUZZ_CHECK(velmora::SetUILanguage("fuzz"));
    FUZZ_CHECK(velmora::GetUILanguage() == "fuzz");

    for (const char16_t* key : {u"STR_40001", u"STR_40002", u"", u"Name", u"STR_99999"}) (void)LA_GetString(key);
    (void)LA_GetString(nullptr);
    (void)LA_GetLangPrefix();

    Dialog dialog;
    for (const char16_t* section : {u"Tamsel", u"", u"Strings", u"Language"})
        for (UINT id : {0u, 1u, 3001u, 3065u, 4294967295u}) {
            const int replaced = LA_SetDlgStrings(&dialog.window, id, section);
            FUZZ_CHECK(replaced >= 0 && replaced <= 5);
        }
    FUZZ_CHECK(LA_SetDlgStrings(nullptr, 3001, u"Tamsel") == 0);

    // Loading the file again gives the same strings: nothing is kept from before.
    const CString prefix = LA_GetLangPrefix(), message = LA_GetString(u"STR_40001");
    Dialog again;
    LA_SetDlgStrings(&again.window, 3001, u"Tamsel");
    FUZZ_CHECK(velmora::SetUILanguage("fuzz"));
    Dialog reloaded;
    LA_SetDlgStrings(&reloaded.window, 3001, u"Tamsel");
    FUZZ_CHECK(LA_GetLangPrefix() == prefix && LA_GetString(u"STR_40001") == message);
    for (int i = 0; i < 4; ++i) {
        CString a, b;
        again.controls[i].GetWindowText(a);
        reloaded.controls[i].GetWindowText(b);
        FUZZ_CHECK(a == b);
    }
    return 0;
}
