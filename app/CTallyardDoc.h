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
    /// Nothing is ever written to a file: the store already has everything.
    bool DoSaveDocument(const wxString&) override { return true; }
    wxSTD ostream& SaveObject(wxSTD ostream& stream) override { return stream; }
    wxSTD istream& LoadObject(wxSTD istream& stream) override { return stream; }

    wxDECLARE_DYNAMIC_CLASS(CTallyardDoc);
};

#endif
