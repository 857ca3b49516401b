// Whether the panel writes each text as its script is written: every line
// that needs shaping, shaped on the file the panel gets and on the face that
// file was made from, compared.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "PanelFiles.h"
#include "Studio.h"
#include "TextsFile.h"

namespace studio {

class ShapingCheck {
public:
    ShapingCheck();
    ~ShapingCheck();
    // Looks at a text as the compile hands it over: whether any line of its
    // pieces needs shaping. Nothing is kept: most projects need no check at
    // all, and those that do are read again after the build.
    void Note(const ScreenText& text, int languages);
    bool needed() const { return m_needed; }
    // After the build, with the project's fonts open: goes through the texts
    // again and checks each distinct line once per file. The findings, by
    // file name, then texts-file line and language.
    std::vector<ShapingFinding> Run(PanelFiles& files, const std::string& textBytes, const std::string& textsName,
                                    int languages);

private:
    bool m_needed = false;
    struct State;
    std::unique_ptr<State> m_state;
};

// "N text(s) shaped differently on the panel: …" and what to do, after the
// coverage summary; nothing when there are none.
void PrintShapingSummary(const std::vector<ShapingFinding>& findings, bool qpf, std::ostream& out);

}  // namespace studio
