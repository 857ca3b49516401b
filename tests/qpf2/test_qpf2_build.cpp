// Rendering the compile's QPF2 fonts through the realised GDI font, and
// writing them with the pack fonts reported.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QtGui/private/qfontengine_qpf2_p.h>

#include <filesystem>
#include <set>

#include "Glyphworks.h"
#include "TestProfile.h"
#include "TestSupport.h"
#include "win/gdi.h"
#include "win/wstr.h"

using testsupport::N;
using testsupport::TempDir;
using testsupport::TestProfile;

namespace {
std::set<std::string> Files(const std::filesystem::path& dir) {
    std::set<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir)) out.insert(e.path().filename().string());
    return out;
}

// Opens a written file with Qt's reader and returns the characters it has.
std::u32string Readable(const std::filesystem::path& file, const std::u32string& probe) {
    static int argc = 1;
    static char arg0[] = "test";
    static char* argv[] = {arg0, nullptr};
    if (!QGuiApplication::instance()) new QGuiApplication(argc, argv);
    const std::vector<unsigned char> bytes = testsupport::ReadBytes(file);
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
}  // namespace

TEST(Qpf2Build, UnitsOfOneFileShareItAndPackFontsAreReported) {
    TestProfile profile({"arial.ttf", "arialbd.ttf", "tahoma.ttf"});
    TempDir out;
    generateqpf2(u"ABC", u"Arial", -24, false, 50, u"arialpack", -1);
    generateqpf2(u"CDE", u"Arial", -24, false, 50, u"arialpack", -1);  // the same file
    generateqpf2(u"XY", u"Arial", -24, false, 75, u"arialpack", -1);   // bold: its own file
    generateqpf2(u"Hi", u"Tahoma", -16, true, 50, u"", -1);            // no pack name: named by face
    EXPECT_EQ(qpf2PendingCount(), 3);
    WCHAR packs[1000][64] = {};
    int count = 0;
    EXPECT_EQ(qpf2tofile(out.wpath().c_str(), packs, &count), 3);
    EXPECT_EQ(qpf2PendingCount(), 0);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(N(packs[0]), "arialpack");
    EXPECT_EQ(Files(out.path()),
              (std::set<std::string>{"arialpack_24_50.qpf2", "arialpack_24_75.qpf2", "tahoma_16_50_italic.qpf2"}));
    EXPECT_EQ(Readable(out / "arialpack_24_50.qpf2", U"ABCDEXY"), U"ABCDE");
    EXPECT_EQ(Readable(out / "arialpack_24_75.qpf2", U"ABXY"), U"XY");
    EXPECT_EQ(Readable(out / "tahoma_16_50_italic.qpf2", U"Hi"), U"Hi");
}

TEST(Qpf2Build, CellHeightsGiveTheEmGdiRealises) {
    TestProfile profile({"arial.ttf"});
    TempDir out;
    LOGFONTW lf{};
    lf.lfHeight = 30;  // a cell height, as font records store sizes
    lstrcpynW(lf.lfFaceName, u"Arial", LF_FACESIZE);
    HFONT font = CreateFontIndirectW(&lf);
    int em = 0;
    GetRealizedFace(font, &em, nullptr, nullptr);
    DeleteObject(reinterpret_cast<HGDIOBJ>(font));
    ASSERT_GT(em, 0);
    generateqpf2(u"Size", u"Arial", 30, false, 50, u"", -1);
    EXPECT_EQ(qpf2tofileEx(out.wpath().c_str()), 1);
    EXPECT_TRUE(std::filesystem::exists(out / ("arial_" + std::to_string(em) + "_50.qpf2")));
}
