#include "PanelFiles.h"

#include <fstream>
#include <iterator>

#include "Tamsel.h"
#include "win/filesafety.h"
#include "win/profile.h"
#include "win/wstr.h"

namespace studio {

namespace fs = std::filesystem;

PanelFiles::PanelFiles(fs::path folder, bool qpf, std::vector<CoverageRecord> records,
                       std::map<std::u16string, std::u16string> packs)
    : m_folder(std::move(folder)), m_qpf(qpf), m_records(std::move(records)), m_packs(std::move(packs)) {}

const PanelFile& PanelFiles::For(const LOGFONTW& lf) {
    const std::u16string face = lf.lfFaceName;
    const std::u16string pack = Font_GetPackName(CString(face)).str();
    const bool italic = lf.lfItalic != 0;
    const int weight = lf.lfWeight == 700 ? 75 : 50;
    const std::u16string name = m_qpf ? qpf2UnitFileName(face.c_str(), lf.lfHeight, italic, weight, pack.c_str())
                                      : ttfMapKey(face.c_str(), pack.c_str());
    // A subset serves every size and style of its face; each size has its own em.
    const std::u16string key = name + u"|" + face + u"|" + Utf8ToUtf16(std::to_string(m_qpf ? 0 : lf.lfHeight));
    auto it = m_files.find(key);
    if (it != m_files.end()) return it->second;
    PanelFile& f = m_files[key];
    for (const CoverageRecord& r : m_records)
        if (m_qpf ? (!r.subset && r.file == name) : (r.subset && (r.key == name || r.key == face))) f.record = &r;
    std::u16string file = m_qpf ? name : f.record ? f.record->file : u"";
    // A pack face travels whole under its own name, whatever face asked for it.
    for (const std::u16string& packFace : {name, face})
        if (!m_qpf && m_packs.count(packFace) && (file.empty() || file == m_packs.at(packFace))) {
            file = m_packs.at(packFace);
            f.whole = true;
        }
    f.name = file;
    if (file.empty()) {
        f.note = "no panel file for " + Utf16ToUtf8(face);
        return f;
    }
    f.read = Candidates(file, f.record);
    if (f.record) {
        f.em = m_qpf ? f.record->pixelSize : 0;
        // The face's file, as the profile's fonts folder holds it: a name, never a path.
        if (!f.record->fontFile.empty() && winfiles::IsSafeFileName(f.record->fontFile)) {
            f.sourcePath = (fs::path(winprofile::FontsDir()) / Utf16ToUtf8(f.record->fontFile)).string();
            f.sourceIndex = f.record->faceIndex;
        }
    }
    if (!m_qpf && lf.lfHeight < 0) f.em = -lf.lfHeight;
    return f;
}

// A subset lies in the output folder; a pack font travels whole from the
// fonts folder. The names come from the project's files and the folder's
// coverage record: only a plain file name becomes a path, inside the folder
// it names.
std::vector<fs::path> PanelFiles::Candidates(const std::u16string& file, const CoverageRecord* record) const {
    std::vector<fs::path> paths;
    const auto add = [&paths](const fs::path& folder, const std::u16string& name) {
        if (winfiles::IsSafeFileName(name)) paths.push_back(folder / Utf16ToUtf8(name));
    };
    add(m_folder, file);
    if (!m_qpf) {
        const fs::path fonts = winprofile::FontsDir();
        add(fonts, file);
        if (record) add(fonts, record->fontFile);
    }
    return paths;
}

std::string ReadFirst(const std::vector<fs::path>& paths) {
    for (const fs::path& path : paths) {
        std::string bytes;
        if (winfiles::ReadRegularFile(path.string(), &bytes, size_t{256} << 20)) return bytes;
    }
    return {};
}

}  // namespace studio
