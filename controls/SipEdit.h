#ifndef TALLYARD_CONTROLS_SIPEDIT_H
#define TALLYARD_CONTROLS_SIPEDIT_H

#include <wx/textctrl.h>

#include <cstdint>

/// The text field of every dialog: raises the input panel when it gets the
/// focus and lowers it when it loses it; a password field switches word
/// completion off while focused. Both focus events are skipped on, so the
/// parent sees them too. In XRC: a wxTextCtrl with subclass="CSipEdit".
class CSipEdit : public wxTextCtrl
{
public:
    CSipEdit();
    /// A field destroyed while it has the focus gives the panel back first.
    ~CSipEdit() override;

    uint32_t m_savedSipFlags = 0;

private:
    void OnSetFocus(wxFocusEvent& event);
    void OnKillFocus(wxFocusEvent& event);
    void GiveBackPanel();

    bool m_holdsPanel = false; // focus gained and not yet lost

    wxDECLARE_DYNAMIC_CLASS(CSipEdit);
    wxDECLARE_EVENT_TABLE();
};

#endif
