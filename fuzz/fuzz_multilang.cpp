// Fuzzes the multi-language string parser and the language-piece reader.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FontTable.h"
#include "Velmora.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    velmora::SetProjectLanguages(data[0] % (kMaxProjectLanguages + 1));
    std::u16string text;
    for (size_t i = 1; i + 1 < size; i += 2) text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    tagMULTIFONT mf;
    Font_GetMultiFontFromString(text.c_str(), mf);
    for (int slot = getLangCount(); slot < kMultiFontSlots; ++slot)
        if (mf.wFontID[slot] != 0) __builtin_trap();  // unused slots stay 0
    CString names;
    Font_GetStringFromFont(mf, names);
    WCHAR buf[MAX_PATH];
    for (int lang = -1; lang <= kMaxProjectLanguages; ++lang) GetLangString(text.c_str(), buf, lang);
    return 0;
}
