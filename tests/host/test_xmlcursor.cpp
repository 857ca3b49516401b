#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "TestSupport.h"
#include "Velmora.h"

using testsupport::N;
using testsupport::U;

namespace {
const WCHAR kTemplate[] =
    u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<project filever=\"1.0\">\r\n</project>\r\n";

// The font names a pack reader finds with the given cursor moves.
std::vector<std::string> ReadNamesLikeThePackReader(CXMLDocument& x) {
    std::vector<std::string> names;
    x.ResetPos();
    if (!x.FindElem(u"project")) return names;
    x.IntoElem();
    for (const WCHAR* old : {u"HighGradeHMI", u"LowGradeHMI"}) {
        if (x.FindChildElem(old)) {
            x.IntoElem();
            while (x.FindChildElem(u"FontInfo")) names.push_back(N(x.GetChildAttrib(u"FontName").str()));
            x.OutOfElem();
        }
    }
    if (x.FindElem(u"PackFontInfo"))
        while (x.FindChildElem(u"FontInfo")) names.push_back(N(x.GetChildAttrib(u"FontName").str()));
    return names;
}
}  // namespace

TEST(XmlCursor, WrittenLayoutReadsThePackInOrder) {
    CXMLDocument x;
    ASSERT_TRUE(x.SetDoc(U("<project filever=\"1.0\"><DefaultFont UseDefaultFont=\"1\" Font0=\"宋体\"/>"
                           "<PackFontInfo><FontInfo FontName=\"X\" FontFile=\"x.ttf\"/><Other/>"
                           "<FontInfo FontName=\"Y\"/><FontInfo/></PackFontInfo></project>")
                             .c_str()));
    // HighGradeHMI: with no main on the level, FindChildElem first moves to
    // DefaultFont and searches its (empty) children.
    EXPECT_EQ(ReadNamesLikeThePackReader(x), (std::vector<std::string>{"X", "Y", ""}));

    x.ResetPos();
    ASSERT_TRUE(x.FindElem(u"project"));
    ASSERT_TRUE(x.FindChildElem(u"DefaultFont"));
    EXPECT_EQ(x.GetChildAttrib(u"Font0"), U("宋体"));
    EXPECT_EQ(x.GetChildAttrib(u"Font7"), u"");  // absent
    EXPECT_EQ(x.GetAttrib(u"filever"), u"1.0");
    // FindChildElem continues after the last child found and never wraps.
    EXPECT_TRUE(x.FindChildElem(u"PackFontInfo"));
    EXPECT_FALSE(x.FindChildElem(u"DefaultFont"));
    EXPECT_EQ(x.GetChildTagName(), u"PackFontInfo");  // nothing moved
}

TEST(XmlCursor, PackFirstLayoutIsMissedByTheFollowingFindElem) {
    CXMLDocument x;
    ASSERT_TRUE(x.SetDoc(u"<project><PackFontInfo><FontInfo FontName=\"X\"/></PackFontInfo></project>"));
    // The first FindChildElem makes PackFontInfo main; FindElem then searches after it.
    EXPECT_TRUE(ReadNamesLikeThePackReader(x).empty());
}

TEST(XmlCursor, OldSectionsAreReadOnlyWhenTheyAreNotFirst) {
    CXMLDocument x;
    ASSERT_TRUE(x.SetDoc(u"<project><DefaultFont><HighGradeHMI><FontInfo FontName=\"Inner\"/></HighGradeHMI>"
                         u"</DefaultFont><HighGradeHMI><FontInfo FontName=\"H\"/></HighGradeHMI>"
                         u"<PackFontInfo><FontInfo FontName=\"P\"/></PackFontInfo></project>"));
    // Searching DefaultFont's children finds the nested section, not the sibling.
    EXPECT_EQ(ReadNamesLikeThePackReader(x), (std::vector<std::string>{"Inner", "P"}));

    // IntoElem / loop / OutOfElem leaves the section as the child, so the
    // next FindChildElem continues after it.
    ASSERT_TRUE(x.SetDoc(u"<project><HighGradeHMI><FontInfo FontName=\"A\"/><FontInfo FontName=\"B\"/>"
                         u"</HighGradeHMI><LowGradeHMI/><PackFontInfo/></project>"));
    ASSERT_TRUE(x.FindElem(u"project"));
    ASSERT_TRUE(x.FindChildElem(u"HighGradeHMI"));
    ASSERT_TRUE(x.IntoElem());
    std::vector<std::string> got;
    while (x.FindChildElem(u"FontInfo")) got.push_back(N(x.GetChildAttrib(u"FontName").str()));
    EXPECT_EQ(got, (std::vector<std::string>{"A", "B"}));
    ASSERT_TRUE(x.OutOfElem());
    EXPECT_EQ(x.GetTagName(), u"project");
    EXPECT_EQ(x.GetChildTagName(), u"HighGradeHMI");
    EXPECT_FALSE(x.FindChildElem(u"HighGradeHMI"));
    EXPECT_TRUE(x.FindChildElem(u"PackFontInfo"));
}

TEST(XmlCursor, RemoveElemStepsBackToThePreviousSibling) {
    CXMLDocument x;
    ASSERT_TRUE(x.SetDoc(u"<project><DefaultFont/><HighGradeHMI/><PackFontInfo/></project>"));
    ASSERT_TRUE(x.FindElem(u"project"));
    ASSERT_TRUE(x.FindChildElem(u"HighGradeHMI"));
    ASSERT_TRUE(x.IntoElem());
    ASSERT_TRUE(x.RemoveElem());
    EXPECT_EQ(x.GetTagName(), u"DefaultFont");
    ASSERT_TRUE(x.OutOfElem());
    EXPECT_EQ(x.GetChildTagName(), u"DefaultFont");
    EXPECT_TRUE(x.FindChildElem(u"PackFontInfo"));
    // Removing the first element leaves no main: the next FindElem starts over.
    ASSERT_TRUE(x.IntoElem());
    ASSERT_TRUE(x.RemoveElem());
    EXPECT_EQ(x.GetTagName(), u"DefaultFont");
    ASSERT_TRUE(x.RemoveElem());
    EXPECT_EQ(x.GetTagName(), u"");
    EXPECT_FALSE(x.RemoveElem());
    EXPECT_FALSE(x.FindElem());
    EXPECT_NE(N(x.GetDoc().str()).find("<project"), std::string::npos);
    EXPECT_EQ(N(x.GetDoc().str()).find("DefaultFont"), std::string::npos);
}

TEST(XmlCursor, WritesLikeThePackWriterAndReadsBack) {
    testsupport::TempDir dir;
    const std::u16string path = dir.wpath() + u"\\fpf.ini";
    CXMLDocument x;
    EXPECT_FALSE(x.LoadXMLFile(path.c_str()));
    ASSERT_TRUE(x.SetDoc(kTemplate));
    x.ResetPos();
    x.FindElem(u"project");
    EXPECT_FALSE(x.FindChildElem(u"DefaultFont"));
    ASSERT_TRUE(x.AddChildElem(u"DefaultFont"));
    x.SetChildAttrib(u"UseDefaultFont", 1);
    x.SetChildAttrib(u"Font0", U("宋体").c_str());
    EXPECT_FALSE(x.FindChildElem(u"PackFontInfo"));
    ASSERT_TRUE(x.AddChildElem(u"PackFontInfo"));
    ASSERT_TRUE(x.IntoElem());
    for (const char16_t* face : {u"Arial", u"Tahoma"}) {
        ASSERT_TRUE(x.AddChildElem(u"FontInfo"));
        ASSERT_TRUE(x.IntoElem());
        x.SetAttrib(u"FontName", face);
        x.SetAttrib(u"FontSize", u"0.25MB");
        ASSERT_TRUE(x.OutOfElem());
    }
    ASSERT_TRUE(x.SaveXmlFile(path.c_str()));
    const std::string text = testsupport::ReadText(dir / "fpf.ini");
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u) << text;
    EXPECT_LT(text.find("DefaultFont"), text.find("PackFontInfo"));

    CXMLDocument y;
    ASSERT_TRUE(y.LoadXMLFile(path.c_str()));
    EXPECT_EQ(ReadNamesLikeThePackReader(y), (std::vector<std::string>{"Arial", "Tahoma"}));
    y.ResetPos();
    y.FindElem(u"project");
    ASSERT_TRUE(y.FindChildElem(u"DefaultFont"));
    EXPECT_EQ(y.GetChildAttrib(u"UseDefaultFont"), u"1");
    EXPECT_EQ(y.GetChildAttrib(u"Font0"), U("宋体"));
}

TEST(XmlCursor, BadInputAndCallsOutOfOrder) {
    testsupport::TempDir dir;
    CXMLDocument x;
    testsupport::WriteText(dir / "bad.ini", "<project><unclosed></project>");
    EXPECT_FALSE(x.LoadXMLFile((dir.wpath() + u"\\bad.ini").c_str()));
    EXPECT_FALSE(x.FindElem(u"project"));
    EXPECT_FALSE(x.SetDoc(nullptr));
    EXPECT_FALSE(x.SetDoc(u"not xml at all <"));
    EXPECT_FALSE(x.IntoElem());
    EXPECT_FALSE(x.OutOfElem());
    EXPECT_FALSE(x.AddChildElem(u"x"));
    EXPECT_FALSE(x.SetAttrib(u"a", u"b"));
    EXPECT_FALSE(x.SetChildAttrib(u"a", 1));
    EXPECT_EQ(x.GetChildAttrib(u"a"), u"");

    std::string big = "<project><PackFontInfo>";
    for (int i = 0; i < 10000; ++i) big += "<FontInfo FontName=\"F" + std::to_string(i) + "\"/>";
    big += "</PackFontInfo></project>";
    testsupport::WriteText(dir / "big.ini", big);
    ASSERT_TRUE(x.LoadXMLFile((dir.wpath() + u"\\big.ini").c_str()));
    x.FindElem(u"project");
    ASSERT_TRUE(x.FindChildElem(u"PackFontInfo"));
    x.IntoElem();
    int n = 0;
    while (x.FindChildElem(u"FontInfo")) ++n;
    EXPECT_EQ(n, 10000);

    // A failed save leaves the old file whole.
    testsupport::WriteText(dir / "keep.ini", "<project/>");
    EXPECT_FALSE(x.SaveXmlFile((dir.wpath() + u"\\missing\\keep.ini").c_str()));
    std::filesystem::create_directory(dir / ("keep.ini.~" + std::to_string(getpid())));
    EXPECT_FALSE(x.SaveXmlFile((dir.wpath() + u"\\keep.ini").c_str()));
    EXPECT_EQ(testsupport::ReadText(dir / "keep.ini"), "<project/>");
}
