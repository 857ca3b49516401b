// What the file layer guarantees to the layers above: only regular files are
// read, writes are whole or not at all, deletes stay in their folder and
// never follow a link, and what fails is kept for the host.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>

#include "TestSupport.h"
#include "win/filesafety.h"
#include "win/files.h"
#include "win/wstr.h"

namespace fs = std::filesystem;
using testsupport::TempDir;

namespace {
std::vector<std::string> FailedPaths() {
    std::vector<std::string> out;
    for (const winfiles::Failure& f : winfiles::TakeFailures()) out.push_back(f.path);
    return out;
}
}  // namespace

TEST(FileSafety, NamesFromFontsAndFilesBecomeOneFileName) {
    using winfiles::SafeFileName;
    EXPECT_EQ(SafeFileName(u"Noto Sans CJK SC"), u"Noto Sans CJK SC");
    EXPECT_EQ(SafeFileName(u"v1.0 Light"), u"v1.0 Light");
    EXPECT_EQ(SafeFileName(u"a/b\\c"), u"a_b_c");
    EXPECT_EQ(SafeFileName(u"."), u"_");
    EXPECT_EQ(SafeFileName(u".."), u"__");
    EXPECT_EQ(SafeFileName(u"x...y"), u"x___y");
    EXPECT_EQ(SafeFileName(u".hidden"), u".hidden");
    EXPECT_EQ(SafeFileName(u""), u"_");
    EXPECT_EQ(SafeFileName(u"tab\there\x7f"), u"tab_here_");
    // The characters that carry raw bytes of Linux names: U+F02F stays, it is no separator.
    EXPECT_EQ(SafeFileName(std::u16string{0xF05C, u'a', 0xF0FF, 0xF02F}), (std::u16string{u'_', u'a', u'_', 0xF02F}));
    // Cut to 200 bytes of UTF-8, never inside a character.
    std::u16string cjk(100, u'字');
    EXPECT_EQ(SafeFileName(cjk).size(), 66u);
    std::u16string astral;
    for (int i = 0; i < 60; ++i) astral += u"\U00010300";
    EXPECT_EQ(SafeFileName(astral).size(), 100u);
    EXPECT_TRUE(winfiles::IsSafeFileName(u"arial_24_50.qpf2"));
    EXPECT_FALSE(winfiles::IsSafeFileName(u"../keep/victim"));
    EXPECT_FALSE(winfiles::IsSafeFileName(u""));
}

TEST(FileSafety, EveryLinuxNameSurvivesAWindowsPath) {
    const std::string odd = "/tmp/x\\..\\victim/caf\xC3\xA9/\xFF\xFEraw";
    const std::u16string windows = WindowsPath(odd);
    EXPECT_EQ(windows.find(u'\\'), std::u16string::npos);
    EXPECT_EQ(NativePath(windows), odd);
    // A module path built with backslashes still reaches the Linux tree.
    EXPECT_EQ(NativePath(windows + u"\\Font.hft"), odd + "/Font.hft");

    // Enumerated names come back as Windows names that reach the same file.
    TempDir dir;
    testsupport::WriteText(dir / "a\\..\\b", "odd");
    testsupport::WriteText(dir / "b", "sibling");
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((dir.wpath() + u"\\*.*").c_str(), &fd);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    std::vector<std::u16string> names;
    do names.push_back(fd.cFileName);
    while (FindNextFileW(find, &fd));
    FindClose(find);
    ASSERT_EQ(names.size(), 4u);  // ".", "..", then sorted
    EXPECT_TRUE(DeleteFileW((dir.wpath() + u"\\" + names[2]).c_str()));
    EXPECT_FALSE(fs::exists(dir / "a\\..\\b"));
    EXPECT_EQ(testsupport::ReadText(dir / "b"), "sibling");
}

TEST(FileSafety, OnlyRegularFilesAreRead) {
    TempDir dir;
    const fs::path fifo = dir / "Font.hft";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    // Opening and reading FIFOs without waiting: studio_cli's FIFO checks.
    EXPECT_FALSE(winfiles::IsRegularFile(fifo.string()));
    std::string bytes;
    EXPECT_FALSE(winfiles::ReadRegularFile(dir.path().string(), &bytes));
    testsupport::WriteText(dir / "real", "content");
    fs::create_symlink(dir / "real", dir / "link");
    ASSERT_TRUE(winfiles::ReadRegularFile((dir / "link").string(), &bytes));
    EXPECT_EQ(bytes, "content");
    EXPECT_FALSE(winfiles::ReadRegularFile((dir / "real").string(), &bytes, 3));
    // The limit itself is allowed; an empty file is read as empty.
    ASSERT_TRUE(winfiles::ReadRegularFile((dir / "real").string(), &bytes, 7));
    EXPECT_EQ(bytes, "content");
    testsupport::WriteText(dir / "empty", "");
    bytes = "left over";
    ASSERT_TRUE(winfiles::ReadRegularFile((dir / "empty").string(), &bytes));
    EXPECT_TRUE(bytes.empty());
    // A file of several large pages comes back byte for byte.
    std::string big(9 << 20, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 2654435761u >> 24);
    testsupport::WriteText(dir / "big", big);
    ASSERT_TRUE(winfiles::ReadRegularFile((dir / "big").string(), &bytes));
    EXPECT_TRUE(bytes == big);
    EXPECT_FALSE(winfiles::ReadRegularFile((dir / "big").string(), &bytes, big.size() - 1));
}

TEST(FileSafety, AFileIsReplacedWholeOrNotAtAll) {
    TempDir dir;
    const std::string target = (dir / "table.bin").string();
    testsupport::WriteText(target, "old contents");
    winfiles::TakeFailures();
    // A full disk: created, but the write failed.
    bool writeFailed = false;
    {
        const std::string big(64 * 1024, 'x');
        testsupport::FileSizeLimit full(4096);
        const std::u16string path = dir.wpath() + u"\\table.bin";
        EXPECT_TRUE(ReplaceFileContents(path.c_str(), big.data(), big.size(), &writeFailed));
    }
    EXPECT_TRUE(writeFailed);
    EXPECT_EQ(testsupport::ReadText(target), "old contents");
    EXPECT_EQ(testsupport::Tree(dir.path()), (std::vector<std::string>{"table.bin"}));  // no temporary left
    EXPECT_EQ(FailedPaths(), (std::vector<std::string>{target}));

    // A link in the target's place is replaced, never written through.
    testsupport::WriteText(dir / "elsewhere", "keep me");
    fs::create_symlink(dir / "elsewhere", dir / "linked.bin");
    ASSERT_TRUE(ReplaceFileContents((dir.wpath() + u"\\linked.bin").c_str(), "new", 3, &writeFailed));
    EXPECT_FALSE(writeFailed);
    EXPECT_FALSE(fs::is_symlink(dir / "linked.bin"));
    EXPECT_EQ(testsupport::ReadText(dir / "elsewhere"), "keep me");

    // A link at the temporary name is not followed either.
    fs::create_symlink(dir / "elsewhere", dir / ("t.bin.~" + std::to_string(getpid())));
    ASSERT_TRUE(ReplaceFileContents((dir.wpath() + u"\\t.bin").c_str(), "t", 1, &writeFailed));
    EXPECT_EQ(testsupport::ReadText(dir / "t.bin"), "t");
    EXPECT_EQ(testsupport::ReadText(dir / "elsewhere"), "keep me");

    // A folder with the file's name: nothing can be put in place.
    fs::create_directory(dir / "Font.hft");
    EXPECT_FALSE(ReplaceFileContents((dir.wpath() + u"\\Font.hft").c_str(), "x", 1, &writeFailed));
    EXPECT_TRUE(fs::is_directory(dir / "Font.hft"));
    EXPECT_EQ(FailedPaths(), (std::vector<std::string>{(dir / "Font.hft").string()}));
    // The temporary name taken by a folder, or no folder to put the file in.
    fs::create_directory(dir / ("table.bin.~" + std::to_string(getpid())));
    EXPECT_FALSE(ReplaceFileContents((dir.wpath() + u"\\table.bin").c_str(), "z", 1, &writeFailed));
    EXPECT_EQ(testsupport::ReadText(target), "old contents");
    EXPECT_FALSE(ReplaceFileContents((dir.wpath() + u"\\no\\x.bin").c_str(), "x", 1, &writeFailed));
}

// A file is read back before it takes its name: one its check refuses
// leaves the old file and a failure; one that passes is noted with what it
// holds.
TEST(FileSafety, FilesAreCheckedBeforeTheyTakeTheirNameAndStampedAfter) {
    TempDir dir;
    const std::string target = (dir / "font.qpf2").string();
    testsupport::WriteText(target, "old");
    winfiles::TakeFailures();
    const uint64_t mark = winfiles::WrittenMark();
    std::string seen;
    const auto write = [&](const std::string& bytes, const std::string& verdict) {
        winfiles::AtomicFile f(target);
        f.CheckBeforeCommit([&](const uint8_t* data, size_t size) {
            seen.assign(reinterpret_cast<const char*>(data), size);
            return verdict;
        });
        f.Write(bytes.data(), bytes.size());
        return f.Commit();
    };
    EXPECT_FALSE(write("refused", "its glyph map points past the end"));
    EXPECT_EQ(seen, "refused");
    EXPECT_EQ(testsupport::ReadText(target), "old");
    EXPECT_EQ(testsupport::Tree(dir.path()), (std::vector<std::string>{"font.qpf2"}));
    const auto failures = winfiles::TakeFailures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].what.find("its glyph map points past the end"), std::string::npos);
    winfiles::FileStamp noted;
    EXPECT_FALSE(winfiles::WrittenSince(mark, target, &noted));

    ASSERT_TRUE(write("accepted", ""));
    ASSERT_TRUE(winfiles::WrittenSince(mark, target, &noted));
    winfiles::FileStamp now;
    ASSERT_TRUE(winfiles::StampFile(target, &now));
    EXPECT_EQ(noted, now);
    EXPECT_EQ(noted.size, 8u);
    winfiles::FileStamp parsed;
    ASSERT_TRUE(winfiles::ParseStamp(winfiles::FormatStamp(noted), &parsed));
    EXPECT_EQ(parsed, noted);
    for (const char* bad : {"", "1,2,3,4", "1,2,3,4,5,6", "-1,2,3,4,5", "1,2,3,4,zz", "1,2,3,4,12345678901234567"})
        EXPECT_FALSE(winfiles::ParseStamp(bad, &parsed)) << bad;

    // Stats and bytes against the stamp: OutputRecordsTest. A link or nothing in
    // the file's place is no longer the file.
    fs::remove(target);
    fs::create_symlink(dir / "elsewhere", target);
    EXPECT_EQ(winfiles::CheckStamp(target, &noted, false), winfiles::StampCheck::Changed);
    fs::remove(target);
    EXPECT_EQ(winfiles::CheckStamp(target, &noted, false), winfiles::StampCheck::Missing);
}

TEST(FileSafety, TemporariesOfEndedProcessesAreRemovedAtTheNextSave) {
    TempDir dir;
    const std::string dead = std::to_string(testsupport::DeadProcessId());
    testsupport::WriteText(dir / ("Font.hft.~" + dead), "left by a killed save");
    testsupport::WriteText(dir / ("Font.hft.~" + std::to_string(getppid())), "a running save");
    testsupport::WriteText(dir / ("fpf.ini.~" + dead), "another file's");
    testsupport::WriteText(dir / "Font.hft.~notapid", "not a temporary");
    bool writeFailed = false;
    ASSERT_TRUE(ReplaceFileContents((dir.wpath() + u"\\Font.hft").c_str(), "t", 1, &writeFailed));
    EXPECT_EQ(testsupport::Tree(dir.path()),
              (std::vector<std::string>{"Font.hft", "Font.hft.~" + std::to_string(getppid()), "Font.hft.~notapid",
                                        "fpf.ini.~" + dead}));
    // A build folder is swept whole.
    winfiles::RemoveStaleTemporaries(dir.path().string());
    EXPECT_FALSE(fs::exists(dir / ("fpf.ini.~" + dead)));
}

TEST(FileSafety, DeletesStayInTheirFolderAndRemoveLinksAsLinks) {
    TempDir dir;
    fs::create_directories(dir / "out" / "sub");
    testsupport::WriteText(dir / "victim.ttf", "outside");
    fs::create_symlink(dir / "victim.ttf", dir / "out" / "link.ttf");
    fs::create_directory_symlink(dir.path(), dir / "out" / "up");
    const std::string out = (dir / "out").string();
    winfiles::TakeFailures();

    EXPECT_TRUE(winfiles::RemoveFromFolder(out, "link.ttf"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "out" / "link.ttf")));
    EXPECT_EQ(testsupport::ReadText(dir / "victim.ttf"), "outside");
    EXPECT_TRUE(winfiles::RemoveFromFolder(out, "up"));
    EXPECT_TRUE(fs::exists(dir / "victim.ttf"));
    EXPECT_TRUE(winfiles::RemoveFromFolder(out, "gone.ttf"));  // not there: no failure

    EXPECT_FALSE(winfiles::RemoveFromFolder(out, "../victim.ttf"));
    EXPECT_FALSE(winfiles::RemoveFromFolder(out, ".."));
    EXPECT_FALSE(winfiles::RemoveFromFolder(out, "sub"));  // folders are not files
    EXPECT_TRUE(fs::exists(dir / "victim.ttf"));
    EXPECT_TRUE(fs::is_directory(dir / "out" / "sub"));
    EXPECT_EQ(FailedPaths().size(), 3u);

    EXPECT_TRUE(winfiles::IsInside(out, out + "/sub/x"));
    EXPECT_TRUE(winfiles::IsInside(out, out + "/x"));
    EXPECT_FALSE(winfiles::IsInside(out, out + "/../victim.ttf"));
    EXPECT_FALSE(winfiles::IsInside(out, out));
    EXPECT_TRUE(winfiles::IsInside(out, out, true));
    fs::create_directory_symlink(dir.path(), dir / "out" / "up");
    EXPECT_FALSE(winfiles::IsInside(out, out + "/up/victim.ttf"));  // through a link, out of the folder
    EXPECT_TRUE(winfiles::IsInside(out, out + "/up"));              // the link itself is inside
}

TEST(Files, BackslashPathsReachTheLinuxTree) {
    TempDir dir;
    const std::u16string path = dir.wpath() + u"\\sub.bin";
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, "abcd", 4, &written, nullptr));
    CloseHandle(h);
    EXPECT_EQ(testsupport::ReadText(dir / "sub.bin"), "abcd");
    EXPECT_EQ(GetFileAttributesW(dir.wpath().c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(CreateFileW(dir.wpath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
}

TEST(Files, ReadingAheadChangesNothingThatIsRead) {
    TempDir dir;
    std::string data(200000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7919 >> 3);
    testsupport::WriteText(dir / "t.bin", data);
    const std::u16string path = dir.wpath() + u"\\t.bin";
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    // Small reads from the read-ahead, a large one past it, and the end.
    std::string got;
    for (DWORD want : {1u, 7u, 100u, 70000u, 3u, 65536u, 200000u, 10u}) {
        std::string buf(want, '?');
        DWORD read = 99;
        ASSERT_TRUE(ReadFile(h, buf.data(), want, &read, nullptr));
        got.append(buf, 0, read);
    }
    EXPECT_TRUE(got == data);
    DWORD read = 99;
    char c;
    EXPECT_TRUE(ReadFile(h, &c, 1, &read, nullptr));
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(GetFileSize(h, nullptr), 200000u);
    CloseHandle(h);

    // A handle that also writes reads what is there when it reads.
    h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    char head[4] = {};
    ASSERT_TRUE(ReadFile(h, head, 4, &read, nullptr));
    ASSERT_TRUE(WriteFile(h, "WXYZ", 4, &read, nullptr));
    ASSERT_TRUE(ReadFile(h, head, 4, &read, nullptr));
    EXPECT_EQ(std::string(head, 4), data.substr(8, 4));
    CloseHandle(h);
    EXPECT_EQ(testsupport::ReadText(dir / "t.bin").substr(4, 4), "WXYZ");
}
