// What an incremental build trusts of the folder it builds into: the files
// it recorded, as long as they are what it wrote; and the checks that keep a
// file that does not read back from ever taking its name.
#include <fcntl.h>
#include <sys/stat.h>

#include <functional>

#include "FontSubsetBridge.h"
#include "GenerateFixture.h"
#include "Qpf2Reader.h"
#include "win/filesafety.h"
#include "win/files.h"
#include "win/profile.h"

namespace fs = std::filesystem;

namespace {
// Overwrites a file with other bytes of the same size and gives it back
// its modification time, as a copy tool that keeps times would.
void OverwriteKeepingSizeAndTime(const fs::path& file) {
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    std::vector<unsigned char> bytes = testsupport::ReadBytes(file);
    ASSERT_GT(bytes.size(), 40u);
    for (size_t i = bytes.size() - 32; i < bytes.size(); ++i) bytes[i] ^= 0x5A;
    testsupport::WriteBytes(file, bytes);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    struct stat after {};
    ASSERT_EQ(::stat(file.c_str(), &after), 0);
    ASSERT_EQ(after.st_size, st.st_size);
    ASSERT_EQ(after.st_mtim.tv_nsec, st.st_mtim.tv_nsec);
}

// Rewrites every line of a build's record with `edit`.
using LineEdit = std::function<std::string(const std::string&)>;
void EditRecord(const fs::path& record, const LineEdit& edit) {
    const std::string text = testsupport::ReadText(record);
    std::string out;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at);
        out += edit(text.substr(at, end - at)) + "\n";
        at = end + 1;
    }
    testsupport::WriteText(record, out);
}

// Changes a file's bytes and makes its record's stat say the file is as
// written: only reading the bytes can tell (bits that rot on a disk).
void ChangeBehindTheRecord(const fs::path& file, const fs::path& record) {
    std::vector<unsigned char> bytes = testsupport::ReadBytes(file);
    bytes[bytes.size() - 1] ^= 0x01;
    testsupport::WriteBytes(file, bytes);
    winfiles::FileStamp now;
    ASSERT_TRUE(winfiles::StampFile(file.string(), &now));
    const std::string name = file.filename().string();
    EditRecord(record, [&](const std::string& line) {
        // key, value, file, its stamp, then what the file was made from
        std::vector<size_t> tabs;
        for (size_t t = line.find('\t'); t != std::string::npos; t = line.find('\t', t + 1)) tabs.push_back(t);
        if (tabs.size() < 4 || line.substr(tabs[1] + 1, tabs[2] - tabs[1] - 1) != name) return line;
        winfiles::FileStamp old;
        EXPECT_TRUE(winfiles::ParseStamp(line.substr(tabs[2] + 1, tabs[3] - tabs[2] - 1), &old));
        now.hash = old.hash;  // the stat of now, the content of then
        return line.substr(0, tabs[2] + 1) + winfiles::FormatStamp(now) + line.substr(tabs[3]);
    });
}

class OutputRecordsTest : public GenerateTest {
protected:
    void SetUp() override {
        GenerateTest::SetUp();
        winfiles::TakeFailures();
        Add(15, u"En", u"Arial", -24);
        Add(16, u"Title", u"Tahoma", -20);
    }
    // An incremental compile in a fresh process; the files it found changed.
    std::vector<std::u16string> Qpf(bool verify = false) {
        return UnitQpf(m_out.wpath(), {{15, u"Pressure"}, {16, u"Tank"}}, verify).changed;
    }
    std::vector<std::u16string> Ttf(bool verify = false) {
        return UnitTtf(m_out.wpath(), {{15, u"Pressure"}, {16, u"Tank"}}, verify).changed;
    }
    fs::path QpfFile() const { return m_out / "qpf2" / "arial_24_50.qpf2"; }
    fs::path TtfFile() const { return m_out / "Arial.ttf"; }
    static fs::file_time_type Time(const fs::path& p) { return fs::last_write_time(p); }
};
}  // namespace

TEST_F(OutputRecordsTest, FilesChangedOutsideABuildAreBuiltAgain) {
    const std::vector<std::u16string> none;
    const std::vector<std::u16string> qpf{u"arial_24_50.qpf2"}, ttf{u"Arial.ttf"};
    ASSERT_EQ(Qpf(), none);
    ASSERT_EQ(Ttf(), none);
    const auto tahoma = Time(m_out / "qpf2" / "tahoma_20_50.qpf2");

    // Cut short, as a full disk or a copy that stopped leaves it (Qt's reader
    // accepts the header of a 20-byte file); other bytes of the same size and
    // time: made again. Times moved but not the bytes (touch, or a copy back
    // from a backup): kept.
    const struct {
        std::function<void(const fs::path&)> change;
        bool madeAgain;
    } changes[] = {
        {[](const fs::path& file) { fs::resize_file(file, 20); }, true},
        {OverwriteKeepingSizeAndTime, true},
        {[](const fs::path& file) {
             fs::last_write_time(file, Time(file) + std::chrono::seconds(5));
         }, false}};
    for (const auto& c : changes) {
        c.change(QpfFile());
        c.change(TtfFile());
        EXPECT_EQ(Qpf(), c.madeAgain ? qpf : none);
        EXPECT_EQ(Ttf(), c.madeAgain ? ttf : none);
        EXPECT_EQ(testsupport::Qpf2Readable(QpfFile(), U"Pressure"), U"Pressure");
        EXPECT_EQ(ReadWithFontTools(TtfFile()).at("cmap"), CmapOf(u"Pressure"));
    }
    // The records took the touched files' stat: the next build reads nothing.
    for (const auto& [file, record] : {std::pair{QpfFile(), m_out / "qpf2" / ".forgeline-qpf"},
                                       std::pair{TtfFile(), m_out / ".forgeline-ttf"}}) {
        winfiles::FileStamp stamp;
        ASSERT_TRUE(winfiles::StampFile(file.string(), &stamp));
        const std::string text = testsupport::ReadText(record);
        EXPECT_NE(text.find(winfiles::FormatStamp(stamp)), std::string::npos) << file;
    }

    // Only the changed files were made again; nothing is made now.
    EXPECT_EQ(Time(m_out / "qpf2" / "tahoma_20_50.qpf2"), tahoma);
    const auto qpfTime = Time(QpfFile()), ttfTime = Time(TtfFile());
    EXPECT_EQ(Qpf(), none);
    EXPECT_EQ(Ttf(), none);
    EXPECT_EQ(Time(QpfFile()), qpfTime);
    EXPECT_EQ(Time(TtfFile()), ttfTime);
}

// The faces a file was made from are part of what it is: a font file
// touched keeps the files made from it, one whose bytes changed or that is
// gone has them made again from what the profile realises now. Each build
// is a new process: the profile is read again.
TEST_F(OutputRecordsTest, FilesAreMadeAgainWhenTheirFacesAreNoLongerThoseRecorded) {
    const fs::path tahoma = m_profile.fonts() / "tahoma.ttf";
    const fs::path tahomaQpf = m_out / "qpf2" / "tahoma_20_50.qpf2", tahomaTtf = m_out / "Tahoma.ttf";
    fs::remove(tahoma);
    fs::copy_file(testsupport::FixtureFontsDir() / "Fonts" / "tahoma.ttf", tahoma);
    const auto reload = [this] {
        ASSERT_TRUE(winprofile::Load(m_profile.path().string()));
        MakeFontMap();
    };
    reload();
    Qpf();
    Ttf();
    const auto arialQpf = Time(QpfFile()), arialTtf = Time(TtfFile());
    // Arial's files are made from Arial alone: they are never made again here.
    const auto unchanged = [&] {
        EXPECT_EQ(Time(QpfFile()), arialQpf);
        EXPECT_EQ(Time(TtfFile()), arialTtf);
    };

    fs::last_write_time(tahoma, Time(tahoma) + std::chrono::seconds(3));
    reload();
    auto qpfTime = Time(tahomaQpf), ttfTime = Time(tahomaTtf);
    Qpf();
    Ttf();
    EXPECT_EQ(Time(tahomaQpf), qpfTime);
    EXPECT_EQ(Time(tahomaTtf), ttfTime);
    unchanged();

    // Bytes a font reader passes over, at the end of the file.
    std::vector<unsigned char> bytes = testsupport::ReadBytes(tahoma);
    bytes.insert(bytes.end(), {0, 0, 0, 0});
    testsupport::WriteBytes(tahoma, bytes);
    reload();
    Qpf();
    Ttf();
    EXPECT_NE(Time(tahomaQpf), qpfTime);
    EXPECT_NE(Time(tahomaTtf), ttfTime);
    unchanged();

    // Bytes changed behind a record that took the new stat: only --verify reads them.
    bytes.back() = 1;
    testsupport::WriteBytes(tahoma, bytes);
    winfiles::FileStamp now;
    ASSERT_TRUE(winfiles::StampFile(tahoma.string(), &now));
    for (const fs::path& record : {m_out / "qpf2" / ".forgeline-qpf", m_out / ".forgeline-ttf"})
        EditRecord(record, [&](const std::string& line) {
            const size_t at = line.find("\ttahoma.ttf\t");
            if (at == std::string::npos) return line;
            const size_t from = at + 12, to = line.find('\t', from);
            winfiles::FileStamp old;
            EXPECT_TRUE(winfiles::ParseStamp(line.substr(from, to - from), &old));
            now.hash = old.hash;
            return line.substr(0, from) + winfiles::FormatStamp(now) + (to == std::string::npos ? "" : line.substr(to));
        });
    reload();
    qpfTime = Time(tahomaQpf), ttfTime = Time(tahomaTtf);
    Qpf();
    Ttf();
    EXPECT_EQ(Time(tahomaQpf), qpfTime);
    EXPECT_EQ(Time(tahomaTtf), ttfTime);
    Qpf(true);
    Ttf(true);
    EXPECT_NE(Time(tahomaQpf), qpfTime);
    EXPECT_NE(Time(tahomaTtf), ttfTime);
    unchanged();

    // Gone: Tahoma's texts come from the face GDI falls back to, under the
    // file name the face gives the QPF2 file, and in that face's subset.
    fs::remove(tahoma);
    reload();
    qpfTime = Time(tahomaQpf);
    Qpf();
    Ttf();
    EXPECT_NE(Time(tahomaQpf), qpfTime);
    EXPECT_FALSE(fs::exists(tahomaTtf));
    EXPECT_NE(testsupport::ReadText(m_out / "qpf2" / ".forgeline-qpf").find("tahoma_20_50.qpf2\tTahoma"),
              std::string::npos);
}

TEST_F(OutputRecordsTest, AFileOnlyItsBytesTellChangedIsFoundWhenAskedToVerify) {
    Qpf();
    Ttf();
    ChangeBehindTheRecord(QpfFile(), m_out / "qpf2" / ".forgeline-qpf");
    ChangeBehindTheRecord(TtfFile(), m_out / ".forgeline-ttf");
    // A stat cannot tell.
    EXPECT_TRUE(Qpf().empty());
    EXPECT_TRUE(Ttf().empty());
    EXPECT_EQ(Qpf(true), (std::vector<std::u16string>{u"arial_24_50.qpf2"}));
    EXPECT_EQ(Ttf(true), (std::vector<std::u16string>{u"Arial.ttf"}));
    EXPECT_TRUE(Qpf(true).empty());
    EXPECT_TRUE(Ttf(true).empty());
}

TEST_F(OutputRecordsTest, RecordsOfAnOlderBuildAreNotBelieved) {
    Qpf();
    Ttf();
    // What builds that kept no stamps (name and value alone) or no faces
    // (name, value, file and stamp) recorded.
    for (const int fields : {2, 4}) {
        for (const fs::path& record : {m_out / "qpf2" / ".forgeline-qpf", m_out / ".forgeline-ttf"})
            EditRecord(record, [&](const std::string& line) {
                size_t end = 0;
                for (int i = 0; i < fields && end != std::string::npos; ++i) end = line.find('\t', end + (i > 0));
                return line.substr(0, end);
            });
        const auto qpfTime = Time(QpfFile()), ttfTime = Time(TtfFile());
        Qpf();
        Ttf();
        EXPECT_NE(Time(QpfFile()), qpfTime) << fields << " fields";
        EXPECT_NE(Time(TtfFile()), ttfTime) << fields << " fields";
        // And the records are whole again.
        const auto qpfAgain = Time(QpfFile()), ttfAgain = Time(TtfFile());
        EXPECT_TRUE(Qpf().empty());
        EXPECT_TRUE(Ttf().empty());
        EXPECT_EQ(Time(QpfFile()), qpfAgain);
        EXPECT_EQ(Time(TtfFile()), ttfAgain);
    }
}

// A subset the font library's check rejects is neither put in place nor
// recorded: a script that writes Tahoma's file whatever it was asked for.
TEST_F(OutputRecordsTest, ASubsetThatDoesNotHoldItsCharactersIsNotPutInPlace) {
    testsupport::TempDir scripts;
    testsupport::WriteText(scripts / "wrongcut.py",
                           "import os, sys\n"
                           "sys.path.insert(0, '" TAMSEL_SOURCE_DIR "/scripts')\n"
                           "import myFont\n"
                           "def FontSubsetText(src, text, out, number):\n"
                           "    data = open(os.path.join(os.path.dirname(src), 'tahoma.ttf'), 'rb').read()\n"
                           "    myFont._write_whole(out, data, src, number, sorted(set(map(ord, text))))\n"
                           "    return 'harfbuzz'\n"
                           "def FontSubset(src, text, extra, out, number):\n"
                           "    return FontSubsetText(src, text, out, number)\n"
                           "GetFontSubSetFileSize = myFont.GetFontSubSetFileSize\n");
    CFontSubsetBridge wrong("wrongcut", scripts.path().string());
    TTFMapTable table;
    table[u"Mangal"] = {u"mangal.ttf", u"Pump \u092A\u0902\u092A"};  // Tahoma has no Devanagari
    table[u"Tahoma"] = {u"tahoma.ttf", u"Tank"};
    testsupport::WriteText(m_out / "Mangal.ttf", "the last build's");
    const uint64_t mark = winfiles::WrittenMark();
    wrong.SubsetFontTable(table, m_out.wpath());
    const auto failures = winfiles::TakeFailures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].path, (m_out / "Mangal.ttf").string());
    EXPECT_NE(failures[0].what.find("lacks 2 character(s) its source maps (U+0902 first)"), std::string::npos)
        << failures[0].what;
    EXPECT_EQ(testsupport::ReadText(m_out / "Mangal.ttf"), "the last build's");
    EXPECT_EQ(Files(m_out.path()), (std::set<std::string>{"Mangal.ttf", "Tahoma.ttf"}));
    // Only the subset that holds is noted as written, for the compile library's record.
    winfiles::FileStamp stamp;
    EXPECT_FALSE(winfiles::WrittenSince(mark, (m_out / "Mangal.ttf").string(), &stamp));
    ASSERT_TRUE(winfiles::WrittenSince(mark, (m_out / "Tahoma.ttf").string(), &stamp));
    winfiles::FileStamp now;
    ASSERT_TRUE(winfiles::StampFile((m_out / "Tahoma.ttf").string(), &now));
    EXPECT_EQ(stamp, now);
}
