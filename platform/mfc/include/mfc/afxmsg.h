// Message maps: the tables through which a window's messages reach its
// handlers, as MFC builds them. The messages and notifications themselves are
// the Windows layer's (win/winuser.h).
#pragma once

#include "win/winuser.h"

// A table per class, chained to the base class's table. Handlers of every
// signature are stored as one member-pointer type and cast back by the
// entry's signature code before the call.
class CWnd;
typedef void (CWnd::*AFX_PMSG)();

enum AfxSig {
    AfxSig_end = 0,
    AfxSig_vv,       // void ()
    AfxSig_vNMHDRpl, // void (NMHDR*, LRESULT*)
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
#define ON_LBN_SELCHANGE(id, memberFxn) ON_CONTROL(LBN_SELCHANGE, id, memberFxn)
#define ON_LBN_DBLCLK(id, memberFxn) ON_CONTROL(LBN_DBLCLK, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) ON_CONTROL(CBN_SELCHANGE, id, memberFxn)
#define ON_CBN_EDITCHANGE(id, memberFxn) ON_CONTROL(CBN_EDITCHANGE, id, memberFxn)
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(EN_CHANGE, id, memberFxn)
#define ON_EN_KILLFOCUS(id, memberFxn) ON_CONTROL(EN_KILLFOCUS, id, memberFxn)
#define ON_NOTIFY(code, id, memberFxn)                                              \
    {WM_NOTIFY, (UINT)(code), (UINT)(id), (UINT)(id), AfxSig_vNMHDRpl,              \
     reinterpret_cast<AFX_PMSG>(static_cast<void (ThisClass::*)(NMHDR*, LRESULT*)>(memberFxn))},
