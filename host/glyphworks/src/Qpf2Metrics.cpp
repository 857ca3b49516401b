// Qt's header values for a face, as Qt 5's FreeType engine computes them:
// makeqpf writes these, and a panel lays QPF2 text out with them.
#include "Qpf2Metrics.h"

#include FT_ADVANCES_H
#include FT_TRUETYPE_TABLES_H

#include <cstdlib>
#include <cstring>

namespace qpf2 {

namespace {
double Px(FT_Pos v) { return static_cast<double>(v) / 64.0; }

// QFixed division: a / b in 26.6, rounded to the nearest 64th.
FT_Pos FixedDiv(int64_t a, int64_t b) {
    bool negative = false;
    if (a < 0) a = -a, negative = !negative;
    if (b < 0) b = -b, negative = !negative;
    if (b == 0) return 0;
    const FT_Pos r = static_cast<FT_Pos>(((a << 6) + (b >> 1)) / b);
    return negative ? -r : r;
}

// font units * ppem / units per em, as Qt scales the OS/2 values.
FT_Pos OS2Scaled(int units, int ppem, int unitsPerEm) {
    return FixedDiv(int64_t{units} * ppem * 64, int64_t{unitsPerEm} * 64);
}

// Qt's fallback for x-height and average width: the box and advance of "x"
// as its engine loads the glyph (a missing "x" is glyph 0).
void XMetrics(FT_Face face, int pixelEm, FT_Pos* height, FT_Pos* advance) {
    FT_Int32 flags = FT_LOAD_DEFAULT | FT_LOAD_IGNORE_GLOBAL_ADVANCE_WIDTH | FT_LOAD_NO_BITMAP;
    if (pixelEm > kQtMaxCachedGlyphSize) flags |= FT_LOAD_NO_HINTING;
    *height = *advance = 0;
    if (FT_Load_Glyph(face, FT_Get_Char_Index(face, 'x'), flags) != 0) return;
    const FT_Glyph_Metrics& m = face->glyph->metrics;
    const FT_Pos top = (m.horiBearingY + 63) & -64, bottom = (m.horiBearingY - m.height) & -64;
    *height = top - bottom;
    *advance = (face->glyph->advance.x + 32) & -64;
}
}  // namespace

void SetQtMetrics(FT_Face face, int pixelEm, Font& out) {
    FT_Size_Metrics m = face->size->metrics;
    const FT_Pos size = static_cast<FT_Pos>(pixelEm) * 64;
    // An embedded bitmap strike of this very size brings its own ascent and
    // descent; the leading stays the outline's.
    if (FT_IS_SCALABLE(face)) {
        for (int i = 0; i < face->num_fixed_sizes; ++i) {
            if (face->available_sizes[i].x_ppem != size || face->available_sizes[i].y_ppem != size) continue;
            face->face_flags &= ~FT_FACE_FLAG_SCALABLE;
            FT_Select_Size(face, i);
            if (face->size->metrics.ascender + face->size->metrics.descender > 0) {
                const FT_Pos leading = m.height - m.ascender + m.descender;
                m.ascender = face->size->metrics.ascender;
                m.descender = face->size->metrics.descender;
                if (m.descender > 0 && face->family_name && std::strcmp(face->family_name, "Courier New") == 0)
                    m.descender = -m.descender;
                m.height = m.ascender - m.descender + leading;
            }
            FT_Set_Char_Size(face, size, size, 0, 0);
            face->face_flags |= FT_FACE_FLAG_SCALABLE;
            break;
        }
    }
    out.ascent = Px(m.ascender);
    out.descent = Px(-m.descender);
    out.leading = Px(m.height - m.ascender + m.descender);  // negative where the line gap is smaller than the box
    out.maxCharWidth = Px(m.max_advance);

    FT_Pos thickness = 64, underline = 0;
    if (FT_IS_SCALABLE(face)) {
        const FT_Pos raw = FT_MulFix(face->underline_thickness, face->size->metrics.y_scale);
        underline = -FT_MulFix(face->underline_position, face->size->metrics.y_scale) - raw / 2;
        thickness = raw;
    } else {
        const int score = 50 * pixelEm;
        thickness = score / 700 * 64;
        if (thickness < 128 && score >= 1050) thickness = 128;
        underline = ((thickness * 2) + 3 * 64) / 6;
    }
    out.lineThickness = Px(thickness < 64 ? 64 : thickness);
    out.underlinePosition = Px(underline);

    const int unitsPerEm = FT_IS_SCALABLE(face) ? face->units_per_EM : face->size->metrics.y_ppem;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    FT_Pos xHeight = 0, xAdvance = 0;
    const bool needX = !os2 || !os2->sxHeight || !os2->xAvgCharWidth;
    if (needX) XMetrics(face, pixelEm, &xHeight, &xAdvance);
    out.xHeight = Px(os2 && os2->sxHeight ? OS2Scaled(os2->sxHeight, face->size->metrics.y_ppem, unitsPerEm) : xHeight);
    out.averageCharWidth =
        Px(os2 && os2->xAvgCharWidth ? OS2Scaled(os2->xAvgCharWidth, face->size->metrics.x_ppem, unitsPerEm) : xAdvance);

    // The bearings of the whole font, from its horizontal header; Qt
    // distrusts values beyond four ems.
    out.minLeftBearing = out.minRightBearing = 0;
    if (const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA))) {
        const double perUnit = static_cast<double>(pixelEm) / unitsPerEm;
        // Written as Qt writes a real: cut to the 64th towards zero.
        auto fixed = [](double px) { return static_cast<double>(static_cast<int>(px * 64)) / 64.0; };
        if (std::abs(hhea->min_Left_Side_Bearing) < 4 * unitsPerEm)
            out.minLeftBearing = fixed(hhea->min_Left_Side_Bearing * perUnit);
        if (std::abs(hhea->min_Right_Side_Bearing) < 4 * unitsPerEm)
            out.minRightBearing = fixed(hhea->min_Right_Side_Bearing * perUnit);
    }
    if (const auto* head = static_cast<const TT_Header*>(FT_Get_Sfnt_Table(face, FT_SFNT_HEAD)))
        out.fontRevision = static_cast<uint32_t>(head->Font_Revision);
}

int QtAdvance(FT_Face face, FT_UInt index, int pixelEm, FT_Pos hinted) {
    if (pixelEm <= kQtMaxCachedGlyphSize) return static_cast<int>((hinted + 32) >> 6);
    FT_Fixed advance = 0;  // 16.16
    if (FT_Get_Advance(face, index, FT_LOAD_NO_HINTING | FT_LOAD_IGNORE_GLOBAL_ADVANCE_WIDTH, &advance) != 0)
        return static_cast<int>((hinted + 32) >> 6);
    return static_cast<int>((((advance + 512) >> 10) + 32) >> 6);
}

}  // namespace qpf2
