// The font pack dialog: which installed faces ship whole to the panel, and
// the default face of each language slot.
#pragma once

#include "bcg/BCGCBProInc.h"
#include "fonttable/FontTable.h"

class CFontPackDlg : public CBCGPDialog {
public:
    explicit CFontPackDlg(CWnd* parent = nullptr);
    ~CFontPackDlg() override;

    CBCGPListCtrl m_list;
    CString m_strDefaultFont[8];
    CFont m_langFont[8];
    CFont m_sampleFont;
    double m_dTotalSize = 0.0;
    CBCGPGroup m_groupDefault;
    int m_bListReady = 1;
    int m_bUseDefaultFont = 0;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnItemChanged(NMHDR* hdr, LRESULT* result);
    void OnColumnClick(NMHDR* hdr, LRESULT* result);
    void OnSampleTextChanged();
    void OnUseDefaultClicked();
    void OnSetAllFonts();
    void OnSetFont(UINT id);
    void OnHelp();
    DECLARE_MESSAGE_MAP()

private:
    void FillList();
    void UpdateTotal();
    void ShowSlot(int n);
    void ShowSample(const CString& face);
    void CheckRowOf(const CString& face);
    bool GroupChecked() const;
    CFont m_listFont;
};
