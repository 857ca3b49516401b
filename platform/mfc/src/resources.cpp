#include <QFontMetrics>
#include <cmath>
#include <map>

#include "qtimpl.h"
#include "win/fontdb.h"
#include "win/gdi.h"
#include "win/profile.h"
#include "win/wstr.h"

namespace {
std::map<UINT, DialogTemplate>& Templates() {
    static std::map<UINT, DialogTemplate> m;
    return m;
}
std::map<UINT, std::vector<BYTE>>& Bitmaps() {
    static std::map<UINT, std::vector<BYTE>> m;
    return m;
}

uint32_t Le32(const std::vector<BYTE>& b, size_t off) {
    return static_cast<uint32_t>(b[off]) | (static_cast<uint32_t>(b[off + 1]) << 8) |
           (static_cast<uint32_t>(b[off + 2]) << 16) | (static_cast<uint32_t>(b[off + 3]) << 24);
}
uint16_t Le16(const std::vector<BYTE>& b, size_t off) {
    return static_cast<uint16_t>(b[off] | (b[off + 1] << 8));
}
}  // namespace

void RegisterDialogTemplate(UINT id, const DialogTemplate& tmpl) {
    Templates()[id] = tmpl;
}

const DialogTemplate* FindDialogTemplate(UINT id) {
    auto it = Templates().find(id);
    return it == Templates().end() ? nullptr : &it->second;
}

void RegisterBitmapResource(UINT id, std::vector<BYTE> bmpFile) {
    Bitmaps()[id] = std::move(bmpFile);
}

const std::vector<BYTE>* FindBitmapResource(UINT id) {
    auto it = Bitmaps().find(id);
    return it == Bitmaps().end() ? nullptr : &it->second;
}

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) return -1;
    const long long p = static_cast<long long>(number) * numerator;
    // Rounds half away from zero, as Windows' MulDiv does.
    const long long half = std::llabs(static_cast<long long>(denominator)) / 2;
    long long r = ((p < 0) != (denominator < 0)) ? (p - half) / denominator : (p + half) / denominator;
    if (r > INT32_MAX || r < INT32_MIN) return -1;
    return static_cast<int>(r);
}

namespace mfcimpl {

QFont TemplateQFont(const std::u16string& face, int pointSize) {
    AfxEnsureApp();
    // "MS Shell Dlg" is the alias Windows resolves to Microsoft Sans Serif, or
    // Tahoma for the "2" variant; both resolve through the profile's fonts so
    // that a dialog looks the same on every machine with the same profile.
    std::vector<std::u16string> faces;
    if (wcsicmp16(face.c_str(), u"MS Shell Dlg") == 0) faces = {u"Microsoft Sans Serif", u"Tahoma"};
    else if (wcsicmp16(face.c_str(), u"MS Shell Dlg 2") == 0) faces = {u"Tahoma", u"Microsoft Sans Serif"};
    faces.push_back(face);
    const int height = -MulDiv(pointSize, winprofile::GetSettings().dpi, 72);
    for (size_t i = 0; i < faces.size(); ++i) {
        LOGFONTW lf{};
        lf.lfHeight = height;
        lf.lfWeight = FW_NORMAL;
        lf.lfCharSet = DEFAULT_CHARSET;
        lstrcpynW(lf.lfFaceName, faces[i].c_str(), LF_FACESIZE);
        HFONT h = ::CreateFontIndirectW(&lf);
        if (!h) continue;
        const fontdb::Face* real = ::GetRealizedFace(h, nullptr, nullptr, nullptr);
        const bool exact = real && wcsicmp16(real->family.c_str(), faces[i].c_str()) == 0;
        QFont q;
        if (exact || i + 1 == faces.size()) q = QFontFromHFont(h);
        ::DeleteObject(reinterpret_cast<HGDIOBJ>(h));
        if (exact || i + 1 == faces.size()) {
            q.setBold(false);
            return q;
        }
    }
    QFont f;
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(std::max(1, -height));
    return f;
}

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics fm(font);
    const int width = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    DialogBaseUnits u;
    u.cx = (width / 26 + 1) / 2;
    u.cy = fm.height();
    // A machine without any font still lays dialogs out: the classic 8-point values.
    if (u.cx <= 0 || u.cy <= 0) u = DialogBaseUnits{6, 13};
    return u;
}

}  // namespace mfcimpl

DialogBaseUnits GetTemplateBaseUnits(const std::u16string& face, int pointSize) {
    return mfcimpl::BaseUnitsOf(mfcimpl::TemplateQFont(face, pointSize));
}

RECT DialogUnitsToPixels(const DialogBaseUnits& u, int x, int y, int cx, int cy) {
    const int left = MulDiv(x, u.cx, 4), top = MulDiv(y, u.cy, 8);
    return RECT{left, top, left + MulDiv(cx, u.cx, 4), top + MulDiv(cy, u.cy, 8)};
}

// ---------------------------------------------------------------- BMP files

namespace mfcimpl {

bool DecodeBmp(const std::vector<BYTE>& b, CBitmap& out) {
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return false;
    const uint32_t dataOff = Le32(b, 10);
    const uint32_t hdrSize = Le32(b, 14);
    if (hdrSize < 40 || 14 + static_cast<size_t>(hdrSize) > b.size()) return false;
    const int32_t w = static_cast<int32_t>(Le32(b, 18));
    int32_t h = static_cast<int32_t>(Le32(b, 22));
    const int bpp = Le16(b, 28);
    const uint32_t compression = Le32(b, 30);
    uint32_t colors = Le32(b, 46);
    if (compression != 0 || w <= 0 || h == 0 || w > 16384 || std::abs(h) > 16384) return false;
    if (bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return false;
    const bool topDown = h < 0;
    h = std::abs(h);
    std::vector<uint32_t> palette;
    if (bpp <= 8) {
        if (colors == 0 || colors > (1u << bpp)) colors = 1u << bpp;
        const size_t palOff = 14 + hdrSize;
        if (palOff + colors * 4 > b.size()) return false;
        for (uint32_t i = 0; i < colors; ++i) {
            const size_t o = palOff + i * 4;
            palette.push_back(0xFF000000u | (b[o + 2] << 16) | (b[o + 1] << 8) | b[o]);
        }
    }
    const size_t stride = ((static_cast<size_t>(w) * bpp + 31) / 32) * 4;
    if (dataOff > b.size() || stride * h > b.size() - dataOff) return false;
    std::vector<uint32_t> px(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        const size_t row = dataOff + stride * (topDown ? y : h - 1 - y);
        for (int x = 0; x < w; ++x) {
            uint32_t argb = 0xFF000000u;
            if (bpp == 4) {
                const BYTE v = b[row + x / 2];
                const unsigned idx = (x % 2 == 0) ? (v >> 4) : (v & 0xF);
                argb = idx < palette.size() ? palette[idx] : 0xFF000000u;
            } else if (bpp == 8) {
                const unsigned idx = b[row + x];
                argb = idx < palette.size() ? palette[idx] : 0xFF000000u;
            } else {
                const size_t o = row + static_cast<size_t>(x) * (bpp / 8);
                argb = 0xFF000000u | (b[o + 2] << 16) | (b[o + 1] << 8) | b[o];
            }
            px[static_cast<size_t>(y) * w + x] = argb;
        }
    }
    out.SetPixels(w, h, std::move(px));
    return true;
}

QImage BitmapToImage(const CBitmap& bmp) {
    QImage img(bmp.Width(), bmp.Height(), QImage::Format_ARGB32);
    for (int y = 0; y < bmp.Height(); ++y)
        for (int x = 0; x < bmp.Width(); ++x) img.setPixel(x, y, bmp.Pixel(x, y));
    return img;
}

}  // namespace mfcimpl

BOOL CBitmap::LoadBitmap(UINT resourceId) {
    const std::vector<BYTE>* bytes = FindBitmapResource(resourceId);
    if (!bytes) return FALSE;
    return mfcimpl::DecodeBmp(*bytes, *this) ? TRUE : FALSE;
}

void CBitmap::SetPixels(int width, int height, std::vector<uint32_t> argb) {
    m_width = width;
    m_height = height;
    m_pixels = std::move(argb);
}
