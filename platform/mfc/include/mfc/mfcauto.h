// Test automation of modal dialogs and message boxes. A test queues scripts;
// each time a dialog or message box becomes modal the next script runs against
// it and acts as the user would, through the same handlers as real input. A
// modal window that a script leaves open is cancelled and reported as an
// error, so a test never hangs on a dialog.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "mfc/afxwin.h"

// Qt stays behind the layer: a caller of Capture includes <QImage> itself.
class QImage;

namespace mfcauto {

class MFC_API ModalContext {
public:
    bool IsMessageBox() const { return m_isMessageBox; }
    // The dialog (nullptr for a message box).
    CDialog* Dialog() const { return m_dialog; }
    UINT TemplateId() const;
    CString Caption() const;

    // Controls, by dialog control id. Throws std::runtime_error for a missing
    // control so the script stops and the error is reported.
    CWnd* Control(int id) const;
    CString Text(int id) const;
    bool IsEnabled(int id) const;
    bool IsVisible(int id) const;
    int CheckState(int id) const;

    void Click(int id);                        // BN_CLICKED, as a mouse click
    void SetCheck(int id, bool checked);       // clicks when the state differs
    void Type(int id, const CString& text);    // edit or combo edit: replaces, key by key
    void SelectItem(int id, int index);        // list box / combo box row, as a click
    void SelectItem(int id, const CString& text);
    void DoubleClickItem(int id, int index);   // list box, combo list or list view row; -1: a list view's empty space
    void SelectRows(int id, const std::vector<int>& rows);  // list view
    void ClickListCheckBox(int id, int row);   // list view check box
    void ClickColumnHeader(int id, int column);
    // A key pressed where control `id` (a combo box: its edit) has the focus:
    // VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT, VK_PRIOR, VK_NEXT, VK_HOME, VK_END,
    // VK_SPACE, VK_RETURN, VK_ESCAPE, VK_DELETE, VK_F4, or '0'-'9' and 'A'-'Z',
    // which type their lower-case character. The focus goes there first, as
    // the user's Tab would put it.
    void PressKey(int id, UINT vk);
    // Tab, or Shift+Tab, from wherever the focus is.
    void PressTab(bool backwards = false);
    // The dialog's control that has the keyboard focus; 0 for none.
    int FocusedControl() const;
    void PressEscape();
    void PressEnter();
    QImage Capture() const;
    bool SavePng(const std::string& path) const;

    // Message boxes.
    CString MessageText() const { return m_text; }
    UINT MessageStyle() const { return m_style; }
    void Answer(int buttonId);

    // Internal: set up by the modal loop.
    ModalContext(CDialog* dialog) : m_dialog(dialog) {}
    ModalContext(QWidget* box, const CString& text, const CString& caption, UINT style)
        : m_isMessageBox(true), m_box(box), m_text(text), m_caption(caption), m_style(style) {}

private:
    void Pump() const;
    bool m_isMessageBox = false;
    CDialog* m_dialog = nullptr;
    QWidget* m_box = nullptr;
    CString m_text, m_caption;
    UINT m_style = 0;
};

using Script = std::function<void(ModalContext&)>;

MFC_API void PushScript(Script script);
MFC_API void ClearScripts();
MFC_API size_t PendingScripts();
// Errors met while automating (script left a window open, threw, no script).
MFC_API const std::vector<std::string>& Errors();
MFC_API void ClearErrors();
// Runs the next script for a window that became modal; false when none is
// queued. Used by the modal loops.
MFC_API bool RunNextScript(ModalContext& ctx);
MFC_API void ReportError(const std::string& message);
// True when no user can answer (offscreen platform) or scripts are in use.
MFC_API bool Automated();

}  // namespace mfcauto

// Renders a shown window (a dialog during its modal run) to a PNG file.
MFC_API bool RenderToPng(CWnd& wnd, const std::string& path);
