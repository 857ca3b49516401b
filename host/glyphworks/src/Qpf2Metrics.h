// The header values Qt's FreeType engine gives a face at a pixel size, and
// the advances it lays the face out with.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include "Qpf2.h"

namespace qpf2 {

// Above this em size Qt draws glyphs as outlines and lays them out unhinted.
constexpr int kQtMaxCachedGlyphSize = 64;

// Fills out's metrics for `face`, sized to `pixelEm`. The face's size is
// selected again on the way (an embedded bitmap strike of that size gives
// the ascent and descent, as in Qt), and its glyph slot is overwritten.
void SetQtMetrics(FT_Face face, int pixelEm, Font& out);

// The advance Qt gives glyph `index` of the sized face, in whole pixels;
// `hinted` is the advance of the glyph just loaded with hinting, in 26.6.
int QtAdvance(FT_Face face, FT_UInt index, int pixelEm, FT_Pos hinted);

}  // namespace qpf2
