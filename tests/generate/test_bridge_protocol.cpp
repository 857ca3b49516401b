// The script protocol of the subsetting bridge, checked with scripts that
// record what they are called with.
#include "FontSubsetBridge.h"
#include "GenerateFixture.h"

namespace {
const char kRecorder[] = R"(import os
LOG = os.path.join(os.path.dirname(__file__), "calls.txt")
def _log(*a):
    with open(LOG, "a", encoding="utf-8") as f:
        f.write(" ".join(str(x) for x in a) + "\n")
def FontSubset(src, text, unicodes, out, number):
    _log("keep", os.path.basename(src), text, len(unicodes), "%X" % unicodes[0], "%X" % unicodes[127],
         "%X" % unicodes[128], "%X" % unicodes[-1], os.path.basename(out), number)
def FontSubsetText(src, text, out, number):
    _log("text", os.path.basename(src), text, os.path.basename(out), number)
def GetFontSubSetFileSize(out):
    return SIZE
)";

std::string Script(const std::string& size) {
    std::string s = kRecorder;
    s.replace(s.find("SIZE"), 4, size);
    return s;
}
}  // namespace

TEST_F(GenerateTest, BridgeCallsTheScriptAsTheProtocolSays) {
    testsupport::TempDir scripts;
    testsupport::WriteText(scripts / "recordFontA.py", Script("1048576"));
    CFontSubsetBridge bridge("recordFontA", scripts.path().string());
    TTFMapTable table;
    table[u"Mangal"] = {u"mangal.ttf", u"\u0915a"};
    table[u"NSimSun"] = {u"simsun.ttc", u"中"};
    table[u"Nobody"] = {u"simsun.ttc", u"文"};
    const double mb = bridge.SubsetFontTable(table, m_out.wpath());
    EXPECT_DOUBLE_EQ(mb, 3.0);  // 3,145,728 bytes
    EXPECT_EQ(testsupport::ReadText(scripts / "calls.txt"),
              "keep mangal.ttf \u0915a 160 900 97F A8E0 A8FF Mangal.ttf 0\n"
              "text simsun.ttc 中 NSimSun.ttc 1\n"
              "text simsun.ttc 文 Nobody.ttc 0\n");
    // The folder served the import only.
    EXPECT_EQ(bridge.ModuleSearchPath().find(scripts.path().string()), std::string::npos);
}

TEST_F(GenerateTest, BridgeSizesThatAreNotIntegersCountNothing) {
    testsupport::TempDir scripts;
    testsupport::WriteText(scripts / "recordFontB.py", Script("'12'"));
    CFontSubsetBridge bridge("recordFontB", scripts.path().string());
    ASSERT_TRUE(bridge.IsReady());
    TTFMapTable table;
    table[u"Arial"] = {u"arial.ttf", u"a"};
    EXPECT_EQ(bridge.SubsetFontTable(table, m_out.wpath()), 0.0);
    EXPECT_EQ(bridge.SubsetFileSize("anything"), 0);
}

TEST_F(GenerateTest, BridgeIsNotReadyWithoutAllThreeFunctions) {
    testsupport::TempDir scripts;
    testsupport::WriteText(scripts / "recordFontC.py", Script("1") + "FontSubsetText = 5\n");
    CFontSubsetBridge notCallable("recordFontC", scripts.path().string());
    EXPECT_FALSE(notCallable.IsReady());
    CFontSubsetBridge missing("noSuchFontModule", scripts.path().string());
    EXPECT_FALSE(missing.IsReady());
    EXPECT_EQ(missing.SubsetFileSize("x"), 0);
    EXPECT_TRUE(CFontSubsetBridge::Instance().IsReady());  // the studio's binding is untouched
}
