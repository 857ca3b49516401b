// Internal glue between the MFC classes and Qt Widgets.
#pragma once

#include <QDialog>
#include <QFont>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QTreeWidget>

#include "mfc/afxcmn.h"
#include "mfc/afxres.h"
#include "mfc/afxwin.h"

namespace mfcimpl {

QString QStr(const WCHAR* s);
inline QString QStr(const CString& s) { return QStr(s.GetString()); }
CString CStr(const QString& s);
inline QColor ToQColor(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }
inline QRect ToQRect(const RECT& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }
inline RECT ToRect(const QRect& r) { return RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }

// Programmatic changes made by the API must not notify, as on Windows; the
// Qt signal handlers check this.
extern int g_silent;
struct Silence {
    Silence() { ++g_silent; }
    ~Silence() { --g_silent; }
};

void MapWidget(QWidget* widget, CWnd* wnd);
void UnmapWidget(QWidget* widget);
CWnd* WndFromWidget(const QWidget* widget);

// Sends WM_COMMAND (id, code) from the control that owns `w` to its parent.
void NotifyCommand(QWidget* w, UINT code);
// Sends WM_NOTIFY with a filled header; returns the parent's result.
LRESULT NotifyParent(QWidget* w, NMHDR* hdr, UINT code);
void PumpPosted();

QFont QFontFromHFont(HFONT font);
QFont TemplateQFont(const std::u16string& face, int pointSize);
// Dialog base units of a realised template font (GetTemplateBaseUnits without realising it again).
DialogBaseUnits BaseUnitsOf(const QFont& font);

// Device contexts over a painter.
struct PaintDC {
    QPainter* painter = nullptr;
    COLORREF text = 0;
    COLORREF bk = 0xFFFFFF;
    int bkMode = OPAQUE;
    QFont font;
    CFont* selected = nullptr;
    CBrush* brush = nullptr;
    CPen* pen = nullptr;
    HDC gdi = nullptr;  // the GDI layer's DC, holding the same font for metrics
    struct Saved {
        COLORREF text, bk;
        int bkMode;
        QFont font;
        CFont* selected;
        CBrush* brush;
        CPen* pen;
    };
    std::vector<Saved> saved;
    std::unique_ptr<QImage> ownImage;      // GetDC without a paint event
    std::unique_ptr<QPainter> ownPainter;
};
HDC CreatePaintDC(QPainter* painter, const QFont& font, COLORREF text, COLORREF bk);
// A DC of its own on an image the size of `w`, for measuring outside paint events.
HDC CreateWindowDC(QWidget* w);
void DestroyPaintDC(HDC hdc);
PaintDC* LookupDC(HDC hdc);

QImage BitmapToImage(const CBitmap& bmp);
bool DecodeBmp(const std::vector<BYTE>& file, CBitmap& out);

// Roles of list items.
constexpr int kDataRole = Qt::UserRole;
constexpr int kHeightRole = Qt::UserRole + 1;
constexpr int kStateRole = Qt::UserRole + 2;

// Paints list rows through WM_DRAWITEM / sizes them through WM_MEASUREITEM.
class OwnerDrawDelegate : public QStyledItemDelegate {
public:
    OwnerDrawDelegate(QWidget* control, UINT ctlType, QObject* parent)
        : QStyledItemDelegate(parent), m_control(control), m_type(ctlType) {}
    void paint(QPainter* p, const QStyleOptionViewItem& opt, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& opt, const QModelIndex& index) const override;
    int fixedHeight = 0;

private:
    QWidget* m_control;
    UINT m_type;
};

class ComboWidget;

// A list box, or the list of a combo box, with the Windows list box's own
// input handling: a caret (the focus item) kept apart from the selection,
// arrow, page, Home and End keys, first-letter search, and LBN_SELCHANGE on
// button-up. Notifications go to the dialog, or to the combo box that owns
// the list, which turns them into its own.
class ListBoxWidget : public QListWidget {
public:
    ListBoxWidget(QWidget* parent, DWORD style, ComboWidget* combo = nullptr);
    bool MultiSelect() const { return (style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0; }
    int Caret() const { return m_caret; }
    // LB_SETCARETINDEX: the focus item moves; the selection stays.
    void SetCaret(int row, bool scroll = true);
    // The selected row of a single-selection list, -1 for none.
    int Selected() const;
    // Selects `row` alone (-1: none) without moving the caret.
    void Select(int row);
    // The caret goes to `row`, and in a single-selection list the selection with it.
    void MoveCaret(int row);
    // After rows were inserted or removed: the caret keeps its number, within the rows.
    void KeepCaret();
    // A navigation key as the list box handles WM_KEYDOWN; false for other keys.
    bool HandleKey(int key);
    // A typed character as the list box handles WM_CHAR: the next row it begins.
    bool HandleChar(QChar c);

    DWORD style;
    ComboWidget* combo;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void Notify(UINT code, bool byKeyboard);
    int PageSize() const;
    int m_caret = 0;
    bool m_captured = false;
};

// The edit field of a combo box: Up, Down, Page Up and Page Down move the
// list's selection, as the combo box's edit passes them to its list.
class ComboEdit : public QLineEdit {
public:
    ComboEdit(ComboWidget* combo);

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    ComboWidget* m_combo;
};

// A combo box: an edit (or a read-only selection field) over a list that is
// always shown (CBS_SIMPLE) or pops up. The edit is its one tab stop; the
// list never keeps the focus.
class ComboWidget : public QWidget {
public:
    ComboWidget(QWidget* parent, DWORD style);
    int Kind() const { return static_cast<int>(style & 3); }
    bool OwnerDraw() const { return (style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) != 0; }
    bool Sorted() const { return (style & CBS_SORT) != 0; }
    void Relayout();
    void SetEditText(const QString& text);
    void ShowPopup(bool show);
    void resizeEvent(QResizeEvent*) override { Relayout(); }
    // What the list tells its combo box (LBN_SELCHANGE, LBN_DBLCLK).
    void ListNotify(UINT code, bool byKeyboard);
    // The list follows typed text: the item equal to it is selected, else
    // none; the caret and the top row go to the first item it begins.
    void FollowEdit();

    DWORD style;
    ComboEdit* edit = nullptr;
    ListBoxWidget* list = nullptr;
    QToolButton* button = nullptr;
    OwnerDrawDelegate* delegate = nullptr;
    int editHeight = 0;   // the selection field's item height (CB_GETITEMHEIGHT -1)
    int itemHeight = 0;   // items of a non-variable combo
};

// The report-view list control. Every user action ends with the parent told,
// row by row, about the states it changed (LVN_ITEMCHANGED).
class ListViewWidget : public QTreeWidget {
public:
    explicit ListViewWidget(QWidget* parent) : QTreeWidget(parent) {}

protected:
    bool viewportEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
};

class DialogWidget : public QDialog {
public:
    DialogWidget(QWidget* parent, CDialog* owner) : QDialog(parent), m_owner(owner) {}
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void reject() override;
    CDialog* m_owner;
};

// Creates the widget of one template control.
QWidget* CreateControlWidget(const DialogControl& c, QWidget* parent, const DialogBaseUnits& units, const QFont& font);

// Insertion row for a sorted list: after equal strings, comparing without case.
int SortedRow(QListWidget* list, const QString& text);
int FindRow(QListWidget* list, int startAfter, const QString& text, bool exact);

void SetTypingLimit(QLineEdit* e, int maxChars);
int TypingLimit(const QLineEdit* e);

// Feeds the list view's check and click signals into WM_NOTIFY.
void WireListView(QTreeWidget* t);
// Tells the parent about every row whose state differs from what it last
// heard, in the order the list view reports one change of selection and focus.
void SyncListStates(QTreeWidget* t, bool notify);

}  // namespace mfcimpl
