#include <gtest/gtest.h>

#include "TestSupport.h"
#include "win/files.h"
#include "win/wstr.h"

using testsupport::TempDir;

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
