// Whether the panel writes each text as its script is written: every line
// that needs shaping, shaped on the file the panel gets and on the face that
// file was made from, compared.
#pragma once

#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "PanelFiles.h"
#include "Studio.h"
#include "TextsFile.h"

namespace shaping {
class Face;
}

namespace studio {

class ShapingCheck {
public:
    ShapingCheck();
    ~ShapingCheck();
    // Takes in a text as the compile hands it over; keeps, once, the lines of
    // its pieces that need shaping (most texts need none, and cost a look
    // at each character).
    void Add(const ScreenText& text, int languages);
    // After the build, with the project's fonts open: the findings, by file
    // name, then screen, line and language.
    std::vector<ShapingFinding> Run(PanelFiles& files);
    // Lines kept, and those shaped (for the bench).
    size_t kept() const { return m_lines.size(); }

private:
    // (font id, language, line) -> where it stands (screen, texts-file line).
    std::map<std::tuple<int, int, std::u16string>, std::vector<std::pair<std::string, int>>> m_lines;
    struct Faces;
    std::unique_ptr<Faces> m_faces;
};

// "N text(s) shaped differently on the panel: …" and what to do, after the
// coverage summary; nothing when there are none.
void PrintShapingSummary(const std::vector<ShapingFinding>& findings, bool qpf, std::ostream& out);

}  // namespace studio
