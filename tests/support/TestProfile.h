// Machine profiles for tests, made from the fixture fonts generated at build
// time (tests/fixtures/make_test_fonts.py).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "win/fontdb.h"

namespace testsupport {

// The folder the fixture fonts were generated into (its Fonts/ subfolder
// holds the files).
std::filesystem::path FixtureFontsDir();

// A machine profile in a temporary folder: the named fixture font files
// linked into Fonts/, an optional registry.reg and profile.ini. Loaded on
// construction.
class TestProfile {
public:
    TestProfile(const std::vector<std::string>& fontFiles, const std::string& registry = "",
                const std::string& settings = "");
    const std::filesystem::path& path() const { return m_dir.path(); }
    std::filesystem::path fonts() const { return m_dir.path() / "Fonts"; }

private:
    TempDir m_dir;
};

// Every font file of the fixture.
std::vector<std::string> AllFixtureFonts();

// The face GDI realises for a 16-pixel font of `face` in `charset`; null
// when the fonts folder is empty. Valid until another profile is loaded.
const fontdb::Face* RealizedFace(const std::u16string& face, BYTE charset = DEFAULT_CHARSET);

// A .reg text holding the installed-fonts key with the given values (name, data).
std::string FontsRegistry(const std::vector<std::pair<std::string, std::string>>& values);
// A .reg text with the font mapper's keys (FontSubstitutes values, then
// FontLink\SystemLink values); the Fonts key stays the installer's.
std::string MapperRegistry(const std::string& substitutes, const std::string& links = "");
// REG_MULTI_SZ data in .reg form.
std::string MultiString(const std::vector<std::string>& strings);

}  // namespace testsupport
