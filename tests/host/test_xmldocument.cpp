#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "XMLDocument.h"

using testsupport::N;
using testsupport::U;

namespace {
const WCHAR kTemplate[] =
    u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<project filever=\"1.0\">\r\n</project>\r\n";

const char kWrittenLayout[] =
    "<project filever=\"1.0\"><DefaultFont UseDefaultFont=\"1\" Font0=\"A\"/>"
    "<PackFontInfo><FontInfo FontName=\"X\" FontFile=\"x.ttf\"/><Other/>"
    "<FontInfo FontName=\"Y\" FontFile=\"y.ttf\"/></PackFontInfo></project>";

std::vector<std::string> ChildNames(CXMLDocument& x, const WCHAR* tag) {
    std::vector<std::string> names;
    while (x.FindChildElem(tag)) names.push_back(N(x.GetChildAttrib(u"FontName").str()));
    return names;
}

std::u16string Path(const testsupport::TempDir& dir, const char* name) {
    return dir.wpath() + u"/" + U(name);
}

}  // namespace

TEST(XmlDocument, FindChildWithoutMainStartsAtTheFirstElementOfTheLevel) {
    CXMLDocument x;
    ASSERT_TRUE(x.SetDoc(U(kWrittenLayout).c_str()));
    ASSERT_TRUE(x.FindElem(u"project"));
    ASSERT_TRUE(x.IntoElem());
    EXPECT_FALSE(x.FindChildElem(u"HighGradeHMI"));
    EXPECT_EQ(x.GetTagName(), u"DefaultFont");  // main moved although nothing was found
    ASSERT_TRUE(x.FindElem(u"PackFontInfo"));
    EXPECT_EQ(ChildNames(x, u"FontInfo"), (std::vector<std::string>{"X", "Y"}));
    EXPECT_EQ(x.GetChildAttrib(u"FontName"), u"Y");  // the failed search moved nothing

    // Pack first: the implicit move lands on PackFontInfo itself, so the
    // explicit FindElem looks only at what follows it.
    ASSERT_TRUE(
        x.SetDoc(u"<project><PackFontInfo><FontInfo FontName=\"X\"/></PackFontInfo></project>"));
    ASSERT_TRUE(x.FindElem(u"project"));
    ASSERT_TRUE(x.IntoElem());
    EXPECT_FALSE(x.FindChildElem(u"HighGradeHMI"));
    EXPECT_EQ(x.GetTagName(), u"PackFontInfo");
    EXPECT_FALSE(x.FindElem(u"PackFontInfo"));
    EXPECT_EQ(ChildNames(x, u"FontInfo"), std::vector<std::string>{"X"});
}

TEST(XmlDocument, IntoAndOutOfElemKeepTheirPlace) {
    CXMLDocument x;
    ASSERT_TRUE(x.SetDoc(U(kWrittenLayout).c_str()));
    ASSERT_TRUE(x.FindElem(u"project"));
    ASSERT_TRUE(x.FindChildElem(u"PackFontInfo"));
    ASSERT_TRUE(x.IntoElem());
    EXPECT_EQ(x.GetTagName(), u"PackFontInfo");
    EXPECT_EQ(ChildNames(x, u"FontInfo"), (std::vector<std::string>{"X", "Y"}));
    ASSERT_TRUE(x.OutOfElem());
    EXPECT_EQ(x.GetTagName(), u"project");
    EXPECT_EQ(x.GetChildTagName(), u"PackFontInfo");
    EXPECT_FALSE(x.FindChildElem(u"DefaultFont"));  // continues after PackFontInfo, no wrap
    EXPECT_FALSE(x.OutOfElem());  // top level: nothing moves
    EXPECT_EQ(x.GetTagName(), u"project");
    EXPECT_EQ(x.GetChildTagName(), u"PackFontInfo");
}

TEST(XmlDocument, RemovalsStepBackToThePreviousSibling) {
    CXMLDocument x;
    ASSERT_TRUE(x.SetDoc(u"<project><DefaultFont/><HighGradeHMI><FontInfo/></HighGradeHMI>"
                         u"<PackFontInfo/></project>"));
    ASSERT_TRUE(x.FindElem(u"project"));
    ASSERT_TRUE(x.FindChildElem(u"HighGradeHMI"));
    ASSERT_TRUE(x.IntoElem());
    ASSERT_TRUE(x.RemoveElem());
    EXPECT_EQ(x.GetTagName(), u"DefaultFont");
    ASSERT_TRUE(x.OutOfElem());
    EXPECT_EQ(x.GetChildTagName(), u"DefaultFont");
    ASSERT_TRUE(x.FindChildElem(u"PackFontInfo"));
    EXPECT_EQ(x.GetDoc().str().find(u"HighGradeHMI"), std::u16string::npos);

    // RemoveChildElem: child steps back; from the first child it becomes
    // none, so the next search starts over at the first.
    ASSERT_TRUE(x.RemoveChildElem());
    EXPECT_EQ(x.GetChildTagName(), u"DefaultFont");
    ASSERT_TRUE(x.RemoveChildElem());
    EXPECT_EQ(x.GetChildTagName(), u"");
    EXPECT_EQ(x.GetChildAttrib(u"Font0"), u"");
    EXPECT_FALSE(x.SetChildAttrib(u"Font0", u"A"));
    EXPECT_FALSE(x.RemoveChildElem());
    EXPECT_FALSE(x.FindChildElem(nullptr));

    // Removing the only element leaves no main; the level is empty.
    ASSERT_TRUE(x.IntoElem());
    EXPECT_FALSE(x.RemoveElem());
    ASSERT_TRUE(x.OutOfElem());
    ASSERT_TRUE(x.RemoveElem());
    EXPECT_EQ(x.GetTagName(), u"");
    EXPECT_EQ(x.GetAttrib(u"filever"), u"");
    EXPECT_FALSE(x.IntoElem());
    EXPECT_FALSE(x.FindElem(nullptr));
}

TEST(XmlDocument, AddingElementsAndAttributes) {
    CXMLDocument x;
    ASSERT_TRUE(x.SetDoc(kTemplate));
    ASSERT_TRUE(x.FindElem(u"project"));
    ASSERT_TRUE(x.AddChildElem(u"A"));
    ASSERT_TRUE(x.AddChildElem(u"C"));
    x.ResetPos();
    ASSERT_TRUE(x.FindElem(u"project"));
    ASSERT_TRUE(x.FindChildElem(u"A"));
    ASSERT_TRUE(x.AddChildElem(u"B"));  // after the current child A
    EXPECT_TRUE(x.SetChildAttrib(u"Size", -12));
    EXPECT_TRUE(x.SetChildAttrib(u"Size", 24));  // replaces, not duplicates
    EXPECT_TRUE(x.AddChildAttrib(u"Name", U("宋体").c_str()));
    EXPECT_TRUE(x.SetAttrib(u"kind", u"pack"));

    x.ResetPos();
    ASSERT_TRUE(x.FindElem(u"project"));
    EXPECT_EQ(x.GetAttrib(u"kind"), u"pack");
    ASSERT_TRUE(x.AddChildElem(u"D"));  // no current child: at the end
    ASSERT_TRUE(x.SetChildAttrib(u"Last", u"yes"));
    x.ResetPos();
    ASSERT_TRUE(x.FindElem(u"project"));
    std::vector<std::u16string> tags;
    while (x.FindChildElem()) tags.push_back(x.GetChildTagName().str());
    EXPECT_EQ(tags, (std::vector<std::u16string>{u"A", u"B", u"C", u"D"}));
    EXPECT_EQ(x.GetChildAttrib(u"Last"), u"yes");

    x.ResetPos();
    ASSERT_TRUE(x.FindElem(u"project"));
    ASSERT_TRUE(x.FindChildElem(u"B"));
    EXPECT_EQ(x.GetChildAttrib(u"Size"), u"24");
    EXPECT_EQ(x.GetChildAttrib(u"Name"), U("宋体"));
    EXPECT_EQ(x.GetChildAttrib(u"Missing"), u"");
    EXPECT_EQ(x.GetDoc().str().find(u"-12"), std::u16string::npos);
}

TEST(XmlDocument, SavedFileLoadsBackWithTheSameContent) {
    testsupport::TempDir dir;
    const std::u16string file = Path(dir, "Font.xml");
    {
        CXMLDocument x;
        ASSERT_TRUE(x.SetDoc(kTemplate));
        ASSERT_TRUE(x.FindElem(u"project"));
        ASSERT_TRUE(x.AddChildElem(u"DefaultFont"));
        ASSERT_TRUE(x.SetChildAttrib(u"UseDefaultFont", 1));
        ASSERT_TRUE(x.SetChildAttrib(u"Font0", U("宋体").c_str()));
        ASSERT_TRUE(x.AddChildElem(u"PackFontInfo"));
        ASSERT_TRUE(x.IntoElem());
        ASSERT_TRUE(x.AddChildElem(u"FontInfo"));
        ASSERT_TRUE(x.SetChildAttrib(u"FontName", u"a \"q\" <&> b"));
        ASSERT_TRUE(x.SaveXmlFile(file.c_str()));
    }
    const std::string text = testsupport::ReadText(dir / "Font.xml");
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u) << text;
    EXPECT_NE(text.find("\n\t<DefaultFont"), std::string::npos) << text;
    EXPECT_NE(text.find("宋体"), std::string::npos) << "not written as UTF-8";

    CXMLDocument y;
    ASSERT_TRUE(y.LoadXMLFile(file.c_str()));
    ASSERT_TRUE(y.FindElem(u"project"));
    EXPECT_EQ(y.GetAttrib(u"filever"), u"1.0");
    ASSERT_TRUE(y.FindChildElem(u"DefaultFont"));
    EXPECT_EQ(y.GetChildAttrib(u"UseDefaultFont"), u"1");
    EXPECT_EQ(y.GetChildAttrib(u"Font0"), U("宋体"));
    ASSERT_TRUE(y.FindChildElem(u"PackFontInfo"));
    ASSERT_TRUE(y.IntoElem());
    ASSERT_TRUE(y.FindChildElem(u"FontInfo"));
    EXPECT_EQ(y.GetChildAttrib(u"FontName"), u"a \"q\" <&> b");
    EXPECT_EQ(y.GetDoc(), U(text));

    // A Latin-1 declaration must not survive into the UTF-8 file, or the
    // reload would decode 宋体 as Latin-1.
    const std::u16string latin1 = U("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><p n=\"宋体\"/>");
    ASSERT_TRUE(y.SetDoc(latin1.c_str()));
    ASSERT_TRUE(y.SaveXmlFile(file.c_str()));
    ASSERT_TRUE(y.LoadXMLFile((dir.wpath() + u"\\Font.xml").c_str()));  // backslashes too
    ASSERT_TRUE(y.FindElem(u"p"));
    EXPECT_EQ(y.GetAttrib(u"n"), U("宋体"));
}

TEST(XmlDocument, BadInputLeavesAnEmptyDocument) {
    testsupport::TempDir dir;
    testsupport::WriteText(dir / "good.xml", "<project><a/></project>");
    testsupport::WriteText(dir / "text.xml", "this is not xml at all");
    testsupport::WriteText(dir / "open.xml", "<project><a></project>");
    testsupport::WriteText(dir / "roots.xml", "<project/><project/>");
    testsupport::WriteBytes(dir / "binary.xml", {0x89, 'P', 'N', 'G', 0, 0, 0xFF, '<', 0xFE});
    CXMLDocument x;
    for (const char* name : {"missing.xml", "text.xml", "open.xml", "roots.xml", "binary.xml"}) {
        ASSERT_TRUE(x.LoadXMLFile(Path(dir, "good.xml").c_str()));
        ASSERT_TRUE(x.FindElem(u"project"));
        EXPECT_FALSE(x.LoadXMLFile(Path(dir, name).c_str())) << name;
        EXPECT_EQ(x.GetTagName(), u"") << name;
        EXPECT_FALSE(x.FindElem()) << name;
    }
    EXPECT_FALSE(x.LoadXMLFile(dir.wpath().c_str()));  // a directory

    // Writes are refused without a position rather than crashing (moves and
    // removals without one: RemovalsStepBackToThePreviousSibling).
    EXPECT_FALSE(x.AddChildElem(u"c"));
    EXPECT_FALSE(x.SetAttrib(u"a", 1));
    EXPECT_EQ(x.GetAttrib(nullptr), u"");
}

TEST(XmlDocument, LargeDocumentsAndFailedSaves) {
    testsupport::TempDir dir;
    std::string big = "<project><PackFontInfo>";
    for (int i = 0; i < 10000; ++i) big += "<FontInfo FontName=\"F" + std::to_string(i) + "\"/>";
    big += "</PackFontInfo></project>";
    testsupport::WriteText(dir / "big.xml", big);

    CXMLDocument x;
    ASSERT_TRUE(x.LoadXMLFile(Path(dir, "big.xml").c_str()));
    ASSERT_TRUE(x.FindElem(u"project"));
    ASSERT_TRUE(x.FindChildElem(u"PackFontInfo"));
    ASSERT_TRUE(x.IntoElem());
    const std::vector<std::string> names = ChildNames(x, u"FontInfo");
    ASSERT_EQ(names.size(), 10000u);
    EXPECT_EQ(names.front(), "F0");
    EXPECT_EQ(names.back(), "F9999");

    EXPECT_FALSE(x.SaveXmlFile(Path(dir, "no/such/dir/out.xml").c_str()));

    // A write that fails midway leaves the old file whole and no stray file.
    const std::string old = "<project old=\"1\"/>";
    testsupport::WriteText(dir / "target.xml", old);
    BOOL saved = TRUE;
    {
        testsupport::FileSizeLimit cap(4096);
        saved = x.SaveXmlFile(Path(dir, "target.xml").c_str());
    }
    EXPECT_FALSE(saved);
    EXPECT_EQ(testsupport::ReadText(dir / "target.xml"), old);
    size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        files += e.is_regular_file();
    EXPECT_EQ(files, 2u);  // big.xml and target.xml
    ASSERT_TRUE(x.SaveXmlFile(Path(dir, "target.xml").c_str()));
    EXPECT_NE(testsupport::ReadText(dir / "target.xml").find("F9999"), std::string::npos);
}
