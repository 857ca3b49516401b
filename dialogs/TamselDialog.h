// The font library dialog: the project's fonts with add, delete and edit.
#pragma once

#include "bcg/BCGCBProInc.h"
#include "fonttable/FontTable.h"

class CTamselDialog : public CBCGPDialog {
public:
    explicit CTamselDialog(CWnd* parent = nullptr);
    ~CTamselDialog() override;

    CFont m_SampleFont;
    CBCGPListBox m_FontList;
    BYTE m_bModified = 0;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnCancel() override;

    void OnAdd();
    void OnDelete();
    void OnEdit();
    void OnSelChange();
    void OnDblClk();
    void OnHelp();

    DECLARE_MESSAGE_MAP()

private:
    void Refresh();
};
