// qpf2check FILE...: reads QPF2 files with Qt's own reader and prints what it
// finds; exit status 1 when Qt rejects any of them.
#include <cstdio>

#include "Qpf2Reader.h"

int main(int argc, char** argv) {
    int bad = 0;
    for (int i = 1; i < argc; ++i) {
        std::u32string all;
        for (char32_t c = 0x20; c < 0x10000; ++c)
            if (c < 0xD800 || c > 0xDFFF) all += c;
        const std::u32string found = testsupport::Qpf2Readable(argv[i], all);
        if (found == U"!header" || found == U"!engine") {
            std::printf("%s: rejected by Qt (%s)\n", argv[i], found == U"!header" ? "header" : "engine");
            ++bad;
            continue;
        }
        const std::vector<unsigned char> bytes = testsupport::ReadBytes(argv[i]);
        const uchar* data = bytes.data();
        std::printf("%s: Qt reads it: %s, %d px, weight %d, %zu glyph(s) rendered\n", argv[i],
                    QFontEngineQPF2::extractHeaderField(data, QFontEngineQPF2::Tag_FontName).toString().toUtf8().constData(),
                    QFontEngineQPF2::extractHeaderField(data, QFontEngineQPF2::Tag_PixelSize).toInt(),
                    QFontEngineQPF2::extractHeaderField(data, QFontEngineQPF2::Tag_Weight).toInt(), found.size());
    }
    return bad ? 1 : 0;
}
