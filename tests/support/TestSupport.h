// Shared helpers for the test suites.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "win/windows.h"

namespace testsupport {

// A fresh directory under the system temp folder, removed on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::u16string wpath() const;
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

std::vector<unsigned char> ReadBytes(const std::filesystem::path& p);
void WriteBytes(const std::filesystem::path& p, const std::vector<unsigned char>& bytes);
std::string ReadText(const std::filesystem::path& p);
// Creates the folders on the way.
void WriteText(const std::filesystem::path& p, const std::string& text);

// Little-endian field readers over a byte vector, independent of the
// module's own structures.
uint32_t U32At(const std::vector<unsigned char>& b, size_t off);
int32_t I32At(const std::vector<unsigned char>& b, size_t off);
std::u16string Utf16At(const std::vector<unsigned char>& b, size_t off, size_t maxUnits);

// Makes every write of this process beyond `bytes` per file fail, as a full
// disk does (the kernel's file-size limit, with SIGXFSZ ignored), until
// destroyed.
class FileSizeLimit {
public:
    explicit FileSizeLimit(unsigned long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    unsigned long m_soft;
    void (*m_handler)(int);
};

// The pid of a process that has ended (a child that was reaped).
int DeadProcessId();

// Every entry below `dir`, relative, with "/" after folders; links not followed.
std::vector<std::string> Tree(const std::filesystem::path& dir);

// std::u16string from UTF-8 and back, for readable assertions.
std::u16string U(const std::string& utf8);
std::string N(const std::u16string& s);

}  // namespace testsupport
