// libTamsel.so exports the module's interface, all of it and nothing else:
// the exported functions and classes, and the module's state a host reads.
// Built against the public header alone and linked to the library itself.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Stanchion.h"
#include "Tamsel.h"
#include "win/files.h"
#include "win/profile.h"

namespace {

// Every exported function, taken through the header.
#define TAMSEL_FN(f) {#f, reinterpret_cast<const void*>(&f)}
const std::map<std::string, const void*> kFunctions = {
    TAMSEL_FN(Font_InitLib), TAMSEL_FN(Font_DenitLib), TAMSEL_FN(Font_SaveLib),
    TAMSEL_FN(Font_IsValid), TAMSEL_FN(Font_IsVFont), TAMSEL_FN(findFontInList),
    TAMSEL_FN(Font_GetFontName), TAMSEL_FN(Font_GetFontNames), TAMSEL_FN(CreateHmiFont),
    TAMSEL_FN(SetLastSelFont), TAMSEL_FN(GetLastSelFont), TAMSEL_FN(Font_GetStringFromFont),
    TAMSEL_FN(Font_GetSpecFont), TAMSEL_FN(Font_SetSpecFont),
    TAMSEL_FN(Font_GetMultiFontFromString), TAMSEL_FN(LoadDefaultFont), TAMSEL_FN(GetDefaultFont),
    TAMSEL_FN(IsUseDefaultFont), TAMSEL_FN(NewFont), TAMSEL_FN(AddFontFromParam),
    TAMSEL_FN(NewFontByInfo), TAMSEL_FN(DelHmiFont), TAMSEL_FN(DelUnUseFont),
    TAMSEL_FN(Font_GetLogFont), TAMSEL_FN(Font_SetLogFont), TAMSEL_FN(Font_Copy),
    TAMSEL_FN(Font_GetFontCss), TAMSEL_FN(Font_GetFontStyle), TAMSEL_FN(Font_GetPackName),
    TAMSEL_FN(Font_BeginGenerate), TAMSEL_FN(Font_AddString), TAMSEL_FN(Font_FreeMemory),
    TAMSEL_FN(MakeQPF), TAMSEL_FN(Finish_MakeQPF), TAMSEL_FN(MakeLattice_QPF),
    TAMSEL_FN(AddTextInfo), TAMSEL_FN(Finish_MakeTTF), TAMSEL_FN(MakeVector_TTF),
    TAMSEL_FN(MakeFontMap), TAMSEL_FN(OpenFontPackDlg), TAMSEL_FN(Font_EditLib),
    TAMSEL_FN(Font_Select)};
#undef TAMSEL_FN
const std::set<std::string> kData = {"g_FontList",  "g_nMaxFontID", "FontFileMap",
                                     "PackNameMap", "FontSizeMap",  "PackFontList"};
// The exported classes, and the class of the font pack list a host reads.
const std::set<std::string> kClasses = {"CUnit", "CDataObject", "CPackFontList"};

// The demangled names of the symbols the library defines for others.
std::vector<std::string> ExportedSymbols(const std::string& library) {
    std::vector<std::string> symbols;
    const std::string cmd = "nm -D --defined-only -C '" + library + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> nm(popen(cmd.c_str(), "r"), pclose);
    if (!nm) return symbols;
    char line[4096];
    while (fgets(line, sizeof line, nm.get())) {
        std::string s(line);
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
        // "ADDRESS TYPE NAME"
        const size_t type = s.find(' ');
        if (type == std::string::npos || type + 3 > s.size()) continue;
        symbols.push_back(s.substr(type + 3));
    }
    return symbols;
}

// The interface item a symbol belongs to: a function's or variable's name, or
// the class of a member, vtable or typeinfo.
std::string ItemOf(std::string symbol) {
    // AddressSanitizer gives each exported variable a mark of its own.
    const std::string odr = "__odr_asan.";
    if (symbol.compare(0, odr.size(), odr) == 0) {
        symbol.erase(0, odr.size());
        int status = 0;
        std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(symbol.c_str(), nullptr, nullptr, &status),
                                                    std::free);
        if (status == 0) symbol = name.get();
    }
    for (const char* prefix : {"vtable for ", "typeinfo name for ", "typeinfo for "}) {
        const std::string p(prefix);
        if (symbol.compare(0, p.size(), p) == 0) return symbol.substr(p.size());
    }
    symbol = symbol.substr(0, symbol.find('('));
    const std::string tag = "[abi:cxx11]";
    for (size_t at; (at = symbol.find(tag)) != std::string::npos;) symbol.erase(at, tag.size());
    const size_t scope = symbol.rfind("::");
    return scope == std::string::npos ? symbol : symbol.substr(0, scope);
}

TEST(LibTamselExports, AreTheInterfaceAndNothingElse) {
    const std::vector<std::string> symbols = ExportedSymbols(TAMSEL_LIBRARY);
    ASSERT_FALSE(symbols.empty()) << "nm listed nothing for " << TAMSEL_LIBRARY;
    std::set<std::string> found;
    for (const std::string& symbol : symbols) {
        const std::string item = ItemOf(symbol);
        const bool known = kFunctions.count(item) || kData.count(item) || kClasses.count(item);
        EXPECT_TRUE(known) << "exported, but not part of the interface: " << symbol;
        found.insert(item);
    }
    for (const auto& [name, address] : kFunctions)
        EXPECT_TRUE(found.count(name)) << "not exported: " << name;
    for (const auto* items : {&kData, &kClasses})
        for (const std::string& item : *items) EXPECT_TRUE(found.count(item)) << "not exported: " << item;
}

// What Tamsel.h declares is what the library defines: every function taken
// through the header, and the classes' destructors, lie in libTamsel.so.
TEST(LibTamselExports, AreDeclaredByTheHeader) {
    const std::string library = std::filesystem::canonical(TAMSEL_LIBRARY).string();
    CUnit unit;
    CDataObject object;
    std::map<std::string, const void*> items = kFunctions;
    // The first slot of a vtable holds the destructor.
    items.emplace("~CUnit", **reinterpret_cast<void* const* const*>(&unit));
    items.emplace("~CDataObject", **reinterpret_cast<void* const* const*>(&object));
    for (const auto& [name, address] : items) {
        Dl_info info{};
        ASSERT_TRUE(dladdr(address, &info) && info.dli_fname) << name;
        EXPECT_EQ(std::filesystem::canonical(info.dli_fname).string(), library) << name;
    }
}

// The state a host reads through the header is the state the module keeps
// (a program's copy of the library's data is what the library uses too).
TEST(LibTamselExports, StateIsTheModules) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("tamsel-exports-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir / "Fonts");
    std::string error;
    ASSERT_TRUE(winprofile::Load(dir.string(), &error)) << error;

    g_nMaxFontID = 100;
    const int id = AddFontFromParam(LOGFONTW{}, u"Probe");
    EXPECT_EQ(id, 101);
    EXPECT_EQ(g_nMaxFontID, 101);
    ASSERT_EQ(g_FontList.GetCount(), 1);
    EXPECT_EQ(g_FontList.GetHead()->nID, 101);
    Font_DenitLib();
    EXPECT_TRUE(g_FontList.IsEmpty());

    // Indexing the pack names adds an absent face; a rebuilt map forgets it.
    Font_GetPackName(u"Probe");
    EXPECT_EQ(PackNameMap.count(u"Probe"), 1u);
    FontFileMap[u"Probe"] = u"probe.ttf";
    FontSizeMap[u"Probe"] = 1.0;
    MakeFontMap();
    EXPECT_FALSE(PackNameMap.count(u"Probe") || FontFileMap.count(u"Probe") || FontSizeMap.count(u"Probe"));

    // Opening a project without a font pack empties the pack list.
    PackFontList.push_back(u"Probe");
    CRootMgr::getSingleton()->setProjectDir(CString(WindowsPath(dir.string())));
    Font_InitLib(nullptr, true, nullptr);
    EXPECT_TRUE(PackFontList.empty());
    Font_DenitLib();
    std::filesystem::remove_all(dir);
}

}  // namespace
