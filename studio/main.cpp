// tamsel-studio: a command-line host that plays the studio around the font
// library module.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "Studio.h"

namespace {
void PrintUsage(std::ostream& os) {
    os << "usage: tamsel-studio [options] COMMAND ...\n\n"
          "commands:\n"
       << studio::kOpenUsage << studio::kEditUsage << studio::kSelectUsage << studio::kPackUsage << studio::kFontsUsage << studio::kFacesUsage << studio::kDialogUsage << studio::kCompileUsage << studio::kPreviewUsage
       << "\noptions:\n"
          "  --profile DIR      machine profile (Fonts/, registry.reg, profile.ini); default:\n"
          "                     the desktop's fonts as fontconfig lists them, kept in\n"
          "                     $XDG_CACHE_HOME/tamsel/default-profile/LOCALE\n"
          "  --ui-lang NAME     user-interface language file (en_US, zh_CN); default en_US\n"
          "  --languages N      number of project languages, 1 to 8; default 2\n"
          "  --help             show this help\n";
}
}  // namespace

int Run(const std::vector<std::string>& args);

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const auto& a : args)
        if (a == "--help" || a == "-h") {
            PrintUsage(std::cout);
            return studio::kOk;
        }
    const int rc = Run(args);
    // Whatever the command said, a file that could not be written fails it.
    if (studio::ReportFileFailures(std::cerr) > 0 && rc == studio::kOk) return studio::kFailure;
    return rc;
}

int Run(const std::vector<std::string>& args) {
    try {
        const studio::Options opt = studio::ParseOptions(args);
        if (opt.positional.empty()) {
            PrintUsage(std::cerr);
            return studio::kUsage;
        }
        const std::string& cmd = opt.positional[0];
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
        if (cmd == "dialog") {
            // A rendering needs no display.
            if (!opt.png.empty()) setenv("QT_QPA_PLATFORM", "offscreen", 0);
            return studio::RunDialog(opt, std::cout);
        }
        std::cerr << "tamsel-studio: unknown command '" << cmd << "'\n";
        PrintUsage(std::cerr);
        return studio::kUsage;
    } catch (const studio::StudioError& e) {
        std::cerr << "tamsel-studio: " << e.message << "\n";
        return e.code;
    }
}
