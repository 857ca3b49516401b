// The texts file: the texts a project's screens show, with the font of each
// text in every project language. Format: docs/texts-format.md.
#pragma once

#include <string>
#include <vector>

#include "Tamsel.h"

namespace studio {

struct ScreenText {
    std::string screen;                // the screen it is on
    int line = 0;                      // where it stands in the file
    tagMULTIFONT fonts{};              // font id per language slot
    std::vector<std::u16string> text;  // one piece per language; missing ones are empty
};

struct TextsFile {
    std::vector<std::string> screens;  // in file order
    std::vector<ScreenText> texts;
};

// Reads a texts file; throws StudioError naming the file and line on bad input.
TextsFile ReadTextsFile(const std::string& path);
// The same, from text already in memory (`name` appears in errors).
TextsFile ParseTexts(const std::string& utf8, const std::string& name);

}  // namespace studio
