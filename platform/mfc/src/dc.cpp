// Device contexts over QPainter. Metrics come from the GDI layer so that what
// the dialogs measure matches what GDI realises; drawing goes through Qt with
// the same font file registered as an application font.
#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <map>
#include <unordered_map>

#include "qtimpl.h"
#include "win/gdi.h"
#include "win/wstr.h"

namespace mfcimpl {

namespace {
std::unordered_map<HDC, PaintDC*>& DCs() {
    static std::unordered_map<HDC, PaintDC*> map;
    return map;
}

// Font files registered with Qt, by path: the family Qt knows them under.
QString FamilyOfFile(const std::string& path) {
    static std::map<std::string, QString> families;
    auto it = families.find(path);
    if (it != families.end()) return it->second;
    QString family;
    const int id = QFontDatabase::addApplicationFont(QString::fromStdString(path));
    if (id >= 0) {
        const QStringList list = QFontDatabase::applicationFontFamilies(id);
        if (!list.isEmpty()) family = list.front();
    }
    families[path] = family;
    return family;
}
}  // namespace

QFont QFontFromHFont(HFONT font) {
    AfxEnsureApp();
    QFont q;
    LOGFONTW lf{};
    if (!font || ::GetObjectW(reinterpret_cast<HGDIOBJ>(font), sizeof(lf), &lf) == 0) return q;
    int pixelEm = 0;
    bool simBold = false, simItalic = false;
    const fontdb::Face* face = GetRealizedFace(font, &pixelEm, &simBold, &simItalic);
    QString family = face && !face->raster ? FamilyOfFile(face->path) : QString();
    if (family.isEmpty()) family = QStr(lf.lfFaceName);
    q.setFamily(family);
    q.setPixelSize(std::max(1, pixelEm));
    q.setBold(lf.lfWeight > 550);
    q.setItalic(lf.lfItalic != 0);
    q.setUnderline(lf.lfUnderline != 0);
    q.setStrikeOut(lf.lfStrikeOut != 0);
    return q;
}

HDC CreatePaintDC(QPainter* painter, const QFont& font, COLORREF text, COLORREF bk) {
    auto* dc = new PaintDC;
    dc->painter = painter;
    dc->font = font;
    dc->text = text;
    dc->bk = bk;
    dc->gdi = ::GetDC(nullptr);
    HDC h = reinterpret_cast<HDC>(dc);
    DCs()[h] = dc;
    return h;
}

HDC CreateWindowDC(QWidget* w) {
    auto image = std::make_unique<QImage>(std::max(1, w->width()), std::max(1, w->height()), QImage::Format_ARGB32);
    image->fill(Qt::white);
    auto painter = std::make_unique<QPainter>(image.get());
    HDC h = CreatePaintDC(painter.get(), w->font(), GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_WINDOW));
    PaintDC* dc = LookupDC(h);
    dc->ownImage = std::move(image);
    dc->ownPainter = std::move(painter);
    if (CWnd* wnd = WndFromWidget(w)) {
        if (CFont* f = wnd->GetFont()) {
            if (f->GetSafeHandle()) ::SelectObject(dc->gdi, f->GetSafeHandle());
        }
    }
    return h;
}

void DestroyPaintDC(HDC hdc) {
    PaintDC* dc = LookupDC(hdc);
    if (!dc) return;
    DCs().erase(hdc);
    if (dc->ownPainter) dc->ownPainter->end();
    ::ReleaseDC(nullptr, dc->gdi);
    delete dc;
}

PaintDC* LookupDC(HDC hdc) {
    auto it = DCs().find(hdc);
    return it == DCs().end() ? nullptr : it->second;
}

}  // namespace mfcimpl

using namespace mfcimpl;

namespace {
QPainter* PainterOf(HDC h) {
    PaintDC* dc = LookupDC(h);
    return dc ? dc->painter : nullptr;
}
}  // namespace

CDC::~CDC() = default;

BOOL CDC::Attach(HDC hdc) {
    if (m_hDC || !hdc) return FALSE;
    m_hDC = hdc;
    return TRUE;
}

HDC CDC::Detach() {
    HDC h = m_hDC;
    m_hDC = nullptr;
    return h;
}

int CDC::SaveDC() {
    PaintDC* dc = LookupDC(m_hDC);
    if (!dc) return 0;
    dc->saved.push_back(PaintDC::Saved{dc->text, dc->bk, dc->bkMode, dc->font, dc->selected, dc->brush, dc->pen});
    if (dc->painter) dc->painter->save();
    return static_cast<int>(dc->saved.size());
}

BOOL CDC::RestoreDC(int saved) {
    PaintDC* dc = LookupDC(m_hDC);
    if (!dc || dc->saved.empty()) return FALSE;
    // -1 restores the latest; a level restores to just below it.
    const size_t level = saved < 0 ? dc->saved.size() : static_cast<size_t>(saved);
    if (level == 0 || level > dc->saved.size()) return FALSE;
    while (dc->saved.size() >= level) {
        const PaintDC::Saved s = dc->saved.back();
        dc->saved.pop_back();
        dc->text = s.text;
        dc->bk = s.bk;
        dc->bkMode = s.bkMode;
        dc->font = s.font;
        dc->selected = s.selected;
        dc->brush = s.brush;
        dc->pen = s.pen;
        if (dc->selected && dc->selected->GetSafeHandle()) ::SelectObject(dc->gdi, dc->selected->GetSafeHandle());
        if (dc->painter) dc->painter->restore();
    }
    return TRUE;
}

void CDC::FillRect(LPCRECT rect, CBrush* brush) {
    if (rect && brush) FillSolidRect(rect, brush->GetColor());
}

void CDC::FillSolidRect(LPCRECT rect, COLORREF color) {
    if (rect) FillSolidRect(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, color);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF color) {
    if (QPainter* p = PainterOf(m_hDC)) p->fillRect(x, y, cx, cy, ToQColor(color));
}

COLORREF CDC::SetTextColor(COLORREF color) {
    PaintDC* dc = LookupDC(m_hDC);
    if (!dc) return 0;
    const COLORREF old = dc->text;
    dc->text = color;
    return old;
}

COLORREF CDC::GetTextColor() const {
    PaintDC* dc = LookupDC(m_hDC);
    return dc ? dc->text : 0;
}

COLORREF CDC::SetBkColor(COLORREF color) {
    PaintDC* dc = LookupDC(m_hDC);
    if (!dc) return 0;
    const COLORREF old = dc->bk;
    dc->bk = color;
    return old;
}

COLORREF CDC::GetBkColor() const {
    PaintDC* dc = LookupDC(m_hDC);
    return dc ? dc->bk : 0xFFFFFF;
}

int CDC::SetBkMode(int mode) {
    PaintDC* dc = LookupDC(m_hDC);
    if (!dc) return 0;
    const int old = dc->bkMode;
    dc->bkMode = mode;
    return old;
}

int CDC::GetBkMode() const {
    PaintDC* dc = LookupDC(m_hDC);
    return dc ? dc->bkMode : OPAQUE;
}

CFont* CDC::SelectObject(CFont* font) {
    PaintDC* dc = LookupDC(m_hDC);
    if (!dc || !font) return nullptr;
    CFont* old = dc->selected;
    dc->selected = font;
    if (font->GetSafeHandle()) {
        ::SelectObject(dc->gdi, font->GetSafeHandle());
        dc->font = QFontFromHFont(*font);
    }
    return old;
}

CBrush* CDC::SelectObject(CBrush* brush) {
    PaintDC* dc = LookupDC(m_hDC);
    if (!dc) return nullptr;
    CBrush* old = dc->brush;
    dc->brush = brush;
    return old;
}

CPen* CDC::SelectObject(CPen* pen) {
    PaintDC* dc = LookupDC(m_hDC);
    if (!dc) return nullptr;
    CPen* old = dc->pen;
    dc->pen = pen;
    return old;
}

CFont* CDC::GetCurrentFont() const {
    PaintDC* dc = LookupDC(m_hDC);
    return dc ? dc->selected : nullptr;
}

int CDC::GetDeviceCaps(int index) const {
    PaintDC* dc = LookupDC(m_hDC);
    return ::GetDeviceCaps(dc ? dc->gdi : nullptr, index);
}

CSize CDC::GetTextExtent(LPCTSTR text, int count) const {
    PaintDC* dc = LookupDC(m_hDC);
    if (!dc || !text) return CSize(0, 0);
    const int n = count < 0 ? static_cast<int>(wcslen16(text)) : count;
    const QFontMetrics fm(dc->font);
    return CSize(fm.horizontalAdvance(QString::fromUtf16(text, n)), fm.height());
}

CSize CDC::GetTextExtent(const CString& text) const {
    return GetTextExtent(text.GetString(), text.GetLength());
}

DCTextMetrics CDC::GetDCTextMetrics() const {
    DCTextMetrics m;
    PaintDC* dc = LookupDC(m_hDC);
    TEXTMETRICW tm{};
    if (!dc || !::GetTextMetricsW(dc->gdi, &tm)) return m;
    m.height = tm.tmHeight;
    m.ascent = tm.tmAscent;
    m.descent = tm.tmDescent;
    m.internalLeading = tm.tmInternalLeading;
    m.externalLeading = tm.tmExternalLeading;
    m.aveCharWidth = tm.tmAveCharWidth;
    m.maxCharWidth = tm.tmMaxCharWidth;
    m.weight = tm.tmWeight;
    m.italic = tm.tmItalic;
    return m;
}

BOOL CDC::TextOut(int x, int y, LPCTSTR text, int count) {
    PaintDC* dc = LookupDC(m_hDC);
    if (!dc || !dc->painter || !text) return FALSE;
    const int n = count < 0 ? static_cast<int>(wcslen16(text)) : count;
    const QString s = QString::fromUtf16(text, n);
    QPainter* p = dc->painter;
    p->setFont(dc->font);
    const QFontMetrics fm(dc->font);
    if (dc->bkMode == OPAQUE) p->fillRect(x, y, fm.horizontalAdvance(s), fm.height(), ToQColor(dc->bk));
    p->setPen(ToQColor(dc->text));
    // GDI places text by the top of its cell.
    p->drawText(x, y + fm.ascent(), s);
    return TRUE;
}

BOOL CDC::TextOut(int x, int y, const CString& text) {
    return TextOut(x, y, text.GetString(), text.GetLength());
}

int CDC::DrawText(LPCTSTR text, int count, LPRECT rect, UINT format) {
    PaintDC* dc = LookupDC(m_hDC);
    if (!dc || !dc->painter || !text || !rect) return 0;
    const int n = count < 0 ? static_cast<int>(wcslen16(text)) : count;
    int flags = 0;
    flags |= (format & DT_CENTER) ? Qt::AlignHCenter : (format & DT_RIGHT) ? Qt::AlignRight : Qt::AlignLeft;
    flags |= (format & DT_VCENTER) ? Qt::AlignVCenter : (format & DT_BOTTOM) ? Qt::AlignBottom : Qt::AlignTop;
    if (!(format & DT_SINGLELINE)) flags |= Qt::TextWordWrap;
    QPainter* p = dc->painter;
    p->setFont(dc->font);
    p->setPen(ToQColor(dc->text));
    const QRect r = ToQRect(*rect);
    if (dc->bkMode == OPAQUE) p->fillRect(r, ToQColor(dc->bk));
    p->drawText(r, flags, QString::fromUtf16(text, n));
    return QFontMetrics(dc->font).height();
}

int CDC::DrawText(const CString& text, LPRECT rect, UINT format) {
    return DrawText(text.GetString(), text.GetLength(), rect, format);
}

void CDC::DrawFocusRect(LPCRECT rect) {
    QPainter* p = PainterOf(m_hDC);
    if (!p || !rect) return;
    p->save();
    QPen pen(Qt::black, 1, Qt::DotLine);
    p->setPen(pen);
    p->setBrush(Qt::NoBrush);
    p->drawRect(QRect(rect->left, rect->top, rect->right - rect->left - 1, rect->bottom - rect->top - 1));
    p->restore();
}

BOOL CDC::Rectangle(int l, int t, int r, int b) {
    PaintDC* dc = LookupDC(m_hDC);
    if (!dc || !dc->painter) return FALSE;
    QPainter* p = dc->painter;
    p->save();
    p->setPen(dc->pen ? QPen(ToQColor(dc->pen->GetColor()), dc->pen->GetWidth()) : QPen(Qt::black));
    p->setBrush(dc->brush ? QBrush(ToQColor(dc->brush->GetColor())) : QBrush(Qt::white));
    p->drawRect(QRect(l, t, r - l - 1, b - t - 1));
    p->restore();
    return TRUE;
}

BOOL CDC::Rectangle(LPCRECT rect) {
    return rect ? Rectangle(rect->left, rect->top, rect->right, rect->bottom) : FALSE;
}

namespace {
thread_local POINT g_penPos{0, 0};
}

CPoint CDC::MoveTo(int x, int y) {
    const CPoint old(g_penPos.x, g_penPos.y);
    g_penPos = POINT{x, y};
    return old;
}

BOOL CDC::LineTo(int x, int y) {
    PaintDC* dc = LookupDC(m_hDC);
    if (!dc || !dc->painter) return FALSE;
    dc->painter->save();
    dc->painter->setPen(dc->pen ? QPen(ToQColor(dc->pen->GetColor()), dc->pen->GetWidth()) : QPen(Qt::black));
    dc->painter->drawLine(g_penPos.x, g_penPos.y, x, y);
    dc->painter->restore();
    g_penPos = POINT{x, y};
    return TRUE;
}

void CDC::DrawBitmap(int x, int y, const CBitmap& bmp, int srcX, int srcY, int cx, int cy) {
    QPainter* p = PainterOf(m_hDC);
    if (!p || !bmp.IsValid()) return;
    p->drawImage(QPoint(x, y), BitmapToImage(bmp), QRect(srcX, srcY, cx, cy));
}

CClientDC::CClientDC(CWnd* wnd) {
    if (wnd && wnd->GetWidget()) {
        m_hOwned = CreateWindowDC(wnd->GetWidget());
        Attach(m_hOwned);
    } else {
        m_hOwned = CreatePaintDC(nullptr, QFont(), 0, 0xFFFFFF);
        Attach(m_hOwned);
    }
}

CClientDC::~CClientDC() {
    Detach();
    DestroyPaintDC(m_hOwned);
}

BOOL CFont::CreatePointFont(int pointSizeTenths, LPCTSTR faceName) {
    LOGFONTW lf{};
    HDC screen = ::GetDC(nullptr);
    lf.lfHeight = -MulDiv(pointSizeTenths, ::GetDeviceCaps(screen, LOGPIXELSY), 720);
    ::ReleaseDC(nullptr, screen);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    if (faceName) CopyFixedName(lf.lfFaceName, faceName, LF_FACESIZE);
    return CreateFontIndirect(&lf);
}

BOOL CBrush::CreateSysColorBrush(int index) {
    return CreateSolidBrush(GetSysColor(index));
}

// ---------------------------------------------------------------- image lists

BOOL CImageList::Create(UINT bitmapId, int cx, int /*grow*/, COLORREF mask) {
    CBitmap bmp;
    if (!bmp.LoadBitmap(bitmapId) || cx <= 0) return FALSE;
    m_cx = cx;
    m_cy = bmp.Height();
    return Add(&bmp, mask) >= 0;
}

BOOL CImageList::Create(int cx, int cy, UINT, int, int) {
    m_cx = cx;
    m_cy = cy;
    m_images.clear();
    return cx > 0 && cy > 0;
}

int CImageList::Add(CBitmap* bmp, COLORREF mask) {
    if (!bmp || !bmp->IsValid() || m_cx <= 0) return -1;
    const int first = GetImageCount();
    const uint32_t maskArgb = 0xFF000000u | (GetRValue(mask) << 16) | (GetGValue(mask) << 8) | GetBValue(mask);
    for (int x0 = 0; x0 + m_cx <= bmp->Width(); x0 += m_cx) {
        std::vector<uint32_t> px;
        px.reserve(static_cast<size_t>(m_cx) * bmp->Height());
        for (int y = 0; y < bmp->Height(); ++y)
            for (int x = 0; x < m_cx; ++x) {
                const uint32_t c = bmp->Pixel(x0 + x, y);
                px.push_back(c == maskArgb ? 0u : c);
            }
        CBitmap image;
        image.SetPixels(m_cx, bmp->Height(), std::move(px));
        m_images.push_back(std::move(image));
    }
    return GetImageCount() > first ? first : -1;
}

BOOL CImageList::Draw(CDC* dc, int image, POINT pt, UINT) {
    if (!dc || image < 0 || image >= GetImageCount()) return FALSE;
    const CBitmap& b = m_images[static_cast<size_t>(image)];
    dc->DrawBitmap(pt.x, pt.y, b, 0, 0, b.Width(), b.Height());
    return TRUE;
}

CMemoryDC::CMemoryDC(int width, int height) : m_width(std::max(1, width)), m_height(std::max(1, height)) {
    AfxEnsureApp();
    auto image = std::make_unique<QImage>(m_width, m_height, QImage::Format_ARGB32);
    image->fill(Qt::white);
    auto painter = std::make_unique<QPainter>(image.get());
    HGDIOBJ sys = ::GetStockObject(SYSTEM_FONT);
    HDC h = CreatePaintDC(painter.get(), QFontFromHFont(reinterpret_cast<HFONT>(sys)), GetSysColor(COLOR_WINDOWTEXT),
                          GetSysColor(COLOR_WINDOW));
    PaintDC* dc = LookupDC(h);
    dc->ownImage = std::move(image);
    dc->ownPainter = std::move(painter);
    Attach(h);
}

CMemoryDC::~CMemoryDC() {
    DestroyPaintDC(Detach());
}

COLORREF CMemoryDC::Pixel(int x, int y) const {
    PaintDC* dc = LookupDC(m_hDC);
    if (!dc || !dc->ownImage || x < 0 || y < 0 || x >= m_width || y >= m_height) return CLR_INVALID;
    // The painter must have flushed before the image is read.
    const QRgb c = dc->ownImage->pixel(x, y);
    return RGB(qRed(c), qGreen(c), qBlue(c));
}

bool CMemoryDC::SavePng(const char* path) const {
    PaintDC* dc = LookupDC(m_hDC);
    return dc && dc->ownImage && dc->ownImage->save(QString::fromUtf8(path), "PNG");
}
