// Tamsel: the font library module of the HMI studio. This is the exported
// interface that the studio's editor calls.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <cstdint>
#include <string>
#include <vector>

#include "mfc/afxcoll.h"
#include "mfc/afxgdi.h"
#include "mfc/afxstr.h"
#include "win/windows.h"

#define TAMSEL_API __attribute__((visibility("default")))

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

typedef CTypedPtrList<CPtrList, tagHMIFONT*> CHmiFontList;

extern TAMSEL_API CHmiFontList g_FontList;
extern TAMSEL_API int g_nMaxFontID;
extern TAMSEL_API int g_nLastSelFont;

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
// The first record in table order whose name equals `name` exactly; null when none.
TAMSEL_API tagHMIFONT* findFontByName(const WCHAR* name);
// Appends a new record: all zero, then `lf`, the name cut to 31 units, and the next font id.
TAMSEL_API tagHMIFONT* AppendNewFont(const LOGFONTW& lf, const WCHAR* name);
TAMSEL_API const WCHAR* Font_GetFontName(int nID);
TAMSEL_API void Font_GetFontNames(CStringArray& names, CStringArray& ids);
TAMSEL_API int CreateHmiFont(CFont& font, _HMIFONT* desc);
TAMSEL_API int CreateLegacyFont(CFont& font, int nID, int bBold);
// Stores in `lf` the weight and italic flag that GDI realises for it.
TAMSEL_API void SyncFontMetrics(LOGFONTW& lf);
TAMSEL_API void SetLastSelFont(int nID);
TAMSEL_API int GetLastSelFont();

// Reads the records of a Font.hft file. Only whole records that the file
// holds are returned, whatever count its header claims.
struct HftFileContents {
    bool opened = false;       // the file could be opened
    bool headerRead = false;   // its 4-byte record count could be read
    uint32_t declared = 0;     // the record count in the file's header
    bool complete = false;     // the file held every declared record and no more
    std::vector<tagHMIFONT> records;
};
TAMSEL_API HftFileContents ReadFontTableFile(const WCHAR* path);
// Cuts a record's name and face to 31 units so that a full field is still a terminated string.
TAMSEL_API void TerminateNames(tagHMIFONT& rec);
// The project's Font.hft path ("<project>\Font.hft"); empty without a project.
TAMSEL_API CString FontTablePath();

// ---- Per-language font selection ----
TAMSEL_API int Font_GetMultiFontFromString(const WCHAR* str, tagMULTIFONT& mf);
TAMSEL_API void Font_GetStringFromFont(const tagMULTIFONT& mf, CString& out);
TAMSEL_API int Font_GetSpecFont(const tagMULTIFONT& mf, int nLang);
TAMSEL_API int Font_SetSpecFont(tagMULTIFONT& mf, unsigned short nID, int nLang);

// ---- Default faces ----
extern TAMSEL_API int g_bUseDefaultFont;
extern TAMSEL_API CString g_strDefaultFont[kMultiFontSlots];
TAMSEL_API int LoadDefaultFont();
TAMSEL_API CString GetDefaultFont(int nLang);
TAMSEL_API int IsUseDefaultFont();
// "宋体" when installed, else "SimSun" when installed, else "Arial".
TAMSEL_API CString SimSunChoice();

// ---- Creating, changing and deleting fonts ----
// Runs the font properties dialog for a new font; 1 and the new id when the user chose OK.
TAMSEL_API int NewFont(int* pId);
TAMSEL_API int AddFontFromParam(const LOGFONTW& lf, const CString& name);
TAMSEL_API int NewFontByInfo(const WCHAR* face, int size, const WCHAR* style, int* pId);
TAMSEL_API int DelHmiFont(int nID);
TAMSEL_API void DelUnUseFont();
// Merges another project's Font.hft into the open table; idMap gets each
// source id's id here, newIds the ids added. 0 when the file cannot be read.
TAMSEL_API int Font_Copy(std::u16string path, std::map<int, int>& idMap, std::vector<int>& newIds);
// Appends the CSS font string of one font ("italic bold 24px Family" and
// U+0002) to a 1024-unit buffer, never past its end. Always 1.
TAMSEL_API int Font_GetFontCss(int nID, WCHAR* out, int nLang, int useDefault, int mode);
// The CSS strings of every project language of a selection, one after another.
TAMSEL_API void Font_GetFontStyle(tagMULTIFONT mf, WCHAR* out, int useDefault, int mode);
constexpr int kFontCssBufferUnits = 1024;
TAMSEL_API int Font_GetLogFont(int nID, LOGFONTW* out, int useDefault, int nLang);
TAMSEL_API int Font_SetLogFont(int nID, const LOGFONTW* lf);

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
// Deletes a folder with everything in it.
TAMSEL_API BOOL DeleteDirectoryTree(const WCHAR* dir);
TAMSEL_API void AddTextInfo(tagMULTIFONT& mf, CString text, int mode, int screen);
// Full build of subset TrueType fonts; megabytes of subsets and pack fonts.
TAMSEL_API double Finish_MakeTTF(CPackFontFiles& result, std::u16string& outDir);
// Unit build of subset TrueType fonts; megabytes of pack fonts and subsets.
TAMSEL_API double MakeVector_TTF(std::u16string& outDir, CPackFontFiles& result);

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
