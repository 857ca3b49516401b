// The studio host: shared state and helpers of the command-line studio.
#pragma once

#include <iosfwd>
#include <map>
#include <string>
#include <vector>

#include "Tamsel.h"
#include "mfc/afxstr.h"

namespace studio {

// Exit codes of tamsel-studio.
// kLost: a compile with --strict lost characters (its files are still written).
enum ExitCode { kOk = 0, kFailure = 1, kUsage = 2, kLost = 3 };

struct Options {
    std::string uiLanguage = "en_US";  // --ui-lang
    int languages = 2;                 // --languages
    std::string profile;               // --profile: machine profile directory
    std::string png;                   // --png: render a dialog to this file
    std::string face;                  // --face: a face name
    int size = 0;                      // --size
    std::string style;                 // --style
    std::string texts;                 // --texts: a texts file
    int lang = 0;                      // --lang: a language index
    int current = 0;                   // --current: a font id
    bool noDialog = false;             // --no-dialog
    std::string out;                   // --out: a compile's output folder
    std::string target;                // --target: qpf2 or ttf
    bool incremental = false;          // --incremental
    bool verify = false;               // --verify: an incremental compile hashes every recorded file again
    bool force = false;                // --force: compile into a folder the studio would refuse
    std::string report;                // --report: a compile's coverage report as JSON
    bool strict = false;               // --strict: a compile that loses characters fails
    bool shapingCheck = true;          // --no-shaping-check: a compile does not check its texts' shaping
    std::vector<std::string> missing;  // --missing: faces for the font change dialog
    std::string screen;                // --screen: one screen of the texts
    int language = -1;                 // --language: one project language, -1 all
    bool help = false;                 // --help, -h: the program's help, or with a command its own
    bool version = false;              // --version
    std::vector<std::string> positional;
};

// Thrown for errors the user must see; main() prints it and exits non-zero.
struct StudioError {
    std::string message;
    int code = kFailure;
};

// Splits argv into options and positional words (QCommandLineParser: options
// anywhere, "--name value" or "--name=value", "--" ends them). Unknown
// options, missing values and bad numbers are usage errors.
Options ParseOptions(const std::vector<std::string>& args);
// Sets the user-interface language and the project's languages.
void ApplyOptions(const Options& opt);
// Checks the project directory exists and makes it the open project.
void OpenProjectDir(const std::string& dir);
std::string Narrow(const CString& s);
// Prints what the file layer could not write or delete since the last call;
// the number of failures. Every command ends with it: a save the module's
// contract does not report still fails the command.
int ReportFileFailures(std::ostream& err);
std::string Narrow(const char16_t* s);

// Loads the machine profile named by --profile, or the default profile made
// from this machine's installed fonts.
void LoadProfile(const Options& opt);

// Whether a dialog could be shown to a user (X11 or Wayland, not offscreen).
bool HaveDisplay();
// Throws the error that tells the user to render with --png instead.
void RequireDisplay();

int RunFonts(const Options& opt, std::ostream& out);
extern const char* kFontsUsage;
int RunFaces(const Options& opt, std::ostream& out);
extern const char* kFacesUsage;
int RunDialog(const Options& opt, std::ostream& out);
int RunOpen(const Options& opt, std::ostream& out);
int RunEdit(const Options& opt, std::ostream& out);
int RunSelect(const Options& opt, std::ostream& out);
int RunPack(const Options& opt, std::ostream& out);
extern const char* kPackUsage;
extern const char* kSelectUsage;
extern const char* kEditUsage;
extern const char* kOpenUsage;
// fonts add|import|css|prune: on the project opened as the studio opens it.
int RunProjectFonts(const Options& opt, std::ostream& out);
// A font table, one font per line.
void PrintTable(std::ostream& out, const std::vector<tagHMIFONT>& records);
// The records of the module's font table, in table order.
std::vector<tagHMIFONT> ModuleTable();
// The open project's Font.hft (native path).
std::string FontTableFile();
// Gives the module the panel settings the studio keeps under "HmiSet": the
// screen of the loaded machine profile.
void SetPanelSettings();
// Opens the project as the studio does (Font_InitLib). With `repair`, missing
// faces are replaced: through the font change dialog, or with --no-dialog by
// SimSun; without it they are kept as stored.
void OpenProjectFonts(const Options& opt, bool repair, std::ostream& out);
extern const char* kDialogUsage;
// A text the panel shapes otherwise than the desktop shows it.
struct ShapingFinding {
    std::u16string file;  // the panel's file
    std::string screen;
    int line = 0;         // in the texts file
    int language = 0;
    std::string script;
    std::string why;
    std::u16string text;  // the line of the text that differs
};
// Where a compile left the panel's files.
struct CompileOutcome {
    std::string folder;                                // the fonts made for the panel
    std::map<std::u16string, std::u16string> packs;  // pack faces that travel whole -> their file
    std::vector<ShapingFinding> shaping;               // texts the panel shapes otherwise
};
int RunCompile(const Options& opt, std::ostream& out, CompileOutcome* outcome = nullptr);
extern const char* kCompileUsage;
int RunPreview(const Options& opt, std::ostream& out);
extern const char* kPreviewUsage;

}  // namespace studio
