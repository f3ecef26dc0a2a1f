#ifndef TALLYARD_DIALOGS_CNOTEDLG_H
#define TALLYARD_DIALOGS_CNOTEDLG_H

#include <wx/dialog.h>

#include <string>

class CSipEdit;
class CTitleBar;

/// Shows and edits a checklist's note. The title bar shows SetTitle's text,
/// or "Note" when none was given. Any text is accepted, line breaks too.
class CNoteDlg : public wxDialog
{
public:
    explicit CNoteDlg(wxWindow* parent = nullptr);

    void SetNote(const std::u16string& note) { m_note = note; }
    /// The title-bar text (the window caption stays "Checklist Note").
    void SetTitle(const std::u16string& title) { m_title = title; }
    std::u16string GetNote() const { return m_note; }

    std::u16string m_note;
    std::u16string m_title;
    CSipEdit* m_noteEdit = nullptr;
    CTitleBar* m_titleBar = nullptr;

private:
    void OnInitDialog(wxInitDialogEvent& event);
    void OnOK(wxCommandEvent& event);
    void OnHelp(wxHelpEvent& event);
    void OnCharHook(wxKeyEvent& event);

    wxDECLARE_EVENT_TABLE();
};

#endif
