// Tamsel: the font library module of the HMI studio. This is the exported
// interface that the studio's editor calls: the functions and classes
// libTamsel.so exports, and the module's state a host may read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <list>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "mfc/afxcoll.h"
#include "mfc/afxstr.h"
#include "win/windows.h"

#define TAMSEL_API __attribute__((visibility("default")))

class CFont;
class CWnd;

#pragma pack(push, 1)
// One font of the project table: the same 160 bytes in memory and in Font.hft.
struct tagHMIFONT {
    int32_t nID;
    WCHAR szName[32];
    LOGFONTW lf;
};
#pragma pack(pop)
static_assert(sizeof(tagHMIFONT) == 160, "a Font.hft record is 160 bytes");
static_assert(offsetof(tagHMIFONT, szName) == 4, "Font.hft record layout");
static_assert(offsetof(tagHMIFONT, lf) == 68, "Font.hft record layout");

// The descriptor CreateHmiFont takes.
struct _HMIFONT {
    int32_t nID;
    int32_t bBold;
    int32_t nReserved;  // not used by CreateHmiFont
};

constexpr int kMultiFontSlots = 48;
// One font id per language slot.
struct tagMULTIFONT {
    uint16_t wFontID[kMultiFontSlots];
};
static_assert(sizeof(tagMULTIFONT) == 96, "48 16-bit slots");

// Font ids with a fixed meaning.
constexpr int kDefaultFontID = 14;
constexpr int kFirstBuiltinFontID = 10;
constexpr int kLastBuiltinFontID = 13;
constexpr int kLegacyFontCount = 10;

// Sent to the studio's main window when fast compile is on: (0, 1) after the
// font library dialog changed fonts, (1, 14) after the font pack was saved.
constexpr UINT kFontsChangedMessage = 0x1600;

typedef CTypedPtrList<CPtrList, tagHMIFONT*> CHmiFontList;

// The project's font table; its records belong to it.
extern TAMSEL_API CHmiFontList g_FontList;
// The highest font id handed out.
extern TAMSEL_API int g_nMaxFontID;

// ---- Project font table ----
// Opens the project's fonts: loads Font.hft, repairs faces that are not
// installed (asking through the font change dialog unless bNoDialog), and
// makes the default font and the built-in fonts 10 to 13. 1 when Font.hft
// was read.
TAMSEL_API int Font_InitLib(int* pSkipRepair, bool bNoDialog, void* pReserved);
TAMSEL_API void Font_DenitLib();
TAMSEL_API int Font_SaveLib();
TAMSEL_API int Font_IsValid(int nID);
TAMSEL_API int Font_IsVFont(int nID);
TAMSEL_API tagHMIFONT* findFontInList(int nID);
TAMSEL_API const WCHAR* Font_GetFontName(int nID);
TAMSEL_API void Font_GetFontNames(CStringArray& names, CStringArray& ids);
TAMSEL_API int CreateHmiFont(CFont& font, _HMIFONT* desc);
TAMSEL_API void SetLastSelFont(int nID);
TAMSEL_API int GetLastSelFont();

// ---- Per-language font selection ----
TAMSEL_API int Font_GetMultiFontFromString(const WCHAR* str, tagMULTIFONT& mf);
TAMSEL_API void Font_GetStringFromFont(const tagMULTIFONT& mf, CString& out);
TAMSEL_API int Font_GetSpecFont(const tagMULTIFONT& mf, int nLang);
TAMSEL_API int Font_SetSpecFont(tagMULTIFONT& mf, unsigned short nID, int nLang);

// ---- Default faces ----
TAMSEL_API int LoadDefaultFont();
TAMSEL_API CString GetDefaultFont(int nLang);
TAMSEL_API int IsUseDefaultFont();

// ---- Creating, changing and deleting fonts ----
// Runs the font properties dialog for a new font; 1 and the new id when the user chose OK.
TAMSEL_API int NewFont(int* pId);
TAMSEL_API int AddFontFromParam(const LOGFONTW& lf, const CString& name);
TAMSEL_API int NewFontByInfo(const WCHAR* face, int size, const WCHAR* style, int* pId);
TAMSEL_API int DelHmiFont(int nID);
TAMSEL_API void DelUnUseFont();
TAMSEL_API int Font_GetLogFont(int nID, LOGFONTW* out, int useDefault, int nLang);
TAMSEL_API int Font_SetLogFont(int nID, const LOGFONTW* lf);

// ---- Copying fonts between projects ----
// Merges another project's Font.hft into the open table; idMap gets each
// source id's id here, newIds the ids added. 0 when the file cannot be read.
TAMSEL_API int Font_Copy(std::u16string path, std::map<int, int>& idMap, std::vector<int>& newIds);

// ---- Font CSS and pack names ----
constexpr int kFontCssBufferUnits = 1024;
// Appends the CSS font string of one font ("italic bold 24px Family" and
// U+0002) to a 1024-unit buffer, never past its end. Always 1.
TAMSEL_API int Font_GetFontCss(int nID, WCHAR* out, int nLang, int useDefault, int mode);
// The CSS strings of every project language of a selection, one after another.
TAMSEL_API void Font_GetFontStyle(tagMULTIFONT mf, WCHAR* out, int useDefault, int mode);
// The name the panel's font engine knows an installed face by.
TAMSEL_API CString Font_GetPackName(CString face);

// ---- Generation session ----
TAMSEL_API int Font_BeginGenerate();
TAMSEL_API int Font_AddString(int nID, const WCHAR* text);
TAMSEL_API int Font_FreeMemory();

// ---- Panel fonts: QPF2 bitmap fonts and subset TrueType fonts ----
// Pack font name -> its font file: the fonts that travel to the panel whole.
typedef std::map<std::u16string, std::u16string> CPackFontFiles;
// mode 1: the whole text in every language; 2: the same with the default
// faces; otherwise each language's own piece.
TAMSEL_API void MakeQPF(tagMULTIFONT& mf, CString text, int mode, int screen);
// Full build: empties outDir, renders every collected font; megabytes of the
// pack fonts reported.
TAMSEL_API double Finish_MakeQPF(CPackFontFiles& result, std::u16string& outDir, int unused);
// Unit build into outDir (extended by "\qpf2" unless it holds it);
// megabytes of all pack fonts.
TAMSEL_API double MakeLattice_QPF(std::u16string& outDir, CPackFontFiles& result);
TAMSEL_API void AddTextInfo(tagMULTIFONT& mf, CString text, int mode, int screen);
// Full build of subset TrueType fonts; megabytes of subsets and pack fonts.
TAMSEL_API double Finish_MakeTTF(CPackFontFiles& result, std::u16string& outDir);
// Unit build of subset TrueType fonts; megabytes of pack fonts and subsets.
TAMSEL_API double MakeVector_TTF(std::u16string& outDir, CPackFontFiles& result);

// ---- The installed faces ----
// Face -> font file, pack name, file size in MB. Callers rely on two kinds of
// access: look-up (find: an absent face gives nothing and the table is
// unchanged) and indexing (operator[]: an absent face is added with an empty
// string or 0.0).
typedef std::map<std::u16string, std::u16string> CFaceStringMap;
typedef std::map<std::u16string, double> CFaceSizeMap;
extern TAMSEL_API CFaceStringMap FontFileMap;
extern TAMSEL_API CFaceStringMap PackNameMap;
extern TAMSEL_API CFaceSizeMap FontSizeMap;
// Rebuilds the three tables from the registry, GDI and the font files.
TAMSEL_API void MakeFontMap();

// ---- The font pack ----
// The ordered face list of the font pack, with a count per face beside it so
// that membership costs the same for 30,000 faces as for three. The list may
// hold a face more than once (the default faces are appended unchecked), so
// the index counts. Iteration is read-only: every change goes through the
// members that keep the index.
class TAMSEL_API CPackFontList {
public:
    typedef std::list<std::u16string>::const_iterator const_iterator;
    typedef const_iterator iterator;
    typedef std::u16string value_type;

    CPackFontList() = default;
    CPackFontList(std::initializer_list<std::u16string> faces);
    CPackFontList& operator=(std::initializer_list<std::u16string> faces);

    const_iterator begin() const { return m_faces.begin(); }
    const_iterator end() const { return m_faces.end(); }
    size_t size() const { return m_faces.size(); }
    bool empty() const { return m_faces.empty(); }
    bool contains(const std::u16string& face) const { return m_count.count(face) != 0; }

    void push_back(const std::u16string& face);
    // Removes every entry of the face.
    void remove(const std::u16string& face);
    void clear();

    bool operator==(const CPackFontList& o) const { return m_faces == o.m_faces; }
    bool operator!=(const CPackFontList& o) const { return !(*this == o); }

private:
    std::list<std::u16string> m_faces;
    std::unordered_map<std::u16string, size_t> m_count;
};

// The faces of the font pack, in order of first appearance.
extern TAMSEL_API CPackFontList PackFontList;

// ---- Dialogs ----
// The font pack dialog on the open project; OK saves "\fpf.ini".
TAMSEL_API void OpenFontPackDlg();
// The font library dialog over the open project's table; always 1.
TAMSEL_API int Font_EditLib(CWnd* pParent);
// The font selection dialog; the chosen font id, or nCurrent when the user
// closed it without choosing.
TAMSEL_API int Font_Select(CWnd* pParent, int nCurrent);

// ---- Exported data classes (kept for the studio's use) ----
struct _TYPENODE;

class TAMSEL_API CUnit {
public:
    CUnit();
    CUnit(_TYPENODE* valueType, const CString& unitDesc, const CString& showName, const CString& xmlId);
    CUnit(const CUnit& other);
    CUnit& operator=(const CUnit& other);
    virtual ~CUnit();

    _TYPENODE* GetValueType() const { return m_pValueType; }
    CString GetUnitDesc() const { return m_strUnitDesc; }
    CString GetShowName() const { return m_strShowName; }
    CString GetXMLid() const { return m_strXMLid; }

private:
    _TYPENODE* m_pValueType;
    CString m_strUnitDesc;
    CString m_strShowName;
    CString m_strXMLid;
};

class TAMSEL_API CDataObject {
public:
    CDataObject() = default;
    virtual ~CDataObject();
};
