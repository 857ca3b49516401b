// Which file of a compile serves a logical font on the panel, and the face
// that file was made from.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "Glyphworks.h"
#include "win/windows.h"

namespace studio {

struct PanelFile {
    std::u16string name;                      // the file on the panel, "" when there is none
    std::vector<std::filesystem::path> read;  // where its bytes may be read, in order
    const CoverageRecord* record = nullptr;   // what the compile said of it
    bool whole = false;                       // a pack font, travelling whole
    std::string note;                         // why there is no file
    int em = 0;                               // the font's em in pixels; 0 when not known
    // The face the file was rendered or cut from ("" when not known).
    std::string sourcePath;
    int sourceIndex = 0;
};

class PanelFiles {
public:
    // The output folder of a compile, its target, its coverage records and
    // the pack faces that travel whole (face -> file).
    PanelFiles(std::filesystem::path folder, bool qpf, std::vector<CoverageRecord> records,
               std::map<std::u16string, std::u16string> packs);
    // The file for a font of the table (as Font_GetLogFont gives it).
    const PanelFile& For(const LOGFONTW& lf);
    bool qpf() const { return m_qpf; }

private:
    std::vector<std::filesystem::path> Candidates(const std::u16string& file, const CoverageRecord* record) const;

    std::filesystem::path m_folder;
    bool m_qpf;
    std::vector<CoverageRecord> m_records;
    std::map<std::u16string, std::u16string> m_packs;
    std::map<std::u16string, PanelFile> m_files;
};

// The bytes of the first of the paths that can be read; empty when none.
std::string ReadFirst(const std::vector<std::filesystem::path>& paths);

}  // namespace studio
