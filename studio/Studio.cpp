#include "Studio.h"

#include <QCommandLineParser>
#include <QStringList>

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

namespace {
// The options every command takes, as QCommandLineParser knows them.
struct OptionSpec {
    const char* name;
    const char* valueName;  // nullptr: a flag
};
const OptionSpec kOptionSpecs[] = {
    {"profile", "DIR"},   {"ui-lang", "NAME"},  {"languages", "N"}, {"png", "FILE"},    {"screen", "NAME"},
    {"size", "N"},        {"lang", "N"},        {"current", "ID"},  {"language", "N"},  {"style", "STYLE"},
    {"texts", "FILE"},    {"out", "DIR"},       {"target", "KIND"}, {"report", "JSON"}, {"face", "NAME"},
    {"missing", "FACE"},  {"incremental", nullptr}, {"verify", nullptr}, {"force", nullptr},
    {"strict", nullptr},  {"no-dialog", nullptr},   {"help", nullptr},   {"version", nullptr},
    {"no-shaping-check", nullptr},
};

int Number(const QCommandLineParser& p, const char* name, int fallback) {
    if (!p.isSet(name)) return fallback;
    const std::string v = p.value(name).toStdString(), option = std::string("--") + name;
    try {
        size_t used = 0;
        const int n = std::stoi(v, &used);
        if (used != v.size()) throw std::invalid_argument(v);
        return n;
    } catch (...) {
        throw StudioError{option + " needs a number, not '" + v + "'", kUsage};
    }
}

std::string Text(const QCommandLineParser& p, const char* name) { return p.value(name).toStdString(); }

// The argument the user typed for an option QCommandLineParser names without its dashes.
std::string AsTyped(const std::vector<std::string>& args, const QString& name) {
    for (const std::string& a : args) {
        const std::string bare = a.substr(a.find_first_not_of('-'));
        if (QString::fromStdString(bare.substr(0, bare.find('='))) == name) return a.substr(0, a.find('='));
    }
    return "--" + name.toStdString();
}
}  // namespace

Options ParseOptions(const std::vector<std::string>& args) {
    QCommandLineParser p;
    // --profile, never -p -r -o ...: the studio's options are all long.
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const OptionSpec& o : kOptionSpecs) {
        QStringList names{QString::fromLatin1(o.name)};
        if (std::string(o.name) == "help") names.prepend("h");
        p.addOption(o.valueName ? QCommandLineOption(names, QString(), QString::fromLatin1(o.valueName))
                                : QCommandLineOption(names));
    }
    QStringList list{QStringLiteral("tamsel-studio")};
    for (const std::string& a : args) list << QString::fromStdString(a);
    if (!p.parse(list)) {
        if (!p.unknownOptionNames().isEmpty())
            throw StudioError{"unknown option '" + AsTyped(args, p.unknownOptionNames().front()) + "'", kUsage};
        // "Missing value after '--profile'.", as Qt words it.
        const QString error = p.errorText();
        const int from = error.indexOf('\'') + 1, to = error.lastIndexOf('\'');
        throw StudioError{"option " + (to > from ? error.mid(from, to - from).toStdString() : error.toStdString()) +
                              " needs a value",
                          kUsage};
    }
    Options opt;
    opt.help = p.isSet("help");
    opt.version = p.isSet("version");
    for (const QString& a : p.positionalArguments()) opt.positional.push_back(a.toStdString());
    if (opt.help || opt.version) return opt;
    if (p.isSet("profile")) opt.profile = Text(p, "profile");
    if (p.isSet("ui-lang")) opt.uiLanguage = Text(p, "ui-lang");
    opt.languages = Number(p, "languages", opt.languages);
    if (opt.languages < 1 || opt.languages > kMaxProjectLanguages)
        throw StudioError{"--languages must be between 1 and 8", kUsage};
    opt.png = Text(p, "png");
    opt.screen = Text(p, "screen");
    opt.size = Number(p, "size", opt.size);
    opt.lang = Number(p, "lang", opt.lang);
    opt.current = Number(p, "current", opt.current);
    opt.language = Number(p, "language", opt.language);
    if (p.isSet("language") && opt.language < 0)
        throw StudioError{"--language needs a language index, not '" + Text(p, "language") + "'", kUsage};
    opt.style = Text(p, "style");
    opt.texts = Text(p, "texts");
    opt.out = Text(p, "out");
    opt.target = Text(p, "target");
    opt.report = Text(p, "report");
    opt.face = Text(p, "face");
    for (const QString& m : p.values("missing")) opt.missing.push_back(m.toStdString());
    opt.incremental = p.isSet("incremental");
    opt.verify = p.isSet("verify");
    opt.force = p.isSet("force");
    opt.strict = p.isSet("strict");
    opt.shapingCheck = !p.isSet("no-shaping-check");
    opt.noDialog = p.isSet("no-dialog");
    return opt;
}

void ApplyOptions(const Options& opt) {
    if (!velmora::SetUILanguage(opt.uiLanguage))
        throw StudioError{"no language file for '" + opt.uiLanguage + "'", kUsage};
    velmora::SetProjectLanguages(opt.languages);
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
