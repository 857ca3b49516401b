// Windows' own keys for faces that are not installed or lack characters, read
// from the machine profile's registry:
//   HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\FontSubstitutes
//       "Face" or "Face,charset" -> "Substitute" or "Substitute,charset"
//   HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink
//       "Face" -> REG_MULTI_SZ of "FILE,Face" (or "FILE") entries
// Both are read once per profile.
#pragma once

#include <string>
#include <vector>

#include "win/fontdb.h"
#include "win/windows.h"

namespace fontlink {

// The face the font mapper puts in place of `face` asked for in `charset`:
// the value "face,charset" when the key has one, else the value "face";
// empty when neither is there. Names compare without regard to case.
WINAPI_EXPORT std::u16string SubstituteFor(const std::u16string& face, BYTE charset);

struct Link {
    std::u16string file;  // a file name in the fonts folder
    std::u16string face;  // empty: the file's first face
};
// The SystemLink entries of a face, in the registry's order.
WINAPI_EXPORT std::vector<Link> SystemLinkOf(const std::u16string& face);

// The installed faces that supply characters `face` lacks: each SystemLink
// entry resolved in the fonts folder (the file's face of that name, or its
// first face), entries whose file or face is not there skipped.
WINAPI_EXPORT std::vector<const fontdb::Face*> LinkedFaces(const std::u16string& face);

}  // namespace fontlink
