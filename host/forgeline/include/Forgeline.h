// Forgeline: the studio's compile library, as far as the font module uses it:
// the collectors of QPF2 and TrueType font units for a download.
//
// A collector hears, screen by screen, which texts are drawn with which unit
// (setScreenText). A unit build (executeBuild) then renders only the units
// whose output changed since the last build into the same folder, and
// removeNoNeed... deletes the files of the last build that no unit needs now.
// What the last build produced is kept in the output folder itself
// (".forgeline-qpf" / ".forgeline-ttf"), so that a compile in a new process
// knows it; beginBuild tells the collector which folder that is. A collector
// that was not told renders every unit. A full build (add) empties its folder
// first, and with it that state.
//
// The record also keeps, for every file a build wrote, what it wrote (size,
// times, inode and an XXH3 hash of the content). A file that is missing or no
// longer what the record says is rendered again as a changed unit is: a stat
// tells it unchanged, and its content is hashed again only when the stat
// moved, or for every file when the build is asked to verify.
//
// What a file is made from beyond its texts is recorded with it: the faces
// the machine profile realised for its units (file, member, size, simulated
// styles, the faces linked to them: see UnitSource) and a stamp of each font
// file they lie in. Every build realises its units again, and renders a unit
// whose faces, or whose faces' files, are no longer those recorded: a face
// uninstalled, replaced, newly winning the match, or another substitute,
// link or icon-title font. A font file costs the stat the profile took of
// it; its content is hashed only when that stat is not the recorded one, or
// when the build is asked to verify.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "Glyphworks.h"
#include "win/filesafety.h"

#define FORGELINE_API __attribute__((visibility("default")))

struct _tagQpfUnit {
    bool bLeading = false;
    bool bItalic = false;
    int nWeight = 50;  // Qt's scale
    int nHeight = 0;   // lfHeight
    int nIndex = 0;
    std::u16string strFaceName;
    std::u16string strPackName;
    std::u16string strText;
};

struct _tagTtfUnit {
    bool bLeading = false;
    bool bItalic = false;
    int nWeight = 50;
    int nHeight = 0;
    std::u16string strPackName;
    std::u16string strText;
};

// The render callable: generateqpf2's signature.
typedef void (*QpfRenderFn)(const WCHAR* chars, const WCHAR* faceName, int height, bool italic, long weight,
                            const WCHAR* packName, int reserved);
// The table callable: getSimplifyTTFMapTable's signature.
typedef int (*TtfMapFn)(TTFMapTable* table);

template <class T>
class CSingletonTpl {
public:
    static T* getInstance() {
        static T instance;
        return &instance;
    }
};

namespace forgeline {
template <class Style>
class HeardTexts;
struct QpfStyle;
struct TtfStyle;
// What the record says of a unit file (QPF2) or group (TrueType).
struct Recorded {
    std::u16string value;       // QPF2: the file's render calls; TrueType: the group's faces and characters
    std::u16string file;        // the file it was written to, "" for none
    winfiles::FileStamp stamp;  // what that file held
    bool believed = true;       // false for a record of an older build, which kept no stamps or faces
    std::u16string source;      // the faces it was made from (UnitSource::faces)
    // The font files of those faces, with what they held.
    std::vector<std::pair<std::u16string, winfiles::FileStamp>> fontFiles;
};
}  // namespace forgeline

class FORGELINE_API CQpfFontData {
public:
    CQpfFontData();
    ~CQpfFontData();
    CQpfFontData(const CQpfFontData&) = delete;
    CQpfFontData& operator=(const CQpfFontData&) = delete;

    // Where the last build of this collector lies; its record is read now.
    // With `verify`, every recorded file's content is hashed again.
    void beginBuild(const std::u16string& outDir, bool verify = false);
    void setScreenText(int screen, const std::u16string& text, _tagQpfUnit& unit);
    void add(_tagQpfUnit unit);
    // Renders every file that is new, changed or missing, or whose faces
    // are no longer those recorded, as a full build renders it: once per
    // unit of the file, the units in the order of their index (then as
    // heard), each with the characters of its texts the file has not yet
    // had (the texts in the order heard). Units no face can be realised
    // for are offered every time, so that what they lose is told. Non-zero
    // when anything was rendered.
    int executeBuild(QpfRenderFn render);
    // Deletes the files of the last build that no unit needs and records
    // what this build produced.
    void removeNoNeedQpf(const std::u16string& outDir);
    // Forgets the texts, the units and the folder.
    void reset();

    const std::vector<_tagQpfUnit>& fullBuildUnits() const { return m_added; }
    // The files the last executeBuild renders again because they are missing
    // or changed since the build that recorded them, in build order.
    const std::vector<std::u16string>& changedFiles() const { return m_changed; }
    // The files the last build recorded as written.
    std::vector<std::u16string> recordedFiles() const;
    // Has the next executeBuild render `file` whatever its record says (the
    // host lost what it knew of it).
    void renderAgain(const std::u16string& file);
    // The texts heard for a screen, with their units, in order.
    std::vector<std::pair<std::u16string, _tagQpfUnit>> screenTexts(int screen) const;

private:
    struct Plan;
    // file -> what it is built from, worked out once per build; the build
    // under way keeps it until its files are recorded.
    const Plan& PlanBuild();

    std::unique_ptr<forgeline::HeardTexts<forgeline::QpfStyle>> m_heard;
    std::unique_ptr<Plan> m_plan;
    std::vector<_tagQpfUnit> m_added;
    std::u16string m_dir;
    std::map<std::u16string, forgeline::Recorded> m_last;  // file -> what was recorded
    std::vector<std::u16string> m_changed;
    bool m_verify = false;
    uint64_t m_failureMark = 0;  // failures from here on belong to this build
    uint64_t m_writtenMark = 0;  // and so do the files written from here on
};

namespace forgeline {
// What a TrueType group is wanted as now: its faces and characters, and the
// face its subset is cut from.
struct Wanted {
    std::u16string value;
    UnitSource source;
};
}  // namespace forgeline

class FORGELINE_API CTtfFontData {
public:
    CTtfFontData();
    ~CTtfFontData();
    CTtfFontData(const CTtfFontData&) = delete;
    CTtfFontData& operator=(const CTtfFontData&) = delete;

    void beginBuild(const std::u16string& outDir, bool verify = false);
    void setScreenText(int screen, const std::u16string& text, const std::u16string& face, _tagTtfUnit& unit);
    void add(const std::u16string& face, _tagTtfUnit unit);
    void setTtfMapTable(const TTFMapTable& table);
    // Calls `render` for the texts of every face whose faces or characters
    // changed since the build recorded in the folder, or whose source face
    // or its file is no longer the one recorded (once per face and file the
    // font tools keep, as for QPF2 units), and for faces none can be
    // realised for; non-zero when any was. File presence is not checked:
    // the rows of pack faces and of faces without a source file never
    // leave a subset, and would be cut again every time.
    int executeBuild(QpfRenderFn render);
    // Deletes the subsets of groups that are gone. The groups whose
    // characters changed are recorded as built only by endBuild.
    void removeNoNeedTtf(const std::u16string& outDir);
    // Called by the host once the subsets are cut: records the groups whose
    // files were written. A host that never calls it has every changed group
    // cut again at its next build, never one left stale.
    void endBuild();
    // Lets `fill` fill `table` with the fonts to cut for this build.
    void getTtfMapTable(TtfMapFn fill, TTFMapTable& table);
    void reset();

    const TTFMapTable& ttfMapTable() const { return m_table; }
    // The subsets the last executeBuild cuts again because they are missing
    // or changed since the build that recorded them.
    const std::vector<std::u16string>& changedFiles() const { return m_changed; }
    // The subsets the last build recorded as written.
    std::vector<std::u16string> recordedFiles() const;
    // Has the next executeBuild cut the subset `file` again whatever its
    // record says.
    void renderAgain(const std::u16string& file);
    const std::vector<std::pair<std::u16string, _tagTtfUnit>>& fullBuildUnits() const { return m_added; }
    // (text, face, unit) heard for a screen, in order.
    std::vector<std::tuple<std::u16string, std::u16string, _tagTtfUnit>> screenTexts(int screen) const;
    // The characters of every text heard in `face`, each once, in the order
    // of the screens (by number) and their texts: what a whole font of the
    // face must hold.
    std::u16string faceCharacters(const std::u16string& face) const;

private:
    // subset file stem (the panel's name of the face, made a safe file name) -> what is wanted
    std::map<std::u16string, forgeline::Wanted> Current() const;
    // The stem of the subset a unit's texts go to.
    std::u16string Stem(const std::u16string& face, const std::u16string& pack) const;
    // The stem of every style heard, in the order of the styles.
    std::vector<std::u16string> Stems() const;

    std::unique_ptr<forgeline::HeardTexts<forgeline::TtfStyle>> m_heard;
    std::unique_ptr<std::map<std::u16string, forgeline::Wanted>> m_current;  // of the build under way
    std::vector<std::pair<std::u16string, _tagTtfUnit>> m_added;
    TTFMapTable m_table;
    std::u16string m_dir;
    std::map<std::u16string, forgeline::Recorded> m_last;  // stem -> what was recorded
    std::map<std::u16string, forgeline::Wanted> m_pending;  // cut in this build, not yet confirmed
    std::set<std::u16string> m_recut;                      // stems cut again for their file alone
    std::vector<std::u16string> m_changed;
    bool m_verify = false;
    mutable std::map<std::u16string, std::u16string> m_stems;  // face and pack name -> stem
    mutable uint64_t m_stemsGeneration = 0;                     // of the machine profile they were found in
    uint64_t m_failureMark = 0;
    uint64_t m_writtenMark = 0;
};

// Exported instantiations, so every library shares one collector of each kind.
template <>
FORGELINE_API CQpfFontData* CSingletonTpl<CQpfFontData>::getInstance();
template <>
FORGELINE_API CTtfFontData* CSingletonTpl<CTtfFontData>::getInstance();
