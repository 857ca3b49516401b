// MFC's GDI object wrappers and the device context over a QPainter.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "mfc/afxstr.h"
#include "mfc/atltypes.h"
#include "win/gdi.h"

class MFC_API CGdiObject {
public:
    CGdiObject() = default;
    virtual ~CGdiObject();
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    BOOL Attach(HGDIOBJ obj);
    HGDIOBJ Detach();
    BOOL DeleteObject();

protected:
    HGDIOBJ m_hObject = nullptr;
};

class MFC_API CFont : public CGdiObject {
public:
    ~CFont() override;
    BOOL CreateFontIndirect(const LOGFONTW* lf);
    // Height in tenths of a point at the screen resolution, as MFC takes it.
    BOOL CreatePointFont(int pointSizeTenths, LPCTSTR faceName);
    int GetLogFont(LOGFONTW* lf) const;
    operator HFONT() const { return reinterpret_cast<HFONT>(m_hObject); }  // NOLINT
};

// Brushes and pens are solid colours; they hold no GDI handle.
class MFC_API CBrush {
public:
    CBrush() = default;
    explicit CBrush(COLORREF color) { CreateSolidBrush(color); }
    BOOL CreateSolidBrush(COLORREF color) { m_color = color; m_valid = true; return TRUE; }
    BOOL CreateSysColorBrush(int index);
    BOOL DeleteObject() { m_valid = false; return TRUE; }
    bool IsValid() const { return m_valid; }
    COLORREF GetColor() const { return m_color; }

private:
    COLORREF m_color = 0;
    bool m_valid = false;
};

class MFC_API CPen {
public:
    CPen() = default;
    CPen(int style, int width, COLORREF color) { CreatePen(style, width, color); }
    // Pens are solid: the style is not kept.
    BOOL CreatePen([[maybe_unused]] int style, int width, COLORREF color) {
        m_width = width; m_color = color; m_valid = true; return TRUE;
    }
    bool IsValid() const { return m_valid; }
    COLORREF GetColor() const { return m_color; }
    int GetWidth() const { return m_width; }

private:
    COLORREF m_color = 0;
    int m_width = 1;
    bool m_valid = false;
};

// A device-independent bitmap held as 32-bit ARGB rows (top row first).
class MFC_API CBitmap {
public:
    // Loads a bitmap resource registered with RegisterBitmapResource.
    BOOL LoadBitmap(UINT resourceId);
    void DeleteObject() { m_pixels.clear(); m_width = m_height = 0; }
    bool IsValid() const { return m_width > 0 && m_height > 0; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    uint32_t Pixel(int x, int y) const { return m_pixels[static_cast<size_t>(y) * m_width + x]; }
    const std::vector<uint32_t>& Pixels() const { return m_pixels; }
    void SetPixels(int width, int height, std::vector<uint32_t> argb);

private:
    int m_width = 0;
    int m_height = 0;
    std::vector<uint32_t> m_pixels;
};

// Text metrics as GetTextMetrics reports them, filled into the caller's
// TEXTMETRICW (declared by the Windows layer) field by field.
struct DCTextMetrics {
    LONG height = 0, ascent = 0, descent = 0, internalLeading = 0, externalLeading = 0;
    LONG aveCharWidth = 0, maxCharWidth = 0, weight = FW_NORMAL;
    BYTE italic = 0;
};

// A device context. HDCs handed out by this layer (owner-draw records,
// CWnd::GetDC) stand for a QPainter plus the GDI state of the DC; Attach
// binds a CDC object to one of them.
class MFC_API CDC {
public:
    CDC() = default;
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC m_hDC = nullptr;
    HDC GetSafeHdc() const { return m_hDC; }
    BOOL Attach(HDC hdc);
    HDC Detach();

    int SaveDC();
    BOOL RestoreDC(int saved);
    void FillRect(LPCRECT rect, CBrush* brush);
    void FillSolidRect(LPCRECT rect, COLORREF color);
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF color);
    COLORREF SetTextColor(COLORREF color);
    COLORREF GetTextColor() const;
    COLORREF SetBkColor(COLORREF color);
    COLORREF GetBkColor() const;
    int SetBkMode(int mode);
    int GetBkMode() const;
    CFont* SelectObject(CFont* font);
    CBrush* SelectObject(CBrush* brush);
    CPen* SelectObject(CPen* pen);
    CFont* GetCurrentFont() const;
    int GetDeviceCaps(int index) const;
    CSize GetTextExtent(LPCTSTR text, int count) const;
    CSize GetTextExtent(const CString& text) const;
    DCTextMetrics GetDCTextMetrics() const;
    template <class TEXTMETRIC_T>
    BOOL GetTextMetrics(TEXTMETRIC_T* tm) const {
        if (!m_hDC || !tm) return FALSE;
        const DCTextMetrics m = GetDCTextMetrics();
        *tm = TEXTMETRIC_T{};
        tm->tmHeight = m.height;
        tm->tmAscent = m.ascent;
        tm->tmDescent = m.descent;
        tm->tmInternalLeading = m.internalLeading;
        tm->tmExternalLeading = m.externalLeading;
        tm->tmAveCharWidth = m.aveCharWidth;
        tm->tmMaxCharWidth = m.maxCharWidth;
        tm->tmWeight = m.weight;
        tm->tmItalic = m.italic;
        return TRUE;
    }
    BOOL TextOut(int x, int y, LPCTSTR text, int count);
    BOOL TextOut(int x, int y, const CString& text);
    int DrawText(LPCTSTR text, int count, LPRECT rect, UINT format);
    int DrawText(const CString& text, LPRECT rect, UINT format);
    void DrawFocusRect(LPCRECT rect);
    BOOL Rectangle(int l, int t, int r, int b);
    BOOL Rectangle(LPCRECT rect);
    CPoint MoveTo(int x, int y);
    BOOL LineTo(int x, int y);
    // Copies a bitmap with its alpha (used by image lists).
    void DrawBitmap(int x, int y, const CBitmap& bmp, int srcX, int srcY, int cx, int cy);
};

// A DC on a window's client area, released when it goes out of scope.
class MFC_API CClientDC : public CDC {
public:
    explicit CClientDC(class CWnd* wnd);
    ~CClientDC() override;

private:
    HDC m_hOwned = nullptr;
};

// A memory DC on a white bitmap of its own (CreateCompatibleDC with a
// selected bitmap), for drawing off screen. Pixel(x, y) reads the result.
class MFC_API CMemoryDC : public CDC {
public:
    CMemoryDC(int width, int height);
    ~CMemoryDC() override;
    COLORREF Pixel(int x, int y) const;
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    bool SavePng(const char* path) const;

private:
    int m_width, m_height;
};
