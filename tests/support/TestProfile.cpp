#include "TestProfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "win/gdi.h"
#include "win/profile.h"
#include "win/wstr.h"

namespace testsupport {

std::filesystem::path FixtureFontsDir() {
#ifdef TAMSEL_TEST_FONTS
    return TAMSEL_TEST_FONTS;
#else
    return {};
#endif
}

std::vector<std::string> AllFixtureFonts() {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(FixtureFontsDir() / "Fonts", ec))
        files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    return files;
}

TestProfile::TestProfile(const std::vector<std::string>& fontFiles, const std::string& registry,
                         const std::string& settings) {
    std::filesystem::create_directories(fonts());
    for (const std::string& f : fontFiles) {
        const auto src = FixtureFontsDir() / "Fonts" / f;
        if (!std::filesystem::exists(src)) ADD_FAILURE() << "fixture font missing: " << src;
        std::filesystem::create_symlink(src, fonts() / f);
    }
    if (!registry.empty()) WriteText(m_dir / "registry.reg", registry);
    if (!settings.empty()) WriteText(m_dir / "profile.ini", settings);
    std::string error;
    if (!winprofile::Load(m_dir.path().string(), &error)) ADD_FAILURE() << error;
}

const fontdb::Face* RealizedFace(const std::u16string& face, BYTE charset) {
    LOGFONTW lf{};
    lf.lfHeight = 16;
    lf.lfCharSet = charset;
    CopyFixedName(lf.lfFaceName, face.c_str(), LF_FACESIZE);
    HFONT f = CreateFontIndirectW(&lf);
    const fontdb::Face* real = GetRealizedFace(f, nullptr, nullptr, nullptr);
    DeleteObject(reinterpret_cast<HGDIOBJ>(f));
    return real;
}

std::string FontsRegistry(const std::vector<std::pair<std::string, std::string>>& values) {
    std::string s = "Windows Registry Editor Version 5.00\r\n\r\n"
                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts]\r\n";
    auto quote = [](const std::string& v) {
        std::string q;
        for (char c : v) {
            if (c == '\\' || c == '"') q += '\\';
            q += c;
        }
        return "\"" + q + "\"";
    };
    for (const auto& kv : values) s += quote(kv.first) + "=" + quote(kv.second) + "\r\n";
    return s;
}

std::string MapperRegistry(const std::string& substitutes, const std::string& links) {
    return "Windows Registry Editor Version 5.00\r\n\r\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n" +
           substitutes +
           "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]\r\n" + links;
}

std::string MultiString(const std::vector<std::string>& strings) {
    std::string out = "hex(7):";
    char hex[4];
    auto add = [&](unsigned byte) {
        std::snprintf(hex, sizeof hex, "%02x,", byte);
        out += hex;
    };
    for (const std::string& s : strings) {
        for (char16_t c : Utf8ToUtf16(s)) {
            add(c & 0xFF);
            add(c >> 8);
        }
        add(0);
        add(0);
    }
    add(0);
    add(0);
    out.pop_back();
    return out;
}

}  // namespace testsupport
