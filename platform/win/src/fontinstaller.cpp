// The installed-fonts key that Windows' installer writes for the fonts folder.
#include <algorithm>
#include <cstdlib>
#include <tuple>
#include <unordered_set>

#include "win/fontdb.h"
#include "win/registry.h"
#include "win/wstr.h"

namespace winregistry {
namespace {

// RegEnumValueW with a MAX_PATH name buffer reads names of up to 259 units;
// a 259-byte data buffer holds file names of up to 128 units and the NUL.
constexpr size_t kMaxNameUnits = MAX_PATH - 1;
constexpr size_t kMaxDataUnits = 259 / 2 - 1;

struct Entry {
    bool dataFits;
    std::u16string family;  // the family the value's first name belongs to (NameKey)
    int irregularity;       // 0 regular, 1 italic, 2 bold, 3 bold italic
    int weightDistance;     // from 400
    std::string file;
    std::u16string name;

    auto Order() const { return std::tie(family, irregularity, weightDistance, file); }
};

std::string LowerExt(const std::string& file) {
    const size_t dot = file.rfind('.');
    std::string ext = dot == std::string::npos ? std::string() : file.substr(dot);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

// "A & B & C (TrueType)": the names that fit, the first always (cut when it must be).
std::u16string JoinFitting(const std::vector<const fontdb::Face*>& faces, const std::u16string& suffix) {
    const size_t room = kMaxNameUnits - suffix.size();
    std::u16string joined;
    for (const fontdb::Face* f : faces) {
        const std::u16string& name = f->fullName.empty() ? f->family : f->fullName;
        if (joined.empty()) {
            joined = name.substr(0, room);
        } else {
            if (joined.size() + 3 + name.size() > room) break;
            joined += u" & " + name;
        }
    }
    return joined + suffix;
}

Entry MakeEntry(const std::string& file, const fontdb::Face& first, const std::u16string& familyKey,
                std::u16string name) {
    return Entry{Utf8ToUtf16(file).size() <= kMaxDataUnits,
                 familyKey,
                 (first.bold ? 2 : 0) + (first.italic ? 1 : 0),
                 std::abs(first.weight - FW_NORMAL),
                 file,
                 std::move(name)};
}

}  // namespace

std::vector<Value> InstallerFontValues() {
    // Faces() keeps a file's faces together, files in folder order.
    const std::vector<fontdb::Face>& all = fontdb::Faces();
    std::vector<Entry> entries;
    std::vector<const fontdb::Face*> faces;
    std::vector<std::u16string> keys;  // NameKey of each face's family
    for (size_t start = 0, end = 0; start < all.size(); start = end) {
        const std::string& file = all[start].fileName;
        faces.clear();
        keys.clear();
        for (end = start; end < all.size() && all[end].fileName == file; ++end) {
            faces.push_back(&all[end]);
            keys.push_back(fontdb::NameKey(all[end].family));
        }
        if (faces.front()->raster) {
            entries.push_back(MakeEntry(file, *faces.front(), keys.front(), faces.front()->family));
            continue;
        }
        const std::string ext = LowerExt(file);
        const std::u16string suffix = ext == ".otf" || ext == ".otc" ? u" (OpenType)" : u" (TrueType)";
        entries.push_back(MakeEntry(file, *faces.front(), keys.front(), JoinFitting(faces, suffix)));
        // Windows' value names a collection by its first member only; each
        // further family gets a value of its own.
        for (size_t i = 1; i < faces.size(); ++i) {
            if (std::find(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(i), keys[i]) !=
                keys.begin() + static_cast<std::ptrdiff_t>(i))
                continue;  // a family already given its value
            std::vector<const fontdb::Face*> members;
            for (size_t j = i; j < faces.size(); ++j)
                if (keys[j] == keys[i]) members.push_back(faces[j]);
            entries.push_back(MakeEntry(file, *faces[i], keys[i], JoinFitting(members, suffix)));
        }
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.dataFits != b.dataFits) return a.dataFits;
        return a.Order() < b.Order();
    });
    std::vector<Value> values;
    std::unordered_set<std::u16string> names;
    for (const Entry& e : entries) {
        std::u16string lower = e.name;
        for (char16_t& c : lower) c = towlower16(c);
        // Value names are unique in a key: a second file of the same name is not installed.
        if (!names.insert(lower).second) continue;
        values.push_back({e.name, REG_SZ, StringData(Utf8ToUtf16(e.file))});
    }
    return values;
}

}  // namespace winregistry
