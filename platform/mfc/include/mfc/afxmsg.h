// Window messages, control styles and notification codes of the Win32 API
// subset the dialogs use, with the Windows values. Each is guarded so the
// Windows layer may define the same names.
#pragma once

#include "win/windows.h"


// windows messages
#ifndef WM_NULL
#define WM_NULL 0x0000
#endif
#ifndef WM_CREATE
#define WM_CREATE 0x0001
#endif
#ifndef WM_DESTROY
#define WM_DESTROY 0x0002
#endif
#ifndef WM_SIZE
#define WM_SIZE 0x0005
#endif
#ifndef WM_SETFOCUS
#define WM_SETFOCUS 0x0007
#endif
#ifndef WM_KILLFOCUS
#define WM_KILLFOCUS 0x0008
#endif
#ifndef WM_ENABLE
#define WM_ENABLE 0x000A
#endif
#ifndef WM_SETREDRAW
#define WM_SETREDRAW 0x000B
#endif
#ifndef WM_SETTEXT
#define WM_SETTEXT 0x000C
#endif
#ifndef WM_GETTEXT
#define WM_GETTEXT 0x000D
#endif
#ifndef WM_GETTEXTLENGTH
#define WM_GETTEXTLENGTH 0x000E
#endif
#ifndef WM_PAINT
#define WM_PAINT 0x000F
#endif
#ifndef WM_CLOSE
#define WM_CLOSE 0x0010
#endif
#ifndef WM_SHOWWINDOW
#define WM_SHOWWINDOW 0x0018
#endif
#ifndef WM_SETFONT
#define WM_SETFONT 0x0030
#endif
#ifndef WM_GETFONT
#define WM_GETFONT 0x0031
#endif
#ifndef WM_DRAWITEM
#define WM_DRAWITEM 0x002B
#endif
#ifndef WM_MEASUREITEM
#define WM_MEASUREITEM 0x002C
#endif
#ifndef WM_COMPAREITEM
#define WM_COMPAREITEM 0x0039
#endif
#ifndef WM_NOTIFY
#define WM_NOTIFY 0x004E
#endif
#ifndef WM_KEYDOWN
#define WM_KEYDOWN 0x0100
#endif
#ifndef WM_INITDIALOG
#define WM_INITDIALOG 0x0110
#endif
#ifndef WM_COMMAND
#define WM_COMMAND 0x0111
#endif
#ifndef WM_TIMER
#define WM_TIMER 0x0113
#endif
#ifndef WM_CTLCOLOREDIT
#define WM_CTLCOLOREDIT 0x0133
#endif
#ifndef WM_CTLCOLORLISTBOX
#define WM_CTLCOLORLISTBOX 0x0134
#endif
#ifndef WM_CTLCOLORBTN
#define WM_CTLCOLORBTN 0x0135
#endif
#ifndef WM_CTLCOLORDLG
#define WM_CTLCOLORDLG 0x0136
#endif
#ifndef WM_CTLCOLORSTATIC
#define WM_CTLCOLORSTATIC 0x0138
#endif
#ifndef WM_LBUTTONDOWN
#define WM_LBUTTONDOWN 0x0201
#endif
#ifndef WM_LBUTTONUP
#define WM_LBUTTONUP 0x0202
#endif
#ifndef WM_LBUTTONDBLCLK
#define WM_LBUTTONDBLCLK 0x0203
#endif
#ifndef WM_USER
#define WM_USER 0x0400
#endif
#ifndef DM_GETDEFID
#define DM_GETDEFID (WM_USER + 0)
#endif
#ifndef DM_SETDEFID
#define DM_SETDEFID (WM_USER + 1)
#endif
#ifndef DC_HASDEFID
#define DC_HASDEFID 0x534B
#endif

// window styles
#ifndef WS_OVERLAPPED
#define WS_OVERLAPPED 0x00000000L
#endif
#ifndef WS_POPUP
#define WS_POPUP 0x80000000L
#endif
#ifndef WS_CHILD
#define WS_CHILD 0x40000000L
#endif
#ifndef WS_VISIBLE
#define WS_VISIBLE 0x10000000L
#endif
#ifndef WS_DISABLED
#define WS_DISABLED 0x08000000L
#endif
#ifndef WS_CAPTION
#define WS_CAPTION 0x00C00000L
#endif
#ifndef WS_BORDER
#define WS_BORDER 0x00800000L
#endif
#ifndef WS_DLGFRAME
#define WS_DLGFRAME 0x00400000L
#endif
#ifndef WS_VSCROLL
#define WS_VSCROLL 0x00200000L
#endif
#ifndef WS_HSCROLL
#define WS_HSCROLL 0x00100000L
#endif
#ifndef WS_SYSMENU
#define WS_SYSMENU 0x00080000L
#endif
#ifndef WS_THICKFRAME
#define WS_THICKFRAME 0x00040000L
#endif
#ifndef WS_GROUP
#define WS_GROUP 0x00020000L
#endif
#ifndef WS_TABSTOP
#define WS_TABSTOP 0x00010000L
#endif
#ifndef WS_EX_DLGMODALFRAME
#define WS_EX_DLGMODALFRAME 0x00000001L
#endif
#ifndef WS_EX_CLIENTEDGE
#define WS_EX_CLIENTEDGE 0x00000200L
#endif
#ifndef WS_EX_STATICEDGE
#define WS_EX_STATICEDGE 0x00020000L
#endif
#ifndef DS_SETFONT
#define DS_SETFONT 0x40L
#endif
#ifndef DS_MODALFRAME
#define DS_MODALFRAME 0x80L
#endif
#ifndef DS_FIXEDSYS
#define DS_FIXEDSYS 0x0008L
#endif
#ifndef DS_CENTER
#define DS_CENTER 0x0800L
#endif
#ifndef DS_SHELLFONT
#define DS_SHELLFONT (DS_SETFONT | DS_FIXEDSYS)
#endif

// buttons
#ifndef BS_PUSHBUTTON
#define BS_PUSHBUTTON 0x00000000L
#endif
#ifndef BS_DEFPUSHBUTTON
#define BS_DEFPUSHBUTTON 0x00000001L
#endif
#ifndef BS_CHECKBOX
#define BS_CHECKBOX 0x00000002L
#endif
#ifndef BS_AUTOCHECKBOX
#define BS_AUTOCHECKBOX 0x00000003L
#endif
#ifndef BS_RADIOBUTTON
#define BS_RADIOBUTTON 0x00000004L
#endif
#ifndef BS_3STATE
#define BS_3STATE 0x00000005L
#endif
#ifndef BS_AUTO3STATE
#define BS_AUTO3STATE 0x00000006L
#endif
#ifndef BS_GROUPBOX
#define BS_GROUPBOX 0x00000007L
#endif
#ifndef BS_AUTORADIOBUTTON
#define BS_AUTORADIOBUTTON 0x00000009L
#endif
#ifndef BS_OWNERDRAW
#define BS_OWNERDRAW 0x0000000BL
#endif
#ifndef BS_TYPEMASK
#define BS_TYPEMASK 0x0000000FL
#endif
#ifndef BS_LEFTTEXT
#define BS_LEFTTEXT 0x00000020L
#endif
#ifndef BS_LEFT
#define BS_LEFT 0x00000100L
#endif
#ifndef BS_RIGHT
#define BS_RIGHT 0x00000200L
#endif
#ifndef BS_CENTER
#define BS_CENTER 0x00000300L
#endif
#ifndef BS_MULTILINE
#define BS_MULTILINE 0x00002000L
#endif
#ifndef BS_FLAT
#define BS_FLAT 0x00008000L
#endif
#ifndef BN_CLICKED
#define BN_CLICKED 0
#endif
#ifndef BN_DOUBLECLICKED
#define BN_DOUBLECLICKED 5
#endif
#ifndef BST_UNCHECKED
#define BST_UNCHECKED 0x0000
#endif
#ifndef BST_CHECKED
#define BST_CHECKED 0x0001
#endif
#ifndef BST_INDETERMINATE
#define BST_INDETERMINATE 0x0002
#endif
#ifndef BM_GETCHECK
#define BM_GETCHECK 0x00F0
#endif
#ifndef BM_SETCHECK
#define BM_SETCHECK 0x00F1
#endif
#ifndef BM_CLICK
#define BM_CLICK 0x00F5
#endif

// statics
#ifndef SS_LEFT
#define SS_LEFT 0x00000000L
#endif
#ifndef SS_CENTER
#define SS_CENTER 0x00000001L
#endif
#ifndef SS_RIGHT
#define SS_RIGHT 0x00000002L
#endif
#ifndef SS_ICON
#define SS_ICON 0x00000003L
#endif
#ifndef SS_BLACKFRAME
#define SS_BLACKFRAME 0x00000007L
#endif
#ifndef SS_LEFTNOWORDWRAP
#define SS_LEFTNOWORDWRAP 0x0000000CL
#endif
#ifndef SS_ETCHEDHORZ
#define SS_ETCHEDHORZ 0x00000010L
#endif
#ifndef SS_TYPEMASK
#define SS_TYPEMASK 0x0000001FL
#endif
#ifndef SS_NOTIFY
#define SS_NOTIFY 0x00000100L
#endif
#ifndef SS_CENTERIMAGE
#define SS_CENTERIMAGE 0x00000200L
#endif
#ifndef SS_SUNKEN
#define SS_SUNKEN 0x00001000L
#endif

// edits
#ifndef ES_LEFT
#define ES_LEFT 0x0000L
#endif
#ifndef ES_CENTER
#define ES_CENTER 0x0001L
#endif
#ifndef ES_RIGHT
#define ES_RIGHT 0x0002L
#endif
#ifndef ES_MULTILINE
#define ES_MULTILINE 0x0004L
#endif
#ifndef ES_UPPERCASE
#define ES_UPPERCASE 0x0008L
#endif
#ifndef ES_LOWERCASE
#define ES_LOWERCASE 0x0010L
#endif
#ifndef ES_PASSWORD
#define ES_PASSWORD 0x0020L
#endif
#ifndef ES_AUTOVSCROLL
#define ES_AUTOVSCROLL 0x0040L
#endif
#ifndef ES_AUTOHSCROLL
#define ES_AUTOHSCROLL 0x0080L
#endif
#ifndef ES_READONLY
#define ES_READONLY 0x0800L
#endif
#ifndef ES_WANTRETURN
#define ES_WANTRETURN 0x1000L
#endif
#ifndef ES_NUMBER
#define ES_NUMBER 0x2000L
#endif
#ifndef EN_SETFOCUS
#define EN_SETFOCUS 0x0100
#endif
#ifndef EN_KILLFOCUS
#define EN_KILLFOCUS 0x0200
#endif
#ifndef EN_CHANGE
#define EN_CHANGE 0x0300
#endif
#ifndef EN_UPDATE
#define EN_UPDATE 0x0400
#endif
#ifndef EN_MAXTEXT
#define EN_MAXTEXT 0x0501
#endif

// list boxes
#ifndef LBS_NOTIFY
#define LBS_NOTIFY 0x0001L
#endif
#ifndef LBS_SORT
#define LBS_SORT 0x0002L
#endif
#ifndef LBS_MULTIPLESEL
#define LBS_MULTIPLESEL 0x0008L
#endif
#ifndef LBS_OWNERDRAWFIXED
#define LBS_OWNERDRAWFIXED 0x0010L
#endif
#ifndef LBS_OWNERDRAWVARIABLE
#define LBS_OWNERDRAWVARIABLE 0x0020L
#endif
#ifndef LBS_HASSTRINGS
#define LBS_HASSTRINGS 0x0040L
#endif
#ifndef LBS_NOINTEGRALHEIGHT
#define LBS_NOINTEGRALHEIGHT 0x0100L
#endif
#ifndef LBS_EXTENDEDSEL
#define LBS_EXTENDEDSEL 0x0800L
#endif
#ifndef LBS_NOSEL
#define LBS_NOSEL 0x4000L
#endif
#ifndef LBS_STANDARD
#define LBS_STANDARD (LBS_NOTIFY | LBS_SORT | WS_VSCROLL | WS_BORDER)
#endif
#ifndef LBN_SELCHANGE
#define LBN_SELCHANGE 1
#endif
#ifndef LBN_DBLCLK
#define LBN_DBLCLK 2
#endif
#ifndef LBN_SELCANCEL
#define LBN_SELCANCEL 3
#endif
#ifndef LBN_SETFOCUS
#define LBN_SETFOCUS 4
#endif
#ifndef LBN_KILLFOCUS
#define LBN_KILLFOCUS 5
#endif
#ifndef LB_ERR
#define LB_ERR (-1)
#endif

// combo boxes
#ifndef CBS_SIMPLE
#define CBS_SIMPLE 0x0001L
#endif
#ifndef CBS_DROPDOWN
#define CBS_DROPDOWN 0x0002L
#endif
#ifndef CBS_DROPDOWNLIST
#define CBS_DROPDOWNLIST 0x0003L
#endif
#ifndef CBS_OWNERDRAWFIXED
#define CBS_OWNERDRAWFIXED 0x0010L
#endif
#ifndef CBS_OWNERDRAWVARIABLE
#define CBS_OWNERDRAWVARIABLE 0x0020L
#endif
#ifndef CBS_AUTOHSCROLL
#define CBS_AUTOHSCROLL 0x0040L
#endif
#ifndef CBS_SORT
#define CBS_SORT 0x0100L
#endif
#ifndef CBS_HASSTRINGS
#define CBS_HASSTRINGS 0x0200L
#endif
#ifndef CBS_NOINTEGRALHEIGHT
#define CBS_NOINTEGRALHEIGHT 0x0400L
#endif
#ifndef CBS_DISABLENOSCROLL
#define CBS_DISABLENOSCROLL 0x0800L
#endif
#ifndef CBN_SELCHANGE
#define CBN_SELCHANGE 1
#endif
#ifndef CBN_DBLCLK
#define CBN_DBLCLK 2
#endif
#ifndef CBN_SETFOCUS
#define CBN_SETFOCUS 3
#endif
#ifndef CBN_KILLFOCUS
#define CBN_KILLFOCUS 4
#endif
#ifndef CBN_EDITCHANGE
#define CBN_EDITCHANGE 5
#endif
#ifndef CBN_EDITUPDATE
#define CBN_EDITUPDATE 6
#endif
#ifndef CBN_DROPDOWN
#define CBN_DROPDOWN 7
#endif
#ifndef CBN_CLOSEUP
#define CBN_CLOSEUP 8
#endif
#ifndef CBN_SELENDOK
#define CBN_SELENDOK 9
#endif
#ifndef CBN_SELENDCANCEL
#define CBN_SELENDCANCEL 10
#endif
#ifndef CB_ERR
#define CB_ERR (-1)
#endif

// list views
#ifndef LVS_ICON
#define LVS_ICON 0x0000
#endif
#ifndef LVS_REPORT
#define LVS_REPORT 0x0001
#endif
#ifndef LVS_SMALLICON
#define LVS_SMALLICON 0x0002
#endif
#ifndef LVS_LIST
#define LVS_LIST 0x0003
#endif
#ifndef LVS_TYPEMASK
#define LVS_TYPEMASK 0x0003
#endif
#ifndef LVS_SINGLESEL
#define LVS_SINGLESEL 0x0004
#endif
#ifndef LVS_SHOWSELALWAYS
#define LVS_SHOWSELALWAYS 0x0008
#endif
#ifndef LVS_SORTASCENDING
#define LVS_SORTASCENDING 0x0010
#endif
#ifndef LVS_SORTDESCENDING
#define LVS_SORTDESCENDING 0x0020
#endif
#ifndef LVS_NOLABELWRAP
#define LVS_NOLABELWRAP 0x0080
#endif
#ifndef LVS_AUTOARRANGE
#define LVS_AUTOARRANGE 0x0100
#endif
#ifndef LVS_NOCOLUMNHEADER
#define LVS_NOCOLUMNHEADER 0x4000
#endif
#ifndef LVS_NOSORTHEADER
#define LVS_NOSORTHEADER 0x8000
#endif
#ifndef LVS_EX_GRIDLINES
#define LVS_EX_GRIDLINES 0x00000001
#endif
#ifndef LVS_EX_SUBITEMIMAGES
#define LVS_EX_SUBITEMIMAGES 0x00000002
#endif
#ifndef LVS_EX_CHECKBOXES
#define LVS_EX_CHECKBOXES 0x00000004
#endif
#ifndef LVS_EX_TRACKSELECT
#define LVS_EX_TRACKSELECT 0x00000008
#endif
#ifndef LVS_EX_HEADERDRAGDROP
#define LVS_EX_HEADERDRAGDROP 0x00000010
#endif
#ifndef LVS_EX_FULLROWSELECT
#define LVS_EX_FULLROWSELECT 0x00000020
#endif
#ifndef LVS_EX_ONECLICKACTIVATE
#define LVS_EX_ONECLICKACTIVATE 0x00000040
#endif
#ifndef LVS_EX_DOUBLEBUFFER
#define LVS_EX_DOUBLEBUFFER 0x00010000
#endif
#ifndef LVIS_FOCUSED
#define LVIS_FOCUSED 0x0001
#endif
#ifndef LVIS_SELECTED
#define LVIS_SELECTED 0x0002
#endif
#ifndef LVIS_CUT
#define LVIS_CUT 0x0004
#endif
#ifndef LVIS_DROPHILITED
#define LVIS_DROPHILITED 0x0008
#endif
#ifndef LVIS_STATEIMAGEMASK
#define LVIS_STATEIMAGEMASK 0xF000
#endif
#ifndef LVIF_TEXT
#define LVIF_TEXT 0x0001
#endif
#ifndef LVIF_IMAGE
#define LVIF_IMAGE 0x0002
#endif
#ifndef LVIF_PARAM
#define LVIF_PARAM 0x0004
#endif
#ifndef LVIF_STATE
#define LVIF_STATE 0x0008
#endif
#ifndef LVIR_BOUNDS
#define LVIR_BOUNDS 0
#define LVIR_ICON 1
#define LVIR_LABEL 2
#endif
#ifndef LVNI_ALL
#define LVNI_ALL 0x0000
#endif
#ifndef LVNI_FOCUSED
#define LVNI_FOCUSED 0x0001
#endif
#ifndef LVNI_SELECTED
#define LVNI_SELECTED 0x0002
#endif
#ifndef LVCFMT_LEFT
#define LVCFMT_LEFT 0x0000
#endif
#ifndef LVCFMT_RIGHT
#define LVCFMT_RIGHT 0x0001
#endif
#ifndef LVCFMT_CENTER
#define LVCFMT_CENTER 0x0002
#endif
#ifndef LVHT_NOWHERE
#define LVHT_NOWHERE 0x0001
#endif
#ifndef LVHT_ONITEMICON
#define LVHT_ONITEMICON 0x0002
#endif
#ifndef LVHT_ONITEMLABEL
#define LVHT_ONITEMLABEL 0x0004
#endif
#ifndef LVHT_ONITEMSTATEICON
#define LVHT_ONITEMSTATEICON 0x0008
#endif
#ifndef LVHT_ONITEM
#define LVHT_ONITEM (LVHT_ONITEMICON | LVHT_ONITEMLABEL | LVHT_ONITEMSTATEICON)
#endif
#ifndef NM_FIRST
#define NM_FIRST (0U - 0U)
#endif
#ifndef NM_CLICK
#define NM_CLICK (NM_FIRST - 2)
#endif
#ifndef NM_DBLCLK
#define NM_DBLCLK (NM_FIRST - 3)
#endif
#ifndef NM_RCLICK
#define NM_RCLICK (NM_FIRST - 5)
#endif
#ifndef LVN_FIRST
#define LVN_FIRST (0U - 100U)
#endif
#ifndef LVN_ITEMCHANGING
#define LVN_ITEMCHANGING (LVN_FIRST - 0)
#endif
#ifndef LVN_ITEMCHANGED
#define LVN_ITEMCHANGED (LVN_FIRST - 1)
#endif
#ifndef LVN_INSERTITEM
#define LVN_INSERTITEM (LVN_FIRST - 2)
#endif
#ifndef LVN_DELETEITEM
#define LVN_DELETEITEM (LVN_FIRST - 3)
#endif
#ifndef LVN_DELETEALLITEMS
#define LVN_DELETEALLITEMS (LVN_FIRST - 4)
#endif
#ifndef LVN_COLUMNCLICK
#define LVN_COLUMNCLICK (LVN_FIRST - 8)
#endif

// owner draw
#ifndef ODT_LISTBOX
#define ODT_LISTBOX 2
#endif
#ifndef ODT_COMBOBOX
#define ODT_COMBOBOX 3
#endif
#ifndef ODT_BUTTON
#define ODT_BUTTON 4
#endif
#ifndef ODT_STATIC
#define ODT_STATIC 5
#endif
#ifndef ODA_DRAWENTIRE
#define ODA_DRAWENTIRE 0x0001
#endif
#ifndef ODA_SELECT
#define ODA_SELECT 0x0002
#endif
#ifndef ODA_FOCUS
#define ODA_FOCUS 0x0004
#endif
#ifndef ODS_SELECTED
#define ODS_SELECTED 0x0001
#endif
#ifndef ODS_GRAYED
#define ODS_GRAYED 0x0002
#endif
#ifndef ODS_DISABLED
#define ODS_DISABLED 0x0004
#endif
#ifndef ODS_CHECKED
#define ODS_CHECKED 0x0008
#endif
#ifndef ODS_FOCUS
#define ODS_FOCUS 0x0010
#endif
#ifndef ODS_DEFAULT
#define ODS_DEFAULT 0x0020
#endif
#ifndef ODS_COMBOBOXEDIT
#define ODS_COMBOBOXEDIT 0x1000
#endif

// show / position
#ifndef SW_HIDE
#define SW_HIDE 0
#endif
#ifndef SW_SHOWNORMAL
#define SW_SHOWNORMAL 1
#endif
#ifndef SW_SHOW
#define SW_SHOW 5
#endif
#ifndef SWP_NOSIZE
#define SWP_NOSIZE 0x0001
#endif
#ifndef SWP_NOMOVE
#define SWP_NOMOVE 0x0002
#endif
#ifndef SWP_NOZORDER
#define SWP_NOZORDER 0x0004
#endif
#ifndef SWP_NOREDRAW
#define SWP_NOREDRAW 0x0008
#endif
#ifndef SWP_NOACTIVATE
#define SWP_NOACTIVATE 0x0010
#endif
#ifndef SWP_SHOWWINDOW
#define SWP_SHOWWINDOW 0x0040
#endif
#ifndef SWP_HIDEWINDOW
#define SWP_HIDEWINDOW 0x0080
#endif

// keys
#ifndef VK_RETURN
#define VK_RETURN 0x0D
#endif
#ifndef VK_ESCAPE
#define VK_ESCAPE 0x1B
#endif
#ifndef VK_SPACE
#define VK_SPACE 0x20
#endif
#ifndef VK_TAB
#define VK_TAB 0x09
#endif
#ifndef VK_PRIOR
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#endif
#ifndef VK_DELETE
#define VK_DELETE 0x2E
#endif
#ifndef VK_F4
#define VK_F4 0x73
#endif

// message boxes (beyond the basic ones)
#ifndef MB_ABORTRETRYIGNORE
#define MB_ABORTRETRYIGNORE 0x0002
#endif
#ifndef MB_YESNOCANCEL
#define MB_YESNOCANCEL 0x0003
#endif
#ifndef MB_RETRYCANCEL
#define MB_RETRYCANCEL 0x0005
#endif
#ifndef MB_TYPEMASK
#define MB_TYPEMASK 0x000F
#endif
#ifndef MB_ICONHAND
#define MB_ICONHAND 0x0010
#endif
#ifndef MB_ICONERROR
#define MB_ICONERROR 0x0010
#endif
#ifndef MB_ICONSTOP
#define MB_ICONSTOP 0x0010
#endif
#ifndef MB_ICONEXCLAMATION
#define MB_ICONEXCLAMATION 0x0030
#endif
#ifndef MB_ICONASTERISK
#define MB_ICONASTERISK 0x0040
#endif
#ifndef MB_ICONMASK
#define MB_ICONMASK 0x00F0
#endif
#ifndef MB_DEFBUTTON1
#define MB_DEFBUTTON1 0x0000
#endif
#ifndef MB_DEFBUTTON2
#define MB_DEFBUTTON2 0x0100
#endif
#ifndef MB_DEFBUTTON3
#define MB_DEFBUTTON3 0x0200
#endif
#ifndef MB_DEFMASK
#define MB_DEFMASK 0x0F00
#endif
#ifndef IDABORT
#define IDABORT 3
#endif
#ifndef IDRETRY
#define IDRETRY 4
#endif
#ifndef IDIGNORE
#define IDIGNORE 5
#endif

// drawing
#ifndef TRANSPARENT
#define TRANSPARENT 1
#endif
#ifndef OPAQUE
#define OPAQUE 2
#endif
#ifndef DT_LEFT
#define DT_LEFT 0x0000
#endif
#ifndef DT_CENTER
#define DT_CENTER 0x0001
#endif
#ifndef DT_RIGHT
#define DT_RIGHT 0x0002
#endif
#ifndef DT_VCENTER
#define DT_VCENTER 0x0004
#endif
#ifndef DT_BOTTOM
#define DT_BOTTOM 0x0008
#endif
#ifndef DT_WORDBREAK
#define DT_WORDBREAK 0x0010
#endif
#ifndef DT_SINGLELINE
#define DT_SINGLELINE 0x0020
#endif
#ifndef DT_CALCRECT
#define DT_CALCRECT 0x0400
#endif
#ifndef DT_NOPREFIX
#define DT_NOPREFIX 0x0800
#endif
#ifndef DT_END_ELLIPSIS
#define DT_END_ELLIPSIS 0x8000
#endif
#ifndef COLOR_WINDOW
#define COLOR_WINDOW 5
#endif
#ifndef COLOR_WINDOWTEXT
#define COLOR_WINDOWTEXT 8
#endif
#ifndef COLOR_HIGHLIGHT
#define COLOR_HIGHLIGHT 13
#endif
#ifndef COLOR_HIGHLIGHTTEXT
#define COLOR_HIGHLIGHTTEXT 14
#endif
#ifndef COLOR_BTNFACE
#define COLOR_BTNFACE 15
#endif
#ifndef COLOR_3DFACE
#define COLOR_3DFACE 15
#endif
#ifndef COLOR_BTNSHADOW
#define COLOR_BTNSHADOW 16
#endif
#ifndef COLOR_GRAYTEXT
#define COLOR_GRAYTEXT 17
#endif
#ifndef COLOR_BTNTEXT
#define COLOR_BTNTEXT 18
#endif
#ifndef COLOR_BTNHIGHLIGHT
#define COLOR_BTNHIGHLIGHT 20
#endif
#ifndef ILD_NORMAL
#define ILD_NORMAL 0x0000
#endif
#ifndef ILD_TRANSPARENT
#define ILD_TRANSPARENT 0x0001
#endif
#ifndef ILC_MASK
#define ILC_MASK 0x0001
#endif
#ifndef ILC_COLOR24
#define ILC_COLOR24 0x0018
#endif

#ifndef LOWORD
#define LOWORD(l) ((WORD)(((UINT_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((UINT_PTR)(l)) >> 16) & 0xffff))
#define MAKELONG(a, b) ((LONG)(((WORD)(((UINT_PTR)(a)) & 0xffff)) | ((DWORD)((WORD)(((UINT_PTR)(b)) & 0xffff))) << 16))
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)MAKELONG(l, h))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))
#endif
#ifndef INDEXTOSTATEIMAGEMASK
#define INDEXTOSTATEIMAGEMASK(i) ((i) << 12)
#endif

typedef DWORD COLORREF;  // a repeated identical typedef is harmless
typedef uintptr_t ULONG_PTR;
typedef uintptr_t DWORD_PTR;
#ifndef RGB
#define RGB(r, g, b) ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(rgb) ((BYTE)(rgb))
#define GetGValue(rgb) ((BYTE)(((WORD)(rgb)) >> 8))
#define GetBValue(rgb) ((BYTE)((rgb) >> 16))
#endif
#ifndef CLR_INVALID
#define CLR_INVALID 0xFFFFFFFF
#endif

typedef const RECT* LPCRECT;
typedef POINT* LPPOINT;

struct NMHDR {
    HWND hwndFrom;
    UINT_PTR idFrom;
    UINT code;
};
typedef NMHDR* LPNMHDR;

struct NMLISTVIEW {
    NMHDR hdr;
    int iItem;
    int iSubItem;
    UINT uNewState;
    UINT uOldState;
    UINT uChanged;
    POINT ptAction;
    LPARAM lParam;
};
typedef NMLISTVIEW* LPNMLISTVIEW;

struct NMITEMACTIVATE {
    NMHDR hdr;
    int iItem;
    int iSubItem;
    UINT uNewState;
    UINT uOldState;
    UINT uChanged;
    POINT ptAction;
    LPARAM lParam;
    UINT uKeyFlags;
};
typedef NMITEMACTIVATE* LPNMITEMACTIVATE;

struct LVHITTESTINFO {
    POINT pt;
    UINT flags;
    int iItem;
    int iSubItem;
    int iGroup;
};

struct DRAWITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemAction;
    UINT itemState;
    HWND hwndItem;
    HDC hDC;
    RECT rcItem;
    ULONG_PTR itemData;
};
typedef DRAWITEMSTRUCT* LPDRAWITEMSTRUCT;

struct MEASUREITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemWidth;
    UINT itemHeight;
    ULONG_PTR itemData;
};
typedef MEASUREITEMSTRUCT* LPMEASUREITEMSTRUCT;

struct COMPAREITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    HWND hwndItem;
    UINT itemID1;
    ULONG_PTR itemData1;
    UINT itemID2;
    ULONG_PTR itemData2;
    DWORD dwLocaleId;
};
typedef COMPAREITEMSTRUCT* LPCOMPAREITEMSTRUCT;


// Message maps: a table per class, chained to the base class's table, as MFC
// builds them. Handlers of every signature are stored as one member-pointer
// type and cast back by the entry's signature code before the call.
class CWnd;
typedef void (CWnd::*AFX_PMSG)();

enum AfxSig {
    AfxSig_end = 0,
    AfxSig_none,     // marker entry (virtual handlers such as OnDrawItem)
    AfxSig_vv,       // void ()
    AfxSig_vNMHDRpl, // void (NMHDR*, LRESULT*)
    AfxSig_lwl,      // LRESULT (WPARAM, LPARAM)
    AfxSig_vw,       // void (UINT id) for command ranges
};

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode;
    UINT nID;
    UINT nLastID;
    int nSig;
    AFX_PMSG pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define afx_msg

#define DECLARE_MESSAGE_MAP()                         \
protected:                                            \
    static const AFX_MSGMAP* GetThisMessageMap();     \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                      \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                \
        typedef theClass ThisClass;                                                 \
        typedef baseClass TheBaseClass;                                             \
        (void)sizeof(ThisClass);                                                    \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                  \
        {0, 0, 0, 0, AfxSig_end, nullptr}};                                \
        static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, \
                                              &_messageEntries[0]};        \
        return &messageMap;                                                \
    }

#define ON_COMMAND(id, memberFxn)                                     \
    {WM_COMMAND, 0, (UINT)(id), (UINT)(id), AfxSig_vv,                \
     static_cast<AFX_PMSG>(static_cast<void (ThisClass::*)()>(memberFxn))},
#define ON_CONTROL(code, id, memberFxn)                                 \
    {WM_COMMAND, (UINT)(code), (UINT)(id), (UINT)(id), AfxSig_vv,       \
     static_cast<AFX_PMSG>(static_cast<void (ThisClass::*)()>(memberFxn))},
#define ON_CONTROL_RANGE(code, id, idLast, memberFxn)                                       \
    {WM_COMMAND, (UINT)(code), (UINT)(id), (UINT)(idLast), AfxSig_vw,                        \
     reinterpret_cast<AFX_PMSG>(static_cast<void (ThisClass::*)(UINT)>(memberFxn))},
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_BN_DOUBLECLICKED(id, memberFxn) ON_CONTROL(BN_DOUBLECLICKED, id, memberFxn)
#define ON_LBN_SELCHANGE(id, memberFxn) ON_CONTROL(LBN_SELCHANGE, id, memberFxn)
#define ON_LBN_DBLCLK(id, memberFxn) ON_CONTROL(LBN_DBLCLK, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) ON_CONTROL(CBN_SELCHANGE, id, memberFxn)
#define ON_CBN_EDITCHANGE(id, memberFxn) ON_CONTROL(CBN_EDITCHANGE, id, memberFxn)
#define ON_CBN_DBLCLK(id, memberFxn) ON_CONTROL(CBN_DBLCLK, id, memberFxn)
#define ON_CBN_KILLFOCUS(id, memberFxn) ON_CONTROL(CBN_KILLFOCUS, id, memberFxn)
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(EN_CHANGE, id, memberFxn)
#define ON_EN_KILLFOCUS(id, memberFxn) ON_CONTROL(EN_KILLFOCUS, id, memberFxn)
#define ON_EN_SETFOCUS(id, memberFxn) ON_CONTROL(EN_SETFOCUS, id, memberFxn)
#define ON_NOTIFY(code, id, memberFxn)                                              \
    {WM_NOTIFY, (UINT)(code), (UINT)(id), (UINT)(id), AfxSig_vNMHDRpl,              \
     reinterpret_cast<AFX_PMSG>(static_cast<void (ThisClass::*)(NMHDR*, LRESULT*)>(memberFxn))},
#define ON_MESSAGE(message, memberFxn)                                              \
    {(UINT)(message), 0, 0, 0, AfxSig_lwl,                                          \
     reinterpret_cast<AFX_PMSG>(static_cast<LRESULT (ThisClass::*)(WPARAM, LPARAM)>(memberFxn))},
// Owner-draw handlers are virtual members of CWnd here, so these entries only
// document intent; the dispatch reaches OnDrawItem/OnMeasureItem/OnCtlColor anyway.
#define ON_WM_DRAWITEM() {WM_DRAWITEM, 0, 0, 0, AfxSig_none, nullptr},
#define ON_WM_MEASUREITEM() {WM_MEASUREITEM, 0, 0, 0, AfxSig_none, nullptr},
#define ON_WM_COMPAREITEM() {WM_COMPAREITEM, 0, 0, 0, AfxSig_none, nullptr},
#define ON_WM_CTLCOLOR() {WM_CTLCOLORDLG, 0, 0, 0, AfxSig_none, nullptr},

// combo box messages (the subset that is posted or sent by number)
#define CB_GETCOUNT 0x0146
#define CB_GETCURSEL 0x0147
#define CB_SETCURSEL 0x014E
#define CB_SETITEMHEIGHT 0x0153
#define CB_GETITEMHEIGHT 0x0154
#define LB_GETCURSEL 0x0188
#define LB_SETCURSEL 0x0186
#define LB_SETCARETINDEX 0x019E
#define LB_GETCARETINDEX 0x019F
