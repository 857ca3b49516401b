// What a build may touch: its output folder and nothing else, never through a
// link, with names from fonts and files made safe, and only whole files.
#include "FontSubsetBridge.h"
#include "GenerateFixture.h"
#include "Qpf2Reader.h"
#include "win/filesafety.h"
#include "win/files.h"

namespace fs = std::filesystem;
using testsupport::Tree;

namespace {
std::u16string W(const fs::path& p) { return WindowsPath(p.string()); }

class OutputSafetyTest : public GenerateTest {
protected:
    void SetUp() override {
        GenerateTest::SetUp();
        winfiles::TakeFailures();
        testsupport::WriteText(m_out / "keep" / "victim.ttf", "the user's");
        testsupport::WriteText(m_out / "keep" / "victim.qpf2", "the user's");
        fs::create_directories(m_out / "out");
    }
    // Everything beside the output folder, which no build may change.
    std::vector<std::string> Outside() const {
        std::vector<std::string> all = Tree(m_out.path()), out;
        for (const std::string& e : all)
            if (e.rfind("out", 0) != 0) out.push_back(e);
        return out;
    }
    const std::vector<std::string> m_outside{"keep/", "keep/victim.qpf2", "keep/victim.ttf"};
};
}  // namespace

TEST_F(OutputSafetyTest, EmptyingTheFolderRemovesLinksAsLinks) {
    const fs::path out = m_out / "out";
    testsupport::WriteText(out / "old.qpf2", "x");
    testsupport::WriteText(out / "sub" / "deep.txt", "x");
    testsupport::WriteText(out / "sub" / ".hidden", "x");
    testsupport::WriteText(out / "noext", "x");
    testsupport::WriteText(out / "a\\..\\..\\keep\\victim.ttf", "a name, not a path");
    fs::create_directory_symlink(m_out / "keep", out / "to-keep");
    fs::create_directory_symlink("..", out / "up");
    fs::create_symlink(m_out / "keep" / "victim.ttf", out / "file-link.ttf");
    fs::create_directory_symlink(m_out / "keep", out / "sub" / "deeper-link");
    EXPECT_TRUE(DeleteDirectoryTree(W(out).c_str()));
    EXPECT_FALSE(fs::exists(fs::symlink_status(out)));
    EXPECT_FALSE(DeleteDirectoryTree(W(out).c_str()));  // nothing left to delete
    EXPECT_EQ(Outside(), m_outside);
    EXPECT_EQ(testsupport::ReadText(m_out / "keep" / "victim.ttf"), "the user's");
    EXPECT_TRUE(winfiles::TakeFailures().empty());

    // The folder itself a link: the link goes, not what it points to.
    fs::create_directory_symlink(m_out / "keep", m_out / "out-link");
    EXPECT_TRUE(DeleteDirectoryTree(W(m_out / "out-link").c_str()));
    EXPECT_FALSE(fs::exists(fs::symlink_status(m_out / "out-link")));
    EXPECT_EQ(Outside(), m_outside);

    // A full build through the module: the folder comes back, nothing beside it goes.
    fs::create_directories(out);
    fs::create_directory_symlink("..", out / "up");
    Add(15, u"Body", u"Arial", -16);
    SayQpf(Text(u"ok"), 0, 1, 15);
    FullQpf(W(out));
    EXPECT_EQ(Tree(out), (std::vector<std::string>{"arial_16_50.qpf2"}));
    EXPECT_EQ(Outside(), m_outside);
}

// The output folder's own name is not ASCII: the interpreter runs in UTF-8
// mode, so folder names in any script work.
TEST_F(OutputSafetyTest, FaceAndPackNamesNeverLeaveTheFolder) {
    const fs::path out = m_out / "out" / "输出" / "é";
    Add(15, u"Escaping face", u"../../X", -16);
    Add(16, u"Escaping pack", u"Tahoma", -16);
    // A font file whose family is "../keep/Y" makes that the face's pack name.
    PackNameMap[u"Tahoma"] = u"../keep/Y";
    SayQpf(Text(u"ab"), 0, 1, 15);
    SayQpf(Text(u"cd"), 0, 1, 16);
    FullQpf(W(out));
    EXPECT_EQ(Tree(out), (std::vector<std::string>{"______x_16_50.qpf2", "___keep_y_16_50.qpf2"}));

    SayTtf(Text(u"ab"), 0, 1, 15);
    SayTtf(Text(u"cd"), 0, 1, 16);
    FullTtf(W(out));
    // A subset is named after its pack name, else after the family it is cut
    // from (the face GDI falls back to): a face name never becomes a path.
    EXPECT_EQ(Tree(out), (std::vector<std::string>{"Arial.ttf", "Calibri.ttf", "___keep_Y.ttf"}));
    EXPECT_EQ(ReadWithFontTools(out / "___keep_Y.ttf").at("cmap"), CmapOf(u"cd"));
    EXPECT_EQ(Outside(), m_outside);
    EXPECT_TRUE(winfiles::TakeFailures().empty());
}

TEST_F(OutputSafetyTest, AHandEditedUnitRecordCannotReachOutside) {
    const fs::path out = m_out / "out";
    testsupport::WriteText(out / ".forgeline-ttf",
                           "../keep/victim\tabc\t../keep/victim.ttf\t1,2,3,4,0\n/etc/passwd\tx\n"
                           "Arial\tab\tArial.ttf\t19,1,1,1,0\nLost\tab\t../Lost.ttf\t1,1,1,1,0\n");
    testsupport::WriteText(out / "qpf2" / ".forgeline-qpf",
                           "../../keep/victim.qpf2\tsig\t../../keep/victim.qpf2\t1,1,1,1,0\n");
    testsupport::WriteText(out / "Arial.ttf", "from the last build");
    // No texts any more: every recorded group is gone.
    UnitTtf(W(out), {});
    UnitQpf(W(out), {});
    EXPECT_EQ(Outside(), m_outside);
    EXPECT_FALSE(fs::exists(out / "Arial.ttf"));  // a plain record key still does its work
    EXPECT_EQ(testsupport::ReadText(out / ".forgeline-ttf"), "");
}

// A write that fails leaves no file, however short, and a unit build does
// not take it for built: the next build renders it again.
TEST_F(OutputSafetyTest, FailedWritesAreNeitherLeftNorRecorded) {
    const fs::path out = m_out / "out";
    Add(15, u"Body", u"Arial", -24);
    const auto ttfBuild = [&] { UnitTtf(W(out), {{15, u"Flow"}}); };
    {
        testsupport::FileSizeLimit full(256);
        ttfBuild();
    }
    // No subset, not even one cut short.
    EXPECT_EQ(Tree(out), (std::vector<std::string>{".forgeline-ttf"}));
    const auto failures = winfiles::TakeFailures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].path, (out / "Arial.ttf").string());
    ttfBuild();
    EXPECT_EQ(ReadWithFontTools(out / "Arial.ttf").at("cmap"), CmapOf(u"Flow"));
    EXPECT_EQ(Outside(), m_outside);
}
