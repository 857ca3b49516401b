// QPF2 header metrics and advances against Qt's own engine on the same font
// file and pixel size (QRawFont with full hinting, as the glyphs are hinted).
#include <gtest/gtest.h>

#include <QRawFont>
#include <QtGui/private/qfontengine_p.h>
#include <QtGui/private/qfontengine_qpf2_p.h>
#include <QtGui/private/qrawfont_p.h>

#include <filesystem>

#include "Qpf2.h"
#include "Qpf2Reader.h"
#include "TestProfile.h"

namespace {
using testsupport::GuiApp;
using Q = QFontEngineQPF2;

// The fixture's faces and, where the machine has them, faces of Debian's font
// packages: one without an OS/2 x-height (DejaVu Sans) and a CJK face.
std::vector<std::string> Faces() {
    std::vector<std::string> faces = {(testsupport::FixtureFontsDir() / "Fonts" / "arial.ttf").string(),
                                      (testsupport::FixtureFontsDir() / "Fonts" / "arialblk.ttf").string()};
    for (const char* f : {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                          "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf",
                          "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc"})
        if (std::filesystem::exists(f)) faces.push_back(f);
    return faces;
}

qpf2::Font RenderOrFail(const std::string& path, int px, const std::u32string& chars, bool bold = false) {
    qpf2::RenderRequest rq;
    rq.path = path;
    rq.pixelEm = px;
    rq.chars = chars;
    rq.fontName = "Face";
    rq.simulateBold = bold;
    rq.weight = bold ? 75 : 50;
    qpf2::Font font;
    std::string error;
    EXPECT_TRUE(qpf2::Render(rq, font, &error)) << error;
    return font;
}

QFontEngine* EngineOf(const QRawFont& raw) { return QRawFontPrivate::get(raw)->fontEngine; }

const std::u32string kSample = U"Hamburgefonstiv 0123 xyz,.;!?@WM";
}  // namespace

// One rendering per face, size and style: its header and its advances.
TEST(Qpf2Metrics, HeaderMetricsAndAdvancesAreQtsFrom9To100PixelsAndBoldKeepsThem) {
    GuiApp();
    for (const std::string& path : Faces()) {
        for (int px = 9; px <= 100; ++px) {
            SCOPED_TRACE(path + " at " + std::to_string(px) + " px");
            const QRawFont raw(QString::fromStdString(path), px, QFont::PreferFullHinting);
            ASSERT_TRUE(raw.isValid());
            const QFontEngine* qt = EngineOf(raw);
            for (bool bold : {false, true}) {
                const auto bytes = qpf2::Serialize(RenderOrFail(path, px, kSample, bold));
                // A tag as Qt's reader finds it: 26.6 for the metrics.
                const auto tag = [&](Q::HeaderTag t) {
                    return qRound(Q::extractHeaderField(bytes.data(), t).toReal() * 64);
                };
                EXPECT_EQ(tag(Q::Tag_Ascent), qt->ascent().value());
                EXPECT_EQ(tag(Q::Tag_Descent), qt->descent().value());
                EXPECT_EQ(tag(Q::Tag_Leading), qt->leading().value());
                EXPECT_EQ(tag(Q::Tag_XHeight), qt->xHeight().value());
                EXPECT_EQ(tag(Q::Tag_AverageCharWidth), qt->averageCharWidth().value());
                EXPECT_EQ(tag(Q::Tag_MaxCharWidth), QFixed::fromReal(qt->maxCharWidth()).value());
                EXPECT_EQ(tag(Q::Tag_LineThickness), qt->lineThickness().value());
                EXPECT_EQ(tag(Q::Tag_UnderlinePosition), qt->underlinePosition().value());
                // Reals, written to the 64th.
                EXPECT_NEAR(tag(Q::Tag_MinLeftBearing) / 64.0, qt->minLeftBearing(), 1 / 64.0);
                EXPECT_NEAR(tag(Q::Tag_MinRightBearing) / 64.0, qt->minRightBearing(), 1 / 64.0);
                EXPECT_EQ(Q::extractHeaderField(bytes.data(), Q::Tag_PixelSize).toInt(), px);

                const QByteArray data(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()));
                QFontDef def;
                def.pixelSize = px;
                Q engine(def, data);
                ASSERT_TRUE(engine.isValid());
                for (char32_t c : kSample) {
                    const QString one(QChar(static_cast<ushort>(c)));
                    const quint32 qtGlyph = raw.glyphIndexesForString(one).value(0);
                    const QVector<QPointF> qtAdvance = raw.advancesForGlyphIndexes(QVector<quint32>{qtGlyph});
                    const Q::Glyph* g = engine.findGlyph(engine.glyphIndex(c));
                    ASSERT_NE(g, nullptr) << static_cast<char>(c);
                    EXPECT_EQ(g->advance, qRound(qtAdvance.value(0).x()))
                        << static_cast<char>(c) << (bold ? " bold" : "");
                }
                if (HasFailure()) return;
            }
        }
    }
}

TEST(Qpf2Metrics, SimulatedBoldDrawsBolderGlyphs) {
    GuiApp();
    const std::string path = (testsupport::FixtureFontsDir() / "Fonts" / "arial.ttf").string();
    const qpf2::Font regular = RenderOrFail(path, 24, U"H");
    const qpf2::Font bold = RenderOrFail(path, 24, U"H", true);
    ASSERT_EQ(regular.glyphs.size(), 1u);
    ASSERT_EQ(bold.glyphs.size(), 1u);
    int inkRegular = 0, inkBold = 0;
    for (uint8_t a : regular.glyphs[0].alpha) inkRegular += a;
    for (uint8_t a : bold.glyphs[0].alpha) inkBold += a;
    EXPECT_GT(inkBold, inkRegular + inkRegular / 10);
}
