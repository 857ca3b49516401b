// Fuzzes the TrueType name reader: the input as a single font (from a path
// and from a stream at an offset) and as a collection.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "FuzzSupport.h"
#include "TrueTypeFont.h"
#include "win/wstr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = (fuzzsupport::ScratchDir("truetype-names") / "font.ttf").string();
    static const std::u16string wpath = Utf8ToUtf16(path);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    CTrueTypeFont font;
    if (font.Open(wpath.c_str())) {
        // Style flags only ever come from a subfamily string.
        if (font.GetName(2).empty() && (font.IsBold() || font.IsItalic() || font.IsRegular())) __builtin_trap();
        if (!(font.GetFoundMask() & 2) && !font.GetFamilyName().empty()) __builtin_trap();
    }

    CTrueTypeCollection ttc;
    if (ttc.Open(wpath.c_str())) {
        // Each member is a separately read font; its position must be found again by its family name
        // (or by an earlier member with the same family).
        for (int i = 0; i < ttc.GetFontCount(); ++i) {
            const int found = ttc.FindFontIndex(ttc.GetFamilyName(i));
            if (found < 0 || found > i) __builtin_trap();
        }
        if (static_cast<size_t>(ttc.GetFontCount()) > size / 4) __builtin_trap();
    }

    // The same bytes as a font that starts at an offset inside a stream.
    if (size > 1) {
        std::string copy(reinterpret_cast<const char*>(data), size);
        FILE* mem = fmemopen(&copy[0], copy.size(), "rb");
        if (mem) {
            std::fseek(mem, static_cast<long>(data[0] % size), SEEK_SET);
            CTrueTypeFont streamed;
            streamed.OpenFromStream(mem);
            std::fgetc(mem);  // the stream is still the caller's; a closed one would trip the sanitizer
            std::fclose(mem);
        }
    }
    return 0;
}
