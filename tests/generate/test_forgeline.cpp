// The compile library's collectors on their own: what a unit build renders
// and what it remembers in the output folder.
#include <functional>

#include "GenerateFixture.h"

namespace {
std::vector<std::u16string> g_rendered;
// Renders through the font tools and notes what it was asked for.
void Count(const WCHAR* chars, const WCHAR* face, int height, bool italic, long weight, const WCHAR* pack,
           int reserved) {
    g_rendered.push_back(std::u16string(face) + u":" + chars);
    EXPECT_EQ(reserved, -1);
    generateqpf2(chars, face, height, italic, weight, pack, reserved);
}

_tagQpfUnit Unit(const std::u16string& face, int height) {
    _tagQpfUnit u;
    u.strFaceName = face;
    u.nHeight = height;
    return u;
}

struct Said {
    int screen;
    std::u16string face, text;
};
// A QPF2 unit build in a new process, faces at 20 pixels; `touch` runs
// before the files no text needs are dropped. What it built.
int QpfBuild(const std::u16string& dir, const std::vector<Said>& texts,
             const std::function<void()>& touch = {}) {
    g_rendered.clear();
    CQpfFontData c;
    c.beginBuild(dir);
    for (const Said& t : texts) {
        _tagQpfUnit u = Unit(t.face, -20);
        c.setScreenText(t.screen, t.text, u);
    }
    const int built = c.executeBuild(Count);
    if (built) qpf2tofileEx(dir.c_str());
    if (touch) touch();
    c.removeNoNeedQpf(dir);
    return built;
}
}  // namespace

TEST_F(GenerateTest, QpfCollectorRemembersAcrossProcessesEvenOddTexts) {
    const std::u16string dir = m_out.wpath();
    // Tabs, line breaks, backslashes and characters beyond the basic plane
    // from different blocks (D83D DE00, D835 DC00) survive the record in the folder.
    const std::u16string odd = u"a\tb\rc\\n\n中\U0001F600\U0001D400\U0001F600";
    const auto touch = [&] { testsupport::WriteText(m_out / "tahoma_20_50.qpf2", "marker"); };
    EXPECT_EQ(QpfBuild(dir, {{1, u"Arial", odd}, {2, u"Tahoma", u"x"}}), 1);
    EXPECT_EQ(g_rendered.size(), 2u);
    EXPECT_EQ(QpfBuild(dir, {{1, u"Arial", odd}, {2, u"Tahoma", u"x"}}, touch), 0);
    EXPECT_TRUE(g_rendered.empty());
    // One unit's characters grow: only its file is rendered again.
    EXPECT_EQ(QpfBuild(dir, {{1, u"Arial", odd}, {2, u"Tahoma", u"xy"}}), 1);
    EXPECT_EQ(g_rendered, (std::vector<std::u16string>{u"Tahoma:xy"}));
    EXPECT_EQ(Files(m_out.path(), ".qpf2"), (std::set<std::string>{"arial_20_50.qpf2", "tahoma_20_50.qpf2"}));
}

TEST_F(GenerateTest, QpfCollectorWithoutAFolderRendersEverythingAndDropsUnknownFiles) {
    CQpfFontData c;
    _tagQpfUnit a = Unit(u"Arial", -16), b = Unit(u"Arial", -16);
    c.setScreenText(1, u"ab", a);
    c.setScreenText(2, u"bc", b);  // the same file: rendered once, with the characters of both
    g_rendered.clear();
    EXPECT_EQ(c.executeBuild(Count), 1);
    EXPECT_EQ(g_rendered, (std::vector<std::u16string>{u"Arial:abc"}));
    EXPECT_EQ(c.executeBuild(nullptr), 0);
    qpf2tofileEx(m_out.wpath().c_str());
    testsupport::WriteText(m_out / "stray_9_50.qpf2", "old");
    testsupport::WriteText(m_out / "keep.txt", "not a font");
    c.removeNoNeedQpf(m_out.wpath());
    EXPECT_EQ(Files(m_out.path()), (std::set<std::string>{".forgeline-qpf", "arial_16_50.qpf2", "keep.txt"}));
}

TEST(TtfCollector, FaceCharactersAreEachOnceInScreenOrder) {
    CTtfFontData c;
    _tagTtfUnit u;
    u.nHeight = -12;
    const auto hear = [&](int screen, const std::u16string& text, const std::u16string& face) {
        u.strText = text;
        c.setScreenText(screen, text, face, u);
    };
    hear(2, u"dcb", u"Arial");  // heard first, on a later screen
    hear(1, u"ab\U0001F600a", u"Arial");
    hear(1, u"xyz", u"SimHei");
    hear(3, u"b\U0001F600e", u"Arial");
    EXPECT_EQ(c.faceCharacters(u"Arial"), u"ab\U0001F600dce");
    EXPECT_EQ(c.faceCharacters(u"SimHei"), u"xyz");
    EXPECT_EQ(c.faceCharacters(u"Tahoma"), u"");
}
