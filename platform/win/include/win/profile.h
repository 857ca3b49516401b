// The machine profile: one directory that stands for the workstation the
// module runs on.
//
//   <profile>/Fonts/         the flat Windows fonts folder
//   <profile>/registry.reg   optional, Windows .reg text (REGEDIT4 or
//                            "Windows Registry Editor Version 5.00"); when
//                            absent the HKLM Fonts key is built from Fonts/
//                            as the Windows installer fills it
//   <profile>/profile.ini    optional settings:
//       [Profile]
//       Locale=zh-CN            system locale: which localized family names GDI reports
//       AnsiCodePage=936        the ANSI code page (CP_ACP)
//       Dpi=96                  screen logical pixels per inch
//       ScreenWidth=1920
//       ScreenHeight=1080
//       IconTitleFont=Segoe UI,-12,400,0   face, lfHeight, lfWeight, lfItalic
//
// The host selects the profile; nothing here reads the environment.
#pragma once

#include <cstdint>
#include <string>

#include "win/windows.h"

namespace winprofile {

struct Settings {
    std::string locale = "en-US";
    WORD langId = 0x0409;  // derived from locale
    UINT ansiCodePage = 1252;
    int dpi = 96;
    int screenWidth = 1920;
    int screenHeight = 1080;
    LOGFONTW iconTitleFont{};  // face "Segoe UI", -12, 400 unless set
};

// Loads a profile directory. False (and the previous profile kept) when the
// directory does not exist or its settings cannot be parsed.
WINAPI_EXPORT bool Load(const std::string& dir, std::string* error = nullptr);
// True once a profile has been loaded.
WINAPI_EXPORT bool IsLoaded();
WINAPI_EXPORT const std::string& Dir();
// Absolute path of the fonts folder (<profile>/Fonts), "" without a profile.
WINAPI_EXPORT std::string FontsDir();
WINAPI_EXPORT const Settings& GetSettings();
// Increments on every Load, so caches built from the profile know to refresh.
WINAPI_EXPORT uint64_t Generation();
// Windows LANGID for a locale name such as "zh-CN"; 0x0409 for unknown names.
WINAPI_EXPORT WORD LangIdForLocale(const std::string& locale);
// The user's cache folder as XDG gives it: $XDG_CACHE_HOME when absolute,
// else $HOME/.cache; empty when neither is set.
WINAPI_EXPORT std::string UserCacheHome();

}  // namespace winprofile
