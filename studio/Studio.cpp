#include "Studio.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <stdexcept>

#include "Stanchion.h"
#include "Velmora.h"
#include "win/fcprofile.h"
#include "win/files.h"
#include "win/filesafety.h"
#include "win/profile.h"
#include "win/registry.h"
#include "win/wstr.h"

namespace studio {

Options ParseOptions(const std::vector<std::string>& args) {
    Options opt;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](const char* name) {
            if (i + 1 >= args.size()) throw StudioError{std::string("option ") + name + " needs a value", kUsage};
            return args[++i];
        };
        if (a == "--profile") {
            opt.profile = value("--profile");
        } else if (a == "--ui-lang") {
            opt.uiLanguage = value("--ui-lang");
        } else if (a == "--languages") {
            const std::string v = value("--languages");
            try {
                opt.languages = std::stoi(v);
            } catch (...) {
                throw StudioError{"--languages needs a number, not '" + v + "'", kUsage};
            }
            if (opt.languages < 1 || opt.languages > kMaxProjectLanguages)
                throw StudioError{"--languages must be between 1 and 8", kUsage};
        } else if (a == "--png") {
            opt.png = value("--png");
        } else if (a == "--screen") {
            opt.screen = value("--screen");
        } else if (a == "--size" || a == "--lang" || a == "--current" || a == "--language") {
            const std::string v = value(a.c_str());
            int n = 0;
            try {
                size_t used = 0;
                n = std::stoi(v, &used);
                if (used != v.size()) throw std::invalid_argument(v);
            } catch (...) {
                throw StudioError{a + " needs a number, not '" + v + "'", kUsage};
            }
            if (a == "--language" && n < 0) throw StudioError{"--language needs a language index, not '" + v + "'", kUsage};
            (a == "--size" ? opt.size : a == "--lang" ? opt.lang : a == "--language" ? opt.language : opt.current) = n;
        } else if (a == "--style") {
            opt.style = value("--style");
        } else if (a == "--texts") {
            opt.texts = value("--texts");
        } else if (a == "--out") {
            opt.out = value("--out");
        } else if (a == "--target") {
            opt.target = value("--target");
        } else if (a == "--incremental") {
            opt.incremental = true;
        } else if (a == "--verify") {
            opt.verify = true;
        } else if (a == "--force") {
            opt.force = true;
        } else if (a == "--report") {
            opt.report = value("--report");
        } else if (a == "--strict") {
            opt.strict = true;
        } else if (a == "--no-dialog") {
            opt.noDialog = true;
        } else if (a == "--face") {
            opt.face = value("--face");
        } else if (a == "--missing") {
            opt.missing.push_back(value("--missing"));
        } else if (a.size() > 1 && a[0] == '-') {
            throw StudioError{"unknown option '" + a + "'", kUsage};
        } else {
            opt.positional.push_back(a);
        }
    }
    if (!velmora::SetUILanguage(opt.uiLanguage))
        throw StudioError{"no language file for '" + opt.uiLanguage + "'", kUsage};
    velmora::SetProjectLanguages(opt.languages);
    return opt;
}

void OpenProjectDir(const std::string& dir) {
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec))
        throw StudioError{"project directory '" + dir + "' does not exist or is not a directory"};
    // A backslash the user typed is part of a Linux name, never a separator.
    CRootMgr::getSingleton()->setProjectDir(CString(WindowsPath(std::filesystem::absolute(dir).string())));
}

namespace {
std::string CacheHome() {
    const std::string home = winprofile::UserCacheHome();
    if (home.empty()) throw StudioError{"no HOME or XDG_CACHE_HOME for the default machine profile; use --profile DIR"};
    return home;
}

// The desktop's locale, as the user's environment sets it.
std::string DesktopLocale() {
    for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"})
        if (const char* v = std::getenv(var); v && *v) return fcprofile::LocaleFromPosix(v);
    return fcprofile::LocaleFromPosix("");
}
}  // namespace

void LoadProfile(const Options& opt) {
    std::string dir = opt.profile;
    if (dir.empty()) {
        // The desktop's fonts as fontconfig lists them, kept in the user's
        // cache folder (one profile per locale) and made again when they change.
        const std::string locale = DesktopLocale();
        dir = CacheHome() + "/tamsel/default-profile/" + locale;
        std::string error;
        if (!fcprofile::Update(dir, locale, &error))
            throw StudioError{"cannot make the default machine profile: " + error};
    }
    std::string error;
    if (!winprofile::Load(dir, &error)) throw StudioError{error};
    for (const std::string& p : winregistry::RegistryProblems())
        std::cerr << "tamsel-studio: warning: " << (std::filesystem::path(dir) / "registry.reg").string() << " " << p
                  << "\n";
    const auto& s = winprofile::GetSettings();
    velmora::SetScreenSize(s.screenWidth, s.screenHeight);
}

std::string FontTableFile() {
    return NativePath(CRootMgr::getSingleton()->getProjectDir() + u"\\Font.hft");
}

void SetPanelSettings() {
    static CHmiSet panel{};
    const auto& s = winprofile::GetSettings();
    panel = CHmiSet{0, s.screenWidth, s.screenHeight, 16};
    stanchion::SetAppObject(u"HmiSet", &panel);
}

bool HaveDisplay() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && std::string(platform) == "offscreen") return false;
    return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
}

void RequireDisplay() {
    if (!HaveDisplay()) throw StudioError{"no display to show the dialog on; use --png FILE to render it", kFailure};
}

int ReportFileFailures(std::ostream& err) {
    const std::vector<winfiles::Failure> failures = winfiles::TakeFailures();
    for (const winfiles::Failure& f : failures) err << "tamsel-studio: " << f.path << ": " << f.what << "\n";
    return static_cast<int>(failures.size());
}

std::string Narrow(const CString& s) { return Utf16ToUtf8(s.str()); }
std::string Narrow(const char16_t* s) { return Utf16ToUtf8(s); }

}  // namespace studio
