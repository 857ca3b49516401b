// The default machine profile: the Windows of a Linux desktop, made from
// the fonts fontconfig lists (libfontconfig, with fontconfig's own
// configuration, FONTCONFIG_FILE included). Only hosts call this; the
// module never does.
//
//   <dir>/Fonts/            a link to every scalable TrueType/OpenType font
//                           file and collection fontconfig lists (flat, names
//                           made unique without regard to case)
//   <dir>/profile.ini       Locale, AnsiCodePage, and the icon-title font:
//                           fontconfig's "sans-serif" for the locale
//   <dir>/registry.reg      FontSubstitutes (the Windows faces projects name,
//                           each matched by fontconfig in the language it
//                           serves, where not installed) and
//                           FontLink\SystemLink (fontconfig's fallback order
//                           for the locale); the Fonts key is the installer's
//                           for the folder
//   <dir>/fontconfig.stamp  the font files (path, size, time) and the locale
//                           the profile was made from
//
// The profile is made again, into a new folder that then replaces the old
// one, whenever the stamp differs, so a removed font leaves no broken link.
#pragma once

#include <string>

// What libwinfontconfig.so exports: the operations declared here.
#define WINFONTCONFIG_API __attribute__((visibility("default")))

namespace fcprofile {

// Brings the profile in `dir` up to date with fontconfig's fonts for
// `locale` (a name such as "zh-CN"). False with a message when it cannot be
// made; *rebuilt tells whether it was made anew.
WINFONTCONFIG_API bool Update(const std::string& dir, const std::string& locale, std::string* error = nullptr,
            bool* rebuilt = nullptr);

// "zh-CN" from a POSIX locale such as "zh_CN.UTF-8"; "en-US" for "C",
// "POSIX" or nothing.
WINFONTCONFIG_API std::string LocaleFromPosix(const std::string& posix);

}  // namespace fcprofile
