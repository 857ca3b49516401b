// Fuzzes the Font.hft readers (the table loader and the merge of another
// project's table) and the table operations over what they load.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "FontTable.h"
#include "FuzzSupport.h"
#include "win/wstr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = (fuzzsupport::ScratchDir("fonttable") / "Font.hft").string();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    const HftFileContents file = ReadFontTableFile(Utf8ToUtf16(path).c_str());
    if (file.records.size() * sizeof(tagHMIFONT) + 4 > size && !file.records.empty()) __builtin_trap();
    Font_DenitLib();
    for (const tagHMIFONT& rec : file.records) g_FontList.AddTail(new tagHMIFONT(rec));
    CStringArray names, ids;
    Font_GetFontNames(names, ids);
    for (const tagHMIFONT& rec : file.records) Font_GetFontName(rec.nID);
    // The other loader: merging the file into the table just built.
    std::map<int, int> idMap;
    std::vector<int> added;
    Font_Copy(Utf8ToUtf16(path), idMap, added);
    Font_GetFontNames(names, ids);
    Font_DenitLib();
    return 0;
}
