// The texts file: the texts a project's screens show, with the font of each
// text in every project language. Format: docs/texts-format.md.
#pragma once

#include <functional>
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

// The bytes of a texts file; throws StudioError when it cannot be read.
std::string ReadTextsBytes(const std::string& path);
// Goes through the texts one by one without keeping them: `onScreen` for
// each screen line (its name), `onText` for each text (the same object,
// filled anew each time; without it the texts are only checked). Throws as
// ParseTexts does, at the first bad line. Returns the number of texts.
// `checked`: the same bytes went through once before, and their encoding is
// not checked again.
size_t ScanTexts(const std::string& utf8, const std::string& name, const std::function<void(const std::string&)>& onScreen,
                 const std::function<void(const ScreenText&)>& onText, bool checked = false);

}  // namespace studio
