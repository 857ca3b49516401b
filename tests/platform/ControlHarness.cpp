#include "ControlHarness.h"

#include <ostream>

#include "TestSupport.h"

namespace harness {

namespace {
std::string CodeName(CWnd* control, UINT code) {
    static const char* const kList[] = {"", "SELCHANGE", "DBLCLK", "SELCANCEL", "SETFOCUS", "KILLFOCUS"};
    static const char* const kCombo[] = {"",          "SELCHANGE", "DBLCLK",   "SETFOCUS",  "KILLFOCUS", "EDITCHANGE",
                                         "EDITUPDATE", "DROPDOWN", "CLOSEUP", "SELENDOK", "SELENDCANCEL"};
    if (dynamic_cast<CComboBox*>(control) && code < std::size(kCombo)) return kCombo[code];
    if (dynamic_cast<CListBox*>(control) && code < std::size(kList)) return kList[code];
    switch (code) {
    case BN_CLICKED: return "CLICKED";
    case EN_SETFOCUS: return "SETFOCUS";
    case EN_KILLFOCUS: return "KILLFOCUS";
    case EN_CHANGE: return "CHANGE";
    case EN_UPDATE: return "UPDATE";
    default: return "code " + std::to_string(code);
    }
}
}  // namespace

std::ostream& operator<<(std::ostream& os, const Change& c) {
    return os << "row " << c.row << ": " << std::hex << c.oldState << " -> " << c.newState << std::dec;
}

void RegisterTemplate(UINT id, const std::vector<DialogControl>& controls) {
    DialogTemplate t;
    t.cx = 200;
    t.cy = 160;
    t.caption = u"Controls";
    t.controls = controls;
    RegisterDialogTemplate(id, t);
}

std::vector<std::string> RecordingDialog::Codes(int id) const {
    std::vector<std::string> out;
    for (const Note& n : notes)
        if (n.id == id && n.code != "SETFOCUS" && n.code != "KILLFOCUS") out.push_back(n.code);
    return out;
}

std::vector<Note> RecordingDialog::Notes(int id, const std::string& code) const {
    std::vector<Note> out;
    for (const Note& n : notes)
        if (n.id == id && n.code == code) out.push_back(n);
    return out;
}

BOOL RecordingDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    if (init) init(*this);
    return TRUE;
}

BOOL RecordingDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    CWnd* control = GetDlgItem(id);
    Note n;
    n.id = id;
    n.code = CodeName(control, HIWORD(wParam));
    if (auto* list = dynamic_cast<CListBox*>(control)) n.sel = list->GetCurSel();
    if (auto* combo = dynamic_cast<CComboBox*>(control)) n.sel = combo->GetCurSel();
    if (control) {
        CString text;
        control->GetWindowText(text);
        n.text = testsupport::N(text.GetString());
    }
    notes.push_back(n);
    if (onNote) onNote(*this, n);
    return CDialog::OnCommand(wParam, lParam);
}

BOOL RecordingDialog::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
    if (hdr && hdr->code == LVN_ITEMCHANGED) {
        const auto* nm = reinterpret_cast<const NMLISTVIEW*>(hdr);
        changes.push_back(Change{nm->iItem, nm->uOldState, nm->uNewState});
        if (onChange) onChange(*this, changes.back());
    }
    return CDialog::OnNotify(wParam, lParam, result);
}

ControlTest::ControlTest(UINT tmpl, const std::vector<DialogControl>& controls)
    : profile({"tahoma.ttf", "arial.ttf"}), dlg(tmpl) {
    RegisterTemplate(tmpl, controls);
    mfcauto::ClearScripts();
    mfcauto::ClearErrors();
}

ControlTest::~ControlTest() {
    EXPECT_TRUE(mfcauto::Errors().empty()) << mfcauto::Errors().front();
    mfcauto::ClearErrors();
}

void ControlTest::Run(std::function<void(mfcauto::ModalContext&)> script) {
    mfcauto::PushScript([script](mfcauto::ModalContext& ctx) {
        script(ctx);
        if (!ctx.Dialog()->HasEnded()) ctx.Click(IDCANCEL);
    });
    dlg.DoModal();
}

}  // namespace harness
