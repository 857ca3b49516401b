// The studio's preview: texts drawn from the panel's own files.
#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QGlyphRun>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>
#include <QtGui/private/qrawfont_p.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <tuple>

#include "Preview.h"
#include "Qpf2.h"
#include "Qpf2Reader.h"
#include "TestProfile.h"

namespace {
void App() { testsupport::GuiApp(); }

std::string Fixture(const std::string& file) { return (testsupport::FixtureFontsDir() / "Fonts" / file).string(); }

QByteArray Qpf2Bytes(const std::u32string& chars, int em) {
    qpf2::RenderRequest rq;
    rq.path = Fixture("arial.ttf");
    rq.pixelEm = em;
    rq.chars = chars;
    rq.fontName = "Arial";
    qpf2::Font font;
    std::string error;
    EXPECT_TRUE(qpf2::Render(rq, font, &error)) << error;
    const std::vector<uint8_t> bytes = qpf2::Serialize(font);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()));
}

QByteArray ReadAll(const std::string& path) {
    const std::vector<unsigned char> bytes = testsupport::ReadBytes(path);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()));
}

// Coverage of a QPF2 engine's glyph map at (x, y).
int AlphaOf(const QImage& map, int x, int y) {
    return map.format() == QImage::Format_Indexed8 ? map.pixelIndex(x, y) : qAlpha(map.pixel(x, y));
}

bool IsMarker(QRgb c) { return qRed(c) > 150 && qGreen(c) < 100 && qBlue(c) < 100; }

int MarkerPixels(const QImage& img, int x0, int x1) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = std::max(0, x0); x < std::min(x1, img.width()); ++x) n += IsMarker(img.pixel(x, y)) ? 1 : 0;
    return n;
}
}  // namespace

TEST(PreviewQpf2, PixelsAreTheGlyphImagesOfQtsEngineAndMissingCharactersAreMarked) {
    App();
    const QByteArray bytes = Qpf2Bytes(U"HIL1 ", 24);
    auto font = preview::OpenQpf2(bytes);
    ASSERT_TRUE(font);

    // Qt's engine on the same file, read independently of the preview.
    QFontEngineQPF2 engine(QFontDef(), bytes);
    ASSERT_TRUE(engine.isValid());
    const std::u32string text = U"H I L1";
    const preview::DrawnLine line = preview::DrawLine(font.get(), text, U"");
    EXPECT_TRUE(line.marked.empty());
    ASSERT_FALSE(line.image.isNull());

    // Where each glyph's map lies; the text is chosen so that none overlap.
    QImage expected(line.image.size(), QImage::Format_RGB32);
    expected.fill(Qt::white);
    int pen = 0, inked = 0;
    QRegion covered;
    for (char32_t c : text) {
        const glyph_t g = engine.glyphIndex(c);
        const QFontEngineQPF2::Glyph* info = engine.findGlyph(g);
        ASSERT_TRUE(info) << static_cast<unsigned>(c);
        const QImage map = engine.alphaMapForGlyph(g);
        const QRect box(pen + info->x, line.baseline + info->y, info->width, info->height);
        ASSERT_FALSE(covered.intersects(box)) << "glyph maps overlap; pick another text";
        covered += box;
        for (int y = 0; y < info->height; ++y)
            for (int x = 0; x < info->width; ++x) {
                const int v = 255 - AlphaOf(map, x, y);
                expected.setPixel(box.left() + x, box.top() + y, qRgb(v, v, v));
                inked += v < 255 ? 1 : 0;
            }
        pen += info->advance;
    }
    ASSERT_GT(inked, 20);
    EXPECT_EQ(line.width, pen);
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            ASSERT_EQ(line.image.pixel(x, y), expected.pixel(x, y)) << "at " << x << "," << y;

    // A character the file lacks becomes a marker after the glyphs drawn.
    const preview::DrawnLine withMissing = preview::DrawLine(font.get(), U"HIZ", U"");
    EXPECT_EQ(withMissing.marked, U"Z");
    const int drawnWidth = preview::DrawLine(font.get(), U"HI", U"").width;
    EXPECT_EQ(MarkerPixels(withMissing.image, 0, drawnWidth), 0);
    EXPECT_GT(MarkerPixels(withMissing.image, drawnWidth, withMissing.image.width()), 10);
    EXPECT_GT(withMissing.width, drawnWidth);

    // One the compile reported lost (e.g. too large for the format) too,
    // even where the file has a glyph for it.
    EXPECT_EQ(preview::DrawLine(font.get(), U"HIL", U"I").marked, U"I");
}

TEST(PreviewQpf2, QtRejectsWhatIsNotAQpf2File) {
    App();
    EXPECT_FALSE(preview::OpenQpf2(QByteArray("QPF2 but nothing else")));
    EXPECT_FALSE(preview::OpenQpf2(ReadAll(Fixture("arial.ttf"))));
    // Without a file every character is a marker.
    EXPECT_EQ(preview::DrawLine(nullptr, U"ab", U"").marked, U"ab");
}

TEST(PreviewOutline, SubsetIsDrawnFromItsOwnFile) {
    App();
    testsupport::TempDir dir;
    const std::string subset = (dir.path() / "subset.ttf").string();
    const std::string cmd = "/usr/bin/python3 -m fontTools.subset '" + Fixture("arial.ttf") +
                            "' --text=AB --output-file='" + subset + "' 2>/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const QByteArray whole = ReadAll(Fixture("arial.ttf"));
    auto full = preview::OpenOutline(whole, -24);
    auto cut = preview::OpenOutline(ReadAll(subset), -24);
    ASSERT_TRUE(full && cut);
    // The whole font (and so the workstation) has C; the subset does not.
    EXPECT_TRUE(preview::DrawLine(full.get(), U"ABC", U"").marked.empty());
    const preview::DrawnLine line = preview::DrawLine(cut.get(), U"ABC", U"");
    EXPECT_EQ(line.marked, U"C");
    // What the subset has is laid out as the whole font lays it out (its
    // pixels are the subset's own: Qt hints it from what it holds).
    const preview::DrawnLine kept = preview::DrawLine(cut.get(), U"AB", U"");
    const preview::DrawnLine whole2 = preview::DrawLine(full.get(), U"AB", U"");
    ASSERT_EQ(kept.glyphs.size(), 2u);
    ASSERT_EQ(whole2.glyphs.size(), 2u);
    for (size_t i = 0; i < 2; ++i) EXPECT_EQ(kept.glyphs[i].at, whole2.glyphs[i].at);
    EXPECT_EQ(kept.width, whole2.width);
    EXPECT_GT(MarkerPixels(line.image, kept.width, line.image.width()), 10);
    EXPECT_EQ(MarkerPixels(line.image, 0, kept.width), 0);
    // A cell height is larger than the em it gives.
    auto cell = preview::OpenOutline(whole, 24);
    ASSERT_TRUE(cell);
    EXPECT_LT(preview::DrawLine(cell.get(), U"AB", U"").width, preview::DrawLine(full.get(), U"AB", U"").width);
    EXPECT_FALSE(preview::OpenOutline(QByteArray("not a font"), -24));

    // A regular file asked for bold is emboldened: more ink, a wider line.
    auto bold = preview::OpenOutline(whole, -24, true, false);
    auto italic = preview::OpenOutline(whole, -24, false, true);
    ASSERT_TRUE(bold && italic);
    auto ink = [](const QImage& img) {
        long n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) n += 255 - qGray(img.pixel(x, y));
        return n;
    };
    const preview::DrawnLine plain = preview::DrawLine(full.get(), U"AB", U"");
    const preview::DrawnLine heavy = preview::DrawLine(bold.get(), U"AB", U"");
    EXPECT_GT(ink(heavy.image), ink(plain.image) * 11 / 10);
    EXPECT_GT(heavy.width, plain.width);
    const preview::DrawnLine slanted = preview::DrawLine(italic.get(), U"AB", U"");
    EXPECT_EQ(slanted.width, plain.width);
    EXPECT_NE(slanted.image, plain.image);
}

TEST(PreviewSheet, WideLinesAndLargeSizesAreNoted) {
    App();
    auto font = preview::OpenOutline(ReadAll(Fixture("arial.ttf")), -200);
    ASSERT_TRUE(font);
    preview::Sheet sheet;
    sheet.title = "t";
    sheet.languages = {"Language 0"};
    sheet.screenWidth = 100;
    preview::Cell cell;
    cell.line = preview::DrawLine(font.get(), U"AB", U"");
    cell.drawn = true;
    ASSERT_GT(cell.line.width, 100);
    ASSERT_GT(cell.line.image.height(), preview::kMaxRowHeight);
    sheet.screens.push_back({"Main", {{"line 2", {cell}}}});
    const QImage wide = preview::DrawSheet(sheet);
    sheet.screenWidth = 10000;
    const QImage fits = preview::DrawSheet(sheet);
    // The frame of a line wider than the screen is in the marker's colour.
    EXPECT_GT(MarkerPixels(wide, 0, wide.width()), MarkerPixels(fits, 0, fits.width()) + 50);
    // Scaled to the row height: the sheet is not as tall as the glyphs.
    EXPECT_LT(fits.height(), 60 + 40 + cell.line.image.height());
}

TEST(PreviewSheet, LinesOfPanelSizeAreCopiedUnchanged) {
    App();
    auto font = preview::OpenQpf2(Qpf2Bytes(U"HIL1 ", 16));
    ASSERT_TRUE(font);
    preview::Sheet sheet;
    sheet.title = "t";
    sheet.languages = {"Language 0", "Language 1"};
    sheet.screenWidth = 800;
    preview::Cell cell;
    cell.line = preview::DrawLine(font.get(), U"HIL 1", U"");
    cell.drawn = true;
    sheet.screens.push_back({"Main", {{"line 2", {preview::Cell(), cell}}}});
    const QImage img = preview::DrawSheet(sheet);
    // The panel's pixels, somewhere on the sheet, exactly.
    const QImage& want = cell.line.image;
    bool found = false;
    for (int y = 0; !found && y + want.height() <= img.height(); ++y)
        for (int x = 0; !found && x + want.width() <= img.width(); ++x)
            found = img.copy(x, y, want.width(), want.height()) == want;
    EXPECT_TRUE(found);
}

// ---- Complex scripts, against Qt's own text layout ----

namespace {
const std::string kNoto = "/usr/share/fonts/truetype/noto/";

std::u32string U32(const QString& s) {
    const QVector<uint> v = s.toUcs4();
    return std::u32string(v.begin(), v.end());
}

// A subset as the compile cuts it, by HarfBuzz's subsetter.
QByteArray Subset(const std::string& font, const QString& text) {
    testsupport::TempDir dir;
    const std::string out = (dir.path() / "subset.ttf").string();
    testsupport::WriteText(dir.path() / "text.txt", text.toStdString());
    const std::string cmd = "hb-subset '" + font + "' --name-IDs='*' --name-languages='*' --name-legacy " +
                            "--notdef-outline --layout-features='*' --text-file='" + (dir.path() / "text.txt").string() +
                            "' --output-file='" + out + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return ReadAll(out);
}

QImage White(const QSize& size) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::white);
    return img;
}

// Qt's own drawing of a line with a raw font, its baseline at (x, y).
QImage QtLayoutDrawing(const QRawFont& raw, const QString& text, const QSize& size, int x, int y) {
    QImage img = White(size);
    QTextLayout layout(text);
    layout.setRawFont(raw);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(100000);
    layout.endLayout();
    QPainter p(&img);
    p.setPen(Qt::black);
    line.draw(&p, QPointF(x, y - line.ascent()));
    return img;
}

size_t Differing(const QImage& a, const QImage& b) {
    size_t n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
    return n;
}
}  // namespace

TEST(PreviewComplexScripts, SubsetLinesArePixelForPixelWhatQtDraws) {
    App();
    struct Line {
        std::string font;
        QString text;
        // Qt 5.15's layout with a raw font leaks the fallback engine of every
        // change of script in a line, so lines of two scripts go by drawText.
        bool oneScript = true;
    };
    for (const Line& l : {Line{kNoto + "NotoSansArabic-Regular.ttf", QString::fromUtf8("مرحبا بالعالم")},
                          Line{kNoto + "NotoSansDevanagari-Regular.ttf", QString::fromUtf8("नमस्ते क्षत्रिय")},
                          Line{kNoto + "NotoSansHebrew-Regular.ttf", QString::fromUtf8("שלום עולם")},
                          // Tabs: Qt sizes them from the paragraph's start, the right edge here.
                          Line{kNoto + "NotoSansArabic-Regular.ttf", QString::fromUtf8("المشغل:\tالوردية أ\t١")},
                          Line{"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                               QString::fromUtf8("2024:\tمرحبا بالعالم\t7")},
                          // Latin shaped as Latin: Qt's layout kerns "Pu" under the font's latn script.
                          Line{"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                               QString::fromUtf8("Pump 3:\tمرحبا بالعالم\tAV To"), false}}) {
        ASSERT_TRUE(std::filesystem::exists(l.font)) << l.font << ": the tests need fonts-noto-core";
        const QByteArray bytes = Subset(l.font, l.text);
        auto font = preview::OpenOutline(bytes, -24);
        ASSERT_TRUE(font);
        const preview::DrawnLine line = preview::DrawLine(font.get(), U32(l.text), U"");
        EXPECT_TRUE(line.marked.empty());
        ASSERT_GT(line.glyphs.size(), 5u);
        if (l.oneScript) {
            // Qt's text layout on the same file, as a panel loads it.
            const QImage qt =
                QtLayoutDrawing(QRawFont(bytes, 24), l.text, line.image.size(), line.origin, line.baseline);
            EXPECT_EQ(Differing(line.image, qt), 0u) << l.font;
            EXPECT_NE(qt, White(qt.size())) << "something was drawn";
        }
        // And QPainter::drawText with the subset registered as an application font.
        const int id = QFontDatabase::addApplicationFontFromData(bytes);
        ASSERT_GE(id, 0);
        QFont qfont(QFontDatabase::applicationFontFamilies(id).value(0));
        qfont.setPixelSize(24);
        QImage drawn = White(line.image.size());
        {
            QPainter p(&drawn);
            p.setFont(qfont);
            p.setPen(Qt::black);
            p.drawText(QPointF(line.origin, line.baseline), l.text);
        }
        EXPECT_EQ(Differing(line.image, drawn), 0u) << l.font;
        EXPECT_NE(drawn, White(drawn.size())) << "something was drawn";
        QFontDatabase::removeApplicationFont(id);
    }
}

TEST(PreviewComplexScripts, Qpf2GlyphRunIsQtsOwnShapingThroughItsQpf2Engine) {
    App();
    struct Line {
        std::string font;
        QString text;
    };
    int files = 0;
    for (const Line& l : {Line{kNoto + "NotoSansArabic-Regular.ttf", QString::fromUtf8("مرحبا بالعالم ١٢٣ ٤")},
                          Line{"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                               QString::fromUtf8("Pump 3: (لا إله) [إلا] الله!")},
                          Line{kNoto + "NotoSansHebrew-Regular.ttf", QString::fromUtf8("שָׁלוֹם עולם")},
                          Line{kNoto + "NotoSansHebrew-Regular.ttf", QString::fromUtf8("משאבה\tעולם\tא")},
                          Line{kNoto + "NotoSansDevanagari-Regular.ttf", QString::fromUtf8("नमस्ते क्षत्रिय")}}) {
        ASSERT_TRUE(std::filesystem::exists(l.font)) << l.font << ": the tests need fonts-noto-core";
        qpf2::RenderRequest rq;
        rq.path = l.font;
        rq.pixelEm = 20;
        rq.chars = U32(l.text);
        rq.fontName = "Test";
        qpf2::Font qpf;
        std::string error;
        ASSERT_TRUE(qpf2::Render(rq, qpf, &error)) << error;
        const std::vector<uint8_t> file = qpf2::Serialize(qpf);
        const QByteArray bytes(reinterpret_cast<const char*>(file.data()), static_cast<int>(file.size()));
        auto font = preview::OpenQpf2(bytes);
        ASSERT_TRUE(font);
        const preview::DrawnLine line = preview::DrawLine(font.get(), U32(l.text), U"");
        EXPECT_TRUE(line.marked.empty());

        // Qt's text layout with a raw font over its own QPF2 engine.
        // Qt caches its fallback engine by font definition and the file named in the
        // header: two files of one face need two definitions, as a panel's have.
        QFontDef def;
        def.family = QStringLiteral("Test %1").arg(++files);
        def.pixelSize = 20;
        QRawFont raw;
        QRawFontPrivate::get(raw)->setFontEngine(new QFontEngineQPF2(def, bytes));
        QTextLayout layout(l.text);
        layout.setRawFont(raw);
        layout.beginLayout();
        QTextLine qline = layout.createLine();
        qline.setLineWidth(100000);
        layout.endLayout();
        std::vector<std::tuple<double, double, uint32_t>> want, got;
        for (const QGlyphRun& run : layout.glyphRuns()) {
            const QVector<quint32> ids = run.glyphIndexes();
            const QVector<QPointF> at = run.positions();
            for (int i = 0; i < ids.size(); ++i) want.emplace_back(at[i].x(), at[i].y() - qline.ascent(), ids[i]);
        }
        for (const preview::PlacedGlyph& g : line.glyphs) got.emplace_back(g.at.x(), g.at.y(), g.id);
        std::sort(want.begin(), want.end());
        std::sort(got.begin(), got.end());
        ASSERT_EQ(got.size(), want.size()) << l.font;
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(std::get<2>(got[i]), std::get<2>(want[i])) << l.font << " glyph " << i;
            EXPECT_NEAR(std::get<0>(got[i]), std::get<0>(want[i]), 1.0 / 64) << l.font << " glyph " << i;
            EXPECT_NEAR(std::get<1>(got[i]), std::get<1>(want[i]), 1.0 / 64) << l.font << " glyph " << i;
        }
    }
}
