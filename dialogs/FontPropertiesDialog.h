// Creates or edits one project font: name, face, size, style, with a sample.
#pragma once

#include "FontCombo.h"

class CFontPropertiesDialog : public CBCGPDialog {
public:
    typedef ::CFontCombo CFontCombo;

    explicit CFontPropertiesDialog(CWnd* parent = nullptr);
    ~CFontPropertiesDialog() override;

    // Copies `lf` (when given) and re-creates the font from it; with the
    // window open, loads the controls from the font.
    void SetLogFont(const LOGFONTW* lf);
    // The font as the dialog leaves it.
    LOGFONTW* GetLogFont();

    int m_bAutoName = 0;
    CBCGPButton m_btnStrikeOut;
    CBCGPButton m_btnUnderline;
    CBCGPComboBox m_cbStyle;
    CBCGPComboBox m_cbSize;
    CFontCombo m_cbFace;
    int m_nEnumMode = 0;
    CFont m_Font;
    LOGFONTW m_LogFont{};
    CString m_strLastSize;
    CString m_strLastStyle;
    DWORD m_dwFontTypes = TRUETYPE_FONTTYPE;
    CString m_strName;
    int m_nEditIndex = -1;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    virtual void HideEffectControls();
    void OnOK() override;

    void OnSelChangeFace();
    void OnSelChangeStyle();
    void OnSelChangeSize();
    void OnEffectClicked();
    void OnEditChangeFace();
    void OnEditChangeStyle();
    void OnEditChangeSize();
    void OnKillFocusName();
    void OnChangeSampleText();

    DECLARE_MESSAGE_MAP()

private:
    static int EnumProc(const LOGFONTW* lf, const TEXTMETRICW* tm, DWORD type, LPARAM param);
    int AddFace(const LOGFONTW* lf, DWORD type);
    int AddSize(const LOGFONTW* lf, const TEXTMETRICW* tm, DWORD type);
    void FillStyles(LOGFONTW request);
    void FaceChange();
    void RebuildSample();
    void TypedTextMatch(CComboBox& combo, void (CFontPropertiesDialog::*handler)());
    void ShowMessage(const WCHAR* key);
};
