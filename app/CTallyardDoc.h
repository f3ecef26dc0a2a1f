#ifndef TALLYARD_APP_CTALLYARDDOC_H
#define TALLYARD_APP_CTALLYARDDOC_H

#include <wx/docview.h>

/// The program's single document. It holds nothing: every change goes to the
/// store at once, so there is nothing to save and it is never modified.
class CTallyardDoc : public wxDocument
{
public:
    bool OnNewDocument() override;
    bool IsModified() const override { return false; }
    void Modify(bool) override {}

protected:
    /// Files are neither written nor read: the store already has everything,
    /// so opening one never leaves the frame without its view.
    bool DoSaveDocument(const wxString&) override { return true; }
    bool DoOpenDocument(const wxString&) override { return true; }
    wxSTD ostream& SaveObject(wxSTD ostream& stream) override { return stream; }
    wxSTD istream& LoadObject(wxSTD istream& stream) override { return stream; }

    wxDECLARE_DYNAMIC_CLASS(CTallyardDoc);
};

#endif
