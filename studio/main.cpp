// tamsel-studio: a command-line host that plays the studio around the font
// library module.
#include <cstdlib>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "Studio.h"

namespace {
const char kOptionsHelp[] =
    "Options:\n"
    "  --profile DIR          machine profile (Fonts/, registry.reg, profile.ini); default:\n"
    "                         the desktop's fonts as fontconfig lists them, kept in\n"
    "                         $XDG_CACHE_HOME/tamsel/default-profile/LOCALE\n"
    "  --ui-lang NAME         user-interface language file (en_US, zh_CN); default en_US\n"
    "  --languages N          number of project languages, 1 to 8; default 2\n"
    "  -h, --help             show this help; after a COMMAND, that command's help\n"
    "  --version              show the version\n"
    "Options may come before or after the command, as --name VALUE or --name=VALUE;\n"
    "-- ends them.\n";

const char kExitHelp[] =
    "Exit status:\n"
    "  0                      done\n"
    "  1                      failed, or a file could not be read, written or deleted\n"
    "  2                      usage error: an unknown command or option, a missing value\n"
    "  3                      compile --strict: the panel cannot draw every character,\n"
    "                         or shapes a text otherwise than it is written\n";

const char kEnvironmentHelp[] =
    "Environment:\n"
    "  LANG, LC_ALL, LC_CTYPE the desktop's locale, which chooses the default profile\n"
    "  XDG_CACHE_HOME         where the default profile and the face cache are kept\n"
    "                         (default ~/.cache)\n"
    "  TAMSEL_FONT_CACHE      an absolute folder for the face cache instead; any other\n"
    "                         value: no face cache\n";

// The commands in the order the help lists them, with their usage.
const std::pair<const char*, const char*> kCommands[] = {
    {"open", studio::kOpenUsage},     {"edit", studio::kEditUsage},       {"select", studio::kSelectUsage},
    {"pack", studio::kPackUsage},     {"fonts", studio::kFontsUsage},     {"faces", studio::kFacesUsage},
    {"dialog", studio::kDialogUsage}, {"compile", studio::kCompileUsage}, {"preview", studio::kPreviewUsage},
};

// The usage of a command; nullptr when there is no such command.
const char* UsageOf(const std::string& command) {
    for (const auto& c : kCommands)
        if (command == c.first) return c.second;
    return nullptr;
}

void PrintUsage(std::ostream& os) {
    os << "Usage: tamsel-studio [OPTION]... COMMAND [ARGUMENT]...\n"
          "Plays the HMI studio around its font library: opens a project's font table\n"
          "(Font.hft), lists and edits its fonts, shows the font dialogs or renders them to\n"
          "PNG, and compiles the project's texts to the panel's fonts: QPF2 bitmap fonts or\n"
          "TrueType files cut down to the characters the texts use.\n\n"
          "Commands:\n";
    for (const auto& c : kCommands) os << c.second;
    os << "\n" << kOptionsHelp << "\n" << kExitHelp << "\n" << kEnvironmentHelp;
}

void PrintCommandUsage(const std::string& command, std::ostream& os) {
    os << "Usage: tamsel-studio [OPTION]... " << command << " [ARGUMENT]...\n\n"
       << UsageOf(command) << "\n"
       << kOptionsHelp << "\n"
       << kExitHelp;
}
}  // namespace

int Run(const std::vector<std::string>& args);

int main(int argc, char** argv) {
    const int rc = Run(std::vector<std::string>(argv + 1, argv + argc));
    // Whatever the command said, a file that could not be written fails it.
    if (studio::ReportFileFailures(std::cerr) > 0 && rc == studio::kOk) return studio::kFailure;
    return rc;
}

int Run(const std::vector<std::string>& args) {
    try {
        const studio::Options opt = studio::ParseOptions(args);
        if (opt.version) {
            std::cout << "tamsel-studio " << TAMSEL_VERSION << "\n";
            return studio::kOk;
        }
        if (opt.help) {
            if (!opt.positional.empty() && UsageOf(opt.positional[0]))
                PrintCommandUsage(opt.positional[0], std::cout);
            else
                PrintUsage(std::cout);
            return studio::kOk;
        }
        if (opt.positional.empty()) {
            PrintUsage(std::cerr);
            return studio::kUsage;
        }
        const std::string& cmd = opt.positional[0];
        if (!UsageOf(cmd)) {
            std::cerr << "tamsel-studio: unknown command '" << cmd << "'\n";
            PrintUsage(std::cerr);
            return studio::kUsage;
        }
        studio::ApplyOptions(opt);
        if (cmd == "fonts") return studio::RunFonts(opt, std::cout);
        if (cmd == "open") return studio::RunOpen(opt, std::cout);
        if (cmd == "faces") return studio::RunFaces(opt, std::cout);
        if (cmd == "compile") return studio::RunCompile(opt, std::cout);
        if (cmd == "preview") {
            setenv("QT_QPA_PLATFORM", "offscreen", 0);
            return studio::RunPreview(opt, std::cout);
        }
        if (cmd == "edit" || cmd == "select" || cmd == "pack") {
            if (!opt.png.empty()) setenv("QT_QPA_PLATFORM", "offscreen", 0);
            if (cmd == "edit") return studio::RunEdit(opt, std::cout);
            return cmd == "select" ? studio::RunSelect(opt, std::cout) : studio::RunPack(opt, std::cout);
        }
        // dialog: a rendering needs no display.
        if (!opt.png.empty()) setenv("QT_QPA_PLATFORM", "offscreen", 0);
        return studio::RunDialog(opt, std::cout);
    } catch (const studio::StudioError& e) {
        std::cerr << "tamsel-studio: " << e.message << "\n";
        return e.code;
    }
}
