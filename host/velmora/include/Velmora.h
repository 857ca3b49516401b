// Velmora: the studio's language service, XML documents, small utilities and
// panel-model limits, as the font module calls them.
#pragma once

#include <cstdint>
#include <string>

#include "XMLDocument.h"
#include "mfc/afxstr.h"
#include "mfc/afxwin.h"
#include "win/windows.h"

// The host allows at most this many project languages.
constexpr int kMaxProjectLanguages = 8;
// Separator that ends each language's piece of a multi-language text.
constexpr WCHAR kLangSeparator = 0x0002;

// ---- Language service ----
// Text of a message key in the user-interface language; empty when the key
// is unknown.
VELMORA_API CString LA_GetString(const WCHAR* key);
// Prefix of the user-interface language ("" for the studio's native
// Simplified Chinese).
VELMORA_API CString LA_GetLangPrefix();
// Replaces the captions of a dialog and its controls from the language file
// section `section` for template `dialogId`. Returns the number replaced.
VELMORA_API int LA_SetDlgStrings(CWnd* dialog, UINT dialogId, const WCHAR* section);

VELMORA_API int getLangCount();
VELMORA_API int GetCurLanguage();
// Piece `lang` of a multi-language text; empty when the text has none.
VELMORA_API void GetLangString(const CString& text, CString& out, int lang);
VELMORA_API void GetLangString(const std::u16string& text, std::u16string& out, int lang);
// Buffer form: `buf` holds at least MAX_PATH units; the piece is cut to
// MAX_PATH - 1 units and terminated.
VELMORA_API void GetLangString(const WCHAR* text, WCHAR* buf, int lang);

// ---- Utilities ----
VELMORA_API CString Format(const WCHAR* fmt, ...);
VELMORA_API std::string Unicode_ConvertTo_Utf8(const std::u16string& text);
VELMORA_API std::string Unicode_ConvertTo_Utf8(const WCHAR* text);
VELMORA_API int GetFastCompileEnable();
// The folder of the studio's own script modules (myFont.py): part of the
// studio's installation, never the project's folder.
VELMORA_API std::string GetStudioScriptDir();
// Discards the project's debug build output (the "Debug" folder of the project).
VELMORA_API BOOL DelDebugDir(const WCHAR* projectDir);
// Opens the help at a topic; the studio records the request.
VELMORA_API BOOL OpenHmiChmHelp(int group, int topic);
// A rectangle of the given size at `pt`, moved so that it stays on the screen.
VELMORA_API RECT GetBestRect(POINT pt, int width, int height);

// ---- Panel-model limits ----
class VELMORA_API CHmiAuth {
public:
    static CHmiAuth* getSingleton();
    // Reads `key` of the current panel model into `value` (left unchanged
    // when the model has no such limit). True when the key was found.
    bool getModelDataLimit(const std::string& key, int64_t& value, const std::string& subKey);

private:
    CHmiAuth() = default;
};

// ---- Host settings: set by the studio program, read by the services above ----
namespace velmora {
VELMORA_API void SetLanguageDir(const std::string& dir);
// Loads "<language dir>/<name>.lng" as the user-interface language
// (e.g. "en_US", "zh_CN"). False, and the previous language kept, when the
// file cannot be read.
VELMORA_API bool SetUILanguage(const std::string& name);
VELMORA_API std::string GetUILanguage();
// Clamped to 0 .. kMaxProjectLanguages.
VELMORA_API void SetProjectLanguages(int count);
VELMORA_API void SetCurrentLanguage(int index);
VELMORA_API void SetFastCompile(bool on);
VELMORA_API void SetScreenSize(int width, int height);
// The panel models' limits; an empty path: the models shipped with the library.
VELMORA_API void SetModelDataFile(const std::string& path);
// False when the model is not in the data file.
VELMORA_API bool SetPanelModel(const std::string& model);
// The last help topic opened, (0, 0) when none.
VELMORA_API std::pair<int, int> LastHelpTopic();
}  // namespace velmora
