// Merging another project's font table into the open one.
#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "FontTable.h"
#include "Velmora.h"
#include "win/wstr.h"

namespace {
std::u16string NameOf(const tagHMIFONT& rec) {
    return std::u16string(rec.szName, std::find(rec.szName, rec.szName + 32, u'\0'));
}

bool SameLogFont(const LOGFONTW& a, const LOGFONTW& b) {
    if (std::memcmp(&a, &b, offsetof(LOGFONTW, lfFaceName)) != 0) return false;
    return wcsncmp16(a.lfFaceName, b.lfFaceName, LF_FACESIZE) == 0;
}
}  // namespace

int Font_Copy(std::u16string path, std::map<int, int>& idMap, std::vector<int>& newIds) {
    Font_SaveLib();
    std::vector<const tagHMIFONT*> existing;
    std::set<std::u16string> names;
    int highest = 0;
    POSITION pos = g_FontList.GetHeadPosition();
    while (pos) {
        const tagHMIFONT* rec = g_FontList.GetNext(pos);
        names.insert(NameOf(*rec));
        existing.push_back(rec);
        if (rec->nID > highest) highest = rec->nID;
    }
    // Only whole records are read, names cut to their fields; a file that
    // holds fewer records than it declares merges those and then fails.
    const HftFileContents file = ReadFontTableFile(path.c_str());
    if (!file.opened || !file.headerRead) return 0;
    for (const tagHMIFONT& source : file.records) {
        auto* rec = new tagHMIFONT(source);
        const tagHMIFONT* same = nullptr;
        for (const tagHMIFONT* e : existing)
            if (SameLogFont(e->lf, rec->lf)) {
                same = e;
                break;
            }
        if (same) {
            // The first record of that description, by its own id: a name
            // shared by two fonts must not send the id to the other one.
            idMap[rec->nID] = same->nID;
            delete rec;
            continue;
        }
        const std::u16string name = NameOf(*rec);
        if (names.count(name)) {
            for (int n = 1;; ++n) {
                const CString candidate =
                    name.size() <= 14 ? Format(u"%s_%d", name.c_str(), n)
                                      : Format(u"%s_%ld_%d", std::u16string(rec->lf.lfFaceName, std::find(rec->lf.lfFaceName, rec->lf.lfFaceName + LF_FACESIZE, u'\0')).c_str(),
                                               rec->lf.lfHeight, n);
                if (!names.count(candidate.str())) {
                    CopyFixedName(rec->szName, candidate, 32);
                    break;
                }
            }
        }
        if (highest == INT_MAX) {
            // No id is left for it; the merge stops as at a read error.
            delete rec;
            return 0;
        }
        ++highest;
        idMap[rec->nID] = highest;
        rec->nID = highest;
        newIds.push_back(highest);
        g_FontList.AddTail(rec);
        if (g_nMaxFontID < highest) g_nMaxFontID = highest;
    }
    if (file.records.size() < file.declared) return 0;
    Font_SaveLib();
    return 1;
}
