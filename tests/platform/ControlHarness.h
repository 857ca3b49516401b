// Dialogs of the tests' own templates that record every notification their
// controls send, in the order it arrives, with what the control showed at
// that moment: the view a dialog's handlers get of user input.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "TestProfile.h"

#include "mfc/afxcmn.h"
#include "mfc/afxres.h"
#include "mfc/afxwin.h"
#include "mfc/mfcauto.h"

namespace harness {

struct Note {
    int id = 0;
    std::string code;  // "SELCHANGE", "DBLCLK", "EDITCHANGE", "CLICKED", ...
    int sel = -1;      // the list or combo box's selection when it arrived
    std::string text;  // the control's window text when it arrived
};

// One list view state change, as LVN_ITEMCHANGED reported it.
struct Change {
    int row;
    UINT oldState;
    UINT newState;
    bool operator==(const Change& o) const { return row == o.row && oldState == o.oldState && newState == o.newState; }
};
std::ostream& operator<<(std::ostream& os, const Change& c);

// Registers a template of 200 x 160 dialog units in "MS Shell Dlg" 9 point.
void RegisterTemplate(UINT id, const std::vector<DialogControl>& controls);

class RecordingDialog : public CDialog {
public:
    explicit RecordingDialog(UINT tmpl) : CDialog(tmpl) {}
    std::vector<Note> notes;
    std::vector<Change> changes;
    std::function<void(RecordingDialog&)> init;
    // Runs after a notification was recorded, as a handler that acts on it.
    std::function<void(RecordingDialog&, const Note&)> onNote;
    std::function<void(RecordingDialog&, const Change&)> onChange;

    // The codes control `id` sent since the last Clear, focus notices left out.
    std::vector<std::string> Codes(int id) const;
    // The notes of control `id` with this code.
    std::vector<Note> Notes(int id, const std::string& code) const;
    void Clear() {
        notes.clear();
        changes.clear();
    }

protected:
    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};

using Codes = std::vector<std::string>;

// A test of one template's controls, with fonts to draw them in; it fails
// when the automation met an error (a window left open, a script that threw).
class ControlTest : public ::testing::Test {
protected:
    ControlTest(UINT tmpl, const std::vector<DialogControl>& controls);
    ~ControlTest() override;
    // Runs the dialog with `script`, which may leave it open: it is cancelled then.
    void Run(std::function<void(mfcauto::ModalContext&)> script);

    testsupport::TestProfile profile;
    RecordingDialog dlg;
};

}  // namespace harness
