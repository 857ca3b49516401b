// Lets the user pick replacements for the faces a project uses that are not
// installed here.
#pragma once

#include <map>

#include "FontCombo.h"

// Missing face name -> replacement face name, ordered by the missing name.
typedef std::map<CString, CString> CMissingFaceMap;

class CFontChangeDlg : public CBCGPDialog {
public:
    typedef ::CFontCombo CFontCombo;

    CFontChangeDlg(CWnd* parent, CMissingFaceMap* fontMap);
    ~CFontChangeDlg() override;

    CBCGPListCtrl m_ListCtrl;
    CMissingFaceMap* m_pFontMap;
    CFontCombo m_cbFont;
    CFont m_SampleFont;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnItemChangedList(NMHDR* hdr, LRESULT* result);
    void OnSelChangeFont();
    void UpdateSample(const CString& face);
    int FirstSelectedRow() const;

    DECLARE_MESSAGE_MAP()

private:
    static int EnumFaceProc(const LOGFONTW* lf, const TEXTMETRICW* tm, DWORD type, LPARAM param);
    CFont m_listFont;
};
