// Picking fonts: one of the project's fonts for an object, or an installed
// face for the font pack.
#pragma once

#include "bcg/BCGCBProInc.h"
#include "fonttable/FontTable.h"

class CFontSelectDialog : public CBCGPDialog {
public:
    explicit CFontSelectDialog(CWnd* parent = nullptr);
    ~CFontSelectDialog() override;

    CFont m_SampleFont;
    int m_nSelFont = 0;
    CBCGPListBox m_FontList;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnSelChange();
    void OnNew();
    void OnEdit();
    void OnDelete();
    void OnHelp();
    DECLARE_MESSAGE_MAP()

private:
    void Refresh();
};

class CSelectFontDlg : public CBCGPDialog {
public:
    CSelectFontDlg(CWnd* parent, POINT anchor);
    ~CSelectFontDlg() override;

    CBCGPListCtrl m_ListCtrl;
    CString m_strSelFont;
    POINT m_ptAnchor;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnDblClkList(NMHDR* hdr, LRESULT* result);
    DECLARE_MESSAGE_MAP()

private:
    CFont m_listFont;
};
