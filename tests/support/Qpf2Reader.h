// Reads a written QPF2 file back with Qt's own reader (Qt's private headers).
#pragma once

#include <QGuiApplication>
#include <QtGui/private/qfontengine_qpf2_p.h>

#include <filesystem>
#include <string>

#include "TestSupport.h"

namespace testsupport {

// The application Qt's font engines need, made once.
inline void GuiApp() {
    static int argc = 1;
    static char arg0[] = "test";
    static char* argv[] = {arg0, nullptr};
    if (!QGuiApplication::instance()) new QGuiApplication(argc, argv);
}

// The characters of `probe` that Qt's reader finds rendered in the file;
// "!header" or "!engine" when the reader rejects it.
inline std::u32string Qpf2Readable(const std::filesystem::path& file, const std::u32string& probe) {
    GuiApp();
    const std::vector<unsigned char> bytes = ReadBytes(file);
    // The engine reads from this buffer for its whole life.
    const QByteArray data(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()));
    if (!QFontEngineQPF2::verifyHeader(reinterpret_cast<const uchar*>(data.constData()), data.size())) return U"!header";
    QFontDef def;
    QFontEngineQPF2 engine(def, data);
    if (!engine.isValid()) return U"!engine";
    std::u32string found;
    for (char32_t c : probe)
        if (engine.glyphIndex(c) && engine.findGlyph(engine.glyphIndex(c))) found += c;
    return found;
}

}  // namespace testsupport
