#include <cstdarg>
#include <filesystem>

#include "DataDir.h"
#include "Velmora.h"
#include "win/files.h"
#include "win/wstr.h"

namespace {
struct UtilityState {
    bool fastCompile = false;
    int screenWidth = 1920;
    int screenHeight = 1080;
    std::pair<int, int> lastHelp{0, 0};
};

UtilityState& State() {
    static UtilityState state;
    return state;
}
}  // namespace

CString Format(const WCHAR* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    CString s(FormatV16(fmt, ap));
    va_end(ap);
    return s;
}

std::string Unicode_ConvertTo_Utf8(const std::u16string& text) { return Utf16ToUtf8(text); }
std::string Unicode_ConvertTo_Utf8(const WCHAR* text) { return Utf16ToUtf8(text); }

std::string GetStudioScriptDir() { return velmora::DataDir() + "/scripts"; }

int GetFastCompileEnable() { return State().fastCompile ? 1 : 0; }

BOOL DelDebugDir(const WCHAR* projectDir) {
    if (!projectDir || !*projectDir) return FALSE;
    std::error_code ec;
    const std::filesystem::path debug = std::filesystem::path(NativePath(projectDir)) / "Debug";
    if (!std::filesystem::exists(debug, ec)) return TRUE;
    std::filesystem::remove_all(debug, ec);
    return ec ? FALSE : TRUE;
}

BOOL OpenHmiChmHelp(int group, int topic) {
    State().lastHelp = {group, topic};
    return TRUE;
}

RECT GetBestRect(POINT pt, int width, int height) {
    const UtilityState& s = State();
    width = std::max(0, width);
    height = std::max(0, height);
    LONG left = pt.x, top = pt.y;
    if (left + width > s.screenWidth) left = s.screenWidth - width;
    if (top + height > s.screenHeight) top = s.screenHeight - height;
    if (left < 0) left = 0;
    if (top < 0) top = 0;
    return RECT{left, top, left + width, top + height};
}

namespace velmora {
void SetFastCompile(bool on) { State().fastCompile = on; }
void SetScreenSize(int width, int height) {
    State().screenWidth = width;
    State().screenHeight = height;
}
std::pair<int, int> LastHelpTopic() { return State().lastHelp; }
}  // namespace velmora
