// Fuzzes profile.ini: a machine profile whose settings file is the input is
// loaded, and what it sets is used as the module uses it (device caps, the
// icon title font realised and measured by GDI).
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "win/gdi.h"
#include "win/profile.h"
#include "win/wstr.h"

namespace {

struct Dirs {
    fuzzsupport::fs::path base, fuzzed;
};

const Dirs& Profiles() {
    static const Dirs dirs = [] {
        Dirs d;
        const auto root = fuzzsupport::ScratchDir("profile");
        d.base = root / "base";
        d.fuzzed = root / "fuzzed";
        const auto font = fuzzsupport::SystemFont();
        for (const auto& dir : {d.base, d.fuzzed}) {
            fuzzsupport::fs::create_directories(dir / "Fonts");
            if (!font.empty()) fuzzsupport::fs::create_symlink(font, dir / "Fonts" / font.filename());
        }
        return d;
    }();
    return dirs;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Dirs& dirs = Profiles();
    // Every run starts from the same loaded profile: a failed load keeps the previous one.
    FUZZ_CHECK(winprofile::Load(dirs.base.string()));
    const std::string baseDir = winprofile::Dir();
    const uint64_t generation = winprofile::Generation();

    fuzzsupport::WriteFile(dirs.fuzzed / "profile.ini", data, size);
    std::string error;
    if (!winprofile::Load(dirs.fuzzed.string(), &error)) {
        FUZZ_CHECK(!error.empty());
        FUZZ_CHECK(winprofile::Dir() == baseDir && winprofile::Generation() == generation);
        return 0;
    }
    FUZZ_CHECK(winprofile::Generation() == generation + 1);
    const winprofile::Settings& s = winprofile::GetSettings();
    FUZZ_CHECK(s.dpi >= 48 && s.dpi <= 960);
    FUZZ_CHECK(s.screenWidth > 0 && s.screenHeight > 0 && s.ansiCodePage > 0);
    FUZZ_CHECK(s.iconTitleFont.lfFaceName[LF_FACESIZE - 1] == 0);
    FUZZ_CHECK(s.langId == winprofile::LangIdForLocale(s.locale));

    HDC dc = GetDC(nullptr);
    FUZZ_CHECK(GetDeviceCaps(dc, LOGPIXELSY) == s.dpi);
    FUZZ_CHECK(GetDeviceCaps(dc, HORZRES) == s.screenWidth && GetDeviceCaps(dc, VERTRES) == s.screenHeight);
    LOGFONTW lf{};
    FUZZ_CHECK(SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof lf, &lf, 0));
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(font));
    TEXTMETRICW tm{};
    if (GetTextMetricsW(dc, &tm)) {
        FUZZ_CHECK(tm.tmHeight >= 0 && tm.tmHeight <= 4 * kMaxFontPixels);
        FUZZ_CHECK(tm.tmAscent + tm.tmDescent == tm.tmHeight);
    }
    WCHAR face[LF_FACESIZE];
    const int n = GetTextFaceW(dc, LF_FACESIZE, face);
    FUZZ_CHECK(n >= 0 && n <= LF_FACESIZE);
    SelectObject(dc, old);
    FUZZ_CHECK(DeleteObject(reinterpret_cast<HGDIOBJ>(font)));
    FUZZ_CHECK(ReleaseDC(nullptr, dc) == 1);
    FUZZ_CHECK(LiveFontCount() == 0);
    return 0;
}
