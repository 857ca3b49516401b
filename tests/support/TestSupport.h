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

// std::u16string from UTF-8 and back, for readable assertions.
std::u16string U(const std::string& utf8);
std::string N(const std::u16string& s);

}  // namespace testsupport
